#include "platform/testing/Doubles.h"

#include "platform/Text.h"

namespace velmora::testing {

std::string MemorySettings::get(std::string_view app, std::string_view section, std::string_view key,
                                std::string_view def) const
{
    ++reads;
    return MemorySettingsStore::get(app, section, key, def);
}

bool MemorySettings::save(std::string_view app, std::string_view section, std::string_view key, std::string_view value)
{
    if (failSaves) return false;
    MemorySettingsStore::save(app, section, key, value);
    saveLog.push_back(std::string(section) + "/" + std::string(key) + "=" + std::string(value));
    return true;
}

std::string MapEnvironment::get(std::string_view name) const
{
    const auto it = vars.find(text::toUpper(name));
    return it == vars.end() ? std::string() : it->second;
}

void MapEnvironment::set(std::string_view name, std::string value) { vars[text::toUpper(name)] = std::move(value); }

void MapEnvironment::unset(std::string_view name) { vars.erase(text::toUpper(name)); }

bool RecordingProcessStarter::start(std::string_view commandLine)
{
    started.emplace_back(commandLine);
    return !fail;
}

namespace {

class RecordedProcess : public StartedProcess {
public:
    explicit RecordedProcess(RecordingProcessStarter& starter) : m_starter(starter), m_polls(starter.runningPolls) {}
    std::optional<int> exitStatus(std::chrono::milliseconds) override
    {
        if (m_polls <= 0) return m_starter.exitStatus;
        --m_polls;
        if (m_starter.whileRunning) m_starter.whileRunning();
        return std::nullopt;
    }

    void stop() override
    {
        ++m_starter.stopped;
        m_polls = 0;
    }

private:
    RecordingProcessStarter& m_starter;
    int m_polls;
};

} // namespace

std::unique_ptr<StartedProcess> RecordingProcessStarter::launch(std::string_view commandLine)
{
    started.emplace_back(commandLine);
    if (fail) return nullptr;
    if (onLaunch) onLaunch(commandLine);
    return std::make_unique<RecordedProcess>(*this);
}

bool RecordingShell::open(std::string_view what)
{
    opened.emplace_back(what);
    return true;
}

bool RecordingPrinter::setFontName(std::string_view name) { return record("font " + std::string(name)); }

bool RecordingPrinter::setFontSize(int points) { return record("size " + std::to_string(points)); }

bool RecordingPrinter::setBold(bool on) { return record(on ? "bold 1" : "bold 0"); }

bool RecordingPrinter::setUnderline(bool on) { return record(on ? "underline 1" : "underline 0"); }

bool RecordingPrinter::printLine(std::string_view text) { return record("line " + std::string(text)); }

bool RecordingPrinter::endDoc() { return record("end"); }

bool RecordingPrinter::record(std::string call)
{
    // Failed calls are recorded too: a test counts what was attempted.
    calls.push_back(std::move(call));
    if (failWith) {
        error = *failWith;
        return false;
    }
    return true;
}

} // namespace velmora::testing
