// The serial port on Windows: one overlapped handle, so that the receive
// thread's wait and read and the user-interface thread's write can be under
// way at the same time, each with its own event.
//
// The receive thread waits with WaitCommEvent for received characters. Some
// drivers cannot do that: some USB drivers, and Wine's ports backed by a
// pseudo-terminal, end the wait at once with an empty mask or an error. On
// such a port it waits instead with an overlapped read of one byte, which ends
// as soon as a byte arrives; the byte is kept for the next read. Either wait
// also ends on the wake-up event.

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <utility>

#include "link/serial_port.h"
#include "link/utf8_win32.h"

namespace modem {
namespace {

constexpr DWORD queueSize = 4096;          // bytes, each direction; a request to the driver
constexpr DWORD readTotalTimeout = 1000;   // ms
constexpr DWORD writeTotalTimeout = 1000;  // ms
constexpr DWORD firstByteLimit = 1000;     // ms: a one-byte wait is cancelled and begun anew
constexpr DWORD failurePause = 50;         // ms between attempts after a failed wait
constexpr int failuresBeforeHangUp = 20;   // consecutive failed waits: about one second
constexpr auto quickEnd = std::chrono::milliseconds(5);  // a wait shorter than this found nothing

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

private:
    HANDLE m_handle = nullptr;
};

std::string systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        message = narrowUtf8(text, length);
    }
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = "error " + std::to_string(error);
    }
    return message;
}

std::string errorText(std::string_view what, DWORD error) {
    std::string text(what);
    text += ": ";
    text += systemMessage(error);
    return text;
}

// "COM12" becomes \\.\COM12, the only spelling that reaches ports above COM9;
// a path already in device form is kept.
std::string devicePath(const std::string& name) {
    if (name.starts_with("\\\\")) {
        return name;
    }
    return "\\\\.\\" + name;
}

constexpr DWORD errorNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE, which not every SDK defines

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

// Errors after which the device is not coming back on this handle: what USB
// serial drivers give once the device is unplugged, and what Wine gives once
// the pseudo-terminal behind a port has hung up.
bool isGone(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_BROKEN_PIPE:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_GEN_FAILURE:
        case ERROR_INVALID_HANDLE:
        case errorNoSuchDevice:
        case ERROR_NOT_READY:
            return true;
        default:
            return false;
    }
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

class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort()
        // Auto-reset: one wake() ends one wait, as the interface promises.
        : m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
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
        const std::wstring device = widenUtf8(devicePath(path));
        // Share mode 0: nobody else may open the port while we hold it.
        UniqueHandle handle(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED,
                                        nullptr));
        if (!handle.valid()) {
            const DWORD error = GetLastError();
            if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
                return {OpenStatus::CannotOpen, path + ": in use by another program"};
            }
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                return {OpenStatus::CannotOpen, path + ": no such port"};
            }
            return {OpenStatus::CannotOpen, errorText(path, error)};
        }
        if (auto reason = configure(handle.get()); !reason.empty()) {
            return {OpenStatus::CannotConfigure, std::move(reason)};
        }
        m_port = std::move(handle);
        m_hold = std::move(hold);
        m_method = WaitMethod::CommEvent;
        m_held = false;
        m_failures = 0;
        ResetEvent(m_wake.get());
        return {};
    }

    void close() override {
        m_port.reset();
        m_hold.reset();
        m_held = false;
    }

    bool isOpen() const override { return m_port.valid(); }

    WriteResult write(std::span<const std::uint8_t> bytes,
                      std::chrono::milliseconds deadline) override {
        WriteResult result;
        if (!m_port.valid()) {
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
        BOOL ok = WriteFile(m_port.get(), bytes.data(), size, &written, &overlapped);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        bool late = false;
        if (!ok && error == ERROR_IO_PENDING) {
            const auto limit =
                static_cast<DWORD>(std::clamp<long long>(deadline.count(), 0, 0x7FFFFFFF));
            if (WaitForSingleObject(overlapped.hEvent, limit) != WAIT_OBJECT_0) {
                late = true;
                CancelIoEx(m_port.get(), &overlapped);
            }
            // Waits for the cancel too: the record must outlive the operation.
            ok = GetOverlappedResult(m_port.get(), &overlapped, &written, TRUE);
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
        if (!m_port.valid()) {
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
            if (!ClearCommError(m_port.get(), &errors, &status)) {
                if (isGone(GetLastError())) {
                    return WaitStatus::HangUp;
                }
            } else if (status.cbInQue > 0) {
                return WaitStatus::Readable;
            }
            const auto began = std::chrono::steady_clock::now();
            const Waited waited =
                m_method == WaitMethod::CommEvent ? waitForEvent() : waitForFirstByte();
            switch (waited) {
                case Waited::Arrived:
                    m_failures = 0;
                    break;
                case Waited::Woken:
                    return WaitStatus::Woken;
                case Waited::Gone:
                    return WaitStatus::HangUp;
                case Waited::Nothing:
                    // A driver that ends every wait at once must not make this a busy loop.
                    if (std::chrono::steady_clock::now() - began < quickEnd && pause()) {
                        return WaitStatus::Woken;
                    }
                    break;
                case Waited::Failed:
                    if (++m_failures >= failuresBeforeHangUp) {
                        return WaitStatus::HangUp;  // the port keeps refusing: treat it as gone
                    }
                    if (pause()) {
                        return WaitStatus::Woken;
                    }
                    break;
            }
        }
    }

    ReadResult read(std::span<std::uint8_t> buffer) override {
        if (!m_port.valid()) {
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
        if (!ClearCommError(m_port.get(), &errors, &status)) {
            const DWORD error = GetLastError();
            if (count > 0) {
                return got();
            }
            return {isGone(error) ? ReadStatus::HangUp : ReadStatus::Error, 0};
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
        BOOL ok = ReadFile(m_port.get(), buffer.data() + count, wanted, &n, &overlapped);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error == ERROR_IO_PENDING) {
            // The bytes are queued, so this ends at once; the limit guards against
            // a driver that holds on to them.
            if (WaitForSingleObject(overlapped.hEvent, readTotalTimeout + 100) != WAIT_OBJECT_0) {
                CancelIoEx(m_port.get(), &overlapped);
            }
            ok = GetOverlappedResult(m_port.get(), &overlapped, &n, TRUE);
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
            return {ReadStatus::HangUp, 0};
        }
        clearErrors();
        return {ReadStatus::Error, 0};
    }

    void wake() override { SetEvent(m_wake.get()); }

private:
    // Returns an empty text on success, else why the line settings failed.
    static std::string configure(HANDLE port) {
        // The results of these are of no consequence: a driver that refuses the
        // queue sizes or the purge still carries data.
        SetCommMask(port, EV_RXCHAR);
        SetupComm(port, queueSize, queueSize);
        PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

        // A read returns at once with what is there; with nothing there it waits
        // for the bytes asked for, up to one second. A write gives up after one.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = readTotalTimeout;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = writeTotalTimeout;
        if (!SetCommTimeouts(port, &timeouts)) {
            return errorText("SetCommTimeouts", GetLastError());
        }

        // Fields not set here keep the driver's values.
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(port, &dcb);
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
        if (!SetCommState(port, &dcb)) {
            return errorText("SetCommState", GetLastError());
        }
        // A port without modem lines (Wine's pseudo-terminals) refuses these and
        // still carries data.
        EscapeCommFunction(port, SETDTR);
        EscapeCommFunction(port, SETRTS);
        return {};
    }

    void clearErrors() {
        DWORD errors = 0;
        COMSTAT status{};
        ClearCommError(m_port.get(), &errors, &status);
    }

    // Waits for the pending operation of `overlapped` or a wake-up, with a limit
    // in ms (INFINITE for none). Unless the operation ended by itself it is
    // cancelled, and in every case it is over when this returns. Returns whether
    // wake() was called.
    bool await(OVERLAPPED& overlapped, DWORD limit) {
        const std::array<HANDLE, 2> events{overlapped.hEvent, m_wake.get()};
        const DWORD which = WaitForMultipleObjects(2, events.data(), FALSE, limit);
        if (which != WAIT_OBJECT_0) {
            CancelIoEx(m_port.get(), &overlapped);
        }
        return which == WAIT_OBJECT_0 + 1;
    }

    Waited waitForEvent() {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_waitEvent.get();
        ResetEvent(overlapped.hEvent);
        DWORD mask = 0;
        BOOL ok = WaitCommEvent(m_port.get(), &mask, &overlapped);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error == ERROR_IO_PENDING) {
            const bool woken = await(overlapped, INFINITE);
            DWORD unused = 0;
            ok = GetOverlappedResult(m_port.get(), &overlapped, &unused, TRUE);
            error = ok ? ERROR_SUCCESS : GetLastError();
            if (woken) {
                return Waited::Woken;
            }
        }
        if (ok && (mask & EV_RXCHAR) != 0) {
            return Waited::Arrived;
        }
        if (!ok && isGone(error)) {
            return Waited::Gone;
        }
        // A line error under abort-on-error ends the wait too; that is no reason
        // to stop waiting this way.
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(m_port.get(), &errors, &status)) {
            return isGone(GetLastError()) ? Waited::Gone : Waited::Failed;
        }
        if (errors != 0) {
            return Waited::Arrived;
        }
        // An empty mask or a refused wait: this driver cannot wait for events.
        m_method = WaitMethod::FirstByte;
        return Waited::Arrived;
    }

    Waited waitForFirstByte() {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_readEvent.get();
        ResetEvent(overlapped.hEvent);
        DWORD n = 0;
        BOOL ok = ReadFile(m_port.get(), &m_heldByte, 1, &n, &overlapped);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        bool woken = false;
        if (!ok && error == ERROR_IO_PENDING) {
            // Some drivers never end this read by the time-outs; ours ends it.
            woken = await(overlapped, firstByteLimit);
            ok = GetOverlappedResult(m_port.get(), &overlapped, &n, TRUE);
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
        if (ok || error == ERROR_TIMEOUT || error == ERROR_OPERATION_ABORTED) {
            if (error == ERROR_OPERATION_ABORTED) {
                clearErrors();  // a line error, or our own cancel
            }
            return Waited::Nothing;
        }
        return isGone(error) ? Waited::Gone : Waited::Failed;
    }

    // Waits before the next attempt; returns whether wake() was called meanwhile.
    bool pause() { return WaitForSingleObject(m_wake.get(), failurePause) == WAIT_OBJECT_0; }

    UniqueHandle m_port;
    UniqueHandle m_hold;  // our mark on the port's name while it is open
    UniqueHandle m_wake;
    UniqueHandle m_waitEvent;   // WaitCommEvent's
    UniqueHandle m_readEvent;   // the receive thread's reads
    UniqueHandle m_writeEvent;  // the writer's; writes never overlap each other
    WaitMethod m_method = WaitMethod::CommEvent;
    // A byte the one-byte wait took, handed out first by the next read.
    std::uint8_t m_heldByte = 0;
    bool m_held = false;
    int m_failures = 0;  // consecutive failed waits
};

}  // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort() {
    return std::make_unique<Win32SerialPort>();
}

}  // namespace modem
