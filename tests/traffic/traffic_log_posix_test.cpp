#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
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
    std::size_t dropped = 0;
    int notes = 0;
    bool sawAfter = false;
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        ASSERT_TRUE(entry) << line.substr(0, 80);
        if (entry->direction == TrafficDirection::FromModem) {
            logged += entry->bytes.size();
        } else if (textOf(*entry) == "after the flood") {
            sawAfter = true;
        } else {
            // The writer may take a batch between two floods: each gap has its note.
            const std::string note = textOf(*entry);
            EXPECT_THAT(note, HasSubstr("not logged"));
            dropped += std::stoull(note);
            ++notes;
        }
    }
    const std::size_t total = burst.size() * bursts;
    EXPECT_LT(logged, total);
    EXPECT_GE(logged, bound - burst.size());
    EXPECT_GE(notes, 1);
    EXPECT_EQ(logged + dropped, total + (sawAfter ? 0 : std::string("after the flood").size()));
}

}  // namespace
}  // namespace modem
