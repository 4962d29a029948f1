#pragma once

// A scripted serial driver behind the port's device calls: bytes arrive when
// the test delivers them, a wait or a one-byte read stays pending until bytes
// come (or the port ends it), and any call can be made to fail with a chosen
// error code, once or from then on. Completion is signalled on the request's
// own event, as a driver does.

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "link/comm_api_win32.h"

namespace modem::test {

enum class CommCall {
    ClearCommError,
    WaitCommEvent,
    ReadFile,
    WriteFile,
    PendingWait,
    PendingRead
};

class FakeComm : public CommApi {
public:
    // Whether CancelIoEx ends a pending request; a driver that ignores it
    // leaves a pending WaitCommEvent to a change of the event mask.
    bool honoursCancel = true;
    // Whether WaitCommEvent is refused at once, as drivers that cannot wait do.
    DWORD waitRefusal = 0;
    // Whether a read with nothing queued ends at once with no byte, as on a
    // driver that ignores the read time-outs.
    bool emptyReads = false;

    // `call` fails with `code`: once, or from now on.
    void failNext(CommCall call, DWORD code) { script(call, code, false); }
    void failAlways(CommCall call, DWORD code) { script(call, code, true); }

    // Bytes from the modem: they end a pending wait or one-byte read.
    void deliver(const std::string& bytes) {
        std::lock_guard lock(m_mutex);
        m_incoming.insert(m_incoming.end(), bytes.begin(), bytes.end());
        if (m_wait.overlapped != nullptr) {
            *m_wait.mask = EV_RXCHAR;
            complete(m_wait, TRUE, ERROR_SUCCESS, 0);
        }
        if (m_read.overlapped != nullptr) {
            *m_read.buffer = m_incoming.front();
            m_incoming.pop_front();
            complete(m_read, TRUE, ERROR_SUCCESS, 1);
        }
    }

    // The pending wait (or one-byte read) fails with `code`, as a driver's
    // does when its device goes.
    void failPending(DWORD code) {
        std::lock_guard lock(m_mutex);
        if (m_wait.overlapped != nullptr) {
            complete(m_wait, FALSE, code, 0);
        }
        if (m_read.overlapped != nullptr) {
            complete(m_read, FALSE, code, 0);
        }
    }

    // Until a wait or a one-byte read is pending; false after five seconds.
    bool waitUntilPending(CommCall which = CommCall::PendingWait) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [&] {
            return (which == CommCall::PendingWait ? m_wait : m_read).overlapped != nullptr;
        });
    }

    [[nodiscard]] int calls(CommCall call) const {
        std::lock_guard lock(m_mutex);
        const auto found = m_calls.find(call);
        return found == m_calls.end() ? 0 : found->second;
    }
    [[nodiscard]] std::string written() const {
        std::lock_guard lock(m_mutex);
        return m_written;
    }
    // A GetOverlappedResult that would have waited for ever: the port never
    // ended its own request.
    [[nodiscard]] bool hung() const {
        std::lock_guard lock(m_mutex);
        return m_hung;
    }
    [[nodiscard]] bool open() const {
        std::lock_guard lock(m_mutex);
        return m_open;
    }

    HANDLE openPort(const std::wstring&) override {
        std::lock_guard lock(m_mutex);
        m_open = true;
        return handle;
    }
    BOOL closePort(HANDLE) override {
        std::lock_guard lock(m_mutex);
        m_open = false;
        return TRUE;
    }
    BOOL setCommMask(HANDLE, DWORD) override {
        std::lock_guard lock(m_mutex);
        // Every driver ends a pending WaitCommEvent when the mask changes.
        if (m_wait.overlapped != nullptr) {
            *m_wait.mask = 0;
            complete(m_wait, TRUE, ERROR_SUCCESS, 0);
        }
        return TRUE;
    }
    BOOL setupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL purgeComm(HANDLE, DWORD) override { return TRUE; }
    BOOL setCommTimeouts(HANDLE, COMMTIMEOUTS*) override { return TRUE; }
    BOOL getCommState(HANDLE, DCB*) override { return TRUE; }
    BOOL setCommState(HANDLE, DCB*) override { return TRUE; }
    BOOL escapeCommFunction(HANDLE, DWORD) override { return TRUE; }

    BOOL clearCommError(HANDLE, DWORD* errors, COMSTAT* status) override {
        std::lock_guard lock(m_mutex);
        ++m_calls[CommCall::ClearCommError];
        if (failing(CommCall::ClearCommError)) {
            return FALSE;
        }
        *errors = 0;
        *status = COMSTAT{};
        status->cbInQue = static_cast<DWORD>(m_incoming.size());
        return TRUE;
    }

    BOOL waitCommEvent(HANDLE, DWORD* mask, OVERLAPPED* overlapped) override {
        std::lock_guard lock(m_mutex);
        ++m_calls[CommCall::WaitCommEvent];
        if (failing(CommCall::WaitCommEvent)) {
            return FALSE;
        }
        if (waitRefusal != 0) {
            SetLastError(waitRefusal);
            return FALSE;
        }
        if (!m_incoming.empty()) {
            *mask = EV_RXCHAR;
            return TRUE;
        }
        return pend(m_wait, overlapped, mask, nullptr, CommCall::PendingWait);
    }

    BOOL readFile(HANDLE, void* buffer, DWORD size, DWORD* read, OVERLAPPED* overlapped) override {
        std::lock_guard lock(m_mutex);
        ++m_calls[CommCall::ReadFile];
        *read = 0;
        if (failing(CommCall::ReadFile)) {
            return FALSE;
        }
        if (m_incoming.empty() && emptyReads) {
            return TRUE;
        }
        if (m_incoming.empty()) {
            return pend(m_read, overlapped, nullptr, static_cast<std::uint8_t*>(buffer),
                        CommCall::PendingRead);
        }
        auto* out = static_cast<std::uint8_t*>(buffer);
        while (*read < size && !m_incoming.empty()) {
            out[(*read)++] = m_incoming.front();
            m_incoming.pop_front();
        }
        return TRUE;
    }

    BOOL writeFile(HANDLE, const void* buffer, DWORD size, DWORD* written, OVERLAPPED*) override {
        std::lock_guard lock(m_mutex);
        ++m_calls[CommCall::WriteFile];
        if (failing(CommCall::WriteFile)) {
            *written = 0;
            return FALSE;
        }
        m_written.append(static_cast<const char*>(buffer), size);
        *written = size;
        return TRUE;
    }

    BOOL getOverlappedResult(HANDLE, OVERLAPPED* overlapped, DWORD* transferred,
                             BOOL wait) override {
        std::unique_lock lock(m_mutex);
        const auto done = [&] { return m_results.count(overlapped) > 0; };
        if (!done()) {
            if (!wait) {
                SetLastError(ERROR_IO_INCOMPLETE);
                return FALSE;
            }
            // A real driver that never ends the request would block here for
            // ever; the test hears of it instead.
            if (!m_changed.wait_for(lock, std::chrono::seconds(5), done)) {
                m_hung = true;
                forget(overlapped);
                SetLastError(ERROR_OPERATION_ABORTED);
                return FALSE;
            }
        }
        const Result result = m_results[overlapped];
        m_results.erase(overlapped);
        *transferred = result.transferred;
        if (!result.ok) {
            SetLastError(result.error);
        }
        return result.ok;
    }

    BOOL cancelIoEx(HANDLE, OVERLAPPED* overlapped) override {
        std::lock_guard lock(m_mutex);
        if (!honoursCancel) {
            return TRUE;
        }
        for (Pending* p : {&m_wait, &m_read}) {
            if (p->overlapped != nullptr &&
                (overlapped == nullptr || overlapped == p->overlapped)) {
                complete(*p, FALSE, ERROR_OPERATION_ABORTED, 0);
            }
        }
        return TRUE;
    }

    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x5150));

private:
    struct Pending {
        OVERLAPPED* overlapped = nullptr;
        DWORD* mask = nullptr;
        std::uint8_t* buffer = nullptr;
    };
    struct Result {
        BOOL ok = TRUE;
        DWORD error = ERROR_SUCCESS;
        DWORD transferred = 0;
    };
    struct Failure {
        DWORD code;
        bool always;
    };

    void script(CommCall call, DWORD code, bool always) {
        std::lock_guard lock(m_mutex);
        m_failures[call] = {code, always};
    }

    // Under the lock: whether `call` fails now; sets its code if so.
    bool failing(CommCall call) {
        const auto found = m_failures.find(call);
        if (found == m_failures.end()) {
            return false;
        }
        SetLastError(found->second.code);
        if (!found->second.always) {
            m_failures.erase(found);
        }
        return true;
    }

    BOOL pend(Pending& p, OVERLAPPED* overlapped, DWORD* mask, std::uint8_t* buffer,
              CommCall which) {
        const auto scripted = m_failures.find(which);
        if (scripted != m_failures.end()) {
            // Accepted, then failed at once: how a driver reports a device that
            // went away between two requests.
            const DWORD code = scripted->second.code;
            if (!scripted->second.always) {
                m_failures.erase(scripted);
            }
            p = {overlapped, mask, buffer};
            complete(p, FALSE, code, 0);
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
        ResetEvent(overlapped->hEvent);
        p = {overlapped, mask, buffer};
        m_changed.notify_all();
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }

    void complete(Pending& p, BOOL ok, DWORD error, DWORD transferred) {
        m_results[p.overlapped] = {ok, error, transferred};
        SetEvent(p.overlapped->hEvent);
        p = {};
        m_changed.notify_all();
    }

    void forget(OVERLAPPED* overlapped) {
        for (Pending* p : {&m_wait, &m_read}) {
            if (p->overlapped == overlapped) {
                *p = {};
            }
        }
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::uint8_t> m_incoming;
    std::string m_written;
    Pending m_wait;
    Pending m_read;
    std::map<OVERLAPPED*, Result> m_results;
    std::map<CommCall, Failure> m_failures;
    std::map<CommCall, int> m_calls;
    bool m_hung = false;
    bool m_open = false;
};

}  // namespace modem::test
