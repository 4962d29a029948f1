#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "support/temp_dir.h"
#include "traffic/traffic_format.h"
#include "traffic/traffic_log.h"

// The log against a full disk and a stalled reader, which /dev/full and a FIFO
// stand for.

namespace modem {
namespace {

using ::testing::HasSubstr;

std::span<const std::uint8_t> bytesOf(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

constexpr std::size_t burstSize = 4096;

std::string textOf(const TrafficEntry& e) {
    return {e.bytes.begin(), e.bytes.end()};
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
// once, hold at most the bound, and say afterwards how much it left out. The
// reader stalls several times, and catches up in between: each gap's note
// counts that gap's bytes only.
TEST(TrafficLog, AStalledWriterNeverHoldsUpRecording) {
    test::TempDir dir;
    const auto fifo = dir / "stalled";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    constexpr std::size_t bound = 256 * 1024;
    OpenedTrafficLog opened = TrafficLog::open(fifo, {.maxPendingBytes = bound});
    ASSERT_TRUE(opened.log) << opened.error;
    constexpr int rounds = 3;
    constexpr int bursts = 256;  // 1 MiB a round: far beyond the pipe and the bound
    std::string written;
    const auto drainWhile = [&](const std::function<void()>& work) {
        std::atomic<bool> done{false};
        std::thread drain([&] {
            char buffer[65536];
            for (;;) {
                pollfd p{reader, POLLIN, 0};
                const bool last = done.load();
                if (::poll(&p, 1, 10) > 0) {
                    const ssize_t n = ::read(reader, buffer, sizeof buffer);
                    if (n > 0) {
                        written.append(buffer, static_cast<std::size_t>(n));
                        continue;
                    }
                }
                if (last) {
                    break;  // the work was over before this look found nothing
                }
            }
        });
        work();
        done = true;
        drain.join();
    };
    for (int round = 0; round < rounds; ++round) {
        // Everything before is written: the round's mark is not left out.
        opened.log->status("round " + std::to_string(round));
        // Nobody reads meanwhile: the writer blocks on the full pipe.
        const std::string burst(burstSize, static_cast<char>('a' + round));
        for (int i = 0; i < bursts; ++i) {
            opened.log->received(bytesOf(burst));
        }
        drainWhile([&] { opened.log->flush(); });
    }
    ::close(reader);

    std::istringstream in(written);
    std::size_t logged = 0;
    std::size_t dropped = 0;
    int notes = 0;
    int round = -1;
    const auto endRound = [&] {
        if (round < 0) {
            round = 0;
            return;
        }
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_LT(logged, burstSize * bursts);
        EXPECT_GE(logged, bound - burstSize);
        EXPECT_GE(notes, 1);
        EXPECT_EQ(logged + dropped, burstSize * bursts);
        logged = dropped = 0;
        notes = 0;
        ++round;
    };
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        ASSERT_TRUE(entry) << line.substr(0, 80);
        const std::string text = textOf(*entry);
        if (entry->direction == TrafficDirection::FromModem) {
            EXPECT_EQ(text, std::string(text.size(), static_cast<char>('a' + round)));
            logged += entry->bytes.size();
        } else if (text.starts_with("round ")) {
            endRound();
            EXPECT_EQ(text, "round " + std::to_string(round));
        } else {
            // The writer may take a batch between two floods: each gap has its note.
            EXPECT_THAT(text, HasSubstr("not logged"));
            dropped += std::stoull(text);
            ++notes;
        }
    }
    endRound();
    EXPECT_EQ(round, rounds);
}

}  // namespace
}  // namespace modem
