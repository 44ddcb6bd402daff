#pragma once
// Keeping an event from running back into itself. A setter fires its control's event before
// it returns, so a handler that sets a control can find itself called again from inside;
// where that must not happen, the handler holds a Reentry for its length.
namespace velmora {

// Raises `busy` for the length of a scope and puts it back however the scope is left,
// exceptions included.
class Reentry {
public:
    explicit Reentry(bool& busy) : m_busy(busy), m_was(busy) { m_busy = true; }
    ~Reentry() { m_busy = m_was; }
    Reentry(const Reentry&) = delete;
    Reentry& operator=(const Reentry&) = delete;

    // True when the flag was already up: the caller is running inside itself.
    bool again() const { return m_was; }

private:
    bool& m_busy;
    bool m_was;
};

} // namespace velmora
