#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "traffic/traffic_format.h"
#include "traffic/traffic_log.h"

namespace modem {
namespace {

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

TEST(TrafficLog, AppendsEveryBurstInOrderFromEveryThread) {
    test::TempDir dir;
    const auto path = dir / "traffic.log";
    std::ofstream(path) << "earlier run\n";
    constexpr int perThread = 2000;
    {
        OpenedTrafficLog opened = TrafficLog::open(path);
        ASSERT_TRUE(opened.log) << opened.error;
        TrafficLog& log = *opened.log;
        log.status("device connecting");
        // The receive thread and the user-interface thread record at once.
        std::thread receiver([&] {
            for (int i = 0; i < perThread; ++i) {
                log.received(bytesOf("r" + std::to_string(i)));
            }
        });
        for (int i = 0; i < perThread; ++i) {
            log.sent(bytesOf("s" + std::to_string(i)));
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
                EXPECT_EQ(textOf(*entry), "r" + std::to_string(nextReceived++));
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

TEST(TrafficLog, AFullDiskStopsTheLogWithOneMessage) {
    std::atomic<int> calls{0};
    std::string message;
    OpenedTrafficLog opened = TrafficLog::open("/dev/full", {.onFailure = [&](std::string_view m) {
                                                   message = m;
                                                   ++calls;
                                               }});
    ASSERT_TRUE(opened.log) << opened.error;
    for (int round = 0; round < 3; ++round) {
        opened.log->received(bytesOf("bytes nobody can store\r"));
        opened.log->flush();  // returns although nothing could be written
    }
    opened.log.reset();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_THAT(message, HasSubstr("/dev/full"));
    EXPECT_THAT(message, HasSubstr("No space left on device"));
}

// A reader that stalls stands for a disk that stalls: recording must go on at
// once, hold at most the bound, and say afterwards how much it left out.
TEST(TrafficLog, AStalledWriterNeverHoldsUpRecording) {
    test::TempDir dir;
    const auto fifo = dir / "stalled";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    constexpr std::size_t bound = 256 * 1024;
    OpenedTrafficLog opened = TrafficLog::open(fifo, {.maxPendingBytes = bound});
    ASSERT_TRUE(opened.log) << opened.error;
    const std::string burst(4096, 'x');
    constexpr int bursts = 1024;  // 4 MiB: far beyond the pipe and the bound
    for (int i = 0; i < bursts; ++i) {
        opened.log->received(bytesOf(burst));
    }
    opened.log->status("after the flood");

    // Now drain the pipe while the log finishes.
    std::string written;
    std::thread drain([&] {
        ::fcntl(reader, F_SETFL, 0);
        char buffer[65536];
        for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) {
            written.append(buffer, static_cast<std::size_t>(n));
        }
    });
    opened.log.reset();
    drain.join();
    ::close(reader);

    std::istringstream in(written);
    std::size_t logged = 0;
    std::string note;
    bool sawAfter = false;
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        ASSERT_TRUE(entry) << line.substr(0, 80);
        if (entry->direction == TrafficDirection::FromModem) {
            logged += entry->bytes.size();
        } else if (textOf(*entry) == "after the flood") {
            sawAfter = true;
        } else {
            note = textOf(*entry);
        }
    }
    const std::size_t total = burst.size() * bursts;
    EXPECT_LT(logged, total);
    EXPECT_GE(logged, bound - burst.size());
    EXPECT_THAT(note, HasSubstr("not logged"));
    const std::size_t dropped = std::stoull(note);
    EXPECT_EQ(logged + dropped, total + (sawAfter ? 0 : std::string("after the flood").size()));
}

}  // namespace
}  // namespace modem
