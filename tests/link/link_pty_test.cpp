#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/discovery.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "link_test_helpers.h"
#include "support/manual_timer.h"
#include "support/queue_dispatcher.h"
#include "ui/control_table.h"
#include "ui/link_caption.h"

namespace modem {
namespace {

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::HasSubstr;

class RecordingMessages : public MessageBox {
public:
    void show(std::string_view text, std::string_view caption, MessageIcon) override {
        shown.push_back(std::string(caption) + ": " + std::string(text));
    }
    Answer ask(std::string_view text, std::string_view caption) override {
        shown.push_back(std::string(caption) + "? " + std::string(text));
        return Answer::No;
    }
    std::vector<std::string> shown;
};

// Everything a link needs, with the test as the user-interface thread.
struct Rig {
    explicit Rig(const std::string& path) : finder(path) { makeLink(); }
    void makeLink() {
        link = std::make_unique<Link>(LinkContext{pane, messages, timer, dispatcher, finder,
                                                  [] { return makeSystemSerialPort(); },
                                                  showLinkState(form)});
    }
    std::string caption() const { return form.caption(ids::connectButton); }

    TerminalPane pane;
    test::CaptionForm form;
    RecordingMessages messages;
    test::ManualTimer timer;
    test::QueueDispatcher dispatcher;
    FixedPortFinder finder;
    test::PaneWatch watcher{pane};
    std::unique_ptr<Link> link;  // last, so it stops before the rest goes
};

TEST(LinkOverPty, ConnectLogsOpensRawAndSendsEnable) {
    test::PtyPeer modem;
    Rig rig(modem.path());
    rig.link->toggleConnection();
    EXPECT_EQ(rig.link->state(), LinkState::Up);
    EXPECT_EQ(rig.caption(), "Disconnect");
    EXPECT_EQ(rig.pane.snapshot(), "device found on " + modem.path() + "\r\ndevice connecting\r\n");
    EXPECT_EQ(modem.read(6), "+cfge\r");
    EXPECT_TRUE(rig.messages.shown.empty());

    // Every byte value goes out unchanged: no output processing, no CR/LF mapping.
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(rig.link->sendBytes(all), SendResult::Sent);
    EXPECT_EQ(rig.link->sendCommand("+ch15\r"), SendResult::Sent);
    EXPECT_EQ(modem.read(262), std::string(all.begin(), all.end()) + "+ch15\r");

    // And every byte value comes in unchanged (no XON/XOFF, signals or CR
    // mapping), placed in the pane as appendChar would place it.
    rig.pane.clearTerminal();
    TerminalPane expected;
    for (int round = 0; round < 4; ++round) {
        for (std::uint8_t b : all) {
            expected.appendChar(b);
        }
        modem.write(std::string(all.begin(), all.end()));
    }
    EXPECT_TRUE(rig.watcher.waitFor([&](const std::string& s) { return s == expected.snapshot(); }))
        << "pane holds " << rig.pane.snapshot().size() << " characters";
    EXPECT_EQ(rig.link->bytesReceived(), 4u * 256u);
}

// The kernel's own record of a terminal's settings (struct termios2), which
// gives each direction's speed in bit/s: the C library's record cannot tell
// an input speed of its own apart from the output speed.
struct KernelTermios {
    tcflag_t iflag;
    tcflag_t oflag;
    tcflag_t cflag;
    tcflag_t lflag;
    cc_t line;
    cc_t cc[19];
    speed_t ispeed;  // bit/s
    speed_t ospeed;  // bit/s
};
constexpr unsigned long getKernelTermios = _IOR('T', 0x2A, KernelTermios);
constexpr int inputSpeedShift = 16;  // the input speed's code sits this far up, in CIBAUD

// The terminal starts far from the modem's line settings, its input at a
// speed of its own; after the connect they read back as the modem's.
TEST(LinkOverPty, ConnectSetsTheLineTo9600BothWays8N1RawWithoutFlowControl) {
    test::PtyPeer modem;
    const int terminal = ::open(modem.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(terminal, &tio), 0);
    tio.c_cflag =
        (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | PARODD | CSTOPB | CRTSCTS;
    tio.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INPCK | ISTRIP;
    tio.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    tio.c_oflag |= OPOST | ONLCR;
    ASSERT_EQ(::cfsetospeed(&tio, B38400), 0);
    tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CIBAUD)) |
                  (static_cast<tcflag_t>(B19200) << inputSpeedShift);
    ASSERT_EQ(::tcsetattr(terminal, TCSANOW, &tio), 0);
    KernelTermios before{};
    ASSERT_EQ(::ioctl(terminal, getKernelTermios, &before), 0);
    ASSERT_EQ(before.ispeed, 19200u);
    ASSERT_EQ(before.ospeed, 38400u);

    Rig rig(modem.path());
    rig.link->toggleConnection();
    ASSERT_EQ(rig.link->state(), LinkState::Up);
    termios got{};
    ASSERT_EQ(::tcgetattr(terminal, &got), 0);
    KernelTermios speeds{};
    ASSERT_EQ(::ioctl(terminal, getKernelTermios, &speeds), 0);
    ::close(terminal);

    const struct {
        const char* what;
        bool holds;
    } checks[] = {
        {"receives at 9600 bit/s", speeds.ispeed == 9600 && ::cfgetispeed(&got) == B9600},
        {"sends at 9600 bit/s", speeds.ospeed == 9600 && ::cfgetospeed(&got) == B9600},
        {"8 data bits", (got.c_cflag & CSIZE) == CS8},
        {"no parity", (got.c_cflag & PARENB) == 0 && (got.c_iflag & INPCK) == 0},
        {"one stop bit", (got.c_cflag & CSTOPB) == 0},
        {"receiver on", (got.c_cflag & CREAD) != 0},
        {"no hardware flow control", (got.c_cflag & CRTSCTS) == 0},
        {"no XON/XOFF", (got.c_iflag & (IXON | IXOFF | IXANY)) == 0},
        {"raw input", (got.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK)) == 0 &&
                          (got.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0},
        {"raw output", (got.c_oflag & OPOST) == 0},
        {"a read returns at the first byte", got.c_cc[VMIN] == 1 && got.c_cc[VTIME] == 0},
    };
    for (const auto& check : checks) {
        EXPECT_TRUE(check.holds) << check.what;
    }
}

TEST(LinkOverPty, DisconnectPressedTwiceSendsTwiceClosesOnceAfterLateBytes) {
    test::PtyPeer modem;
    Rig rig(modem.path());
    rig.link->toggleConnection();
    ASSERT_EQ(modem.read(6), "+cfge\r");

    rig.link->toggleConnection();
    rig.link->toggleConnection();
    EXPECT_EQ(modem.read(12), "+cfgd\r+cfgd\r");
    EXPECT_EQ(rig.link->state(), LinkState::Closing);
    EXPECT_EQ(rig.caption(), "Disconnect");
    EXPECT_EQ(rig.timer.starts(), 2);
    EXPECT_EQ(rig.timer.lastDelay(), 100ms);

    // The modem's answer during the 100 ms still reaches the pane.
    modem.write("OK\r");
    ASSERT_TRUE(rig.watcher.waitForText("OK\r\n"));

    EXPECT_TRUE(rig.timer.fire());
    EXPECT_FALSE(rig.timer.fire());  // one close only
    EXPECT_EQ(rig.link->state(), LinkState::Down);
    EXPECT_EQ(rig.caption(), "Connect");
    EXPECT_THAT(rig.pane.snapshot(), EndsWith("OK\r\ndevice disconnected\r\n"));
    EXPECT_EQ(rig.link->sendCommand("+test\r"), SendResult::NotOpen);
    EXPECT_TRUE(rig.messages.shown.empty());

    // The port and its lock were released: another program may open it now.
    auto other = makeSystemSerialPort();
    EXPECT_TRUE(other->open(modem.path()).ok());
}

TEST(LinkOverPty, StaleHangUpReportDoesNothing) {
    auto first = std::make_unique<test::PtyPeer>();
    Rig rig(first->path());
    rig.link->toggleConnection();
    first->closeMaster();
    ASSERT_TRUE(rig.dispatcher.waitForTask(5s));

    // The operator disconnects before the report is handled, then connects to
    // another modem: the old report must not take the new link down.
    EXPECT_EQ(rig.link->sendCommand("+cfgd\r"), SendResult::Failed);
    rig.link->finishDisconnect();
    test::PtyPeer second;
    rig.finder = FixedPortFinder(second.path());
    rig.link->toggleConnection();
    ASSERT_EQ(rig.link->state(), LinkState::Up);
    rig.dispatcher.runPending();
    EXPECT_EQ(rig.link->state(), LinkState::Up);
    EXPECT_EQ(second.read(6), "+cfge\r");

    // Nor may it reach a link that is gone.
    second.closeMaster();
    ASSERT_TRUE(rig.dispatcher.waitForTask(5s));
    rig.link.reset();
    rig.dispatcher.runPending();
    const std::string pane = rig.pane.snapshot();
    EXPECT_EQ(pane.find("device disconnected"), pane.rfind("device disconnected"));
}

TEST(LinkOverPty, FailedConnectsLeaveTheLinkDown) {
    test::PtyPeer modem;
    auto holder = makeSystemSerialPort();
    ASSERT_TRUE(holder->open(modem.path()).ok());

    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        // The message names the reason, as the port gives it.
        {modem.path(),
         "Error: can't connect to device: " + modem.path() + ": in use by another program"},
        {"/nonexistent/ttyACM0",
         "Error: can't connect to device: /nonexistent/ttyACM0: No such file or directory"},
        {"", "Error: can't connect to device: no device found"},  // nothing found
        {"/dev/null", "error: please reconnect device"},          // opens, but is no serial line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Rig rig(c.path);
        rig.link->toggleConnection();
        EXPECT_EQ(rig.link->state(), LinkState::Down);
        EXPECT_EQ(rig.caption(), "Connect");
        EXPECT_THAT(rig.messages.shown, ::testing::ElementsAre(c.message));
        EXPECT_FALSE(rig.link->lastError().empty());
        EXPECT_THAT(rig.pane.snapshot(), HasSubstr("device found on"));
        EXPECT_EQ(rig.link->sendCommand("+test\r"), SendResult::NotOpen);
    }
    holder->close();
    Rig rig(modem.path());
    rig.link->toggleConnection();
    EXPECT_EQ(rig.link->state(), LinkState::Up);
}

TEST(LinkOverPty, WriteThatCannotCompleteFailsAfterTheDeadlineWithOneMessage) {
    test::PtyPeer modem;  // never reads: the line's buffers fill up
    Rig rig(modem.path());
    rig.link->toggleConnection();
    const std::vector<std::uint8_t> big(1 << 20, 'x');
    EXPECT_EQ(rig.link->sendBytes(big), SendResult::Failed);
    EXPECT_THAT(rig.messages.shown, ::testing::ElementsAre("Error: Could not write to device"));
    EXPECT_EQ(rig.link->state(), LinkState::Up);
}

TEST(LinkOverPty, ShutdownSendsNothingAndStopsReceiving) {
    test::PtyPeer modem;
    Rig rig(modem.path());
    rig.link->toggleConnection();
    ASSERT_EQ(modem.read(6), "+cfge\r");
    rig.link->toggleConnection();  // Closing, timer running
    ASSERT_EQ(modem.read(6), "+cfgd\r");
    const std::string before = rig.pane.snapshot();
    rig.link->shutdown();
    EXPECT_FALSE(rig.link->connected());
    EXPECT_FALSE(rig.timer.isActive());
    EXPECT_EQ(modem.read(1, 200ms), "");
    EXPECT_EQ(rig.pane.snapshot(), before);
}

}  // namespace
}  // namespace modem
