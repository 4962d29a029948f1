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

// The log's entries as "MS MARK TEXT", MS counted from t0.
std::vector<std::string> entriesOf(const std::filesystem::path& path) {
    std::vector<std::string> entries;
    for (const std::string& line : linesOf(path)) {
        const auto entry = parseTrafficEntry(line);
        int h = 0;
        int m = 0;
        int sec = 0;
        int ms = 0;
        if (!entry || std::sscanf(entry->time.c_str(), "2026-12-07T%2d:%2d:%2d.%3dZ", &h, &m, &sec,
                                  &ms) != 4) {
            ADD_FAILURE() << line;
            continue;
        }
        const char* mark = entry->direction == TrafficDirection::ToModem     ? " > "
                           : entry->direction == TrafficDirection::FromModem ? " < "
                                                                             : " # ";
        entries.push_back(std::to_string(((h * 60 + m) * 60 + sec) * 1000 + ms) + mark +
                          textOf(*entry));
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
// cut short, a flush that ends the line still open, and a line without its end
// that the writer ends once the modem has been quiet.
TEST(TrafficLog, GathersTheModemsLinesAndPutsEachWriteBeforeItsAnswer) {
    test::TempDir dir;
    const auto path = dir / "traffic.log";
    std::atomic<int> clockMs{0};
    OpenedTrafficLog opened = TrafficLog::open(
        path, {.clock = [&] { return t0 + std::chrono::milliseconds(clockMs.load()); }});
    ASSERT_TRUE(opened.log) << opened.error;
    TrafficLog& log = *opened.log;
    const auto received = [&](int afterMs, std::string_view bytes) {
        clockMs += afterMs;
        log.received(bytesOf(bytes));
    };

    log.status("device connecting");
    const auto enable = log.beginSend();
    received(5, "Con");  // the answer begins while the write goes on
    clockMs += 1;
    log.sent(enable, bytesOf("+cfge\r"));
    received(2, "fig mode on\r");
    received(10, "Modem");
    received(49, " v1");
    received(50, "\r");                         // after a quiet spell: a new entry
    log.sent(log.beginSend(), bytesOf("+vi"));  // three bytes of six went out
    log.status("write failed after 3 of 6 bytes: device gone");
    log.sent(log.beginSend(), {});  // a write that sent nothing has no entry
    received(1, "ab");
    log.flush();
    EXPECT_EQ(entriesOf(path).back(), "118 < ab") << "flush writes the line still open";
    received(0, "cd");
    log.status("устройство отключено");
    received(0, "Enter code:");
    clockMs += 50;
    // The file has no event to wait on: look at it until the last entry shows.
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (entriesOf(path).back() != "118 < Enter code:" &&
           std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_THAT(entriesOf(path),
                ::testing::ElementsAre(
                    "0 # device connecting", "0 > +cfge\r", "5 < Config mode on\r", "18 < Modem v1",
                    "117 < \r", "117 > +vi", "117 # write failed after 3 of 6 bytes: device gone",
                    "118 < ab", "118 < cd", "118 # устройство отключено", "118 < Enter code:"));
}

// Thread A's clock is held up until thread B has recorded, or for a while when
// B cannot, waiting for the lock A holds while it stamps. Were the time taken
// before the lock, B would record its later time first.
TEST(TrafficLog, TheFilesOrderIsTheOrderOfTheTimes) {
    test::TempDir dir;
    const auto path = dir / "traffic.log";
    std::atomic<int> tick{0};
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
        std::thread b([&] {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return aStamping; });
            }
            opened.log->status("B");
            std::lock_guard lock(mutex);
            bRecorded = true;
            changed.notify_all();
        });
        {
            std::lock_guard lock(mutex);
            heldUp = std::this_thread::get_id();
        }
        opened.log->status("A");
        b.join();
    }
    const auto entries = entriesOf(path);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_THAT(entries[0], ::testing::EndsWith(" # A"));
    EXPECT_LT(std::stoi(entries[0]), std::stoi(entries[1]));
}

}  // namespace
}  // namespace modem
