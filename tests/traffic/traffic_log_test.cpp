#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
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

}  // namespace
}  // namespace modem
