#include "link/link.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <vector>

#include "link/serial_port.h"

namespace modem {

namespace {

std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string cannotConnectMessage(std::string_view reason) {
    std::string text(cannotConnectText);
    if (!reason.empty()) {
        text += ": ";
        text += reason;
    }
    return text;
}

Link::Link(LinkContext context) : m_ctx(std::move(context)) {
    if (m_ctx.traffic != nullptr) {
        m_ctx.pane.setStatusListener(
            [tap = m_ctx.traffic](std::string_view line) { tap->status(line); });
    }
}

Link::~Link() {
    shutdown();
    if (m_ctx.traffic != nullptr) {
        m_ctx.pane.setStatusListener(nullptr);
    }
}

LinkState Link::state() const {
    if (!m_connected.load()) {
        return LinkState::Down;
    }
    return m_closing ? LinkState::Closing : LinkState::Up;
}

void Link::toggleConnection() {
    if (m_connected.load()) {
        beginDisconnect();
    } else {
        connect();
    }
}

void Link::connect() {
    // Discovery runs on every attempt, restarting the device, also when the
    // same port was open a moment ago.
    const std::string path = m_ctx.finder.findModemPort(m_ctx.pane);
    std::unique_ptr<SerialPort> port = m_ctx.makePort ? m_ctx.makePort() : nullptr;
    if (!port) {
        m_lastError = "no serial port implementation";
        m_ctx.messages.show(cannotConnectMessage(m_lastError), "Error");
        return;
    }
    if (path.empty()) {
        // Nothing to open: the port's own error would name no port at all.
        m_lastError = "no device found";
        m_ctx.messages.show(cannotConnectMessage(m_lastError), "Error");
        return;
    }
    if (m_ctx.traffic != nullptr) {
        port->setNotes([tap = m_ctx.traffic](std::string_view note) { tap->status(note); });
    }
    const OpenResult opened = port->open(path);
    m_lastError = opened.reason;
    if (opened.status == OpenStatus::CannotOpen) {
        m_ctx.messages.show(cannotConnectMessage(opened.reason), "Error");
        return;
    }
    if (opened.status == OpenStatus::CannotConfigure) {
        port->close();
        m_ctx.messages.show("please reconnect device", "error");
        return;
    }

    m_port = std::move(port);
    ++m_generation;
    m_stopRequested.store(false);
    m_connected.store(true);
    m_closing = false;
    changeState(LinkState::Up);
    std::string receiveFailure;
    try {
        m_rxThread = std::thread(&Link::receiveLoop, this, std::ref(*m_port), m_generation);
    } catch (const std::system_error& e) {
        // The link stays up without reception; disconnecting still closes the
        // port, and a later connect tries again.
        receiveFailure = std::string("cannot start the receive thread: ") + e.what();
        if (m_ctx.traffic != nullptr) {
            m_ctx.traffic->status(receiveFailure);
        }
    }
    m_ctx.pane.logLine("device connecting");
    const std::uint64_t generation = m_generation;
    const SendResult sent = sendCommand("+cfge\r");
    if (!stillUp(generation)) {
        return;  // taken down while the failed send's message was open
    }
    if (sent == SendResult::Sent && !receiveFailure.empty()) {
        m_lastError = receiveFailure;  // the send's success does not make up for it
    }
}

bool Link::stillUp(std::uint64_t generation) const {
    return m_connected.load() && generation == m_generation;
}

void Link::beginDisconnect() {
    const std::uint64_t generation = m_generation;
    (void)sendCommand("+cfgd\r");
    // A failed send shows its message, and the message's loop may have handled
    // the modem's unplugging meanwhile: the link is down then, and a close
    // timer or a "Closing" would belong to a link that is gone.
    if (!stillUp(generation)) {
        return;
    }
    // Each press restarts the count, so the close comes 100 ms after the last
    // "+cfgd\r" has been written; the modem's last bytes still reach the pane.
    m_closing = true;
    m_ctx.timer.start(closeDelay, [this] { finishDisconnect(); });
    changeState(LinkState::Closing);
}

void Link::finishDisconnect() {
    if (!m_connected.load()) {
        m_ctx.timer.stop();
        return;
    }
    // The thread goes first: it never touches a closed port, and nothing it read
    // lands in the pane after "device disconnected".
    stopReceiving();
    if (m_port) {
        m_port->close();
        m_port.reset();
    }
    // The thread has ended, so nothing else reads the flag any more; clearing
    // it first lets a listener see state() agree with what it is told.
    m_connected.store(false);
    m_closing = false;
    changeState(LinkState::Down);
    m_ctx.pane.logLine("device disconnected");
    m_ctx.timer.stop();
}

void Link::shutdown() {
    stopReceiving();
    if (m_port) {
        m_port->close();
        m_port.reset();
    }
    m_connected.store(false);
    if (m_closing) {
        // The timer outlives the link; its callback must not.
        m_ctx.timer.stop();
        m_closing = false;
    }
    m_reported = LinkState::Down;  // silently: see LinkContext::stateChanged
    ++m_generation;
}

void Link::changeState(LinkState next) {
    if (next == m_reported) {
        return;
    }
    m_reported = next;
    if (m_ctx.stateChanged) {
        m_ctx.stateChanged(next);
    }
}

void Link::stopReceiving() {
    if (!m_rxThread.joinable()) {
        return;
    }
    m_stopRequested.store(true);
    if (m_port) {
        m_port->wake();
    }
    m_rxThread.join();
}

SendResult Link::sendBytes(std::span<const std::uint8_t> bytes) {
    if (!m_port || !m_port->isOpen()) {
        return SendResult::NotOpen;
    }
    const std::uint64_t send = m_ctx.traffic != nullptr ? m_ctx.traffic->beginSend() : 0;
    const WriteResult written = m_port->write(bytes, writeDeadline);
    if (m_ctx.traffic != nullptr) {
        m_ctx.traffic->sent(send, bytes.first(std::min(written.written, bytes.size())));
    }
    if (written.ok()) {
        m_lastError.clear();
        return SendResult::Sent;
    }
    m_lastError = written.reason;
    if (m_ctx.traffic != nullptr) {
        m_ctx.traffic->status("write failed after " + std::to_string(written.written) + " of " +
                              std::to_string(bytes.size()) + " bytes: " + written.reason);
    }
    m_ctx.messages.show("Could not write to device", "Error");
    return SendResult::Failed;
}

SendResult Link::sendCommand(std::string_view text) {
    return sendBytes(asBytes(text));
}

void Link::receiveLoop(SerialPort& port, std::uint64_t generation) {
    // Large enough that a fast source is drained in few reads; the pane takes
    // each chunk under one lock.
    std::vector<std::uint8_t> buffer(64 * 1024);
    while (!m_stopRequested.load()) {
        const WaitStatus waited = port.waitReadable();
        if (waited == WaitStatus::Woken) {
            continue;
        }
        if (waited == WaitStatus::HangUp) {
            onHangUp(generation);
            return;
        }
        // Drain what is there, looking at the stop request between reads.
        while (!m_stopRequested.load()) {
            const ReadResult got = port.read(buffer);
            if (got.status == ReadStatus::Data) {
                const auto chunk = std::span<const std::uint8_t>(buffer).first(got.count);
                // Counted and tapped first, so whoever sees the bytes in the
                // pane sees them counted and logged.
                m_bytesReceived.fetch_add(got.count, std::memory_order_relaxed);
                if (m_ctx.traffic != nullptr) {
                    m_ctx.traffic->received(chunk);
                }
                m_ctx.pane.appendBytes(chunk);
                // Read again before waiting: under a steady stream more has
                // come meanwhile, and a wait per chunk would double the calls.
                continue;
            }
            if (got.status == ReadStatus::HangUp) {
                onHangUp(generation);
                return;
            }
            // Nothing more, or a passing fault: wait again.
            break;
        }
    }
}

// Runs on the receive thread, which then ends. The link is taken down on the
// user-interface thread, unless the operator has disconnected (or connected
// anew) by the time the task runs.
void Link::onHangUp(std::uint64_t generation) {
    m_ctx.dispatcher.post([this, alive = std::weak_ptr<bool>(m_alive), generation] {
        if (alive.expired() || generation != m_generation || !m_connected.load()) {
            return;
        }
        finishDisconnect();
    });
}

}  // namespace modem
