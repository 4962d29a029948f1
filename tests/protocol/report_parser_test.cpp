#include "protocol/report_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "link/terminal_pane.h"
#include "sim/modem_simulator.h"

namespace modem {
namespace {

// A hand-made pane text: "Modem", then filler that is no digit, "-" or CR.
class Text {
public:
    explicit Text(std::size_t length = 1060) : m_text(length, 'x') {
        m_text.replace(0, 5, "Modem");
    }
    Text& at(std::size_t pos, std::string_view s) {
        if (m_text.size() < pos + s.size()) {
            m_text.resize(pos + s.size(), 'x');
        }
        m_text.replace(pos, s.size(), s);
        return *this;
    }
    Text& cut(std::size_t length) {
        m_text.resize(length);
        return *this;
    }
    [[nodiscard]] Mset parse() const {
        Mset m = defaultSettings();
        EXPECT_TRUE(parseReport(m_text, m));
        return m;
    }
    [[nodiscard]] const std::string& str() const { return m_text; }

private:
    std::string m_text;
};

TEST(ParseReport, ChannelRowsAtTheirPositions) {
    const Mset m = Text().at(23, "155.225").at(37, "155.075").at(55, "0330").at(62, "Hi").parse();
    EXPECT_EQ(m.CH[0].RXF, 155225u);
    EXPECT_EQ(m.CH[0].TXF, 155075u);
    EXPECT_EQ(m.CH[0].THR, 330u);
    EXPECT_EQ(m.CH[0].PWR, 10u);

    // The last row repeats every 51 characters.
    const Mset last = Text().at(788, "156.5").at(802, "149.999").at(820, "7").at(827, "Hi").parse();
    EXPECT_EQ(last.CH[15].RXF, 156005u) << "the kHz part is a whole number";
    EXPECT_EQ(last.CH[15].TXF, 149999u);
    EXPECT_EQ(last.CH[15].THR, 7u);
    EXPECT_EQ(last.CH[15].PWR, 10u);

    for (const char* power : {"Lo", "hi", "HI", "H ", "xx"}) {
        EXPECT_EQ(Text().at(62, power).parse().CH[0].PWR, 5u) << power;
    }
}

TEST(ParseReport, WithoutTheSignatureNothingChanges) {
    for (const std::string text : {"modem config", "\r\nModem config", " Modem", "Mode", ""}) {
        Mset m = defaultSettings();
        m.WT = 1234;
        const Mset before = m;
        std::string full = text + std::string(1100, '7');
        EXPECT_FALSE(parseReport(full, m)) << text;
        EXPECT_EQ(m, before) << text;
    }
}

TEST(ParseReport, FieldsAreCutToTheirWidthAndReadersStopAtNonDigits) {
    const Mset m = Text()
                       .at(55, "70000")  // THR, u16: 70000 - 65536
                       .at(846, "300")   // REP, u8: 300 - 256
                       .at(836, " 300")  // a blank first reads as 0
                       .at(854, "+100")  // and so does a sign
                       .at(936, "1FFFFFFF")
                       .at(945, "101")
                       .at(958, "1fffffff")
                       .at(967, "0x1F")  // no prefix is known: stops at the x
                       .at(985, "35")
                       .parse();
    EXPECT_EQ(m.CH[0].THR, 4464u);
    EXPECT_EQ(m.REP, 44u);
    EXPECT_EQ(m.WT, 0u);
    EXPECT_EQ(m.HT, 0u);
    EXPECT_EQ(m.IDTX1, 0x1FFFFFFFu);
    EXPECT_EQ(m.IDRX1, 0x101u);
    EXPECT_EQ(m.IDTX2, 0x1FFFFFFFu);
    EXPECT_EQ(m.IDRX2, 0u);
    EXPECT_EQ(m.VMODE, 3u);
    EXPECT_EQ(m.GMODE, 5u);
}

TEST(ParseReport, PortsAreNumberedFromOneAndPowerIsAnUpperCaseH) {
    struct Case {
        const char* digit;
        std::uint8_t port;
    };
    for (const Case c : {Case{"1", 0}, Case{"5", 4}, Case{"0", 0}, Case{"x", 0}}) {
        const Mset m = Text().at(919, c.digit).at(922, c.digit).parse();
        EXPECT_EQ(m.MP, c.port) << c.digit;
        EXPECT_EQ(m.MP2, c.port) << c.digit;
    }
    EXPECT_EQ(Text().at(987, "H").parse().GPWR, 0u);
    EXPECT_EQ(Text().at(987, "L").parse().GPWR, 1u);
    EXPECT_EQ(Text().at(987, "h").parse().GPWR, 1u);
}

TEST(ParseReport, PathListsAndTheirNibbleArithmetic) {
    struct Case {
        const char* name;
        std::string odd;  // at 996, followed by CR LF
        std::uint16_t length;
        std::uint32_t packed;
    };
    const std::vector<Case> cases{
        {"three channels", "01-03-05", 3, 0x02400000},
        {"eight", "01-02-03-04-05-06-07-08", 8, 0x01234567},
        {"a ninth item is ignored", "01-02-03-04-05-06-07-08-09", 8, 0x01234567},
        {"items every three characters", "1-3-5", 3, 0xFEF00000},
        {"17 borrows from the nibble above", "01-17", 2, 0xFF000000},
        {"a CR at the start", "", 1, 0xF0000000},
        {"channel 16", "16-16", 2, 0xFF000000},
    };
    for (const Case& c : cases) {
        const std::size_t evenStart = 1002 + 3 * std::size_t{c.length};
        const Mset m = Text().at(996, c.odd + "\r\n").at(evenStart, "02-04-06\r\n").parse();
        EXPECT_EQ(m.CHS1, c.length) << c.name;
        EXPECT_EQ(m.CHL1, c.packed) << c.name;
        EXPECT_EQ(m.CHS2, 3u) << c.name << ": even list sought at " << evenStart;
        EXPECT_EQ(m.CHL2, 0x13500000u) << c.name;
    }
    // No CR within reach: all 24 positions after the start are scanned.
    const Mset open = Text(2000).at(996, "01-02-03").at(1011, "--x-----").parse();
    EXPECT_EQ(open.CHS1, 8u);
}

TEST(ParseReport, TheDashCountCoversTheTwentyFourCharactersAfterTheStartAndNoMore) {
    // Filler is no digit, so an item read from it is 0: -1 in its nibble.
    struct Case {
        const char* name;
        std::string odd;  // at 996, nothing but filler after it
        std::uint16_t length;
        std::uint32_t packed;
    };
    const std::vector<Case> cases{
        {"a dash as the 25th character counts", "01-02-03-04-05-06-07xxxx-", 8, 0x0123455F},
        {"a dash as the 26th does not", "01-02-03-04-05-06-07xxxxx-", 7, 0x01234560},
        {"a CR just before the 25th ends the count", "01-02-03-04-05-06-07xxx\r-", 7, 0x01234560},
        {"nor does a dash at the start", "-01-02", 2, 0xEF000000},
        {"one dash, far out", "01" + std::string(22, 'x') + "-", 2, 0xFF000000},
    };
    for (const Case& c : cases) {
        const Mset m = Text(2000).at(996, c.odd).parse();
        EXPECT_EQ(m.CHS1, c.length) << c.name;
        EXPECT_EQ(m.CHL1, c.packed) << c.name;
    }
}

TEST(ParseReport, ATextEndingEarlyReadsAsNul) {
    const Mset m = Text().at(23, "155.225").cut(900).parse();
    EXPECT_EQ(m.CH[0].RXF, 155225u);
    EXPECT_EQ(m.CHS1, 1u);
    EXPECT_EQ(m.CHL1, 0xF0000000u);
    EXPECT_EQ(m.CHS2, 1u);
    EXPECT_EQ(m.CHL2, 0xF0000000u);
    EXPECT_EQ(m.GPWR, 1u);
    EXPECT_EQ(m.VP1, 0u);
}

TEST(ReportComplete, WaitsForTheLineBreakAfterTheEvenList) {
    const std::string report = settingsReport(defaultSettings());
    TerminalPane pane;
    std::size_t completeAt = 0;
    for (std::size_t i = 0; i < report.size(); ++i) {
        pane.appendChar(static_cast<unsigned char>(report[i]));
        if (completeAt == 0 && reportComplete(pane.snapshot())) {
            completeAt = i + 1;
        }
    }
    EXPECT_EQ(completeAt, report.size()) << "complete exactly when the last CR arrives";
    EXPECT_FALSE(reportComplete("Version 2.07\r\n"));
    std::string typedInto = pane.snapshot();
    typedInto.insert(400, "x");
    EXPECT_FALSE(reportComplete(typedInto)) << "long enough, but shifted";
}

// ---- the round trip through the simulator's report ----

template <typename T>
T pick(std::mt19937& rng, std::initializer_list<T> values) {
    return *(values.begin() + rng() % values.size());
}

std::uint32_t packedList(std::mt19937& rng, std::uint16_t length) {
    std::uint32_t packed = 0;
    for (int k = 0; k < length; ++k) {
        packed |= (rng() % 16) << (4 * (7 - k));
    }
    return packed;
}

// Any image the form can produce, and then some: every field inside the ranges
// and lists its coding allows; the fields the report cannot carry are random.
Mset randomValidImage(std::mt19937& rng) {
    Mset m;
    for (ChannelEntry& ch : m.CH) {
        ch.RXF = rng() % 1000000;
        ch.TXF = rng() % 1000000;
        ch.THR = static_cast<std::uint16_t>(rng() % 1001);
        ch.PWR = pick<std::uint16_t>(rng, {5, 10});
    }
    m.VP1 = pick<std::uint32_t>(rng, {9600, 19200, 57600, 115200});
    m.VP2 = pick<std::uint32_t>(rng, {9600, 19200, 57600, 115200});
    m.VP3 = pick<std::uint32_t>(rng, {9600, 19200, 57600, 115200});
    m.VP4 =
        pick<std::uint32_t>(rng, {20000, 25000, 50000, 100000, 125000, 250000, 500000, 1000000});
    m.IDB = pick<std::uint16_t>(rng, {11, 29});
    m.IDRX1 = rng();
    m.IDTX1 = rng();
    m.IDRX2 = rng();
    m.IDTX2 = rng();
    m.MP = static_cast<std::uint8_t>(rng() % 5);
    m.MP2 = static_cast<std::uint8_t>(rng() % 5);
    m.CHS1 = static_cast<std::uint16_t>(1 + rng() % 8);
    m.CHL1 = packedList(rng, m.CHS1);
    m.CHS2 = static_cast<std::uint16_t>(1 + rng() % 8);
    m.CHL2 = packedList(rng, m.CHS2);
    m.HT = static_cast<std::uint16_t>(rng());
    m.WT = static_cast<std::uint16_t>(rng());
    m.REP = static_cast<std::uint8_t>(rng());
    m.GPWR = static_cast<std::uint8_t>(rng() % 2);
    m.GCH = static_cast<std::uint8_t>(rng() % 3);
    m.MOD = static_cast<std::uint8_t>(rng() % 2);
    m.PS = pick<std::uint8_t>(rng, {8, 20});
    m.GRSSI = static_cast<std::uint16_t>(rng() % 1000);
    m.BAND = static_cast<std::uint8_t>(rng() % 3);
    m.VMODE = static_cast<std::uint8_t>(rng() % 6);
    m.GMODE = static_cast<std::uint8_t>(rng() % 6);
    m.RSDLY = static_cast<std::uint8_t>(rng());
    m.MARK = rng();
    for (auto& r : m.reserved) {
        r = static_cast<std::uint8_t>(rng());
    }
    return m;
}

// What parsing `source`'s report onto the defaults must give: every carried
// field from the source, the rest from the defaults.
Mset carriedOntoDefaults(const Mset& source) {
    Mset expected = source;
    const Mset d = defaultSettings();
    expected.RSDLY = d.RSDLY;
    expected.MARK = d.MARK;
    expected.BAND = d.BAND;
    expected.reserved = d.reserved;
    return expected;
}

// What the pane holds once the modem's text has arrived: CR becomes CR LF.
std::string paneTextOf(const std::string& received) {
    TerminalPane pane;
    for (char c : received) {
        pane.appendChar(static_cast<unsigned char>(c));
    }
    return pane.snapshot();
}

Mset throughPaneAndParser(const std::string& report) {
    Mset parsed = defaultSettings();
    EXPECT_TRUE(parseReport(paneTextOf(report), parsed));
    return parsed;
}

TEST(ReportRoundTrip, EveryCarriedFieldOfRandomValidImagesComesBack) {
    std::mt19937 rng(3303);
    for (int n = 0; n < 5000; ++n) {
        const Mset source = randomValidImage(rng);
        const std::string report = settingsReport(
            source, pick<ReportSource>(rng, {ReportSource::Current, ReportSource::Profile0,
                                             ReportSource::Profile1}));
        ASSERT_EQ(throughPaneAndParser(report), carriedOntoDefaults(source)) << "image " << n;
    }
}

TEST(ReportRoundTrip, ReportFitsThePaneWhateverTheValues) {
    std::mt19937 rng(57);
    for (int n = 0; n < 500; ++n) {
        MsetImage bytes;
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(rng());
        }
        const std::string report = settingsReport(fromImage(bytes));
        std::size_t lines = 0;
        std::size_t start = 0;
        for (std::size_t cr = report.find('\r'); cr != std::string::npos;
             cr = report.find('\r', start)) {
            ASSERT_LT(cr - start, 57u) << "a full line would get an extra break";
            ++lines;
            start = cr + 1;
        }
        EXPECT_EQ(start, report.size()) << "every line ends with CR";
        EXPECT_EQ(lines, 23u) << "23 line breaks keep the first line in the 24-line pane";
        EXPECT_EQ(report.find('\0'), std::string::npos);
        EXPECT_EQ(examineReport(paneTextOf(report)), ReportState::Complete) << report;
    }
}

// A value too wide for its column is clamped in place: every other field still
// comes back exactly (the oversized one is set alike on both sides).
TEST(ReportRoundTrip, OversizedValuesDoNotShiftOtherFields) {
    using Mutation = void (*)(Mset&);
    const std::vector<Mutation> oversize{
        [](Mset& m) { m.CH[4].RXF = 4294967295u; },
        [](Mset& m) { m.CH[15].TXF = 1000000; },
        [](Mset& m) { m.CH[2].PWR = 7; },
        [](Mset& m) { m.VP1 = 4294967295u; },
        [](Mset& m) { m.VP4 = 99999999; },
        [](Mset& m) { m.IDB = 65535; },
        [](Mset& m) { m.MP = 255; },
        [](Mset& m) { m.MP2 = 9; },
        [](Mset& m) { m.PS = 255; },
        [](Mset& m) { m.MOD = 200; },
        [](Mset& m) { m.GRSSI = 65535; },
        [](Mset& m) { m.GCH = 250; },
        [](Mset& m) { m.VMODE = 99; },
        [](Mset& m) { m.GPWR = 7; },
        [](Mset& m) { m.CHS1 = 40; },
        [](Mset& m) {
            m.CHS2 = 0;
            m.CHL2 = 0x50000000;
        },
    };
    std::mt19937 rng(11);
    for (std::size_t c = 0; c < oversize.size(); ++c) {
        for (int n = 0; n < 50; ++n) {
            Mset source = randomValidImage(rng);
            oversize[c](source);
            Mset parsed = throughPaneAndParser(settingsReport(source));
            oversize[c](parsed);
            ASSERT_EQ(parsed, carriedOntoDefaults(source)) << "case " << c;
        }
    }
    // The widest values of the other fields fit their columns whole.
    Mset widest = randomValidImage(rng);
    widest.CH[0].THR = 65535;
    widest.WT = 65535;
    widest.HT = 65535;
    widest.REP = 255;
    EXPECT_EQ(throughPaneAndParser(settingsReport(widest)), carriedOntoDefaults(widest));
}

// ---- how far a pane's text can be trusted as a report ----

// Reports of images that stretch the layout: the defaults, every list at its
// longest and the widest values, every list at its shortest and the narrowest.
std::vector<std::string> sampleReports() {
    std::mt19937 rng(4114);
    Mset widest = randomValidImage(rng);
    widest.CHS1 = widest.CHS2 = 8;
    widest.CH[15].THR = 1000;
    widest.VP4 = 1000000;
    widest.IDTX1 = widest.IDRX2 = 0x1FFFFFFF;
    Mset narrowest{};
    narrowest.CHS1 = narrowest.CHS2 = 1;
    return {paneTextOf(settingsReport(defaultSettings())), paneTextOf(settingsReport(widest)),
            paneTextOf(settingsReport(narrowest, ReportSource::Profile1))};
}

TEST(ExamineReport, EveryCutBeforeTheLastLineBreakIsIncomplete) {
    for (const std::string& report : sampleReports()) {
        ASSERT_EQ(examineReport(report), ReportState::Complete) << report;
        EXPECT_EQ(examineReport(""), ReportState::Absent);
        for (std::size_t cut = 1; cut < report.size(); ++cut) {
            ASSERT_EQ(examineReport(report.substr(0, cut)), ReportState::Incomplete)
                << "cut at " << cut << " of " << report.size();
        }
        EXPECT_EQ(examineReport(report + "Version 2.07\r\n"), ReportState::Complete)
            << "what follows the report does not matter";
    }
}

// Typing into the pane inserts or deletes; every such slip before the report's
// end moves something the parser reads, and must be seen.
TEST(ExamineReport, EveryInsertedOrDeletedCharacterIsDamage) {
    for (const std::string& report : sampleReports()) {
        const std::size_t lastBreak = report.size() - 2;  // the CR of the final CR LF
        for (std::size_t pos = 5; pos <= lastBreak + 1; ++pos) {
            for (const char typed : {'x', '7', 'F', '-', ' ', '\r'}) {
                std::string slipped = report;
                slipped.insert(pos, 1, typed);
                ASSERT_EQ(examineReport(slipped), ReportState::Damaged)
                    << "'" << typed << "' inserted at " << pos << ":\n"
                    << slipped;
            }
            if (pos <= lastBreak) {
                std::string slipped = report;
                slipped.erase(pos, 1);
                ASSERT_EQ(examineReport(slipped), ReportState::Damaged)
                    << "deleted at " << pos << ":\n"
                    << slipped;
            }
        }
    }
}

TEST(ExamineReport, SlipsThatKeepTheLengthAreDamageToo) {
    const std::string report = paneTextOf(settingsReport(defaultSettings()));
    struct Case {
        const char* name;
        std::size_t pos;
        std::string_view text;  // written over the report from pos
        ReportState state;
    };
    const std::vector<Case> cases{
        {"a letter in a threshold", 55 + 51 * 3, "x", ReportState::Damaged},
        {"power in lower case", 62 + 51 * 9, "hi", ReportState::Damaged},
        {"a threshold of seven digits", 55, "1234567", ReportState::Damaged},
        {"a kHz part of four digits", 27, "2250", ReportState::Damaged},
        {"no digit in WT", 836, " ", ReportState::Damaged},
        {"a letter beyond F in an identifier", 936, "G", ReportState::Damaged},
        {"the MF power in lower case", 987, "l", ReportState::Damaged},
        {"a mode that is no digit", 985, "x", ReportState::Damaged},
        {"channel 17 in the odd list", 996 + 3, "17", ReportState::Damaged},
        {"channel 00 in the even list", 1011, "00", ReportState::Damaged},
        {"a list separator that is no dash", 996 + 2, "+", ReportState::Damaged},
        {"a line break blanked out", 13, "  ", ReportState::Damaged},
        {"a line break blanked and another added", 64 + 51 * 4, "  \r\n\r\n", ReportState::Damaged},
        {"the signature in lower case", 0, "modem", ReportState::Absent},
        {"a label changed", 15, "Kanal 1", ReportState::Complete},
        // Only the values sit at fixed places: the labels around them, line
        // breaks included, may fall differently.
        {"a line break moved within the labels", 64 + 51 * 4, "  \r\n", ReportState::Complete},
    };
    for (const Case& c : cases) {
        std::string slipped = report;
        slipped.replace(c.pos, c.text.size(), c.text);
        EXPECT_EQ(examineReport(slipped), c.state) << c.name << ":\n" << slipped;
    }
}

TEST(ExamineReport, AStatusLineOrAnEmptyLineInTheReportIsDamage) {
    const std::string report = paneTextOf(settingsReport(defaultSettings()));
    const std::size_t row5 = 15 + 51 * 5;
    for (const char* line : {"device disconnected\r\n", "\r\n"}) {
        EXPECT_EQ(examineReport(report.substr(0, row5) + line + report.substr(row5)),
                  ReportState::Damaged)
            << line;
    }
}

TEST(FindReport, StartsAtTheFirstLineThatStartsWithModem) {
    const std::string report = paneTextOf(settingsReport(defaultSettings()));
    EXPECT_EQ(findReport(report), report);
    EXPECT_EQ(findReport("Version 2.07\r\n" + report), report);
    EXPECT_EQ(examineReport(findReport("OK\r\nVersion 2.07\r\n" + report)), ReportState::Complete);
    EXPECT_EQ(findReport("no report\r\n"), "no report\r\n");
    const std::string midLine = "say Modem\r\nx";
    EXPECT_EQ(findReport(midLine), midLine) << "only a line's start counts";
    EXPECT_EQ(examineReport(findReport("Version 2.07\r\n" + report.substr(0, 500))),
              ReportState::Incomplete);
}

}  // namespace
}  // namespace modem
