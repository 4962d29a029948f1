#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "traffic/line_gatherer.h"

namespace modem {
namespace {

using namespace std::chrono;
using Entries = std::vector<std::pair<std::string, std::string>>;  // time, bytes

const TrafficClock::time_point t0 = sys_days(2026y / December / 7);

TEST(LineGatherer, OneEntryPerLineTimedByItsFirstByte) {
    struct Step {
        int ms;  // after t0
        std::string bytes;
        bool quietCheck = false;  // instead of bytes: endIfQuiet at ms
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;  // then end(), twice
        std::vector<std::pair<int, std::string>> entries;
    };
    const std::string x4000(4000, 'x');
    const Case cases[] = {
        {"a line read in pieces",
         {{0, "Co"}, {3, "nf"}, {5, "ig mode on\r"}, {7, "Ch01"}},
         {{0, "Config mode on\r"}, {7, "Ch01"}}},
        {"lines in one read", {{0, "a\rb\rc"}}, {{0, "a\r"}, {0, "b\r"}, {0, "c"}}},
        {"CR LF is one end, also across reads",
         {{0, "OK\r"}, {1, "\nNext\r\n"}, {2, "\n"}},
         {{0, "OK\r\n"}, {1, "Next\r\n"}, {2, "\n"}}},
        {"LF ends an entry, LF CR is two ends",
         {{0, "a\nb\n\r"}},
         {{0, "a\n"}, {0, "b\n"}, {0, "\r"}}},
        {"a CR without LF", {{0, "a\r"}, {1, "b\r"}}, {{0, "a\r"}, {1, "b\r"}}},
        {"49 ms apart joins, 50 begins anew",
         {{0, "ab"}, {49, "cd"}, {99, "ef"}},
         {{0, "abcd"}, {99, "ef"}}},
        {"an LF 50 ms after its CR", {{0, "OK\r"}, {50, "\n"}}, {{0, "OK\r"}, {50, "\n"}}},
        {"4 KiB in one read",
         {{0, std::string(5000, 'x')}},
         {{0, std::string(4096, 'x')}, {0, std::string(904, 'x')}}},
        {"4 KiB across reads",
         {{0, x4000}, {1, std::string(99, 'y') + '\r'}},
         {{0, x4000 + std::string(96, 'y')}, {1, "yyy\r"}}},
        {"a CR that fills the entry goes without its LF",
         {{0, std::string(4095, 'x') + "\r\n"}},
         {{0, std::string(4095, 'x') + "\r"}, {0, "\n"}}},
        {"quiet counts from the last byte",
         {{0, "O"}, {40, "K"}, {89, "", true}, {89, "!"}, {139, "", true}, {140, "z"}},
         {{0, "OK!"}, {140, "z"}}},
        {"a CR waiting for its LF ends when quiet",
         {{0, "OK\r"}, {50, "", true}, {51, "\nx"}},
         {{0, "OK\r"}, {51, "\n"}, {51, "x"}}},
        {"an empty read is no byte", {{10, "a"}, {55, ""}, {61, "b"}}, {{10, "a"}, {61, "b"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LineGatherer lines(TrafficDirection::FromModem);
        std::string out;
        for (const Step& step : c.steps) {
            const auto when = t0 + milliseconds(step.ms);
            if (step.quietCheck) {
                lines.endIfQuiet(out, when);
            } else {
                lines.add(
                    out, when,
                    {reinterpret_cast<const std::uint8_t*>(step.bytes.data()), step.bytes.size()},
                    0);
            }
        }
        lines.end(out);
        lines.end(out);
        Entries got;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            const auto entry = parseTrafficEntry(line);
            ASSERT_TRUE(entry && entry->direction == TrafficDirection::FromModem) << line;
            got.emplace_back(entry->time, std::string(entry->bytes.begin(), entry->bytes.end()));
        }
        Entries expected;
        for (const auto& [ms, bytes] : c.entries) {
            expected.emplace_back(formatTrafficTime(t0 + milliseconds(ms)), bytes);
        }
        EXPECT_EQ(got, expected);
    }
}

}  // namespace
}  // namespace modem
