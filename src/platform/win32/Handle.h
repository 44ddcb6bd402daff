#pragma once
// Ownership of one Windows handle (internal to the Windows host).
#include <windows.h>

#include <utility>

namespace velmora::win32 {

// Closes its handle when it goes. Both null and INVALID_HANDLE_VALUE count as none, as the
// functions that make handles answer one or the other.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_h = std::exchange(other.m_h, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    HANDLE release() { return std::exchange(m_h, nullptr); }
    void reset()
    {
        if (m_h) ::CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};

} // namespace velmora::win32
