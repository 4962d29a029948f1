#include "ui/settings_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>

#include "settings/mset_fields.h"
#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/transfers.h"

namespace modem {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::SizeIs;

constexpr std::size_t wholeText = std::numeric_limits<std::size_t>::max();

// The dialog as it opens, showing the defaults.
struct OpenedForm {
    OpenedForm() { initialiseForm(form, mset); }
    FormModel form;
    Mset mset;
};

// The table with `from` (first found from line `line`'s start on) replaced.
void editTable(FormModel& form, std::size_t line, std::string_view from, std::string_view to) {
    std::string text = form.text(ids::channelTable);
    const std::size_t at = text.find(from, 30 * line);
    ASSERT_NE(at, std::string::npos) << from;
    form.replaceText(ids::channelTable, wholeText, text.replace(at, from.size(), to));
}

bool hasCyrillic(std::string_view text) {
    // UTF-8 lead bytes 0xD0-0xD3 start U+0400-U+04FF.
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0xD0 && byte <= 0xD3;
    });
}

// The same problems told in English: one for each Russian one, in the same
// order, none of them with a Russian word left in.
void expectEnglishTwin(const Problems& russian, const Problems& english) {
    EXPECT_EQ(english.size(), russian.size());
    for (std::size_t i = 0; i < english.size(); ++i) {
        EXPECT_FALSE(hasCyrillic(english[i])) << english[i];
        if (i < russian.size()) {
            EXPECT_NE(english[i], russian[i]);
        }
    }
}

struct TableSlip {
    std::size_t line;  // from 0
    std::string_view from;
    std::string_view to;
    std::vector<std::string> expected;  // each must be among the problems
    std::size_t count;                  // how many problems there are in all
};

TEST(CheckForm, ChannelTableSlipsNameTheirLine) {
    const std::string lines = "Настройка каналов УКВ: ";
    const std::vector<TableSlip> slips{
        {3, "s0330", "s330", {"строка 04: порог — четыре цифры"}, 1},
        {15, "pHi", "p", {"строка 16: мощность — Hi или Lo"}, 1},
        {2,
         "pHi\r\n",
         "pHi",  // two lines joined
         {lines + "15 строк — нужно 16", "строка 03: лишние знаки в конце строки",
          "строка 04: номер канала — должен быть 04", "строка 15: номер канала — должен быть 15"},
         14},
        {5,
         "\r\n",
         "\r\n\r\n",  // a blank line
         {lines + "17 строк — нужно 16", "строка 07: пустая строка",
          "строка 08: номер канала — должен быть 08"},
         11},
        {15, "pHi", "pHi\r\n17-r155.225-t155.225s0330pHi", {lines + "17 строк — нужно 16"}, 1},
        // Past the 511 characters the parser reads, and still counted.
        {15,
         "pHi",
         "pHi\r\n17-r1.2-t1.2s0pHi\r\n18-r1.2-t1.2s0pHi\r\n19-r1.2-t1.2s0pHi",
         {lines + "19 строк — нужно 16"},
         1},
        {15, "16-r155.475-t155.475s0330pHi", "", {"строка 16: пустая строка"}, 1},
        {1, "s0330", "s1500", {"строка 02: порог 1500 — больше 1000"}, 1},
        {0, "r155.225", "r155,225", {"строка 01: частота приёма — три цифры, точка, три цифры"}, 1},
        {4,
         "t155.100",
         "t155.1000",
         {"строка 05: частота передачи — три цифры, точка, три цифры"},
         1},
        {8, "pHi", "pHi ", {"строка 09: лишние знаки в конце строки"}, 1},
        {15, "pHi", "pHi\r\n", {}, 0},  // a line break after the last line shifts nothing
        {0, "pHi", "phI", {}, 0},       // power in either case
    };
    for (const TableSlip& slip : slips) {
        OpenedForm opened;
        editTable(opened.form, slip.line, slip.from, slip.to);
        const Problems problems = checkForm(opened.form);
        expectEnglishTwin(problems, checkForm(opened.form, Language::English));
        EXPECT_THAT(problems, IsSupersetOf(slip.expected)) << slip.to;
        EXPECT_THAT(problems, SizeIs(slip.count))
            << problemsMessage(problems, Language::Russian, 100);
    }
}

// One field as a front end may hand it over, and its one problem (none: "").
struct FieldSlip {
    int id;
    std::string_view text;
    std::string expected;
};

TEST(CheckForm, FieldSlipsNameTheFieldAndTheValue) {
    const std::string odd = "Список каналов для нечётного пути: ";
    const std::vector<FieldSlip> slips{
        {ids::oddPathField, "1-3", odd + "«1» — номер канала двумя цифрами"},
        {ids::oddPathField, "01-17", odd + "канал 17 — нет такого (01–16)"},
        {ids::oddPathField, "00", odd + "канал 00 — нет такого (01–16)"},
        {ids::oddPathField, "01--03", odd + "«01--03» — пропущен номер канала"},
        {ids::oddPathField, "01-03-", odd + "«01-03-» — пропущен номер канала"},
        {ids::oddPathField, "", odd + "пусто"},
        {ids::evenPathField, "02-04-6",
         "Список каналов для чётного пути: «6» — номер канала двумя цифрами"},
        {ids::wtField, "", "Время ожидания ответа, мс: пусто"},
        {ids::repField, "a", "Количество повторов: «a» — только цифры"},
        {ids::rsdlyField, "300", "Задержка ответа по RS485 в мс: «300» — больше 255"},
        {ids::rsdlyField, "-5", "Задержка ответа по RS485 в мс: «-5» — только цифры"},
        {ids::idTx1Field, "0x100", "ID-Tx УКВ: «0x100» — только шестнадцатеричные цифры"},
        {ids::idRx2Field, " 200", "ID-Rx ГМВ: « 200» — только шестнадцатеричные цифры"},
        {ids::idTx1Field, "", "ID-Tx УКВ: пусто"},
        {ids::idRx1Field, "0101", "УКВ: ID-Rx и ID-Tx совпадают (101)"},
        {ids::idRx2Field, "800", "ID-Rx ГМВ: «800» — больше 7ff (11-bit)"},
    };
    for (const FieldSlip& slip : slips) {
        OpenedForm opened;
        opened.form.replaceText(slip.id, wholeText, slip.text);
        EXPECT_THAT(checkForm(opened.form), ElementsAre(slip.expected)) << slip.text;
        expectEnglishTwin(checkForm(opened.form), checkForm(opened.form, Language::English));
    }
    // Nine items, and the first of them too short.
    OpenedForm nine;
    nine.form.replaceText(ids::oddPathField, wholeText, "1-2-3-4-5-6-7-8-9");
    EXPECT_THAT(checkForm(nine.form), ElementsAre(odd + "9 каналов — не больше 8",
                                                  odd + "«1» — номер канала двумя цифрами"));
    expectEnglishTwin(checkForm(nine.form), checkForm(nine.form, Language::English));
    // The identifier's width is the one chosen in the form.
    OpenedForm wide;
    wide.form.setSelection(ids::idbList, 1);
    wide.form.replaceText(ids::idTx2Field, wholeText, "1fffffff");
    EXPECT_THAT(checkForm(wide.form), IsEmpty());
    wide.form.replaceText(ids::idTx2Field, wholeText, "20000000");
    EXPECT_THAT(checkForm(wide.form),
                ElementsAre("ID-Tx ГМВ: «20000000» — больше 1fffffff (29-bit)"));
    // Lists without a selection.
    OpenedForm lists;
    lists.form.setSelection(ids::modList, -1);
    lists.form.setSelection(ids::vp4List, 99);
    EXPECT_THAT(checkForm(lists.form),
                ElementsAre("P4-CAN: ничего не выбрано", "Скорость данных: ничего не выбрано"));
    expectEnglishTwin(checkForm(lists.form), checkForm(lists.form, Language::English));
}

// One field of the defaults set to a value, and its one problem ("": none).
struct ImageSlip {
    std::size_t offset;  // in the image
    std::size_t width;   // bytes
    std::uint32_t value;
    std::string_view expected;
};

constexpr std::size_t row(std::size_t channel, std::size_t field) {
    return offsets::CH + offsets::channelSize * channel + field;
}

TEST(CheckSettings, EveryValueTheModemWouldNotTakeIsNamed) {
    using namespace offsets;
    const std::vector<ImageSlip> slips{
        {row(3, RXF), 4, 1464683420, "канал 04: частота приёма 1464683.420 МГц — больше 999.999"},
        {row(0, TXF), 4, 1000000, "канал 01: частота передачи 1000.000 МГц — больше 999.999"},
        {row(15, TXF), 4, 999999, ""},
        {row(9, THR), 2, 1001, "канал 10: порог 1001 — больше 1000"},
        {row(9, THR), 2, 1000, ""},
        {row(15, PWR), 2, 6, "канал 16: уровень мощности 6 — не 10 (Hi) и не 5 (Lo)"},
        {VP1, 4, 38400, "P1-RS232: 38400 — нет в списке"},
        {VP2, 4, 25000, "P2-RS232: 25000 — нет в списке"},
        {VP3, 4, 0, "P3-RS485: 0 — нет в списке"},
        {VP4, 4, 9600, "P4-CAN: 9600 — нет в списке"},
        {IDB, 2, 16, "ID-bit: 16 — не 11 и не 29"},
        {IDTX1, 4, 0x800, "ID-Tx УКВ: 800 — больше 7ff (11-bit)"},
        {IDRX2, 4, 0x201, "ГМВ: ID-Rx и ID-Tx совпадают (201)"},
        {MP, 1, 5, "Порт УКВ: 5 — нет в списке"},
        {MP2, 1, 4, ""},
        {CHS1, 2, 0, "Список каналов для нечётного пути: длина 0 — допускается от 1 до 8"},
        {CHS2, 2, 9, "Список каналов для чётного пути: длина 9 — допускается от 1 до 8"},
        {CHL1, 4, 0x02400001,
         "Список каналов для нечётного пути: 0x2400001 — каналы за концом списка из 3"},
        {HT, 2, 1000, "Время действия помехи, мс: 1000 — больше 999"},
        {WT, 2, 65535, "Время ожидания ответа, мс: 65535 — больше 999"},
        {GRSSI, 2, 1000, "RSSI ГМВ: 1000 — больше 999"},
        {REP, 1, 10, "Количество повторов: 10 — больше 9"},
        {GPWR, 1, 2, "Мощность ГМВ: 2 — нет в списке"},
        {GCH, 1, 3, "Канал ГМВ: 3 — нет в списке"},
        {MOD, 1, 2, "Скорость данных: 2 — нет в списке"},
        {VMODE, 1, 6, "Режим МВ: 6 — нет в списке"},
        {GMODE, 1, 255, "Режимы ГМВ: 255 — нет в списке"},
        {PS, 1, 12, "Размер пакета: 12 — нет в списке"},
        {BAND, 1, 3, "Диапазон: 3 — больше 2"},
        {MARK, 4, 0x1233, "Метка настроек: 0x1233 — должна быть 0x1234"},
    };
    for (const ImageSlip& slip : slips) {
        MsetImage image = toImage(defaultSettings());
        writeField(image, slip.offset, slip.width, slip.value);
        const Problems problems = checkSettings(fromImage(image));
        expectEnglishTwin(problems, checkSettings(fromImage(image), Language::English));
        if (slip.expected.empty()) {
            EXPECT_THAT(problems, IsEmpty()) << slip.offset;
        } else {
            EXPECT_THAT(problems, ElementsAre(std::string(slip.expected))) << slip.offset;
        }
    }
    // The width decides the identifiers' range; eight channels use every nibble.
    Mset m = defaultSettings();
    m.IDB = 29;
    m.IDTX1 = 0x800;
    m.CHS2 = 8;
    m.CHL2 = 0xFFFFFFFF;
    EXPECT_THAT(checkSettings(m), IsEmpty());
    m.IDRX2 = 0x20000000;
    EXPECT_THAT(checkSettings(m), ElementsAre("ID-Rx ГМВ: 20000000 — больше 1fffffff (29-bit)"));
}

// Any image the form can show and the modem takes.
Mset randomValidImage(std::mt19937& rng) {
    const auto word = [&] { return static_cast<std::uint32_t>(rng()); };
    const auto below = [&](std::uint32_t n) { return word() % n; };
    Mset m = defaultSettings();
    for (ChannelEntry& ch : m.CH) {
        ch.RXF = below(1000000);
        ch.TXF = below(1000000);
        ch.THR = static_cast<std::uint16_t>(below(1001));
        ch.PWR = below(2) == 0 ? 5 : 10;
    }
    m.VP1 = speedTable[below(4)];
    m.VP2 = speedTable[below(4)];
    m.VP3 = speedTable[below(4)];
    m.VP4 = speedTable[4 + below(8)];
    m.PS = static_cast<std::uint8_t>(speedTable[12 + below(2)]);
    m.IDB = below(2) == 0 ? 11 : 29;
    const std::uint32_t mask = m.IDB == 11 ? 0x7FF : 0x1FFFFFFF;
    m.IDTX1 = word() & mask;
    m.IDRX1 = (m.IDTX1 + 1 + below(mask)) & mask;
    m.IDTX2 = word() & mask;
    m.IDRX2 = (m.IDTX2 + 1 + below(mask)) & mask;
    m.MP = static_cast<std::uint8_t>(below(5));
    m.MP2 = static_cast<std::uint8_t>(below(5));
    m.CHS1 = static_cast<std::uint16_t>(1 + below(8));
    m.CHS2 = static_cast<std::uint16_t>(1 + below(8));
    m.CHL1 = m.CHS1 == 8 ? word() : word() & ~(0xFFFFFFFFu >> (4 * m.CHS1));
    m.CHL2 = m.CHS2 == 8 ? word() : word() & ~(0xFFFFFFFFu >> (4 * m.CHS2));
    m.HT = static_cast<std::uint16_t>(below(1000));
    m.WT = static_cast<std::uint16_t>(below(1000));
    m.GRSSI = static_cast<std::uint16_t>(below(1000));
    m.REP = static_cast<std::uint8_t>(below(10));
    m.GPWR = static_cast<std::uint8_t>(below(2));
    m.GCH = static_cast<std::uint8_t>(below(3));
    m.MOD = static_cast<std::uint8_t>(below(2));
    m.VMODE = static_cast<std::uint8_t>(below(6));
    m.GMODE = static_cast<std::uint8_t>(below(6));
    m.RSDLY = static_cast<std::uint8_t>(word());
    return m;
}

// What the checkers pass is what the transfers carry: an image without problems
// shows as a form without problems, which reads back as the same image.
TEST(CheckForm, ValidImagesShowAsFormsWithoutProblemsAndComeBack) {
    EXPECT_THAT(checkSettings(defaultSettings()), IsEmpty());
    EXPECT_THAT(checkForm(OpenedForm().form), IsEmpty());
    std::mt19937 rng(4002);
    for (int n = 0; n < 300; ++n) {
        const Mset source = randomValidImage(rng);
        ASSERT_THAT(checkSettings(source), IsEmpty()) << n;
        OpenedForm opened;
        settingsToForm(source, opened.form);
        ASSERT_THAT(checkForm(opened.form), IsEmpty()) << n;
        Mset back = defaultSettings();
        formToSettings(opened.form, back);
        ASSERT_EQ(back, source) << n;
    }
}

// The English words in their places, as an operator who reads no Russian gets them.
TEST(CheckForm, EnglishProblemsReadAsEnglish) {
    OpenedForm table;
    editTable(table.form, 3, "s0330", "s330");
    table.form.replaceText(ids::oddPathField, wholeText, "01-3");
    table.form.replaceText(ids::idRx1Field, wholeText, "0101");
    EXPECT_THAT(checkForm(table.form, Language::English),
                ElementsAre("line 04: threshold — four digits",
                            "Odd path channels: \"3\" — a channel number has two digits",
                            "VHF: ID-Rx and ID-Tx are the same (101)"));
    OpenedForm joined;
    editTable(joined.form, 2, "pHi\r\n", "pHi");
    EXPECT_THAT(checkForm(joined.form, Language::English),
                IsSupersetOf({"VHF channels: 15 lines — 16 needed"}));
    Mset m = defaultSettings();
    m.CH[3].RXF = 1000000;
    m.GCH = 3;
    EXPECT_THAT(checkSettings(m, Language::English),
                ElementsAre("channel 04: Rx frequency 1000.000 MHz — above 999.999",
                            "MF chan.: 3 — not in the list"));
    EXPECT_EQ(problemsMessage({"a", "b", "c"}, Language::English, 1), "a\n…and 2 more");
    EXPECT_EQ(problemsMessage({"a", "b"}, Language::English, 1), "a\n…and 1 more");
}

TEST(ProblemsMessage, OneLineEachAndACountOfTheRest) {
    const Problems three{"a", "b", "c"};
    EXPECT_EQ(problemsMessage(three), "a\nb\nc");
    EXPECT_EQ(problemsMessage(three, Language::Russian, 1), "a\n…и ещё 2 ошибки");
    EXPECT_EQ(problemsMessage(three, Language::Russian, 0), "…и ещё 3 ошибки");
    EXPECT_EQ(problemsMessage({}), "");
    const std::pair<std::size_t, std::string> counts[] = {
        {1, "1 ошибка"}, {5, "5 ошибок"}, {11, "11 ошибок"}, {21, "21 ошибка"}, {22, "22 ошибки"}};
    for (const auto& [more, tail] : counts) {
        const std::string message = problemsMessage(Problems(20 + more, "p"));
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 20) << message;
        EXPECT_TRUE(message.ends_with("\np\n…и ещё " + tail)) << message;
    }
}

}  // namespace
}  // namespace modem
