// The Windows serial port over a scripted driver: which error codes end the
// link as an unplug wherever the port meets them, which it rides out, how it
// turns to one-byte reads on a driver that cannot wait for events and says so
// in the traffic log, and that a disconnect ends a wait the driver will not
// cancel.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "caption_form.h"
#include "fake_comm_win32.h"
#include "link/comm_api_win32.h"
#include "link/discovery.h"
#include "link/link.h"
#include "link/port_errors_win32.h"
#include "link/serial_port.h"
#include "support/manual_timer.h"
#include "support/queue_dispatcher.h"
#include "support/recording_message_box.h"
#include "ui/link_caption.h"

namespace modem {
namespace {

using namespace std::chrono_literals;
using test::CommCall;
using test::FakeComm;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;

// What USB serial drivers (and Wine's pseudo-terminal ports) answer once the
// device is gone. Written out here, not taken from the port's table, so that
// a code dropped from the table fails below.
const DWORD unplugCodes[] = {
    ERROR_FILE_NOT_FOUND,
    ERROR_ACCESS_DENIED,
    ERROR_INVALID_HANDLE,
    ERROR_NOT_READY,
    ERROR_BAD_COMMAND,
    ERROR_GEN_FAILURE,
    ERROR_DEV_NOT_EXIST,
    ERROR_BROKEN_PIPE,
    433 /* ERROR_NO_SUCH_DEVICE */,
    ERROR_DEVICE_NOT_CONNECTED,
    ERROR_DEVICE_REMOVED,
};

// Keeps the port's notes; a test may wait for one.
class Notes {
public:
    std::function<void(std::string_view)> sink() {
        return [this](std::string_view note) {
            std::lock_guard lock(m_mutex);
            m_lines.emplace_back(note);
            m_changed.notify_all();
        };
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    bool waitFor(std::string_view part) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] {
            for (const auto& line : m_lines) {
                if (line.find(part) != std::string::npos) {
                    return true;
                }
            }
            return false;
        });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
};

struct Rig {
    Rig() {
        port->setNotes(notes.sink());
        const OpenResult opened = port->open("COM71");
        EXPECT_TRUE(opened.ok()) << opened.reason;
    }
    FakeComm comm;
    Notes notes;
    std::unique_ptr<SerialPort> port = makeWin32SerialPort(comm);
};

// The port's wait, ended by a wake-up if it has not ended by itself within
// five seconds: a wait that should have ended then fails the test as Woken
// rather than hanging it.
WaitStatus waitAtMostFiveSeconds(SerialPort& port) {
    auto waited = std::async(std::launch::async, [&port] { return port.waitReadable(); });
    if (waited.wait_for(5s) != std::future_status::ready) {
        port.wake();
    }
    return waited.get();
}

std::string numbered(DWORD code) {
    return "error " + std::to_string(code);
}

TEST(Win32PortErrors, EveryUnplugCodeIsGoneAndTheTableHasNoOtherGoneCode) {
    for (const PortErrorClass& entry : portErrorTable()) {
        SCOPED_TRACE(entry.code);
        EXPECT_FALSE(entry.reason.empty());
        if (entry.fault == PortFault::Gone) {
            EXPECT_THAT(unplugCodes, Contains(entry.code)) << "a gone code the tests below miss";
        }
    }
    for (const DWORD code : unplugCodes) {
        EXPECT_EQ(classifyPortError(code), PortFault::Gone) << code;
    }
}

// Wherever the port meets an unplug code it reports a hang-up, and its note
// keeps the code's number.
TEST(Win32PortErrors, AnUnplugCodeEndsTheLinkAtEveryCallThatCanMeetIt) {
    struct Place {
        const char* name;
        std::function<bool(Rig&, DWORD)> hangsUp;
    };
    const Place places[] = {
        {"ClearCommError before the wait",
         [](Rig& r, DWORD code) {
             r.comm.failAlways(CommCall::ClearCommError, code);
             return waitAtMostFiveSeconds(*r.port) == WaitStatus::HangUp;
         }},
        {"WaitCommEvent refused at once",
         [](Rig& r, DWORD code) {
             r.comm.failAlways(CommCall::WaitCommEvent, code);
             return waitAtMostFiveSeconds(*r.port) == WaitStatus::HangUp;
         }},
        {"the pending WaitCommEvent",
         [](Rig& r, DWORD code) {
             r.comm.failNext(CommCall::PendingWait, code);
             return waitAtMostFiveSeconds(*r.port) == WaitStatus::HangUp;
         }},
        {"ReadFile of queued bytes",
         [](Rig& r, DWORD code) {
             r.comm.deliver("+");
             r.comm.failAlways(CommCall::ReadFile, code);
             std::uint8_t buffer[8];
             return r.port->read(buffer).status == ReadStatus::HangUp;
         }},
        {"the pending one-byte read",
         [](Rig& r, DWORD code) {
             r.comm.waitRefusal = ERROR_INVALID_FUNCTION;  // waits with one-byte reads
             r.comm.failNext(CommCall::PendingRead, code);
             return waitAtMostFiveSeconds(*r.port) == WaitStatus::HangUp;
         }},
    };
    for (const Place& place : places) {
        for (const DWORD code : unplugCodes) {
            SCOPED_TRACE(std::string(place.name) + ", error " + std::to_string(code));
            Rig rig;
            EXPECT_TRUE(place.hangsUp(rig, code));
            EXPECT_THAT(rig.notes.lines(),
                        Contains(AllOf(HasSubstr("the port is gone"), HasSubstr(numbered(code)))));
        }
    }
}

TEST(Win32PortErrors, APassingFaultOfOneReadIsClearedAndReceptionGoesOn) {
    for (const DWORD code : {DWORD{ERROR_OPERATION_ABORTED}, DWORD{ERROR_TIMEOUT}}) {
        SCOPED_TRACE(code);
        Rig rig;
        rig.comm.deliver("OK");
        rig.comm.failNext(CommCall::ReadFile, code);
        std::uint8_t buffer[8];
        const int clearsBefore = rig.comm.calls(CommCall::ClearCommError);
        EXPECT_EQ(rig.port->read(buffer).status, ReadStatus::Error);
        // Once to see the queue, once more to lift abort-on-error's hold.
        EXPECT_EQ(rig.comm.calls(CommCall::ClearCommError), clearsBefore + 2);
        EXPECT_EQ(rig.port->waitReadable(), WaitStatus::Readable);
        const ReadResult got = rig.port->read(buffer);
        ASSERT_EQ(got.status, ReadStatus::Data);
        EXPECT_EQ(std::string(buffer, buffer + got.count), "OK");
    }
}

// A driver that refuses WaitCommEvent: the port reads one byte at a time to
// wait, and the note says so once, with the refusal's number.
TEST(Win32SerialPortDriver, ADriverThatCannotWaitForEventsIsReadByteByByteAndNoted) {
    Rig rig;
    rig.comm.waitRefusal = ERROR_INVALID_PARAMETER;
    std::thread modem([&] {
        if (rig.comm.waitUntilPending(CommCall::PendingRead)) {
            rig.comm.deliver("+OK\r");
        }
    });
    EXPECT_EQ(rig.port->waitReadable(), WaitStatus::Readable);
    modem.join();
    std::uint8_t buffer[16];
    const ReadResult got = rig.port->read(buffer);
    ASSERT_EQ(got.status, ReadStatus::Data);
    EXPECT_EQ(std::string(buffer, buffer + got.count), "+OK\r");
    EXPECT_EQ(rig.comm.calls(CommCall::WaitCommEvent), 1) << "tried once, then left alone";
    EXPECT_THAT(rig.notes.lines(),
                ::testing::ElementsAre(AllOf(HasSubstr("one-byte reads"),
                                             HasSubstr(numbered(ERROR_INVALID_PARAMETER)))));
}

TEST(Win32SerialPortDriver, FailedWaitsAreCountedAndNotedAndARunOfThemIsAHangUp) {
    Rig rig;
    rig.comm.waitRefusal = ERROR_INVALID_PARAMETER;
    rig.comm.failAlways(CommCall::PendingRead, ERROR_INVALID_FUNCTION);
    EXPECT_EQ(rig.port->waitReadable(), WaitStatus::HangUp);
    const auto notes = rig.notes.lines();
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_THAT(notes[0], HasSubstr("one-byte reads"));
    EXPECT_THAT(notes[1],
                AllOf(HasSubstr("a wait failed"), HasSubstr(numbered(ERROR_INVALID_FUNCTION)),
                      HasSubstr("50 ms"), HasSubstr("20 failures")));
    EXPECT_THAT(notes[2], HasSubstr("20 waits failed in a row"));
}

TEST(Win32SerialPortDriver, WaitsThatEndAtOnceWithNothingArePacedAndNotedOnce) {
    Rig rig;
    rig.comm.waitRefusal = ERROR_INVALID_PARAMETER;
    rig.comm.emptyReads = true;
    WaitStatus waited = WaitStatus::Readable;
    std::thread receiver([&] { waited = rig.port->waitReadable(); });
    EXPECT_TRUE(rig.notes.waitFor("pausing 50 ms"));
    rig.port->wake();
    receiver.join();
    EXPECT_EQ(waited, WaitStatus::Woken);
    const auto notes = rig.notes.lines();
    EXPECT_EQ(
        std::count_if(notes.begin(), notes.end(),
                      [](const std::string& n) { return n.find("pausing") != std::string::npos; }),
        1);
}

// What the operator sees of all this: the link over the port, its traffic
// tap, and the front end's dispatcher and timer played by the test.
class RecordingTap : public TrafficTap {
public:
    std::uint64_t beginSend() override { return 0; }
    void sent(std::uint64_t, std::span<const std::uint8_t>) override {}
    void received(std::span<const std::uint8_t>) override {}
    void status(std::string_view text) override {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(text);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

struct LinkRig {
    LinkRig() {
        link = std::make_unique<Link>(LinkContext{pane, messages, timer, dispatcher, finder,
                                                  [this] { return makeWin32SerialPort(comm); },
                                                  showLinkState(form), &tap});
    }
    void connect() {
        link->toggleConnection();
        ASSERT_EQ(link->state(), LinkState::Up) << link->lastError();
        ASSERT_TRUE(comm.waitUntilPending()) << "the receive thread never waited";
    }

    FakeComm comm;
    TerminalPane pane;
    test::CaptionForm form;
    test::RecordingMessageBox messages;
    test::ManualTimer timer;
    test::QueueDispatcher dispatcher;
    FixedPortFinder finder{"COM72"};
    RecordingTap tap;
    std::unique_ptr<Link> link;  // last, so it stops before the rest goes
};

TEST(Win32LinkUnplug, EveryUnplugCodeTakesTheLinkDownAsAnUnplugAndLogsTheCode) {
    for (const DWORD code : unplugCodes) {
        SCOPED_TRACE(code);
        LinkRig rig;
        rig.connect();
        rig.comm.failPending(code);
        ASSERT_TRUE(rig.dispatcher.waitForTask(5s)) << "the receive thread reported no hang-up";
        rig.dispatcher.runPending();
        EXPECT_EQ(rig.link->state(), LinkState::Down);
        EXPECT_FALSE(rig.comm.open());
        EXPECT_THAT(rig.pane.snapshot(), EndsWith("device connecting\r\ndevice disconnected\r\n"));
        EXPECT_THAT(rig.tap.lines(),
                    Contains(AllOf(HasSubstr("WaitCommEvent"), HasSubstr(numbered(code)))));
        EXPECT_TRUE(rig.messages.empty());
    }
}

TEST(Win32LinkUnplug, DisconnectEndsAWaitTheDriverWillNotCancel) {
    LinkRig rig;
    rig.comm.honoursCancel = false;
    rig.connect();
    rig.link->toggleConnection();
    ASSERT_TRUE(rig.timer.fire());
    EXPECT_EQ(rig.link->state(), LinkState::Down);
    EXPECT_FALSE(rig.comm.hung()) << "the wait was left to a cancel the driver ignores";
    EXPECT_EQ(rig.comm.written(), "+cfge\r+cfgd\r");
    EXPECT_THAT(rig.pane.snapshot(), EndsWith("device disconnected\r\n"));
}

}  // namespace
}  // namespace modem
