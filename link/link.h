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
#include "ui/form.h"

namespace modem {

class SerialPort;

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

// What the link needs from the rest of the program; all owned by the caller
// and outliving the link.
struct LinkContext {
    TerminalPane& pane;
    Form& form;  // for the caption of the connection button
    MessageBox& messages;
    Timer& timer;            // the 100 ms close after "Disconnect"
    Dispatcher& dispatcher;  // takes a hang-up seen by the receive thread to the UI thread
    PortFinder& finder;
    std::function<std::unique_ptr<SerialPort>()> makePort;
};

class Link {
public:
    // The connection button whose caption tells the state.
    static constexpr int connectButtonId = 4003;
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

    LinkContext m_ctx;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<std::uint64_t> m_bytesReceived{0};
    bool m_closing = false;          // "+cfgd\r" sent, the close timer running
    std::uint64_t m_generation = 0;  // counts connects; stale hang-up reports compare it
    // Tasks posted by the receive thread check it so they never reach a destroyed link.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::string m_lastError;
    std::unique_ptr<SerialPort> m_port;
    std::thread m_rxThread;
};

}  // namespace modem
