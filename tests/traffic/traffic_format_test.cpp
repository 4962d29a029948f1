#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "traffic/traffic_format.h"

namespace modem {
namespace {

using namespace std::chrono;

std::vector<std::uint8_t> bytesOf(std::string_view s) {
    return {s.begin(), s.end()};
}

TrafficClock::time_point at(sys_days day, milliseconds since) {
    return TrafficClock::time_point(duration_cast<TrafficClock::duration>(day.time_since_epoch())) +
           since;
}

TEST(TrafficTime, IsUtcWithMillisecondsTruncated) {
    struct Case {
        TrafficClock::time_point when;
        const char* text;
    };
    const Case cases[] = {
        {TrafficClock::time_point{}, "1970-01-01T00:00:00.000Z"},
        {at(2024y / February / 29, 23h + 59min + 59s + 999ms), "2024-02-29T23:59:59.999Z"},
        {at(2026y / December / 7, 12h + 3min + 4s + 5ms) + microseconds(999),
         "2026-12-07T12:03:04.005Z"},
        {at(1999y / December / 31, 0ms) - 1ms, "1999-12-30T23:59:59.999Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatTrafficTime(c.when), c.text);
    }
}

TEST(TrafficEntry, ShowsTextEscapesAndHexForBytesWithoutAGlyph) {
    const auto when = at(2026y / January / 2, 3h + 4min + 5s + 6ms);
    struct Case {
        TrafficDirection direction;
        std::string bytes;
        const char* line;  // after the time and a space
    };
    const Case cases[] = {
        {TrafficDirection::ToModem, "+cfge\r", "> \"+cfge\\r\"\n"},
        {TrafficDirection::FromModem, "OK\r\n\tx", "< \"OK\\r\\n\\tx\"\n"},
        {TrafficDirection::Status, "device found on ttyACM0", "# \"device found on ttyACM0\"\n"},
        {TrafficDirection::FromModem, "say \"hi\" \\ ", "< \"say \\\"hi\\\" \\\\ \"\n"},
        // Code page 1251 letters appear as themselves, in UTF-8.
        {TrafficDirection::FromModem, "\xD3\xCA\xC2 \xB8", "< \"УКВ ё\"\n"},
        {TrafficDirection::FromModem, "", "< \"\"\n"},
        // Any byte without a glyph brings the whole burst in hex.
        {TrafficDirection::FromModem, std::string("A\0B", 3), "< \"A\\x00B\" hex 41 00 42\n"},
        {TrafficDirection::ToModem, "\x98\xA0\xAD\x7F\x1B",
         "> \"\\x98\\xA0\\xAD\\x7F\\x1B\" hex 98 A0 AD 7F 1B\n"},
        {TrafficDirection::ToModem, "\xFF\r\x01", "> \"я\\r\\x01\" hex FF 0D 01\n"},
        // Visible bytes after the one without a glyph do not take the hex part away.
        {TrafficDirection::FromModem, "\x01OK\r\n", "< \"\\x01OK\\r\\n\" hex 01 4F 4B 0D 0A\n"},
        // A status text is UTF-8, written as it is; what is no visible
        // character of it is escaped, and no hex part follows.
        {TrafficDirection::Status, "порт занят: Устройство или ресурс занято",
         "# \"порт занят: Устройство или ресурс занято\"\n"},
        {TrafficDirection::Status, "a\tb\x01\xFF\xC2\x85\xD0",
         "# \"a\\tb\\x01\\xFF\\xC2\\x85\\xD0\"\n"},
    };
    for (const auto& c : cases) {
        std::string out = "kept|";
        appendTrafficEntry(out, when, c.direction, bytesOf(c.bytes));
        EXPECT_EQ(out, std::string("kept|2026-01-02T03:04:05.006Z ") + c.line);
    }
}

TEST(TrafficEntry, EveryBurstReadsBackExactly) {
    std::vector<std::vector<std::uint8_t>> bursts;
    for (int b = 0; b < 256; ++b) {
        bursts.push_back({static_cast<std::uint8_t>(b)});
    }
    std::vector<std::uint8_t> image(264);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    bursts.push_back(image);
    bursts.push_back(bytesOf("Modem config:\rCh01 Rx 155.225MHz \xD3\xCA\xC2\r"));
    bursts.push_back(bytesOf("\x01OK\r\n"));
    bursts.push_back(bytesOf("\x7F\xFF\xA0\r\x98\x01\x20"));
    // UTF-8 as a status text holds it, and what a status text might hold instead:
    // broken and overlong sequences, a C1 control, a surrogate.
    bursts.push_back(bytesOf("устройство не найдено \xE2\x84\x96"));
    bursts.push_back(bytesOf("\xD0\xC0\xAF\xC2\x85\xED\xA0\x80\xF4\x90\x80\x80 \xD0"));
    bursts.push_back({});

    const auto when = at(2026y / December / 7, 1s);
    for (const auto& bytes : bursts) {
        for (const auto direction :
             {TrafficDirection::ToModem, TrafficDirection::FromModem, TrafficDirection::Status}) {
            std::string line;
            appendTrafficEntry(line, when, direction, bytes);
            ASSERT_TRUE(line.ends_with('\n'));
            line.pop_back();
            EXPECT_EQ(line.find('\n'), std::string::npos) << "one line per burst";
            const auto entry = parseTrafficEntry(line);
            ASSERT_TRUE(entry) << line;
            EXPECT_EQ(entry->time, "2026-12-07T00:00:01.000Z");
            EXPECT_EQ(entry->direction, direction);
            EXPECT_EQ(entry->bytes, bytes) << line;
        }
    }
    // A settings image is binary: it is logged in hex.
    std::string line;
    appendTrafficEntry(line, when, TrafficDirection::ToModem, image);
    EXPECT_THAT(line, ::testing::HasSubstr("\" hex 0B 30 55 "));
}

TEST(TrafficEntry, AStatusLineOfAnEarlierVersionWithItsHexPartReadsBack) {
    const auto entry = parseTrafficEntry("2026-12-07T00:00:01.000Z # \"w\\x01\" hex 77 01");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->bytes, bytesOf("w\x01"));
}

TEST(TrafficEntry, MalformedLinesAreNoEntries) {
    const char* lines[] = {
        "",
        "2026-12-07T00:00:01.000Z",
        "2026-12-07T00:00:01.000Z > +cfge",
        "2026-12-07T00:00:01.000Z ? \"x\"",
        "2026-12-07T00:00:01.000Z > \"unterminated",
        "2026-12-07T00:00:01.000Z > \"bad \\q escape\"",
        "2026-12-07T00:00:01.000Z > \"x\" trailing",
        "2026-12-07T00:00:01.000Z > \"\\x00\"",         // hex part missing
        "2026-12-07T00:00:01.000Z > \"\\x00\" hex 0",   // cut short
        "2026-12-07T00:00:01.000Z > \"\\x00\" hex 0G",  // not hex
        "2026-12-07T00:00:01.000Z > \"x\" hex 78",      // hex part without a reason
        "2026-12-07T00:00:01.000Z # \"\\xZ1\"",         // escape not hex
        "2026-12-07T00:00:01.000Z # \"\\x0\"",
    };
    for (const char* line : lines) {
        EXPECT_FALSE(parseTrafficEntry(line)) << line;
    }
}

}  // namespace
}  // namespace modem
