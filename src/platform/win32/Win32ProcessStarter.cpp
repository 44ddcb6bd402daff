#include "platform/win32/Win32ProcessStarter.h"

#include "platform/WindowsPath.h"
#include "platform/win32/Handle.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <algorithm>

namespace velmora {

using win32::Handle;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

struct Word {
    std::string text;
    std::size_t begin = 0, end = 0; // where it was written in the line
};

std::vector<Word> parse(std::string_view line)
{
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        Word w;
        w.begin = i;
        bool quoted = false;
        while (i < line.size() && (quoted || !isBlank(line[i]))) {
            if (line[i] == '\\') {
                std::size_t n = 0;
                while (i < line.size() && line[i] == '\\') ++n, ++i;
                if (i < line.size() && line[i] == '"') {
                    w.text.append(n / 2, '\\');
                    if (n % 2) {
                        w.text += '"';
                        ++i;
                    }
                } else {
                    w.text.append(n, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    w.text += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                w.text += line[i++];
            }
        }
        w.end = i;
        words.push_back(std::move(w));
    }
    return words;
}

// "X:\..." or "X:/...", or a bare "X:": a path that names its drive.
bool isDrivePath(std::string_view s) { return winpath::isDrivePath(s) || (s.size() == 2 && winpath::hasDrive(s)); }

// The standard input a started program gets: the NUL device, inheritable.
Handle nulDevice()
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return Handle(
        ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr));
}

// One of our standard handles, duplicated so that a child may inherit it; none when we have none.
Handle inheritable(DWORD which)
{
    const HANDLE h = ::GetStdHandle(which);
    if (!h || h == INVALID_HANDLE_VALUE) return {};
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), h, ::GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return {};
    return Handle(copy);
}

// Starts the line; the process handle, or none when it could not start.
Handle spawn(std::wstring line)
{
    Handle in = nulDevice();
    Handle out = inheritable(STD_OUTPUT_HANDLE);
    Handle err = inheritable(STD_ERROR_HANDLE);

    STARTUPINFOEXW si{};
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    si.StartupInfo.hStdInput = in.get();
    si.StartupInfo.hStdOutput = out.get();
    si.StartupInfo.hStdError = err.get();

    // Only these handles go to the child, whatever else of ours is inheritable.
    std::vector<HANDLE> handles;
    for (const Handle* h : {&in, &out, &err}) {
        if (*h && std::find(handles.begin(), handles.end(), h->get()) == handles.end()) handles.push_back(h->get());
    }
    std::vector<char> attributeBuffer;
    DWORD flags = CREATE_UNICODE_ENVIRONMENT;
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    if (!handles.empty() && size > 0) {
        attributeBuffer.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
        if (::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            if (::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                            handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
                si.lpAttributeList = list;
                flags |= EXTENDED_STARTUPINFO_PRESENT;
            } else {
                ::DeleteProcThreadAttributeList(list);
            }
        }
    }

    PROCESS_INFORMATION pi{};
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, handles.empty() ? FALSE : TRUE, flags,
                                          nullptr, nullptr, &si.StartupInfo, &pi);
    if (si.lpAttributeList) ::DeleteProcThreadAttributeList(si.lpAttributeList);
    if (!started) return {};
    ::CloseHandle(pi.hThread);
    return Handle(pi.hProcess);
}

class Win32Process : public StartedProcess {
public:
    explicit Win32Process(Handle process) : m_process(std::move(process)) {}

    std::optional<int> exitStatus(std::chrono::milliseconds wait) override
    {
        if (m_status) return m_status;
        const auto ms = std::clamp<long long>(wait.count(), 0, INFINITE - 1);
        if (::WaitForSingleObject(m_process.get(), static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        if (!::GetExitCodeProcess(m_process.get(), &code)) code = 127;
        return m_status = static_cast<int>(code);
    }

    void stop() override
    {
        if (!m_status) ::TerminateProcess(m_process.get(), 1);
    }

private:
    Handle m_process;
    std::optional<int> m_status;
};

} // namespace

Win32ProcessStarter::Win32ProcessStarter(const Win32FileSystem& fs) : m_fs(fs) {}

std::vector<std::string> Win32ProcessStarter::splitArguments(std::string_view commandLine)
{
    std::vector<std::string> out;
    for (Word& w : parse(commandLine)) out.push_back(std::move(w.text));
    return out;
}

std::string Win32ProcessStarter::quoteArgument(std::string_view word)
{
    if (!word.empty() && word.find_first_of(" \t\"") == std::string_view::npos) return std::string(word);
    std::string s = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        s.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        s += c;
    }
    s.append(backslashes * 2, '\\'); // before the closing quote
    s += '"';
    return s;
}

std::optional<std::wstring> Win32ProcessStarter::hostCommandLine(std::string_view commandLine) const
{
    if (!m_fs.mapped()) return win32::widen(commandLine);
    std::string line;
    std::size_t written = 0;
    for (const Word& w : parse(commandLine)) {
        if (!isDrivePath(w.text)) continue;
        // A bare "D:" is a drive root whose "\" was cut off: the root, not the drive's
        // current folder, which no other program could know.
        auto host = m_fs.hostPath(w.text.size() == 2 ? w.text + "\\" : w.text);
        if (!host) return std::nullopt;
        line.append(commandLine.substr(written, w.begin - written));
        line += quoteArgument(*host);
        written = w.end;
    }
    line.append(commandLine.substr(written));
    return win32::widen(line);
}

bool Win32ProcessStarter::start(std::string_view commandLine)
{
    auto line = hostCommandLine(commandLine);
    return line && !line->empty() && static_cast<bool>(spawn(std::move(*line)));
}

std::unique_ptr<StartedProcess> Win32ProcessStarter::launch(std::string_view commandLine)
{
    auto line = hostCommandLine(commandLine);
    if (!line || line->empty()) return nullptr;
    Handle process = spawn(std::move(*line));
    if (!process) return nullptr;
    return std::make_unique<Win32Process>(std::move(process));
}

} // namespace velmora
