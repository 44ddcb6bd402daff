#pragma once
// The console front-end of both programs, ending the process with the status the application
// left: a switch's run says there whether every file went. The window front-ends do the same
// through their end hook.
#include "core/App.h"
#include "platform/console/ConsoleFrontEnd.h"

#include <cstdlib>

namespace velmora {

// The console front-end, ending the process with the application's status once it has
// flushed its streams.
class StatusConsoleFrontEnd : public ConsoleFrontEnd {
public:
    StatusConsoleFrontEnd(std::istream& in, std::ostream& out, std::ostream& err, ConsoleOptions options)
        : ConsoleFrontEnd(in, out, err, handingBack(options))
    {}

    // Until the application is given, the process ends with 0.
    void endWithStatusOf(const App& app) { m_app = &app; }

    [[noreturn]] void endProgram() override
    {
        try {
            ConsoleFrontEnd::endProgram();
        } catch (const ProgramEnded&) {
        }
        std::_Exit(m_app ? m_app->exitStatus() : 0);
    }

private:
    // The console's own ending flushes, then throws back here instead of ending with 0.
    static ConsoleOptions handingBack(ConsoleOptions options)
    {
        options.throwOnEnd = true;
        return options;
    }

    const App* m_app = nullptr;
};

} // namespace velmora
