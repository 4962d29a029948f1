#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "traffic/line_gatherer.h"

namespace modem {
namespace {

using namespace std::chrono;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

const TrafficClock::time_point t0 = sys_days(2026y / December / 7) + 12h;

struct Step {
    enum Op { Add, End, Quiet } op;
    int ms;  // after t0: when the bytes came, or the time Quiet looks at
    std::string bytes;
};

struct Written {
    int ms;
    std::string bytes;
};

struct Entry {
    std::string time;
    std::string bytes;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> entriesOf(const std::string& text) {
    std::vector<Entry> entries;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        if (!entry || entry->direction != TrafficDirection::FromModem) {
            ADD_FAILURE() << line;
            continue;
        }
        entries.push_back({entry->time, {entry->bytes.begin(), entry->bytes.end()}});
    }
    return entries;
}

TEST(LineGatherer, OneEntryPerLineTimedByItsFirstByte) {
    const std::string x4000(4000, 'x');
    const std::string y100 = std::string(99, 'y') + '\r';
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<Written> entries;
    };
    const Case cases[] = {
        {"a line read in pieces",
         {{Step::Add, 0, "Co"},
          {Step::Add, 3, "nf"},
          {Step::Add, 5, "ig mode on\r"},
          {Step::Add, 7, "Ch01"},
          {Step::End, 0, ""}},
         {{0, "Config mode on\r"}, {7, "Ch01"}}},
        {"several lines in one read",
         {{Step::Add, 0, "a\rb\rc"}, {Step::End, 0, ""}},
         {{0, "a\r"}, {0, "b\r"}, {0, "c"}}},
        {"CR LF ends one entry, also across reads",
         {{Step::Add, 0, "OK\r"},
          {Step::Add, 1, "\nNext\r\n"},
          {Step::Add, 2, "\n"},
          {Step::End, 0, ""}},
         {{0, "OK\r\n"}, {1, "Next\r\n"}, {2, "\n"}}},
        {"an LF ends an entry of its own, LF CR is two ends",
         {{Step::Add, 0, "a\nb\n\r"}, {Step::End, 0, ""}},
         {{0, "a\n"}, {0, "b\n"}, {0, "\r"}}},
        {"a CR without LF ends its entry",
         {{Step::Add, 0, "a\r"}, {Step::Add, 1, "b\r"}, {Step::End, 0, ""}},
         {{0, "a\r"}, {1, "b\r"}}},
        {"49 ms apart joins, 50 ms apart begins anew",
         {{Step::Add, 0, "ab"}, {Step::Add, 49, "cd"}, {Step::Add, 99, "ef"}, {Step::End, 0, ""}},
         {{0, "abcd"}, {99, "ef"}}},
        {"an LF 50 ms after its CR is an entry of its own",
         {{Step::Add, 0, "OK\r"}, {Step::Add, 50, "\n"}, {Step::End, 0, ""}},
         {{0, "OK\r"}, {50, "\n"}}},
        {"4 KiB at most in one read",
         {{Step::Add, 0, std::string(5000, 'x')}, {Step::End, 0, ""}},
         {{0, std::string(4096, 'x')}, {0, std::string(904, 'x')}}},
        {"4 KiB at most across reads",
         {{Step::Add, 0, x4000}, {Step::Add, 1, y100}, {Step::End, 0, ""}},
         {{0, x4000 + y100.substr(0, 96)}, {1, y100.substr(96)}}},
        {"a CR that fills the entry ends it before its LF",
         {{Step::Add, 0, std::string(4095, 'x') + "\r\n"}, {Step::End, 0, ""}},
         {{0, std::string(4095, 'x') + "\r"}, {0, "\n"}}},
        {"quiet counts from the last byte",
         {{Step::Add, 0, "O"},
          {Step::Add, 40, "K"},
          {Step::Quiet, 89, ""},
          {Step::Add, 89, "!"},
          {Step::Quiet, 139, ""},
          {Step::Add, 140, "z"},
          {Step::End, 0, ""}},
         {{0, "OK!"}, {140, "z"}}},
        {"a CR waiting for its LF ends when quiet",
         {{Step::Add, 0, "OK\r"}, {Step::Quiet, 50, ""}, {Step::Add, 51, "\nx\r\n"}},
         {{0, "OK\r"}, {51, "\n"}, {51, "x\r\n"}}},
        {"empty reads and ends change nothing",
         {{Step::End, 0, ""},
          {Step::Add, 10, "a"},
          {Step::Add, 55, ""},
          {Step::Add, 61, "b"},
          {Step::End, 0, ""},
          {Step::End, 0, ""}},
         {{10, "a"}, {61, "b"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LineGatherer lines(TrafficDirection::FromModem);
        std::string out;
        std::uint64_t origin = 0;
        for (const Step& step : c.steps) {
            const auto when = t0 + milliseconds(step.ms);
            switch (step.op) {
                case Step::Add:
                    lines.add(out, when, bytesOf(step.bytes), ++origin);
                    break;
                case Step::End:
                    lines.end(out);
                    break;
                case Step::Quiet:
                    lines.endIfQuiet(out, when);
                    break;
            }
        }
        std::vector<Entry> expected;
        for (const auto& e : c.entries) {
            expected.push_back({formatTrafficTime(t0 + milliseconds(e.ms)), e.bytes});
        }
        EXPECT_EQ(entriesOf(out), expected);
    }
}

TEST(LineGatherer, TheOpenEntryNamesTheReadItBeganWith) {
    LineGatherer lines(TrafficDirection::FromModem);
    std::string out;
    EXPECT_FALSE(lines.open());
    lines.add(out, t0, bytesOf("ab"), 1);
    lines.add(out, t0 + 1ms, bytesOf("c\rd"), 2);
    EXPECT_TRUE(lines.open());
    EXPECT_EQ(lines.origin(), 2u);
    EXPECT_EQ(lines.lastByteTime(), t0 + 1ms);
    lines.add(out, t0 + 2ms, bytesOf("e"), 3);
    EXPECT_EQ(lines.origin(), 2u);
    EXPECT_EQ(entriesOf(out), (std::vector<Entry>{{formatTrafficTime(t0), "abc\r"}}));
}

}  // namespace
}  // namespace modem
