#include "ui/transfers.h"

#include <cstdio>
#include <limits>
#include <string>
#include <string_view>

#include "protocol/digits.h"
#include "ui/channel_notation.h"
#include "ui/control_table.h"

namespace modem {

namespace {

// A run of speedTable serving one list.
struct SpeedRange {
    std::size_t first;
    std::size_t count;
};

constexpr SpeedRange serialSpeeds{0, 4};
constexpr SpeedRange canRates{4, 8};
constexpr SpeedRange packetSizes{12, 2};

constexpr std::size_t wholeText = std::numeric_limits<std::size_t>::max();
constexpr std::size_t pathClearCount = 23;
constexpr std::size_t canIdClearCount = 10;
// Characters read from each field: one less than the dialog's read buffer
// sizes, which keep one for the terminating zero.
constexpr std::size_t notationReadCount = 511;
constexpr std::size_t numberReadCount = 3;
constexpr std::size_t repReadCount = 1;
constexpr std::size_t canIdReadCount = 11;

constexpr std::uint16_t idb11 = 11;
constexpr std::uint16_t idb29 = 29;
constexpr std::uint32_t mask11 = 0x7FF;
constexpr std::uint32_t mask29 = 0x1FFFFFFF;

std::string formatUnsigned(std::uint32_t value, const char* format) {
    char text[16];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    return text;
}

// A value with no item in the list sends nothing, so the list keeps what it had.
void selectByValue(Form& form, int id, std::uint32_t value, SpeedRange range) {
    for (std::size_t i = 0; i < range.count; ++i) {
        if (speedTable[range.first + i] == value) {
            form.setSelection(id, static_cast<int>(i));
            return;
        }
    }
}

// The selected entry, or `current` when nothing inside the list is selected.
std::uint32_t valueBySelection(const Form& form, int id, SpeedRange range, std::uint32_t current) {
    const int index = form.selection(id);
    if (index < 0 || static_cast<std::size_t>(index) >= range.count) {
        return current;
    }
    return speedTable[range.first + static_cast<std::size_t>(index)];
}

// Leading white space, an optional sign, then digits; wraps modulo 2^32.
std::uint32_t decimalValue(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::uint32_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10u + static_cast<std::uint32_t>(text[pos] - '0');
    }
    return negative ? 0u - value : value;
}

std::uint32_t decimalField(const Form& form, int id, std::size_t maxCount) {
    return decimalValue(form.readText(id, maxCount));
}

// No selection (-1) is stored as its low byte, 255.
std::uint8_t indexField(const Form& form, int id) {
    return static_cast<std::uint8_t>(form.selection(id));
}

void readCanIds(const Form& form, Mset& mset) {
    std::uint32_t mask = 0;
    switch (form.selection(ids::idbList)) {
        case 0:
            mset.IDB = idb11;
            mask = mask11;
            break;
        case 1:
            mset.IDB = idb29;
            mask = mask29;
            break;
        default:
            return;
    }
    const auto id = [&](int field) {
        return hexValue(form.readText(field, canIdReadCount)) & mask;
    };
    // Within a radio the receive id must differ from the transmit id; the
    // receive id moves, wrapping to 0 at the top of the range.
    const auto distinct = [&](std::uint32_t rx, std::uint32_t tx) {
        return rx == tx ? (rx + 1) & mask : rx;
    };
    mset.IDTX1 = id(ids::idTx1Field);
    mset.IDRX1 = distinct(id(ids::idRx1Field), mset.IDTX1);
    mset.IDTX2 = id(ids::idTx2Field);
    mset.IDRX2 = distinct(id(ids::idRx2Field), mset.IDTX2);
}

}  // namespace

void settingsToForm(const Mset& mset, Form& form) {
    form.replaceText(ids::channelTable, wholeText, renderChannelTable(mset.CH));
    form.replaceText(ids::oddPathField, pathClearCount, renderPathList(mset.CHS1, mset.CHL1));
    form.replaceText(ids::evenPathField, pathClearCount, renderPathList(mset.CHS2, mset.CHL2));

    // Each field is cleared as far as its limit; a longer number is cut there.
    form.replaceText(ids::wtField, 3, formatUnsigned(mset.WT, "%u"));
    form.replaceText(ids::rsdlyField, 3, formatUnsigned(mset.RSDLY, "%u"));
    form.replaceText(ids::repField, 1, formatUnsigned(mset.REP, "%u"));
    form.replaceText(ids::htField, 3, formatUnsigned(mset.HT, "%u"));
    form.replaceText(ids::grssiField, 3, formatUnsigned(mset.GRSSI, "%u"));

    form.setSelection(ids::modList, mset.MOD);
    form.setSelection(ids::gchList, mset.GCH);
    selectByValue(form, ids::psList, mset.PS, packetSizes);
    selectByValue(form, ids::vp1List, mset.VP1, serialSpeeds);
    selectByValue(form, ids::vp2List, mset.VP2, serialSpeeds);
    selectByValue(form, ids::vp3List, mset.VP3, serialSpeeds);
    selectByValue(form, ids::vp4List, mset.VP4, canRates);
    if (mset.IDB == idb11) {
        form.setSelection(ids::idbList, 0);
    } else if (mset.IDB == idb29) {
        form.setSelection(ids::idbList, 1);
    }

    form.replaceText(ids::idTx1Field, canIdClearCount, formatUnsigned(mset.IDTX1, "%x"));
    form.replaceText(ids::idRx1Field, canIdClearCount, formatUnsigned(mset.IDRX1, "%x"));
    form.replaceText(ids::idTx2Field, canIdClearCount, formatUnsigned(mset.IDTX2, "%x"));
    form.replaceText(ids::idRx2Field, canIdClearCount, formatUnsigned(mset.IDRX2, "%x"));

    form.setSelection(ids::mpList, mset.MP);
    form.setSelection(ids::mp2List, mset.MP2);
    form.setSelection(ids::vmodeList, mset.VMODE);
    form.setSelection(ids::gmodeList, mset.GMODE);
    // BAND has no control; the write goes nowhere.
    form.setSelection(ids::absentBandList, mset.BAND);
    form.setSelection(ids::gpwrList, mset.GPWR);
}

void formToSettings(const Form& form, Mset& mset) {
    parseChannelTable(form.readText(ids::channelTable, notationReadCount), mset.CH);
    const PathList odd = parsePathList(form.readText(ids::oddPathField, notationReadCount));
    mset.CHS1 = odd.count;
    mset.CHL1 = odd.packed;
    const PathList even = parsePathList(form.readText(ids::evenPathField, notationReadCount));
    mset.CHS2 = even.count;
    mset.CHL2 = even.packed;

    // Kept to each field's width: RSDLY "300" is stored as 44.
    mset.WT = static_cast<std::uint16_t>(decimalField(form, ids::wtField, numberReadCount));
    mset.RSDLY = static_cast<std::uint8_t>(decimalField(form, ids::rsdlyField, numberReadCount));
    mset.REP = static_cast<std::uint8_t>(decimalField(form, ids::repField, repReadCount));
    mset.HT = static_cast<std::uint16_t>(decimalField(form, ids::htField, numberReadCount));
    mset.GRSSI = static_cast<std::uint16_t>(decimalField(form, ids::grssiField, numberReadCount));

    mset.MOD = indexField(form, ids::modList);
    mset.GCH = indexField(form, ids::gchList);
    mset.VP1 = valueBySelection(form, ids::vp1List, serialSpeeds, mset.VP1);
    mset.VP2 = valueBySelection(form, ids::vp2List, serialSpeeds, mset.VP2);
    mset.VP3 = valueBySelection(form, ids::vp3List, serialSpeeds, mset.VP3);
    mset.VP4 = valueBySelection(form, ids::vp4List, canRates, mset.VP4);
    readCanIds(form, mset);
    mset.MP = indexField(form, ids::mpList);
    mset.MP2 = indexField(form, ids::mp2List);
    mset.PS = static_cast<std::uint8_t>(valueBySelection(form, ids::psList, packetSizes, mset.PS));
    mset.VMODE = indexField(form, ids::vmodeList);
    mset.GMODE = indexField(form, ids::gmodeList);
    // The dialog has no band control, so the band is always VHF after a read.
    mset.BAND = 0;
    mset.GPWR = indexField(form, ids::gpwrList);
}

}  // namespace modem
