#include "protocol/report_parser.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

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

namespace {

// How a value is written where the parser reads it.
enum class Reading {
    Decimal,  // 1 .. maxDigits decimal digits, then a non-digit
    Hex,      // 1 .. maxDigits hexadecimal digits, then a non-hex character
    Digit,    // exactly one decimal digit
    Power,    // "Hi" or "Lo"
    MfPower,  // "H" or "L"
};

struct Spot {
    std::size_t pos;  // pane offset
    Reading reading;
    std::size_t maxDigits;     // for Decimal and Hex
    std::size_t breaksBefore;  // CR LF pairs between the previous value and this one
};

// One channel row, at its offset from 51 × i. The kHz parts are three digits: a
// longer one would not be a kHz part. Each row starts on a line of its own.
constexpr std::array<Spot, 6> rowSpots{{
    {rxMhzAt, Reading::Decimal, 3, 1},
    {rxKhzAt, Reading::Decimal, 3, 0},
    {txMhzAt, Reading::Decimal, 3, 0},
    {txKhzAt, Reading::Decimal, 3, 0},
    {thrAt, Reading::Decimal, 6, 0},
    {pwrAt, Reading::Power, 0, 0},
}};

// The values after the channel rows. Each digit string ends within its room (the
// distance to the next value); the four lines of the layout start at WT, VP1,
// MP and IDTX2.
constexpr std::array<Spot, 21> tailSpots{{
    {wtAt, Reading::Decimal, 9, 1},    {repAt, Reading::Decimal, 7, 0},
    {htAt, Reading::Decimal, 8, 0},    {psAt, Reading::Decimal, 6, 0},
    {modAt, Reading::Decimal, 5, 0},   {vp1At, Reading::Decimal, 9, 1},
    {vp2At, Reading::Decimal, 9, 0},   {vp3At, Reading::Decimal, 9, 0},
    {vp4At, Reading::Decimal, 12, 0},  {mpAt, Reading::Decimal, 2, 1},
    {mp2At, Reading::Decimal, 5, 0},   {idbAt, Reading::Decimal, 7, 0},
    {idtx1At, Reading::Hex, 8, 0},     {idrx1At, Reading::Hex, 8, 0},
    {idtx2At, Reading::Hex, 8, 1},     {idrx2At, Reading::Hex, 8, 0},
    {grssiAt, Reading::Decimal, 4, 0}, {gchAt, Reading::Decimal, 1, 0},
    {vmodeAt, Reading::Digit, 0, 0},   {gmodeAt, Reading::Digit, 0, 0},
    {gpwrAt, Reading::MfPower, 0, 0},
}};

// The odd-path list starts a line of its own; five characters stand between the
// odd list's line break and the even list.
constexpr std::size_t oddPathBreaksBefore = 1;
constexpr std::uint16_t lowestChannel = 1;
constexpr std::uint16_t highestChannel = 16;

bool isDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDecimalDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Walks the report in the order of its positions. The first thing found wrong
// settles it as damaged; running out of text before that leaves it incomplete,
// since whatever arrived so far is sound.
class ReportWalk {
public:
    explicit ReportWalk(std::string_view text) : m_text(text) {}

    [[nodiscard]] bool settled() const { return m_state.has_value(); }
    [[nodiscard]] ReportState state() const { return m_state.value_or(ReportState::Complete); }

    void signature() {
        constexpr std::string_view signature = "Modem";
        const std::string_view head = m_text.substr(0, signature.size());
        if (head.empty() || !signature.starts_with(head)) {
            m_state = ReportState::Absent;
        } else if (head.size() < signature.size()) {
            m_state = ReportState::Incomplete;
        }
        m_at = signature.size();
    }

    void value(const Spot& spot, std::size_t offset) {
        const std::size_t pos = spot.pos + offset;
        lineBreaks(pos, spot.breaksBefore);
        if (settled()) {
            return;
        }
        switch (spot.reading) {
            case Reading::Decimal:
                digitString(pos, spot.maxDigits, isDecimalDigit);
                break;
            case Reading::Hex:
                digitString(pos, spot.maxDigits, isHexDigit);
                break;
            case Reading::Digit:
                word(pos, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
                break;
            case Reading::Power:
                word(pos, {"Hi", "Lo"});
                break;
            case Reading::MfPower:
                word(pos, {"H", "L"});
                break;
        }
    }

    // Items 01-16 joined by "-", at most eight, then CR LF. Returns the items'
    // count (0 once settled).
    std::size_t pathList(std::size_t start, std::size_t breaksBefore) {
        lineBreaks(start, breaksBefore);
        for (std::size_t k = 0; !settled() && k < maxPathLength; ++k) {
            const std::size_t pos = start + 3 * k;
            digitString(pos, 2, isDecimalDigit);
            if (settled()) {
                return 0;
            }
            const auto channel = static_cast<std::uint16_t>(decValue(m_text, pos));
            if (m_at != pos + 2 || channel < lowestChannel || channel > highestChannel) {
                m_state = ReportState::Damaged;
                return 0;
            }
            if (m_text[m_at] == '-' && k + 1 < maxPathLength) {
                continue;
            }
            lineBreaks(m_at + 2, 1);
            return settled() ? 0 : k + 1;
        }
        return 0;
    }

private:
    // False, settling the report as incomplete, when the text ends before `pos`.
    bool available(std::size_t pos) {
        if (pos < m_text.size()) {
            return true;
        }
        m_state = ReportState::Incomplete;
        return false;
    }

    // The characters from the end of the last value up to `until` hold exactly
    // `count` CR LF pairs and no other CR or LF.
    void lineBreaks(std::size_t until, std::size_t count) {
        if (settled()) {
            return;
        }
        std::size_t seen = 0;
        for (std::size_t pos = m_at; pos < until; ++pos) {
            if (!available(pos)) {
                return;
            }
            const char c = m_text[pos];
            if (c == '\r') {
                if (!available(pos + 1)) {
                    return;
                }
                if (m_text[pos + 1] != '\n' || pos + 1 >= until || ++seen > count) {
                    m_state = ReportState::Damaged;
                    return;
                }
                ++pos;
            } else if (c == '\n') {
                m_state = ReportState::Damaged;
                return;
            }
        }
        if (seen != count) {
            m_state = ReportState::Damaged;
        }
        m_at = until;
    }

    template <typename IsDigit>
    void digitString(std::size_t pos, std::size_t maxDigits, IsDigit isDigit) {
        std::size_t n = 0;
        for (;;) {
            if (!available(pos + n)) {
                return;
            }
            if (!isDigit(m_text[pos + n])) {
                break;
            }
            if (++n > maxDigits) {
                m_state = ReportState::Damaged;
                return;
            }
        }
        if (n == 0) {
            m_state = ReportState::Damaged;
            return;
        }
        m_at = pos + n;
    }

    void word(std::size_t pos, std::initializer_list<std::string_view> words) {
        const std::size_t length = words.begin()->size();
        const std::string_view there = m_text.substr(std::min(pos, m_text.size()), length);
        const bool fits = std::any_of(words.begin(), words.end(),
                                      [&](std::string_view w) { return w.starts_with(there); });
        if (!fits) {
            m_state = ReportState::Damaged;
        } else if (there.size() < length) {
            m_state = ReportState::Incomplete;
        }
        m_at = pos + length;
    }

    std::string_view m_text;
    std::size_t m_at = 0;  // just past the last value checked
    std::optional<ReportState> m_state;
};

}  // namespace

ReportState examineReport(std::string_view paneText) {
    ReportWalk walk(paneText.substr(0, std::min(paneText.size(), reportTextLimit)));
    walk.signature();
    for (std::size_t i = 0; i < channelCount && !walk.settled(); ++i) {
        for (const Spot& spot : rowSpots) {
            walk.value(spot, rowPeriod * i);
        }
    }
    for (const Spot& spot : tailSpots) {
        walk.value(spot, 0);
    }
    const std::size_t oddItems = walk.pathList(oddPathAt, oddPathBreaksBefore);
    walk.pathList(evenPathBase + 3 * oddItems, 0);
    return walk.state();
}

bool reportComplete(std::string_view paneText) {
    return examineReport(paneText) == ReportState::Complete;
}

std::string_view findReport(std::string_view paneText) {
    constexpr std::string_view signature = "Modem";
    if (paneText.starts_with(signature)) {
        return paneText;
    }
    const auto at = paneText.find(std::string("\r\n").append(signature));
    return at == std::string_view::npos ? paneText : paneText.substr(at + 2);
}

}  // namespace modem
