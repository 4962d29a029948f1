// The serial port on Windows: one overlapped handle, so that the receive
// thread's wait and read and the user-interface thread's write can be under
// way at the same time, each with its own event.
//
// The receive thread waits with WaitCommEvent for received characters. Some
// drivers cannot do that: some USB drivers, and Wine's ports backed by a
// pseudo-terminal, end the wait at once with an empty mask or an error. On
// such a port it waits instead with an overlapped read of one byte, which ends
// as soon as a byte arrives; the byte is kept for the next read. Either wait
// also ends on the wake-up event. Each such turn is noted (setNotes), so that
// a traffic log shows which way the port was read.

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <utility>

#include "link/comm_api_win32.h"
#include "link/port_errors_win32.h"
#include "link/serial_port.h"
#include "platform/system_error_win32.h"
#include "platform/unique_handle_win32.h"
#include "platform/utf8_win32.h"

namespace modem {
namespace {

constexpr DWORD queueSize = 4096;          // bytes, each direction; a request to the driver
constexpr DWORD readTotalTimeout = 1000;   // ms
constexpr DWORD writeTotalTimeout = 1000;  // ms
constexpr DWORD firstByteLimit = 1000;     // ms: a one-byte wait is cancelled and begun anew
constexpr DWORD failurePause = 50;         // ms between attempts after a failed wait
constexpr int failuresBeforeHangUp = 20;   // consecutive failed waits: about one second
constexpr auto quickEnd = std::chrono::milliseconds(5);  // a wait shorter than this found nothing

// "COM12" becomes \\.\COM12, the only spelling that reaches ports above COM9;
// a path already in device form is kept.
std::string devicePath(const std::string& name) {
    if (name.starts_with("\\\\")) {
        return name;
    }
    return "\\\\.\\" + name;
}

// The name of the object that marks a port as held by one of our programs:
// share mode 0 keeps everyone else out on Windows, but not every system that
// runs Windows programs honours it for serial devices (Wine does not).
std::wstring holdName(const std::string& path) {
    std::string name = path;
    if (name.starts_with("\\\\.\\")) {
        name.erase(0, 4);
    }
    std::wstring wide = L"Global\\modem-serial-port-";
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        wide += u == '\\' ? L'_' : static_cast<wchar_t>(u >= 'a' && u <= 'z' ? u - 'a' + 'A' : u);
    }
    return wide;
}

bool isGone(DWORD error) {
    return classifyPortError(error) == PortFault::Gone;
}

// How a wait for received bytes ended.
enum class Waited {
    Arrived,  // something came, or may have: look at the queue again
    Nothing,  // the wait ran out with nothing
    Woken,
    Gone,
    Failed,  // the driver refused the wait
};

enum class WaitMethod { CommEvent, FirstByte };

class SystemCommApi final : public CommApi {
public:
    HANDLE openPort(const std::wstring& device) override {
        // Share mode 0: nobody else may open the port while we hold it.
        return CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    }
    BOOL closePort(HANDLE port) override { return CloseHandle(port); }
    BOOL setCommMask(HANDLE port, DWORD mask) override { return SetCommMask(port, mask); }
    BOOL setupComm(HANDLE port, DWORD inQueue, DWORD outQueue) override {
        return SetupComm(port, inQueue, outQueue);
    }
    BOOL purgeComm(HANDLE port, DWORD flags) override { return PurgeComm(port, flags); }
    BOOL setCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) override {
        return SetCommTimeouts(port, timeouts);
    }
    BOOL getCommState(HANDLE port, DCB* dcb) override { return GetCommState(port, dcb); }
    BOOL setCommState(HANDLE port, DCB* dcb) override { return SetCommState(port, dcb); }
    BOOL escapeCommFunction(HANDLE port, DWORD function) override {
        return EscapeCommFunction(port, function);
    }
    BOOL clearCommError(HANDLE port, DWORD* errors, COMSTAT* status) override {
        return ClearCommError(port, errors, status);
    }
    BOOL waitCommEvent(HANDLE port, DWORD* mask, OVERLAPPED* overlapped) override {
        return WaitCommEvent(port, mask, overlapped);
    }
    BOOL readFile(HANDLE port, void* buffer, DWORD size, DWORD* read,
                  OVERLAPPED* overlapped) override {
        return ReadFile(port, buffer, size, read, overlapped);
    }
    BOOL writeFile(HANDLE port, const void* buffer, DWORD size, DWORD* written,
                   OVERLAPPED* overlapped) override {
        return WriteFile(port, buffer, size, written, overlapped);
    }
    BOOL getOverlappedResult(HANDLE port, OVERLAPPED* overlapped, DWORD* transferred,
                             BOOL wait) override {
        return GetOverlappedResult(port, overlapped, transferred, wait);
    }
    BOOL cancelIoEx(HANDLE port, OVERLAPPED* overlapped) override {
        return CancelIoEx(port, overlapped);
    }
};

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(CommApi& api)
        : m_api(api),
          // Auto-reset: one wake() ends one wait, as the interface promises.
          m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          m_waitEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_readEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_writeEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Win32SerialPort() override { close(); }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    OpenResult open(const std::string& path) override {
        close();
        if (!m_wake.valid() || !m_waitEvent.valid() || !m_readEvent.valid() ||
            !m_writeEvent.valid()) {
            return {OpenStatus::CannotOpen, "no events for the port"};
        }
        if (path.empty()) {
            return {OpenStatus::CannotOpen, "no port name"};
        }
        UniqueHandle hold(CreateMutexW(nullptr, FALSE, holdName(path).c_str()));
        if (hold.valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
            return {OpenStatus::CannotOpen, path + ": in use by another program"};
        }
        const HANDLE handle = m_api.openPort(widenUtf8(devicePath(path)));
        if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
            const DWORD error = GetLastError();
            if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
                return {OpenStatus::CannotOpen, path + ": in use by another program"};
            }
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                return {OpenStatus::CannotOpen, path + ": no such port"};
            }
            return {OpenStatus::CannotOpen, errorText(path, error)};
        }
        if (auto reason = configure(handle); !reason.empty()) {
            m_api.closePort(handle);
            return {OpenStatus::CannotConfigure, std::move(reason)};
        }
        m_port = handle;
        m_hold = std::move(hold);
        m_method = WaitMethod::CommEvent;
        m_held = false;
        m_failures = 0;
        m_pausesNoted = false;
        ResetEvent(m_wake.get());
        return {};
    }

    void close() override {
        if (isOpen()) {
            m_api.closePort(m_port);
        }
        m_port = INVALID_HANDLE_VALUE;
        m_hold.reset();
        m_held = false;
    }

    bool isOpen() const override { return m_port != INVALID_HANDLE_VALUE; }

    void setNotes(std::function<void(std::string_view)> notes) override {
        m_notes = std::move(notes);
    }

    WriteResult write(std::span<const std::uint8_t> bytes,
                      std::chrono::milliseconds deadline) override {
        WriteResult result;
        if (!isOpen()) {
            result.status = WriteStatus::NotOpen;
            return result;
        }
        if (bytes.empty()) {
            return result;
        }
        const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_writeEvent.get();
        ResetEvent(overlapped.hEvent);
        DWORD written = 0;
        BOOL ok = m_api.writeFile(m_port, bytes.data(), size, &written, &overlapped);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        bool late = false;
        if (!ok && error == ERROR_IO_PENDING) {
            const auto limit =
                static_cast<DWORD>(std::clamp<long long>(deadline.count(), 0, 0x7FFFFFFF));
            if (WaitForSingleObject(overlapped.hEvent, limit) != WAIT_OBJECT_0) {
                late = true;
                m_api.cancelIoEx(m_port, &overlapped);
            }
            // Waits for the cancel too: the record must outlive the operation.
            ok = m_api.getOverlappedResult(m_port, &overlapped, &written, TRUE);
            error = ok ? ERROR_SUCCESS : GetLastError();
        }
        result.written = written;
        if (ok && written == bytes.size()) {
            return result;
        }
        if (ok || late || error == ERROR_TIMEOUT) {
            // The driver's own write time-out, or ours, ended it with bytes unsent.
            result.status = WriteStatus::TimedOut;
            result.reason = "write deadline passed";
            return result;
        }
        clearErrors();
        result.status = WriteStatus::Failed;
        result.reason = errorText("write", error);
        return result;
    }

    WaitStatus waitReadable() override {
        if (!isOpen()) {
            return WaitStatus::HangUp;
        }
        for (;;) {
            if (m_held) {
                return WaitStatus::Readable;
            }
            // Bytes that came before the wait began, and the error state that
            // abort-on-error leaves after a line error, are dealt with first.
            DWORD errors = 0;
            COMSTAT status{};
            if (!m_api.clearCommError(m_port, &errors, &status)) {
                const DWORD error = GetLastError();
                if (isGone(error)) {
                    return gone("ClearCommError", error);
                }
            } else if (status.cbInQue > 0) {
                return WaitStatus::Readable;
            }
            const auto began = std::chrono::steady_clock::now();
            const Waited waited =
                m_method == WaitMethod::CommEvent ? waitForEvent() : waitForFirstByte();
            switch (waited) {
                case Waited::Arrived:
                    if (m_failures > 0) {
                        note("receive: waits work again after " + std::to_string(m_failures) +
                             " failed");
                    }
                    m_failures = 0;
                    break;
                case Waited::Woken:
                    return WaitStatus::Woken;
                case Waited::Gone:
                    return WaitStatus::HangUp;
                case Waited::Nothing:
                    // A driver that ends every wait at once must not make this a busy loop.
                    if (std::chrono::steady_clock::now() - began < quickEnd) {
                        if (!m_pausesNoted) {
                            m_pausesNoted = true;
                            note("receive: the driver ends waits at once with nothing; pausing " +
                                 std::to_string(failurePause) + " ms between such waits");
                        }
                        if (pause()) {
                            return WaitStatus::Woken;
                        }
                    }
                    break;
                case Waited::Failed:
                    if (m_failures == 0) {
                        note("receive: a wait failed (" + m_failure + "); trying again every " +
                             std::to_string(failurePause) + " ms, the port counts as gone after " +
                             std::to_string(failuresBeforeHangUp) + " failures in a row");
                    }
                    if (++m_failures >= failuresBeforeHangUp) {
                        // The port keeps refusing: treat it as gone.
                        note("receive: " + std::to_string(m_failures) +
                             " waits failed in a row; the port counts as gone");
                        return WaitStatus::HangUp;
                    }
                    if (pause()) {
                        return WaitStatus::Woken;
                    }
                    break;
            }
        }
    }

    ReadResult read(std::span<std::uint8_t> buffer) override {
        if (!isOpen()) {
            return {ReadStatus::HangUp, 0};
        }
        if (buffer.empty()) {
            return {ReadStatus::WouldBlock, 0};
        }
        std::size_t count = 0;
        if (m_held) {
            buffer[0] = m_heldByte;
            m_held = false;
            count = 1;
        }
        const auto got = [&count] { return ReadResult{ReadStatus::Data, count}; };
        DWORD errors = 0;
        COMSTAT status{};
        if (!m_api.clearCommError(m_port, &errors, &status)) {
            const DWORD error = GetLastError();
            if (count > 0) {
                return got();
            }
            if (isGone(error)) {
                (void)gone("ClearCommError", error);
                return {ReadStatus::HangUp, 0};
            }
            return {ReadStatus::Error, 0};
        }
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(
            status.cbInQue, std::min<std::size_t>(buffer.size() - count, MAXDWORD)));
        if (wanted == 0) {
            return count > 0 ? got() : ReadResult{ReadStatus::WouldBlock, 0};
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_readEvent.get();
        ResetEvent(overlapped.hEvent);
        DWORD n = 0;
        BOOL ok = m_api.readFile(m_port, buffer.data() + count, wanted, &n, &overlapped);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error == ERROR_IO_PENDING) {
            // The bytes are queued, so this ends at once; the limit guards against
            // a driver that holds on to them.
            if (WaitForSingleObject(overlapped.hEvent, readTotalTimeout + 100) != WAIT_OBJECT_0) {
                m_api.cancelIoEx(m_port, &overlapped);
            }
            ok = m_api.getOverlappedResult(m_port, &overlapped, &n, TRUE);
            error = ok ? ERROR_SUCCESS : GetLastError();
        }
        count += n;
        if (ok || count > 0) {
            if (!ok) {
                clearErrors();
            }
            return count > 0 ? got() : ReadResult{ReadStatus::WouldBlock, 0};
        }
        if (isGone(error)) {
            (void)gone("ReadFile", error);
            return {ReadStatus::HangUp, 0};
        }
        clearErrors();
        return {ReadStatus::Error, 0};
    }

    void wake() override { SetEvent(m_wake.get()); }

private:
    // Returns an empty text on success, else why the line settings failed.
    std::string configure(HANDLE port) {
        // The results of these are of no consequence: a driver that refuses the
        // queue sizes or the purge still carries data.
        m_api.setCommMask(port, EV_RXCHAR);
        m_api.setupComm(port, queueSize, queueSize);
        m_api.purgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

        // A read returns at once with what is there; with nothing there it waits
        // for the bytes asked for, up to one second. A write gives up after one.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = readTotalTimeout;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = writeTotalTimeout;
        if (!m_api.setCommTimeouts(port, &timeouts)) {
            return errorText("SetCommTimeouts", GetLastError());
        }

        // Fields not set here keep the driver's values.
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        m_api.getCommState(port, &dcb);
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;  // raised below, under our control
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;  // likewise
        // After a line error reads fail until ClearCommError, which every wait
        // and read calls first.
        dcb.fAbortOnError = TRUE;
        dcb.XonLim = 128;
        dcb.XoffLim = 128;
        dcb.XonChar = 0x00;
        dcb.XoffChar = static_cast<char>(0xFF);
        if (!m_api.setCommState(port, &dcb)) {
            return errorText("SetCommState", GetLastError());
        }
        // A port without modem lines (Wine's pseudo-terminals) refuses these and
        // still carries data.
        m_api.escapeCommFunction(port, SETDTR);
        m_api.escapeCommFunction(port, SETRTS);
        return {};
    }

    void clearErrors() {
        DWORD errors = 0;
        COMSTAT status{};
        m_api.clearCommError(m_port, &errors, &status);
    }

    void note(const std::string& text) const {
        if (m_notes) {
            m_notes(text);
        }
    }

    // Notes the call and code that ended the link; returns HangUp.
    WaitStatus gone(std::string_view call, DWORD error) const {
        note("receive: the port is gone: " + errorText(call, error));
        return WaitStatus::HangUp;
    }

    // Waits for the pending operation of `overlapped` or a wake-up, with a limit
    // in ms (INFINITE for none). Returns whether wake() was called. Unless the
    // operation ended by itself the caller must end it before the record goes.
    bool await(OVERLAPPED& overlapped, DWORD limit, bool& ended) {
        const std::array<HANDLE, 2> events{overlapped.hEvent, m_wake.get()};
        const DWORD which = WaitForMultipleObjects(2, events.data(), FALSE, limit);
        ended = which == WAIT_OBJECT_0;
        return which == WAIT_OBJECT_0 + 1;
    }

    Waited waitForEvent() {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_waitEvent.get();
        ResetEvent(overlapped.hEvent);
        DWORD mask = 0;
        BOOL ok = m_api.waitCommEvent(m_port, &mask, &overlapped);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error == ERROR_IO_PENDING) {
            bool ended = false;
            const bool woken = await(overlapped, INFINITE, ended);
            if (!ended) {
                // Setting the mask ends a pending WaitCommEvent on every driver,
                // also on one that ignores the cancel; the cancel covers those
                // that do not complete it on a mask change.
                m_api.setCommMask(m_port, EV_RXCHAR);
                m_api.cancelIoEx(m_port, &overlapped);
            }
            DWORD unused = 0;
            ok = m_api.getOverlappedResult(m_port, &overlapped, &unused, TRUE);
            error = ok ? ERROR_SUCCESS : GetLastError();
            if (woken) {
                return Waited::Woken;
            }
        }
        if (ok && (mask & EV_RXCHAR) != 0) {
            return Waited::Arrived;
        }
        if (!ok && isGone(error)) {
            (void)gone("WaitCommEvent", error);
            return Waited::Gone;
        }
        // A line error under abort-on-error ends the wait too; that is no reason
        // to stop waiting this way.
        DWORD errors = 0;
        COMSTAT status{};
        if (!m_api.clearCommError(m_port, &errors, &status)) {
            const DWORD clearError = GetLastError();
            if (isGone(clearError)) {
                (void)gone("ClearCommError", clearError);
                return Waited::Gone;
            }
            m_failure = errorText("ClearCommError", clearError);
            return Waited::Failed;
        }
        if (errors != 0) {
            return Waited::Arrived;
        }
        // An empty mask or a refused wait: this driver cannot wait for events.
        m_method = WaitMethod::FirstByte;
        note(ok ? std::string("receive: the driver ends event waits with no event; waiting "
                              "with one-byte reads from now on")
                : "receive: the driver cannot wait for events (" +
                      errorText("WaitCommEvent", error) +
                      "); waiting with one-byte reads from now on");
        return Waited::Arrived;
    }

    Waited waitForFirstByte() {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_readEvent.get();
        ResetEvent(overlapped.hEvent);
        DWORD n = 0;
        BOOL ok = m_api.readFile(m_port, &m_heldByte, 1, &n, &overlapped);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        bool woken = false;
        if (!ok && error == ERROR_IO_PENDING) {
            // Some drivers never end this read by the time-outs; ours ends it.
            bool ended = false;
            woken = await(overlapped, firstByteLimit, ended);
            if (!ended) {
                m_api.cancelIoEx(m_port, &overlapped);
            }
            ok = m_api.getOverlappedResult(m_port, &overlapped, &n, TRUE);
            error = ok ? ERROR_SUCCESS : GetLastError();
        }
        // A cancelled read may still have taken its byte.
        m_held = n == 1;
        if (woken) {
            return Waited::Woken;
        }
        if (m_held) {
            return Waited::Arrived;
        }
        if (ok) {
            return Waited::Nothing;
        }
        switch (classifyPortError(error)) {
            case PortFault::Gone:
                (void)gone("ReadFile", error);
                return Waited::Gone;
            case PortFault::Transient:
                clearErrors();  // a line error, a time-out, or our own cancel
                return Waited::Nothing;
            case PortFault::Refused:
                break;
        }
        m_failure = errorText("ReadFile", error);
        return Waited::Failed;
    }

    // Waits before the next attempt; returns whether wake() was called meanwhile.
    bool pause() { return WaitForSingleObject(m_wake.get(), failurePause) == WAIT_OBJECT_0; }

    CommApi& m_api;
    HANDLE m_port = INVALID_HANDLE_VALUE;  // closed through m_api
    UniqueHandle m_hold;                   // our mark on the port's name while it is open
    UniqueHandle m_wake;
    UniqueHandle m_waitEvent;   // WaitCommEvent's
    UniqueHandle m_readEvent;   // the receive thread's reads
    UniqueHandle m_writeEvent;  // the writer's; writes never overlap each other
    std::function<void(std::string_view)> m_notes;
    WaitMethod m_method = WaitMethod::CommEvent;
    // A byte the one-byte wait took, handed out first by the next read.
    std::uint8_t m_heldByte = 0;
    bool m_held = false;
    int m_failures = 0;          // consecutive failed waits
    std::string m_failure;       // why the last wait failed
    bool m_pausesNoted = false;  // the pauses after empty waits, noted once per open
};

}  // namespace

CommApi& systemCommApi() {
    static SystemCommApi api;
    return api;
}

std::unique_ptr<SerialPort> makeWin32SerialPort(CommApi& api) {
    return std::make_unique<Win32SerialPort>(api);
}

std::unique_ptr<SerialPort> makeSystemSerialPort() {
    return makeWin32SerialPort(systemCommApi());
}

}  // namespace modem
