#include "protocol/report_parser.h"

#include <algorithm>
#include <cstdint>

#include "protocol/digits.h"

namespace modem {

namespace {

// Positions in the pane's text; the pane breaks lines with CR LF, which the
// modem's report layout accounts for.
constexpr std::size_t rowPeriod = 51;
constexpr std::size_t rxMhzAt = 23;
constexpr std::size_t rxKhzAt = 27;
constexpr std::size_t txMhzAt = 37;
constexpr std::size_t txKhzAt = 41;
constexpr std::size_t thrAt = 55;
constexpr std::size_t pwrAt = 62;
constexpr std::size_t wtAt = 836;
constexpr std::size_t repAt = 846;
constexpr std::size_t htAt = 854;
constexpr std::size_t psAt = 863;
constexpr std::size_t modAt = 870;
constexpr std::size_t vp1At = 876;
constexpr std::size_t vp2At = 886;
constexpr std::size_t vp3At = 896;
constexpr std::size_t vp4At = 906;
constexpr std::size_t mpAt = 919;
constexpr std::size_t mp2At = 922;
constexpr std::size_t idbAt = 928;
constexpr std::size_t idtx1At = 936;
constexpr std::size_t idrx1At = 945;
constexpr std::size_t idtx2At = 958;
constexpr std::size_t idrx2At = 967;
constexpr std::size_t grssiAt = 978;
constexpr std::size_t gchAt = 983;
constexpr std::size_t vmodeAt = 985;
constexpr std::size_t gmodeAt = 986;
constexpr std::size_t gpwrAt = 987;
constexpr std::size_t oddPathAt = 996;
constexpr std::size_t evenPathBase = 1002;  // + 3 × CHS1
constexpr std::size_t pathScan = 24;        // characters after the start scanned for "-"
constexpr std::uint16_t maxPathLength = 8;

char charAt(std::string_view text, std::size_t pos) {
    return pos < text.size() ? text[pos] : '\0';
}

std::uint16_t u16(std::uint32_t v) {
    return static_cast<std::uint16_t>(v);
}
std::uint8_t u8(std::uint32_t v) {
    return static_cast<std::uint8_t>(v);
}

// Ports are numbered from 1 in the report and from 0 in the image; 0 stays 0.
std::uint8_t portFromReport(std::uint32_t v) {
    const std::uint8_t p = u8(v);
    return p == 0 ? 0 : static_cast<std::uint8_t>(p - 1);
}

struct PathList {
    std::uint16_t length;
    std::uint32_t packed;
};

PathList readPathList(std::string_view text, std::size_t start) {
    std::uint32_t dashes = 0;
    if (charAt(text, start) != '\r') {
        for (std::size_t pos = start + 1; pos <= start + pathScan; ++pos) {
            const char c = charAt(text, pos);
            if (c == '\r') {
                break;
            }
            if (c == '-') {
                ++dashes;
            }
        }
    }
    const auto length =
        static_cast<std::uint16_t>(std::min<std::uint32_t>(dashes + 1, maxPathLength));
    // Items are taken every three characters wherever the dashes stand; an item
    // that is no channel (0, 17, none) puts -1 in its nibble and borrows from the
    // nibbles above. All of it modulo 2^32.
    std::uint32_t packed = 0;
    for (std::uint16_t k = 0; k < length; ++k) {
        const auto item = static_cast<std::int32_t>(decValue(text, start + 3 * std::size_t{k}));
        const auto nibble = static_cast<std::uint32_t>(item % 17 - 1);
        packed += nibble << (4 * (7 - k));
    }
    return {length, packed};
}

}  // namespace

bool parseReport(std::string_view paneText, Mset& mset) {
    const std::string_view text = paneText.substr(0, std::min(paneText.size(), reportTextLimit));
    if (!text.starts_with("Modem")) {
        return false;
    }
    for (std::size_t i = 0; i < channelCount; ++i) {
        const std::size_t row = rowPeriod * i;
        ChannelEntry& ch = mset.CH[i];
        ch.RXF = decValue(text, row + rxMhzAt) * 1000u + decValue(text, row + rxKhzAt);
        ch.TXF = decValue(text, row + txMhzAt) * 1000u + decValue(text, row + txKhzAt);
        ch.THR = u16(decValue(text, row + thrAt));
        const bool high = charAt(text, row + pwrAt) == 'H' && charAt(text, row + pwrAt + 1) == 'i';
        ch.PWR = high ? 10 : 5;
    }
    mset.WT = u16(decValue(text, wtAt));
    mset.REP = u8(decValue(text, repAt));
    mset.HT = u16(decValue(text, htAt));
    mset.PS = u8(decValue(text, psAt));
    mset.MOD = u8(decValue(text, modAt));
    mset.VP1 = decValue(text, vp1At);
    mset.VP2 = decValue(text, vp2At);
    mset.VP3 = decValue(text, vp3At);
    mset.VP4 = decValue(text, vp4At);
    mset.MP = portFromReport(decValue(text, mpAt));
    mset.MP2 = portFromReport(decValue(text, mp2At));
    mset.IDB = u16(decValue(text, idbAt));
    mset.IDTX1 = hexValue(text, idtx1At);
    mset.IDRX1 = hexValue(text, idrx1At);
    mset.IDTX2 = hexValue(text, idtx2At);
    mset.IDRX2 = hexValue(text, idrx2At);
    mset.GRSSI = u16(decValue(text, grssiAt));
    mset.GCH = u8(decValue(text, gchAt));
    mset.VMODE = u8(digitValue(text, vmodeAt));
    mset.GMODE = u8(digitValue(text, gmodeAt));
    mset.GPWR = charAt(text, gpwrAt) == 'H' ? 0 : 1;

    const PathList odd = readPathList(text, oddPathAt);
    mset.CHS1 = odd.length;
    mset.CHL1 = odd.packed;
    const PathList even = readPathList(text, evenPathBase + 3 * std::size_t{mset.CHS1});
    mset.CHS2 = even.length;
    mset.CHL2 = even.packed;
    return true;
}

bool reportComplete(std::string_view paneText) {
    const std::string_view text = paneText.substr(0, std::min(paneText.size(), reportTextLimit));
    Mset scratch{};
    if (!parseReport(text, scratch)) {
        return false;
    }
    // Until the odd list has its line break, CHS1 and so the even start may still grow;
    // a CR past the even start can only come after it.
    const std::size_t evenStart = evenPathBase + 3 * std::size_t{scratch.CHS1};
    return text.find('\r', evenStart) != std::string_view::npos || text.size() == reportTextLimit;
}

}  // namespace modem
