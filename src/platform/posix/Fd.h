#pragma once
// Ownership of one host file descriptor (internal to the POSIX host).
#include <unistd.h>

#include <utility>

namespace velmora::posixhost {

// Owns one file descriptor: closes it when destroyed or reset; moves, never copies.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    // The descriptor, still owned; -1 when none.
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Gives the descriptor up: the caller closes it.
    int release() { return std::exchange(m_fd, -1); }
    void reset()
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

} // namespace velmora::posixhost
