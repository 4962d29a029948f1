#pragma once

// A link over a port that notices being closed under the receive thread, with
// a form that notes what the pane held whenever its caption changed.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "caption_form.h"
#include "link/discovery.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "support/manual_timer.h"
#include "support/queue_dispatcher.h"
#include "support/recording_message_box.h"
#include "ui/control_table.h"
#include "ui/link_caption.h"

namespace modem::test {

// What the port saw; shared with the test, which plays the modem through it.
struct PortProbe {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int callsInProgress = 0;  // waits and reads under way
    bool closedUnderACall = false;
    bool woken = false;
    bool hungUp = false;
    bool failWrites = false;  // every write fails, as on a line that has gone
    std::deque<std::string> incoming;
    std::string written;
    // A write of more bytes takes this many, then fails as a device gone would.
    std::size_t writeAccepts = SIZE_MAX;
    // Runs inside each write, outside the lock: the modem answering while the
    // write still goes on.
    std::function<void()> duringWrite;

    void deliver(std::string bytes) {
        std::lock_guard lock(mutex);
        incoming.push_back(std::move(bytes));
        changed.notify_all();
    }
    void hangUp() {
        std::lock_guard lock(mutex);
        hungUp = true;
        changed.notify_all();
    }
    // Until the receive thread sits in a wait.
    bool waitUntilWaiting() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return callsInProgress > 0; });
    }
};

// Fails the test's check, not the program, when close() runs while another
// thread waits on or reads the port: a real port would be released under it.
class ProbePort : public SerialPort {
public:
    explicit ProbePort(std::shared_ptr<PortProbe> probe) : m_probe(std::move(probe)) {}

    OpenResult open(const std::string&) override {
        std::lock_guard lock(m_probe->mutex);
        m_probe->open = true;
        return {};
    }
    void close() override {
        std::lock_guard lock(m_probe->mutex);
        m_probe->closedUnderACall = m_probe->closedUnderACall || m_probe->callsInProgress > 0;
        m_probe->open = false;
    }
    [[nodiscard]] bool isOpen() const override {
        std::lock_guard lock(m_probe->mutex);
        return m_probe->open;
    }
    WriteResult write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override {
        std::function<void()> during;
        {
            std::lock_guard lock(m_probe->mutex);
            during = m_probe->duringWrite;
        }
        if (during) {
            during();
        }
        std::lock_guard lock(m_probe->mutex);
        if (m_probe->failWrites) {
            return {WriteStatus::Failed, 0, "device gone"};
        }
        const std::size_t n = std::min(bytes.size(), m_probe->writeAccepts);
        m_probe->written.append(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        if (n < bytes.size()) {
            return {WriteStatus::Failed, n, "device gone"};
        }
        return {WriteStatus::Ok, n, {}};
    }
    WaitStatus waitReadable() override {
        std::unique_lock lock(m_probe->mutex);
        ++m_probe->callsInProgress;
        m_probe->changed.notify_all();
        m_probe->changed.wait(
            lock, [&] { return m_probe->woken || m_probe->hungUp || !m_probe->incoming.empty(); });
        --m_probe->callsInProgress;
        if (m_probe->woken) {
            m_probe->woken = false;
            return WaitStatus::Woken;
        }
        return m_probe->hungUp ? WaitStatus::HangUp : WaitStatus::Readable;
    }
    ReadResult read(std::span<std::uint8_t> buffer) override {
        std::lock_guard lock(m_probe->mutex);
        if (m_probe->incoming.empty()) {
            return {m_probe->hungUp ? ReadStatus::HangUp : ReadStatus::WouldBlock, 0};
        }
        const std::string chunk = std::move(m_probe->incoming.front());
        m_probe->incoming.pop_front();
        const std::size_t n = std::min(chunk.size(), buffer.size());
        std::copy_n(chunk.begin(), n, buffer.begin());
        return {ReadStatus::Data, n};
    }
    void wake() override {
        std::lock_guard lock(m_probe->mutex);
        m_probe->woken = true;
        m_probe->changed.notify_all();
    }

private:
    std::shared_ptr<PortProbe> m_probe;
};

// Notes, for every caption it is given, what the pane held at that moment.
class OrderForm : public CaptionForm {
public:
    explicit OrderForm(const TerminalPane& pane) : m_pane(pane) {}
    void setCaption(int id, std::string_view text) override {
        CaptionForm::setCaption(id, text);
        if (id == ids::connectButton) {
            changes.push_back({std::string(text), m_pane.snapshot()});
        }
    }
    struct Change {
        std::string caption;
        std::string paneThen;
    };
    std::vector<Change> changes;

private:
    const TerminalPane& m_pane;
};

// Records each message and, while it is "open", runs what the test says
// happens meanwhile, as a message box's own loop would.
class LoopingMessageBox : public RecordingMessageBox {
public:
    void show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        RecordingMessageBox::show(text, caption, icon);
        if (whileShown) {
            whileShown();
        }
    }
    std::function<void()> whileShown;
};

struct ProbeRig {
    ProbeRig() { makeLink(); }
    // `stateChanged` empty: the form's caption shows the state.
    void makeLink(std::function<void(LinkState)> stateChanged = {}, TrafficTap* traffic = nullptr) {
        link.reset();
        link = std::make_unique<Link>(
            LinkContext{pane, messages, timer, dispatcher, finder,
                        [p = probe] { return std::make_unique<ProbePort>(p); },
                        stateChanged ? std::move(stateChanged) : showLinkState(form), traffic});
    }
    void connect() {
        link->toggleConnection();
        ASSERT_EQ(link->state(), LinkState::Up);
        ASSERT_TRUE(probe->waitUntilWaiting()) << "the receive thread never waited";
    }
    std::string caption() const { return form.caption(ids::connectButton); }

    std::shared_ptr<PortProbe> probe = std::make_shared<PortProbe>();
    TerminalPane pane;
    OrderForm form{pane};
    LoopingMessageBox messages;
    ManualTimer timer;
    QueueDispatcher dispatcher;
    FixedPortFinder finder{"/dev/probe"};
    std::unique_ptr<Link> link;  // last, so it stops before the rest goes
};

}  // namespace modem::test
