// The modem's settings report. The tool reads it back out of its terminal pane
// at fixed character positions, so the layout is arithmetic as much as text:
// the pane turns every CR into CR LF, so each line takes its length + 2, and a
// line must stay below 57 characters (a CR at a full line would add an empty
// line). Twenty-three CRs keep the whole report inside the pane's 24 lines.
//
// Line (pane offset)  Text (value columns marked by their field names)
//  0 (0)     "Modem config:"            13 characters, so row 1 starts at 15
//  1..16     "Ch01 Rx 155.225MHz Tx 155.075MHz Thresh 330    Hi"
//            49 characters: row i starts at 15 + 51 i, so RX MHz stands at
//            51 i + 23, kHz 27, TX MHz 37, kHz 41, THR 55, power 62
// 17 (831)   "  WT 300   REP 0    HT 100   PS 20  MOD 0"      WT 836 ... MOD 870
// 18 (873)   "P1 9600   P2 9600   P3 9600   P4 25000"         VP1 876 ... VP4 906
// 19 (915)   "Pt V1 M1 IDB 11  VHF 00000101/00000100"         MP 919 ... IDRX1 945
// 20 (955)   "MF 00000201/00000200 R 350 C1 00L"              IDTX2 958 ... GPWR 987
//            (GRSSI, GCH, then VMODE GMODE and the MF power H/L back to back)
// 21 (990)   "Odd   01-03-05"                                 odd path list at 996
// 22         "Even 02-04-06"                                  even list at 1002 + 3 CHS1
//
// Ports are numbered from 1 (5 = USB); CAN identifiers are 8 hex digits TX/RX.
// A value too wide for its column is clamped to the widest it can show (all
// nines), so it never pushes the fields after it out of place; every value the
// form can produce fits.

#include <algorithm>
#include <cstdio>
#include <string>

#include "sim/modem_simulator.h"

namespace modem {

namespace {

// One report line under construction: text placed at fixed columns over blanks.
class Line {
public:
    explicit Line(std::size_t length) : m_text(length, ' ') {}
    void put(std::size_t column, std::string_view text) {
        m_text.replace(column, text.size(), text);
    }
    // Left-aligned decimal in `width` columns, clamped to what they can hold.
    void number(std::size_t column, std::uint32_t value, int width) {
        std::uint32_t widest = 1;
        for (int i = 0; i < width; ++i) {
            widest *= 10;
        }
        put(column, std::to_string(std::min(value, widest - 1)));
    }
    void hex8(std::size_t column, std::uint32_t value) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(value));
        put(column, buf);
    }
    void appendTo(std::string& report) const {
        report += m_text;
        report += '\r';
    }

private:
    std::string m_text;
};

// MMM.kkk; frequencies of 1000 MHz and more do not fit the three MHz columns.
std::string frequency(std::uint32_t kHz) {
    const std::uint32_t shown = std::min<std::uint32_t>(kHz, 999999);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03u.%03u", static_cast<unsigned>(shown / 1000),
                  static_cast<unsigned>(shown % 1000));
    return buf;
}

// The report numbers ports from 1; one digit is all the column has.
std::uint32_t portNumber(std::uint8_t port) {
    return std::min<std::uint32_t>(port + 1u, 9);
}

// Two-digit channel numbers joined by "-": the list always shows 1 to 8 items,
// the most the parser can take, whatever length the image claims.
std::string pathList(std::uint16_t length, std::uint32_t packed) {
    const int items = std::clamp<int>(length, 1, 8);
    std::string s;
    for (int k = 0; k < items; ++k) {
        if (k > 0) {
            s += '-';
        }
        const unsigned channel = ((packed >> (4 * (7 - k))) & 0xFu) + 1;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02u", channel);
        s += buf;
    }
    return s;
}

std::string_view header(ReportSource source) {
    switch (source) {
        case ReportSource::Profile0:
            return "Modem prof. 0";
        case ReportSource::Profile1:
            return "Modem prof. 1";
        case ReportSource::Current:
            break;
    }
    return "Modem config:";
}

}  // namespace

std::string settingsReport(const Mset& m, ReportSource source) {
    std::string report;
    report.reserve(1100);

    Line head(13);
    head.put(0, header(source));
    head.appendTo(report);

    for (std::size_t i = 0; i < channelCount; ++i) {
        const ChannelEntry& ch = m.CH[i];
        Line row(49);
        char label[24];
        std::snprintf(label, sizeof label, "Ch%02u Rx ", static_cast<unsigned>(i + 1));
        row.put(0, label);
        row.put(8, frequency(ch.RXF));
        row.put(15, "MHz Tx ");
        row.put(22, frequency(ch.TXF));
        row.put(29, "MHz Thresh ");
        row.number(40, ch.THR, 5);
        row.put(47, ch.PWR == 10 ? "Hi" : "Lo");
        row.appendTo(report);
    }

    Line timing(40);  // pane offset 831
    timing.put(0, "  WT ");
    timing.number(5, m.WT, 5);
    timing.put(10, " REP ");
    timing.number(15, m.REP, 3);
    timing.put(18, "  HT ");
    timing.number(23, m.HT, 5);
    timing.put(28, " PS ");
    timing.number(32, m.PS, 2);
    timing.put(34, " MOD ");
    timing.number(39, m.MOD, 1);
    timing.appendTo(report);

    Line speeds(40);  // pane offset 873
    speeds.put(0, "P1 ");
    speeds.number(3, m.VP1, 6);
    speeds.put(9, " P2 ");
    speeds.number(13, m.VP2, 6);
    speeds.put(19, " P3 ");
    speeds.number(23, m.VP3, 6);
    speeds.put(29, " P4 ");
    speeds.number(33, m.VP4, 7);
    speeds.appendTo(report);

    Line vhf(38);  // pane offset 915
    vhf.put(0, "Pt V");
    vhf.number(4, portNumber(m.MP), 1);
    vhf.put(5, " M");
    vhf.number(7, portNumber(m.MP2), 1);
    vhf.put(8, " IDB ");
    vhf.number(13, m.IDB, 2);
    vhf.put(15, "  VHF ");
    vhf.hex8(21, m.IDTX1);
    vhf.put(29, "/");
    vhf.hex8(30, m.IDRX1);
    vhf.appendTo(report);

    Line mf(33);  // pane offset 955
    mf.put(0, "MF ");
    mf.hex8(3, m.IDTX2);
    mf.put(11, "/");
    mf.hex8(12, m.IDRX2);
    mf.put(20, " R ");
    mf.number(23, m.GRSSI, 4);
    mf.put(27, "C");
    mf.number(28, m.GCH, 1);
    mf.number(30, m.VMODE, 1);
    mf.number(31, m.GMODE, 1);
    mf.put(32, m.GPWR == 0 ? "H" : "L");
    mf.appendTo(report);

    report += "Odd   " + pathList(m.CHS1, m.CHL1) + '\r';  // list at pane offset 996
    report += "Even " + pathList(m.CHS2, m.CHL2) + '\r';
    return report;
}

}  // namespace modem
