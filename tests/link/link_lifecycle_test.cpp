// The order in which the link opens, closes and reports, checked with a port
// that notices being closed under the receive thread, a form that notes what
// the pane held whenever its caption changed, and thread creation that can be
// made to fail.

#include <dlfcn.h>
#include <pthread.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "link/discovery.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "link_test_helpers.h"
#include "support/manual_timer.h"
#include "support/queue_dispatcher.h"
#include "support/recording_message_box.h"
#include "ui/control_table.h"
#include "ui/link_caption.h"

namespace {

// Thread creation fails while this is above zero, one failure per count.
std::atomic<int> threadStartsToFail{0};

}  // namespace

// Stands in front of the system's pthread_create, which std::thread uses.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*body)(void*),
                              void* arg) noexcept {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    for (int n = threadStartsToFail.load(); n > 0;) {
        if (threadStartsToFail.compare_exchange_weak(n, n - 1)) {
            return EAGAIN;
        }
    }
    return real(thread, attr, body, arg);
}

namespace modem {
namespace {

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

// What the port saw; shared with the test, which plays the modem through it.
struct PortProbe {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int callsInProgress = 0;  // waits and reads under way
    bool closedUnderACall = false;
    bool woken = false;
    bool hungUp = false;
    std::deque<std::string> incoming;
    std::string written;

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
        return changed.wait_for(lock, 5s, [&] { return callsInProgress > 0; });
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
        std::lock_guard lock(m_probe->mutex);
        m_probe->written.append(bytes.begin(), bytes.end());
        return {WriteStatus::Ok, bytes.size(), {}};
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
class OrderForm : public test::CaptionForm {
public:
    explicit OrderForm(const TerminalPane& pane) : m_pane(pane) {}
    void setCaption(int id, std::string_view text) override {
        test::CaptionForm::setCaption(id, text);
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

struct ProbeRig {
    ProbeRig() { makeLink(); }
    void makeLink() {
        link = std::make_unique<Link>(LinkContext{
            pane, messages, timer, dispatcher, finder,
            [p = probe] { return std::make_unique<ProbePort>(p); }, showLinkState(form)});
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
    test::RecordingMessageBox messages;
    test::ManualTimer timer;
    test::QueueDispatcher dispatcher;
    FixedPortFinder finder{"/dev/probe"};
    std::unique_ptr<Link> link;  // last, so it stops before the rest goes
};

TEST(LinkLifecycle, ThePortIsClosedOnlyAfterTheReceiveThreadHasStopped) {
    struct Case {
        const char* name;
        void (*end)(ProbeRig&);
    };
    const Case cases[] = {
        {"Disconnect and its timer",
         [](ProbeRig& r) {
             r.link->toggleConnection();
             ASSERT_TRUE(r.timer.fire());
         }},
        {"shutdown", [](ProbeRig& r) { r.link->shutdown(); }},
        {"destruction", [](ProbeRig& r) { r.link.reset(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeRig rig;
        rig.connect();
        c.end(rig);
        std::lock_guard lock(rig.probe->mutex);
        EXPECT_FALSE(rig.probe->open);
        EXPECT_FALSE(rig.probe->closedUnderACall);
    }
}

TEST(LinkLifecycle, TheCaptionChangesBeforeTheStatusLineOnBothEnds) {
    struct Case {
        const char* name;
        void (*end)(ProbeRig&);
    };
    const Case cases[] = {
        {"Disconnect and its timer",
         [](ProbeRig& r) {
             r.link->toggleConnection();
             ASSERT_TRUE(r.timer.fire());
         }},
        {"hang-up",
         [](ProbeRig& r) {
             r.probe->hangUp();
             ASSERT_TRUE(r.dispatcher.waitForTask(5s));
             r.dispatcher.runPending();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeRig rig;
        rig.connect();
        rig.probe->deliver("OK\r");
        c.end(rig);
        ASSERT_EQ(rig.link->state(), LinkState::Down);

        const auto& changes = rig.form.changes;
        ASSERT_GE(changes.size(), 2u);
        EXPECT_EQ(changes.front().caption, "Disconnect");
        EXPECT_THAT(changes.front().paneThen, EndsWith("device found on /dev/probe\r\n"))
            << "\"Disconnect\" comes before \"device connecting\"";
        EXPECT_EQ(changes.back().caption, "Connect");
        EXPECT_THAT(changes.back().paneThen, Not(HasSubstr("device disconnected")))
            << "\"Connect\" comes before \"device disconnected\"";
        EXPECT_THAT(rig.pane.snapshot(), EndsWith("device disconnected\r\n"));
        EXPECT_EQ(rig.caption(), "Connect");
    }
}

TEST(LinkLifecycle, AReceiveThreadThatCannotStartLeavesTheLinkUpWithoutACrash) {
    ProbeRig rig;
    threadStartsToFail = 1;
    rig.link->toggleConnection();
    threadStartsToFail = 0;
    EXPECT_EQ(rig.link->state(), LinkState::Up);
    EXPECT_EQ(rig.caption(), "Disconnect");
    EXPECT_THAT(rig.pane.snapshot(), EndsWith("device connecting\r\n"));
    EXPECT_THAT(rig.link->lastError(), HasSubstr("receive thread"));
    EXPECT_TRUE(rig.messages.shown().empty());

    // Disconnecting still closes the port, and the next connect receives again.
    rig.link->toggleConnection();
    ASSERT_TRUE(rig.timer.fire());
    EXPECT_EQ(rig.link->state(), LinkState::Down);
    EXPECT_EQ(rig.caption(), "Connect");
    {
        std::lock_guard lock(rig.probe->mutex);
        EXPECT_FALSE(rig.probe->open);
        EXPECT_EQ(rig.probe->written, "+cfge\r+cfgd\r");
    }
    test::PaneWatch watch(rig.pane);
    rig.connect();
    rig.probe->deliver("OK\r");
    EXPECT_TRUE(watch.waitForText("OK\r\n"));
}

}  // namespace
}  // namespace modem
