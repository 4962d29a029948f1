#pragma once

// The link to the modem: connect and disconnect, the receive thread that feeds
// the terminal pane, and the one transmit path. Runs on the user-interface
// thread except for the receive thread, which only appends to the pane.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "link/terminal_pane.h"
#include "platform/dispatcher.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace modem {

class SerialPort;

// The headline of a failed connect; the message names the reason after it.
inline constexpr std::string_view cannotConnectText = "can't connect to device";

// "can't connect to device: REASON" (the headline alone without a reason).
[[nodiscard]] std::string cannotConnectMessage(std::string_view reason);

// Finds the modem's port before every connect, restarting the device, and logs
// "no device found" or "device found on %s" into the pane. Returns the path to
// open, empty when nothing was found.
class PortFinder {
public:
    virtual ~PortFinder() = default;
    [[nodiscard]] virtual std::string findModemPort(TerminalPane& pane) = 0;
};

enum class LinkState { Down, Up, Closing };

enum class SendResult {
    Sent,     // every byte handed to the driver
    NotOpen,  // no port open: nothing sent, nothing shown
    Failed,   // the write failed or ran past its deadline; reported once
};

// Receives a copy of the link's traffic. received() runs on the receive thread
// and must return at once: whatever it does with the bytes, it never waits for
// a disk or for the user-interface thread.
class TrafficTap {
public:
    virtual ~TrafficTap() = default;
    // A write is about to begin. Its entry takes its time and its place now, so
    // that nothing received while the write lasts comes before it; sent() then
    // gives the bytes that went out (none: no entry). Returns the write's
    // number for sent().
    [[nodiscard]] virtual std::uint64_t beginSend() = 0;
    virtual void sent(std::uint64_t send, std::span<const std::uint8_t> bytes) = 0;
    virtual void received(std::span<const std::uint8_t> bytes) = 0;
    // A status line of the pane, or a fault of the link worth keeping. The
    // port's notes on its driver come on the receive thread, with the same
    // haste as received().
    virtual void status(std::string_view text) = 0;
};

// What the link needs from the rest of the program; all owned by the caller
// and outliving the link.
struct LinkContext {
    TerminalPane& pane;
    MessageBox& messages;
    Timer& timer;            // the 100 ms close after "Disconnect"
    Dispatcher& dispatcher;  // takes a hang-up seen by the receive thread to the UI thread
    PortFinder& finder;
    std::function<std::unique_ptr<SerialPort>()> makePort;
    // Told of every change of state(), on the user-interface thread: Up once the
    // port is open (before "device connecting"), Closing after "+cfgd\r", Down
    // once the port is closed (before "device disconnected"). Not called by
    // shutdown(), which ends the program's link while its listeners may be
    // going. May be empty.
    std::function<void(LinkState)> stateChanged = {};
    // Optional: sees every byte sent and received and every status line of the
    // pane. The link hooks it to the pane's status lines while it lives.
    TrafficTap* traffic = nullptr;
};

class Link {
public:
    static constexpr std::chrono::milliseconds writeDeadline{1000};
    static constexpr std::chrono::milliseconds closeDelay{100};  // "+cfgd\r" to the close

    explicit Link(LinkContext context);
    // Stops the receive thread and closes the port without sending anything.
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    void toggleConnection();
    void finishDisconnect();

    SendResult sendBytes(std::span<const std::uint8_t> bytes);
    SendResult sendCommand(std::string_view text);

    [[nodiscard]] LinkState state() const;
    [[nodiscard]] bool connected() const { return m_connected.load(); }

    // Ends the link at program exit: no command is sent, the receive thread is
    // stopped before the port is closed.
    void shutdown();

    // Bytes the receive thread has put into the pane since construction.
    [[nodiscard]] std::uint64_t bytesReceived() const {
        return m_bytesReceived.load(std::memory_order_relaxed);
    }
    // Why the last connect or send failed (the system's words), for diagnostics;
    // empty after a success.
    [[nodiscard]] const std::string& lastError() const { return m_lastError; }

private:
    void connect();
    void beginDisconnect();
    void stopReceiving();
    void receiveLoop(SerialPort& port, std::uint64_t generation);
    void onHangUp(std::uint64_t generation);
    // False once the link of that connect has gone down or been replaced.
    [[nodiscard]] bool stillUp(std::uint64_t generation) const;
    void changeState(LinkState next);

    LinkContext m_ctx;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<std::uint64_t> m_bytesReceived{0};
    bool m_closing = false;                  // "+cfgd\r" sent, the close timer running
    LinkState m_reported = LinkState::Down;  // the last state told to stateChanged
    std::uint64_t m_generation = 0;          // counts connects; stale hang-up reports compare it
    // Tasks posted by the receive thread check it so they never reach a destroyed link.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::string m_lastError;
    std::unique_ptr<SerialPort> m_port;
    std::thread m_rxThread;
};

}  // namespace modem
