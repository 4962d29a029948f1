#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "traffic/traffic_format.h"
#include "traffic/traffic_log.h"

namespace modem {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

std::span<const std::uint8_t> bytesOf(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::vector<std::string> linesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string textOf(const TrafficEntry& e) {
    return {e.bytes.begin(), e.bytes.end()};
}

const TrafficClock::time_point t0 = std::chrono::sys_days(std::chrono::December / 7 / 2026);

// A clock the test moves by hand.
class ManualClock {
public:
    [[nodiscard]] TrafficClock::time_point now() const {
        return t0 + std::chrono::milliseconds(m_ms.load());
    }
    void advance(std::chrono::milliseconds by) { m_ms += by.count(); }
    [[nodiscard]] std::function<TrafficClock::time_point()> function() {
        return [this] { return now(); };
    }

private:
    std::atomic<std::int64_t> m_ms{0};
};

struct Logged {
    int ms;  // after t0
    TrafficDirection direction;
    std::string text;
    bool operator==(const Logged&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Logged& e) {
    return out << e.ms << " ms " << static_cast<int>(e.direction) << " \"" << e.text << '"';
}

// The log's entries, their times counted from t0.
std::vector<Logged> entriesOf(const std::filesystem::path& path) {
    std::vector<Logged> entries;
    for (const std::string& line : linesOf(path)) {
        const auto entry = parseTrafficEntry(line);
        if (!entry) {
            ADD_FAILURE() << line;
            continue;
        }
        // "2026-12-07THH:MM:SS.mmmZ"
        int ms = -1;
        int h = 0;
        int m = 0;
        int sec = 0;
        int milli = 0;
        if (std::sscanf(entry->time.c_str(), "2026-12-07T%2d:%2d:%2d.%3dZ", &h, &m, &sec, &milli) ==
            4) {
            ms = ((h * 60 + m) * 60 + sec) * 1000 + milli;
        }
        entries.push_back({ms, entry->direction, {entry->bytes.begin(), entry->bytes.end()}});
    }
    return entries;
}

TEST(TrafficLog, AppendsEveryBurstInOrderFromEveryThread) {
    test::TempDir dir;
    const auto path = dir / "traffic.log";
    std::ofstream(path, std::ios::binary) << "earlier run\n";
    constexpr int perThread = 2000;
    {
        OpenedTrafficLog opened = TrafficLog::open(path);
        ASSERT_TRUE(opened.log) << opened.error;
        TrafficLog& log = *opened.log;
        log.status("device connecting");
        // The receive thread and the user-interface thread record at once.
        std::thread receiver([&] {
            for (int i = 0; i < perThread; ++i) {
                log.received(bytesOf("r" + std::to_string(i) + "\r"));
            }
        });
        for (int i = 0; i < perThread; ++i) {
            const auto send = log.beginSend();
            log.sent(send, bytesOf("s" + std::to_string(i)));
        }
        receiver.join();
        log.flush();
        EXPECT_EQ(linesOf(path).size(), 2u + 2 * perThread) << "flush waits for the writer";
        log.status("device disconnected");
    }  // the rest is written when the log goes

    const auto lines = linesOf(path);
    ASSERT_EQ(lines.size(), 3u + 2 * perThread);
    EXPECT_EQ(lines.front(), "earlier run");
    int nextSent = 0;
    int nextReceived = 0;
    std::string previousTime;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto entry = parseTrafficEntry(lines[i]);
        ASSERT_TRUE(entry) << lines[i];
        EXPECT_GE(entry->time, previousTime) << "entries in the order recorded";
        previousTime = entry->time;
        switch (entry->direction) {
            case TrafficDirection::ToModem:
                EXPECT_EQ(textOf(*entry), "s" + std::to_string(nextSent++));
                break;
            case TrafficDirection::FromModem:
                EXPECT_EQ(textOf(*entry), "r" + std::to_string(nextReceived++) + "\r");
                break;
            case TrafficDirection::Status:
                EXPECT_EQ(textOf(*entry), i == 1 ? "device connecting" : "device disconnected");
                EXPECT_TRUE(i == 1 || i == lines.size() - 1) << i;
                break;
        }
    }
    EXPECT_EQ(nextSent, perThread);
    EXPECT_EQ(nextReceived, perThread);
}

TEST(TrafficLog, AFileThatCannotBeOpenedIsAnErrorNamingIt) {
    test::TempDir dir;
    const std::filesystem::path paths[] = {dir / "missing" / "traffic.log", dir.path()};
    for (const auto& path : paths) {
        const OpenedTrafficLog opened = TrafficLog::open(path);
        EXPECT_FALSE(opened.log);
        EXPECT_THAT(opened.error, HasSubstr(path.string()));
    }
}

// One session's road with a clock the test moves: the modem's output gathered
// into lines, each write before what was received while it went out, a write
// cut short, and a flush that ends the line still open.
TEST(TrafficLog, GathersTheModemsLinesAndPutsEachWriteBeforeItsAnswer) {
    test::TempDir dir;
    const auto path = dir / "traffic.log";
    ManualClock clock;
    OpenedTrafficLog opened = TrafficLog::open(path, {.clock = clock.function()});
    ASSERT_TRUE(opened.log) << opened.error;
    TrafficLog& log = *opened.log;
    const auto received = [&](std::chrono::milliseconds after, std::string_view bytes) {
        clock.advance(after);
        log.received(bytesOf(bytes));
    };

    log.status("device connecting");
    const auto enable = log.beginSend();
    received(5ms, "Con");  // the answer begins while the write goes on
    clock.advance(1ms);
    log.sent(enable, bytesOf("+cfge\r"));
    received(2ms, "fig mode on\r");
    received(10ms, "Modem");
    received(49ms, " v1");
    received(50ms, "\r");  // after a quiet spell: a new entry
    const auto view = log.beginSend();
    log.sent(view, bytesOf("+vi"));  // three bytes of six went out
    log.status("write failed after 3 of 6 bytes: device gone");
    const auto nothing = log.beginSend();
    log.sent(nothing, {});  // a write that sent nothing has no entry
    received(1ms, "ab");
    log.flush();
    EXPECT_EQ(entriesOf(path).back(), (Logged{118, TrafficDirection::FromModem, "ab"}))
        << "flush writes the line still open";
    received(0ms, "cd");
    log.status("устройство отключено");
    opened.log.reset();

    using D = TrafficDirection;
    EXPECT_THAT(
        entriesOf(path),
        ::testing::ElementsAre(
            Logged{0, D::Status, "device connecting"}, Logged{0, D::ToModem, "+cfge\r"},
            Logged{5, D::FromModem, "Config mode on\r"}, Logged{18, D::FromModem, "Modem v1"},
            Logged{117, D::FromModem, "\r"}, Logged{117, D::ToModem, "+vi"},
            Logged{117, D::Status,
                   "write failed after 3 of 6 bytes: "
                   "device gone"},
            Logged{118, D::FromModem, "ab"}, Logged{118, D::FromModem, "cd"},
            Logged{118, D::Status, "устройство отключено"}));
}

// Thread A's clock is held up until thread B has recorded, or for a while when
// B cannot, waiting for the lock A holds while it stamps. Were the time taken
// before the lock, B would record its later time first.
TEST(TrafficLog, TheFilesOrderIsTheOrderOfTheTimes) {
    test::TempDir dir;
    const auto path = dir / "traffic.log";
    std::atomic<std::int64_t> tick{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::thread::id heldUp;
    bool aStamping = false;
    bool bRecorded = false;
    const auto clock = [&] {
        const auto when = t0 + std::chrono::milliseconds(++tick);
        std::unique_lock lock(mutex);
        if (std::this_thread::get_id() == heldUp) {
            heldUp = {};
            aStamping = true;
            changed.notify_all();
            changed.wait_for(lock, 200ms, [&] { return bRecorded; });
        }
        return when;
    };
    {
        OpenedTrafficLog opened = TrafficLog::open(path, {.clock = clock});
        ASSERT_TRUE(opened.log) << opened.error;
        TrafficLog& log = *opened.log;
        std::thread b([&] {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return aStamping; });
            }
            log.status("B");
            std::lock_guard lock(mutex);
            bRecorded = true;
            changed.notify_all();
        });
        std::thread a([&] {
            {
                std::lock_guard lock(mutex);
                heldUp = std::this_thread::get_id();
            }
            log.status("A");
        });
        a.join();
        b.join();
    }
    const auto entries = entriesOf(path);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_LT(entries[0].ms, entries[1].ms);
    EXPECT_EQ(entries[0].text, "A");
}

// The writer ends a line of the modem's that stays unfinished once the line
// has been quiet, with no flush and nothing else to write.
TEST(TrafficLog, AnUnfinishedLineIsWrittenOnceTheModemIsQuiet) {
    test::TempDir dir;
    const auto path = dir / "traffic.log";
    ManualClock clock;
    OpenedTrafficLog opened = TrafficLog::open(path, {.clock = clock.function()});
    ASSERT_TRUE(opened.log) << opened.error;
    opened.log->received(bytesOf("Enter"));
    clock.advance(20ms);
    opened.log->received(bytesOf(" code:"));
    clock.advance(50ms);
    // The file has no event to wait on: look at it until the entry shows.
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (linesOf(path).empty() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_THAT(entriesOf(path),
                ::testing::ElementsAre(Logged{0, TrafficDirection::FromModem, "Enter code:"}));
}

}  // namespace
}  // namespace modem
