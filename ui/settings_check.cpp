#include "ui/settings_check.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <span>

#include "ui/control_table.h"
#include "ui/cp1251.h"
#include "ui/transfers.h"

namespace modem {

namespace {

// Field names as the dialog's labels, columns and rows show them.
constexpr std::string_view tableName = "Настройка каналов УКВ";
constexpr std::string_view oddPathName = "Список каналов для нечётного пути";
constexpr std::string_view evenPathName = "Список каналов для чётного пути";
constexpr std::string_view wtName = "Время ожидания ответа, мс";
constexpr std::string_view htName = "Время действия помехи, мс";
constexpr std::string_view repName = "Количество повторов";
constexpr std::string_view grssiName = "RSSI ГМВ";
constexpr std::string_view rsdlyName = "Задержка ответа по RS485 в мс";
constexpr std::string_view vhfRow = "УКВ";
constexpr std::string_view mfRow = "ГМВ";

struct ListName {
    int id;
    std::string_view name;
};

// Every list that stands for a settings field, in the order of the form.
constexpr std::array<ListName, 13> settingsLists{{
    {ids::vp1List, "P1-RS232"},
    {ids::vp2List, "P2-RS232"},
    {ids::vp3List, "P3-RS485"},
    {ids::vp4List, "P4-CAN"},
    {ids::idbList, "ID-bit"},
    {ids::mpList, "Порт УКВ"},
    {ids::mp2List, "Порт ГМВ"},
    {ids::vmodeList, "Режим МВ"},
    {ids::psList, "Размер пакета"},
    {ids::modList, "Скорость данных"},
    {ids::gmodeList, "Режимы ГМВ"},
    {ids::gchList, "Канал ГМВ"},
    {ids::gpwrList, "Мощность ГМВ"},
}};

struct NumberField {
    int id;
    std::string_view name;
    std::uint32_t most;
};

// The three-character fields hold up to 999, REP's one character up to 9; the
// RS-485 delay is one byte.
constexpr std::array<NumberField, 5> numberFields{{
    {ids::wtField, wtName, 999},
    {ids::rsdlyField, rsdlyName, 255},
    {ids::repField, repName, 9},
    {ids::htField, htName, 999},
    {ids::grssiField, grssiName, 999},
}};

struct CanRow {
    std::string_view row;
    int txField;
    int rxField;
};

constexpr std::array<CanRow, 2> canRows{{
    {vhfRow, ids::idTx1Field, ids::idRx1Field},
    {mfRow, ids::idTx2Field, ids::idRx2Field},
}};

struct CanWidth {
    std::uint32_t mask;
    std::string_view name;  // as list 4061 shows it
};

constexpr CanWidth width11{0x7FF, "11-bit"};
constexpr CanWidth width29{0x1FFFFFFF, "29-bit"};

constexpr std::uint32_t highestFrequency = 999999;  // kHz: the notation's three MHz digits
constexpr std::uint16_t highestThreshold = 1000;
constexpr std::uint16_t powerHigh = 10;
constexpr std::uint16_t powerLow = 5;
constexpr std::uint16_t longestPath = 8;
constexpr unsigned highestChannel = 16;
constexpr std::uint8_t highestBand = 2;  // 0 VHF, 1 MF, 2 both
constexpr std::uint32_t markValue = 0x1234;
constexpr std::size_t quotedLength = 24;  // characters of an operator's text shown

const std::span<const std::uint32_t> serialSpeeds = std::span(speedTable).subspan(0, 4);
const std::span<const std::uint32_t> canRates = std::span(speedTable).subspan(4, 8);
const std::span<const std::uint32_t> packetSizes = std::span(speedTable).subspan(12, 2);

constexpr std::size_t wholeText = std::numeric_limits<std::size_t>::max();

std::string decimal(std::uint32_t value) {
    return std::to_string(value);
}

// Lower case without prefix, as the form shows identifiers.
std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
    return text;
}

std::string twoDigits(std::size_t n) {
    char text[24];
    std::snprintf(text, sizeof text, "%02zu", n);
    return text;
}

// kHz as MHz with three decimals, however many MHz digits.
std::string megahertz(std::uint32_t kHz) {
    char text[24];
    std::snprintf(text, sizeof text, "%u.%03u", static_cast<unsigned>(kHz / 1000),
                  static_cast<unsigned>(kHz % 1000));
    return text;
}

// A Russian word or phrase of the checker in `language`.
std::string tr(std::string_view russian, Language language) {
    return std::string(localised(russian, language));
}

// The noun form for a count, given by its Russian forms: 1 строка, 2 строки,
// 5 строк; English has one form for 1 and another for every other count.
std::string plural(std::size_t n, std::string_view one, std::string_view few, std::string_view many,
                   Language language) {
    if (language == Language::English) {
        return tr(n == 1 ? one : many, language);
    }
    const std::size_t tens = n % 100;
    const std::size_t units = n % 10;
    if (tens >= 11 && tens <= 14) {
        return std::string(many);
    }
    if (units == 1) {
        return std::string(one);
    }
    return std::string(units >= 2 && units <= 4 ? few : many);
}

// An operator's text (code page 1251) in the language's quotes, cut if long.
std::string quoted(std::string_view cp1251, Language language) {
    const bool cut = cp1251.size() > quotedLength;
    const std::string_view open = language == Language::English ? "\"" : "«";
    const std::string_view close = language == Language::English ? "\"" : "»";
    return std::string(open) + cp1251ToUtf8(cp1251.substr(0, quotedLength)) + (cut ? "…" : "") +
           std::string(close);
}

std::string entry(std::string_view name, std::string_view what) {
    return std::string(name) + ": " + std::string(what);
}

std::string entry(std::string_view name, std::string_view value, std::string_view what) {
    return std::string(name) + ": " + std::string(value) + " — " + std::string(what);
}

std::size_t itemCount(int listId) {
    const ListTemplate* list = findList(listId);
    return list == nullptr ? 0 : list->items.size();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool allOf(std::string_view text, bool (*accept)(char)) {
    return std::all_of(text.begin(), text.end(), accept);
}

// The number a digit string spells in `base`, held at the 32-bit limit.
std::uint32_t saturatedValue(std::string_view digits, unsigned base) {
    std::uint64_t value = 0;
    for (const char c : digits) {
        const unsigned d = isDigit(c) ? static_cast<unsigned>(c - '0')
                                      : static_cast<unsigned>((c | 0x20) - 'a' + 10);
        value =
            std::min<std::uint64_t>(value * base + d, std::numeric_limits<std::uint32_t>::max());
    }
    return static_cast<std::uint32_t>(value);
}

// ---- the image ----

void checkChannels(const Mset& m, Problems& problems, Language language) {
    for (std::size_t i = 0; i < channelCount; ++i) {
        const ChannelEntry& ch = m.CH[i];
        const std::string row = tr("канал", language) + " " + twoDigits(i + 1);
        const std::string mhz = " " + tr("МГц", language);
        const std::string above = tr("больше", language) + " ";
        if (ch.RXF > highestFrequency) {
            problems.push_back(entry(row,
                                     tr("частота приёма", language) + " " + megahertz(ch.RXF) + mhz,
                                     above + "999.999"));
        }
        if (ch.TXF > highestFrequency) {
            problems.push_back(
                entry(row, tr("частота передачи", language) + " " + megahertz(ch.TXF) + mhz,
                      above + "999.999"));
        }
        if (ch.THR > highestThreshold) {
            problems.push_back(
                entry(row, tr("порог", language) + " " + decimal(ch.THR), above + "1000"));
        }
        if (ch.PWR != powerHigh && ch.PWR != powerLow) {
            problems.push_back(entry(row, tr("уровень мощности", language) + " " + decimal(ch.PWR),
                                     tr("не 10 (Hi) и не 5 (Lo)", language)));
        }
    }
}

void checkInSet(std::string_view name, std::uint32_t value, std::span<const std::uint32_t> set,
                Problems& problems, Language language) {
    if (std::find(set.begin(), set.end(), value) == set.end()) {
        problems.push_back(entry(tr(name, language), decimal(value), tr("нет в списке", language)));
    }
}

// A value that selects an item of the list by its index.
void checkIndex(std::string_view name, std::uint32_t value, int listId, Problems& problems,
                Language language) {
    if (value >= itemCount(listId)) {
        problems.push_back(entry(tr(name, language), decimal(value), tr("нет в списке", language)));
    }
}

void checkAtMost(std::string_view name, std::uint32_t value, std::uint32_t most, Problems& problems,
                 Language language) {
    if (value > most) {
        problems.push_back(entry(tr(name, language), decimal(value),
                                 tr("больше", language) + " " + decimal(most)));
    }
}

void checkPath(std::string_view name, std::uint16_t count, std::uint32_t packed, Problems& problems,
               Language language) {
    if (count < 1 || count > longestPath) {
        problems.push_back(entry(tr(name, language), tr("длина", language) + " " + decimal(count),
                                 tr("допускается от 1 до 8", language)));
        return;
    }
    // Nibbles past the count are zero in every list the tool writes.
    const auto unusedBits = 4u * static_cast<unsigned>(longestPath - count);
    const std::uint32_t beyond = unusedBits == 0 ? 0 : packed & ((1u << unusedBits) - 1);
    if (beyond != 0) {
        problems.push_back(
            entry(tr(name, language), "0x" + hex(packed),
                  tr("каналы за концом списка из", language) + " " + decimal(count)));
    }
}

void checkCanIds(const Mset& m, Problems& problems, Language language) {
    std::optional<CanWidth> width;
    if (m.IDB == 11) {
        width = width11;
    } else if (m.IDB == 29) {
        width = width29;
    } else {
        problems.push_back(entry("ID-bit", decimal(m.IDB), tr("не 11 и не 29", language)));
    }
    // Without a known width, only what no width takes is out of range.
    const CanWidth bound = width.value_or(width29);
    struct Id {
        std::string_view column;
        std::string_view row;
        std::uint32_t value;
    };
    const std::array<Id, 4> idList{{
        {"ID-Tx", vhfRow, m.IDTX1},
        {"ID-Rx", vhfRow, m.IDRX1},
        {"ID-Tx", mfRow, m.IDTX2},
        {"ID-Rx", mfRow, m.IDRX2},
    }};
    for (const Id& id : idList) {
        if (id.value > bound.mask) {
            problems.push_back(entry(std::string(id.column) + " " + tr(id.row, language),
                                     hex(id.value),
                                     tr("больше", language) + " " + hex(bound.mask) + " (" +
                                         std::string(bound.name) + ")"));
        }
    }
    const std::string same = tr("ID-Rx и ID-Tx совпадают", language);
    if (m.IDRX1 == m.IDTX1) {
        problems.push_back(entry(tr(vhfRow, language), same + " (" + hex(m.IDTX1) + ")"));
    }
    if (m.IDRX2 == m.IDTX2) {
        problems.push_back(entry(tr(mfRow, language), same + " (" + hex(m.IDTX2) + ")"));
    }
}

// ---- the form ----

bool literalAt(std::string_view line, std::size_t pos, std::string_view literal) {
    return line.substr(std::min(pos, line.size()), literal.size()) == literal;
}

bool digitsAt(std::string_view line, std::size_t pos, std::size_t count) {
    if (pos + count > line.size()) {
        return false;
    }
    return allOf(line.substr(pos, count), isDigit);
}

// "DDD.DDD"
bool frequencyAt(std::string_view line, std::size_t pos) {
    return digitsAt(line, pos, 3) && literalAt(line, pos + 3, ".") && digitsAt(line, pos + 4, 3);
}

bool powerAt(std::string_view line, std::size_t pos) {
    if (pos + 2 > line.size()) {
        return false;
    }
    const auto lower = [&](std::size_t at) { return static_cast<char>(line[at] | 0x20); };
    // The table reads either case.
    return (lower(pos) == 'h' && lower(pos + 1) == 'i') ||
           (lower(pos) == 'l' && lower(pos + 1) == 'o');
}

// The first thing wrong with line `index` (from 0) of the channel table:
// "NN-rDDD.DDD-tDDD.DDDsDDDDpHi" or "...pLo", NN the line's own number. A
// separator that is missing after a digit blames the value before it, which
// ran on too far.
std::optional<std::string> channelLineProblem(std::size_t index, std::string_view line,
                                              Language language) {
    const std::string number = twoDigits(index + 1);
    const std::string wrongNumber = tr("номер канала — должен быть", language) + " " + number;
    if (line.empty()) {
        return tr("пустая строка", language);
    }
    if (!literalAt(line, 0, number)) {
        return wrongNumber;
    }
    struct Part {
        std::size_t pos;
        std::string_view separator;  // before the value
        bool (*valueAt)(std::string_view, std::size_t);
        std::string_view separatorProblem;
        std::string_view valueProblem;
    };
    static constexpr std::array<Part, 4> parts{{
        {2, "-r", frequencyAt, "перед частотой приёма — «-r»",
         "частота приёма — три цифры, точка, три цифры"},
        {11, "-t", frequencyAt, "перед частотой передачи — «-t»",
         "частота передачи — три цифры, точка, три цифры"},
        {20, "s", [](std::string_view l, std::size_t p) { return digitsAt(l, p, 4); },
         "перед порогом — «s»", "порог — четыре цифры"},
        {25, "p", powerAt, "перед мощностью — «p»", "мощность — Hi или Lo"},
    }};
    std::string previousProblem = wrongNumber;
    for (const Part& part : parts) {
        if (!literalAt(line, part.pos, part.separator)) {
            if (part.pos < line.size() && isDigit(line[part.pos])) {
                return previousProblem;
            }
            return tr(part.separatorProblem, language);
        }
        if (!part.valueAt(line, part.pos + part.separator.size())) {
            return tr(part.valueProblem, language);
        }
        previousProblem = tr(part.valueProblem, language);
    }
    const std::uint32_t threshold = saturatedValue(line.substr(21, 4), 10);
    if (threshold > highestThreshold) {
        return tr("порог", language) + " " + decimal(threshold) + " — " + tr("больше", language) +
               " 1000";
    }
    constexpr std::size_t lineLength = 28;
    if (line.size() > lineLength) {
        return tr("лишние знаки в конце строки", language);
    }
    return std::nullopt;
}

void checkChannelTable(const Form& form, Problems& problems, Language language) {
    const std::string text = form.readText(ids::channelTable, wholeText);
    std::vector<std::string_view> lines;
    std::string_view rest = text;
    for (;;) {
        const std::size_t end = rest.find("\r\n");
        lines.push_back(rest.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 2);
    }
    // A line break after the last line shifts nothing.
    if (lines.size() > channelCount && lines.back().empty()) {
        lines.pop_back();
    }
    if (lines.size() != channelCount) {
        problems.push_back(entry(tr(tableName, language),
                                 decimal(static_cast<std::uint32_t>(lines.size())) + " " +
                                     plural(lines.size(), "строка", "строки", "строк", language),
                                 tr("нужно 16", language)));
    }
    for (std::size_t i = 0; i < std::min(lines.size(), channelCount); ++i) {
        if (const auto problem = channelLineProblem(i, lines[i], language)) {
            problems.push_back(entry(tr("строка", language) + " " + twoDigits(i + 1), *problem));
        }
    }
}

void checkPathField(const Form& form, int id, std::string_view name, Problems& problems,
                    Language language) {
    const std::string text = form.readText(id, wholeText);
    const std::string field = tr(name, language);
    if (text.empty()) {
        problems.push_back(entry(field, tr("пусто", language)));
        return;
    }
    std::vector<std::string_view> items;
    std::string_view rest = text;
    for (;;) {
        const std::size_t dash = rest.find('-');
        items.push_back(rest.substr(0, dash));
        if (dash == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(dash + 1);
    }
    if (items.size() > longestPath) {
        problems.push_back(entry(field,
                                 decimal(static_cast<std::uint32_t>(items.size())) + " " +
                                     plural(items.size(), "канал", "канала", "каналов", language),
                                 tr("не больше 8", language)));
    }
    for (const std::string_view item : items) {
        if (item.empty()) {
            problems.push_back(
                entry(field, quoted(text, language), tr("пропущен номер канала", language)));
            return;
        }
        if (item.size() != 2 || !allOf(item, isDigit)) {
            problems.push_back(
                entry(field, quoted(item, language), tr("номер канала двумя цифрами", language)));
            return;
        }
        const std::uint32_t channel = saturatedValue(item, 10);
        if (channel < 1 || channel > highestChannel) {
            problems.push_back(entry(field, tr("канал", language) + " " + std::string(item),
                                     tr("нет такого (01–16)", language)));
            return;
        }
    }
}

void checkNumberField(const Form& form, const NumberField& field, Problems& problems,
                      Language language) {
    const std::string text = form.readText(field.id, wholeText);
    const std::string name = tr(field.name, language);
    if (text.empty()) {
        problems.push_back(entry(name, tr("пусто", language)));
    } else if (!allOf(text, isDigit)) {
        problems.push_back(entry(name, quoted(text, language), tr("только цифры", language)));
    } else if (const std::uint32_t value = saturatedValue(text, 10); value > field.most) {
        problems.push_back(entry(name, quoted(text, language),
                                 tr("больше", language) + " " + decimal(field.most)));
    }
}

// The identifier a field holds, when it is one: hexadecimal digits within the
// chosen width (any width when none is chosen).
std::optional<std::uint32_t> canIdField(const Form& form, int id, std::string_view name,
                                        std::optional<CanWidth> width, Problems& problems,
                                        Language language) {
    const std::string text = form.readText(id, wholeText);
    if (text.empty()) {
        problems.push_back(entry(name, tr("пусто", language)));
        return std::nullopt;
    }
    if (!allOf(text, isHexDigit)) {
        problems.push_back(
            entry(name, quoted(text, language), tr("только шестнадцатеричные цифры", language)));
        return std::nullopt;
    }
    const std::uint32_t value = saturatedValue(text, 16);
    if (width && value > width->mask) {
        problems.push_back(entry(name, quoted(text, language),
                                 tr("больше", language) + " " + hex(width->mask) + " (" +
                                     std::string(width->name) + ")"));
        return std::nullopt;
    }
    return value;
}

void checkCanFields(const Form& form, Problems& problems, Language language) {
    std::optional<CanWidth> width;
    if (form.selection(ids::idbList) == 0) {
        width = width11;
    } else if (form.selection(ids::idbList) == 1) {
        width = width29;
    }
    for (const CanRow& row : canRows) {
        const std::string rowName = tr(row.row, language);
        const auto tx =
            canIdField(form, row.txField, "ID-Tx " + rowName, width, problems, language);
        const auto rx =
            canIdField(form, row.rxField, "ID-Rx " + rowName, width, problems, language);
        if (tx && rx && *tx == *rx) {
            problems.push_back(
                entry(rowName, tr("ID-Rx и ID-Tx совпадают", language) + " (" + hex(*tx) + ")"));
        }
    }
}

void checkSelections(const Form& form, Problems& problems, Language language) {
    for (const ListName& list : settingsLists) {
        const int index = form.selection(list.id);
        if (index < 0 || static_cast<std::size_t>(index) >= itemCount(list.id)) {
            problems.push_back(entry(tr(list.name, language), tr("ничего не выбрано", language)));
        }
    }
}

}  // namespace

Problems checkSettings(const Mset& mset, Language language) {
    Problems problems;
    checkChannels(mset, problems, language);
    checkInSet("P1-RS232", mset.VP1, serialSpeeds, problems, language);
    checkInSet("P2-RS232", mset.VP2, serialSpeeds, problems, language);
    checkInSet("P3-RS485", mset.VP3, serialSpeeds, problems, language);
    checkInSet("P4-CAN", mset.VP4, canRates, problems, language);
    checkCanIds(mset, problems, language);
    checkIndex("Порт УКВ", mset.MP, ids::mpList, problems, language);
    checkIndex("Порт ГМВ", mset.MP2, ids::mp2List, problems, language);
    checkPath(oddPathName, mset.CHS1, mset.CHL1, problems, language);
    checkPath(evenPathName, mset.CHS2, mset.CHL2, problems, language);
    checkAtMost(htName, mset.HT, 999, problems, language);
    checkAtMost(wtName, mset.WT, 999, problems, language);
    checkAtMost(repName, mset.REP, 9, problems, language);
    checkIndex("Мощность ГМВ", mset.GPWR, ids::gpwrList, problems, language);
    checkIndex("Канал ГМВ", mset.GCH, ids::gchList, problems, language);
    checkIndex("Скорость данных", mset.MOD, ids::modList, problems, language);
    checkInSet("Размер пакета", mset.PS, packetSizes, problems, language);
    checkAtMost(grssiName, mset.GRSSI, 999, problems, language);
    // The dialog has no control for the band; its values are 0 to 2.
    checkAtMost("Диапазон", mset.BAND, highestBand, problems, language);
    checkIndex("Режим МВ", mset.VMODE, ids::vmodeList, problems, language);
    checkIndex("Режимы ГМВ", mset.GMODE, ids::gmodeList, problems, language);
    if (mset.MARK != markValue) {
        problems.push_back(entry(tr("Метка настроек", language), "0x" + hex(mset.MARK),
                                 tr("должна быть 0x1234", language)));
    }
    return problems;
}

Problems checkForm(const Form& form, Language language) {
    Problems problems;
    checkChannelTable(form, problems, language);
    checkPathField(form, ids::oddPathField, oddPathName, problems, language);
    checkPathField(form, ids::evenPathField, evenPathName, problems, language);
    for (const NumberField& field : numberFields) {
        checkNumberField(form, field, problems, language);
    }
    checkCanFields(form, problems, language);
    checkSelections(form, problems, language);
    return problems;
}

std::string problemsMessage(const Problems& problems, Language language, std::size_t most) {
    const std::size_t shown = std::min(problems.size(), most);
    std::string message;
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) {
            message += '\n';
        }
        message += problems[i];
    }
    if (const std::size_t more = problems.size() - shown; more > 0) {
        if (!message.empty()) {
            message += '\n';
        }
        message += tr("…и ещё", language) + " " + std::to_string(more) + " " +
                   plural(more, "ошибка", "ошибки", "ошибок", language);
    }
    return message;
}

std::string_view reportStateMessage(ReportState state, Language language) {
    switch (state) {
        case ReportState::Absent:
            return localised(
                "В окне нет отчёта модема — нажмите «Считать» и дождитесь его окончания", language);
        case ReportState::Incomplete:
            return localised(
                "Отчёт получен не полностью — дождитесь его окончания или считайте заново",
                language);
        case ReportState::Damaged:
            return localised(
                "Отчёт искажён: в нём лишние или недостающие знаки — считайте настройки заново",
                language);
        case ReportState::Complete:
            break;
    }
    return {};
}

}  // namespace modem
