#pragma once

// Owns one kernel handle: a file, a port, an event, a mutex. The API has two
// spellings of "no handle" (null from most calls, INVALID_HANDLE_VALUE from
// CreateFile); both count as empty here.

#include <windows.h>

#include <utility>

namespace modem {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.m_handle, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    [[nodiscard]] HANDLE get() const { return m_handle; }
    [[nodiscard]] bool valid() const {
        return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE;
    }
    void reset(HANDLE handle = nullptr) {
        if (valid()) {
            CloseHandle(m_handle);
        }
        m_handle = handle;
    }
    // Closes now and tells whether the system took the close: for a file, the
    // last of its data may fail to reach the disk only here.
    [[nodiscard]] bool close() {
        const HANDLE handle = std::exchange(m_handle, nullptr);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle = nullptr;
};

}  // namespace modem
