#pragma once

// The modem's serial port as the link uses it: opened exclusively and set to
// 9600 bit/s 8N1 raw, written by the user-interface thread within a deadline,
// waited on and read by the receive thread. wake() lets another thread end a
// wait at once, so the receive thread can be stopped without closing the port
// under it. Each platform supplies makeSystemSerialPort().

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace modem {

enum class OpenStatus {
    Ok,
    CannotOpen,       // missing, no access, or held by another program
    CannotConfigure,  // opened, but the line settings were refused; the port is closed again
};

struct OpenResult {
    OpenStatus status = OpenStatus::Ok;
    std::string reason;  // the system's explanation when not Ok, for diagnostics
    [[nodiscard]] bool ok() const { return status == OpenStatus::Ok; }
};

enum class WriteStatus {
    Ok,        // every byte handed to the driver
    NotOpen,   // nothing sent
    Failed,    // the driver refused the bytes (device gone, I/O error)
    TimedOut,  // the deadline passed with bytes still unsent; some may have gone out
};

struct WriteResult {
    WriteStatus status = WriteStatus::Ok;
    std::size_t written = 0;  // bytes handed to the driver
    std::string reason;
    [[nodiscard]] bool ok() const { return status == WriteStatus::Ok; }
};

enum class WaitStatus {
    Readable,  // bytes are waiting
    Woken,     // wake() was called (the request is used up)
    HangUp,    // the device went away or the port failed; waiting again is pointless
};

enum class ReadStatus {
    Data,        // `count` bytes were read
    WouldBlock,  // nothing waiting just now
    HangUp,      // the device went away
    Error,       // a passing fault; reception may go on
};

struct ReadResult {
    ReadStatus status = ReadStatus::WouldBlock;
    std::size_t count = 0;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens `path` for reading and writing, exclusively, and configures the
    // line: 9600 bit/s, 8 data bits, no parity, one stop bit, no flow control,
    // both directions purged, DTR then RTS raised.
    [[nodiscard]] virtual OpenResult open(const std::string& path) = 0;
    // Releases the port and its exclusive hold. Harmless when not open. Must not
    // run while another thread waits on or reads the port.
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;

    // Blocks until every byte is handed to the driver or `deadline` has passed.
    [[nodiscard]] virtual WriteResult write(std::span<const std::uint8_t> bytes,
                                            std::chrono::milliseconds deadline) = 0;

    // Blocks until bytes are waiting, wake() is called, or the device goes away.
    [[nodiscard]] virtual WaitStatus waitReadable() = 0;
    // Reads what is waiting, at most `buffer.size()` bytes; never blocks.
    [[nodiscard]] virtual ReadResult read(std::span<std::uint8_t> buffer) = 0;
    // Safe from any thread: ends the current waitReadable, or the next one.
    virtual void wake() = 0;

    // Where the port notes how it copes with its driver: another way of
    // waiting, a run of failed waits, pauses, the error that ended the link.
    // Called on the thread that waits and reads. Set before open(); a port
    // with nothing to note ignores it.
    virtual void setNotes(std::function<void(std::string_view)> notes) { (void)notes; }
};

[[nodiscard]] std::unique_ptr<SerialPort> makeSystemSerialPort();

}  // namespace modem
