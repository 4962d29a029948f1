#include "ui/settings_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "ui/channel_notation.h"
#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/transfers.h"

namespace modem {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::SizeIs;

constexpr std::size_t wholeText = std::numeric_limits<std::size_t>::max();

// The dialog as it opens, showing the defaults.
struct OpenedForm {
    OpenedForm() { initialiseForm(form, mset); }
    FormModel form;
    Mset mset;
};

std::string table(const FormModel& form) {
    return form.text(ids::channelTable);
}

// The table with `from` (first occurrence at or after line `line`'s start)
// replaced by `to`.
void editTable(FormModel& form, std::size_t line, std::string_view from, std::string_view to) {
    std::string text = table(form);
    const std::size_t at = text.find(from, 30 * line);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    form.replaceText(ids::channelTable, wholeText, text);
}

// Any field's text as it might arrive from a front end, digits-only or not.
void forceText(FormModel& form, int id, std::string_view text) {
    form.replaceText(id, wholeText, text);
}

void typeText(FormModel& form, int id, std::string_view text) {
    ASSERT_TRUE(form.setText(id, text)) << id << ": " << text;
}

struct FormSlip {
    const char* name;
    std::function<void(FormModel&)> make;
    std::vector<std::string> expected;  // each must be among the problems
    std::size_t count;                  // how many problems there are in all
};

TEST(CheckForm, EverySlipIsNamedWithItsLine) {
    const std::string odd = "Список каналов для нечётного пути: ";
    const std::vector<FormSlip> slips{
        {"threshold of three digits",
         [](FormModel& f) { editTable(f, 3, "s0330", "s330"); },
         {"строка 04: порог — четыре цифры"},
         1},
        {"power deleted on the last line",
         [](FormModel& f) { editTable(f, 15, "pHi", "p"); },
         {"строка 16: мощность — Hi или Lo"},
         1},
        {"two lines joined",
         [](FormModel& f) { editTable(f, 2, "pHi\r\n", "pHi"); },
         {"Настройка каналов УКВ: 15 строк — нужно 16", "строка 03: лишние знаки в конце строки",
          "строка 04: номер канала — должен быть 04", "строка 15: номер канала — должен быть 15"},
         14},
        {"a 17th line",
         [](FormModel& f) {
             forceText(f, ids::channelTable, table(f) + "\r\n17-r155.225-t155.225s0330pHi");
         },
         {"Настройка каналов УКВ: 17 строк — нужно 16"},
         1},
        {"three lines more, past what the parser reads",
         [](FormModel& f) {
             std::string text = table(f);
             for (const char* line : {"17", "18", "19"}) {
                 text += "\r\n" + std::string(line) + "-r155.225-t155.225s0330pHi";
             }
             forceText(f, ids::channelTable, text);
         },
         {"Настройка каналов УКВ: 19 строк — нужно 16"},
         1},
        {"the last line deleted, its line break left",
         [](FormModel& f) { editTable(f, 15, "16-r155.475-t155.475s0330pHi", ""); },
         {"строка 16: пустая строка"},
         1},
        {"a blank line",
         [](FormModel& f) { editTable(f, 5, "\r\n", "\r\n\r\n"); },
         {"Настройка каналов УКВ: 17 строк — нужно 16", "строка 07: пустая строка",
          "строка 08: номер канала — должен быть 08"},
         11},
        {"two lines swapped",
         [](FormModel& f) {
             editTable(f, 2, "03-", "xx-");
             editTable(f, 3, "04-", "03-");
             editTable(f, 2, "xx-", "04-");
         },
         {"строка 03: номер канала — должен быть 03", "строка 04: номер канала — должен быть 04"},
         2},
        {"threshold above 1000",
         [](FormModel& f) { editTable(f, 1, "s0330", "s1500"); },
         {"строка 02: порог 1500 — больше 1000"},
         1},
        {"a comma for the point",
         [](FormModel& f) { editTable(f, 0, "r155.225", "r155,225"); },
         {"строка 01: частота приёма — три цифры, точка, три цифры"},
         1},
        {"a frequency digit too many",
         [](FormModel& f) { editTable(f, 4, "t155.100", "t155.1000"); },
         {"строка 05: частота передачи — три цифры, точка, три цифры"},
         1},
        {"a blank after the power",
         [](FormModel& f) { editTable(f, 8, "pHi", "pHi "); },
         {"строка 09: лишние знаки в конце строки"},
         1},
        {"a line break after the last line shifts nothing",
         [](FormModel& f) { forceText(f, ids::channelTable, table(f) + "\r\n"); },
         {},
         0},
        {"power in any case", [](FormModel& f) { editTable(f, 0, "pHi", "phI"); }, {}, 0},
        {"path list of one-digit items",
         [](FormModel& f) { typeText(f, ids::oddPathField, "1-3"); },
         {odd + "«1» — номер канала двумя цифрами"},
         1},
        {"path list with channel 17",
         [](FormModel& f) { typeText(f, ids::oddPathField, "01-17"); },
         {odd + "канал 17 — нет такого (01–16)"},
         1},
        {"path list with channel 00",
         [](FormModel& f) { typeText(f, ids::oddPathField, "00"); },
         {odd + "канал 00 — нет такого (01–16)"},
         1},
        {"path list with a double dash",
         [](FormModel& f) { typeText(f, ids::oddPathField, "01--03"); },
         {odd + "«01--03» — пропущен номер канала"},
         1},
        {"path list ending in a dash",
         [](FormModel& f) { typeText(f, ids::oddPathField, "01-03-"); },
         {odd + "«01-03-» — пропущен номер канала"},
         1},
        {"path list of nine items",
         [](FormModel& f) { typeText(f, ids::oddPathField, "1-2-3-4-5-6-7-8-9"); },
         {odd + "9 каналов — не больше 8", odd + "«1» — номер канала двумя цифрами"},
         2},
        {"empty path list",
         [](FormModel& f) { typeText(f, ids::oddPathField, ""); },
         {odd + "пусто"},
         1},
        {"even path list",
         [](FormModel& f) { typeText(f, ids::evenPathField, "02-04-6"); },
         {"Список каналов для чётного пути: «6» — номер канала двумя цифрами"},
         1},
        {"empty number field",
         [](FormModel& f) { typeText(f, ids::wtField, ""); },
         {"Время ожидания ответа, мс: пусто"},
         1},
        {"letter in a number field",
         [](FormModel& f) { forceText(f, ids::repField, "a"); },
         {"Количество повторов: «a» — только цифры"},
         1},
        {"RS-485 delay beyond a byte",
         [](FormModel& f) { typeText(f, ids::rsdlyField, "300"); },
         {"Задержка ответа по RS485 в мс: «300» — больше 255"},
         1},
        {"RS-485 delay with a sign",
         [](FormModel& f) { typeText(f, ids::rsdlyField, "-5"); },
         {"Задержка ответа по RS485 в мс: «-5» — только цифры"},
         1},
        {"CAN identifier with a prefix",
         [](FormModel& f) { typeText(f, ids::idTx1Field, "0x100"); },
         {"ID-Tx УКВ: «0x100» — только шестнадцатеричные цифры"},
         1},
        {"CAN identifier with a leading blank",
         [](FormModel& f) { typeText(f, ids::idRx2Field, " 200"); },
         {"ID-Rx ГМВ: « 200» — только шестнадцатеричные цифры"},
         1},
        {"receive equals transmit",
         [](FormModel& f) { typeText(f, ids::idRx1Field, "0101"); },
         {"УКВ: ID-Rx и ID-Tx совпадают (101)"},
         1},
        {"identifier beyond 11 bits",
         [](FormModel& f) { typeText(f, ids::idRx2Field, "800"); },
         {"ID-Rx ГМВ: «800» — больше 7ff (11-bit)"},
         1},
        {"identifier beyond 29 bits",
         [](FormModel& f) {
             f.setSelection(ids::idbList, 1);
             typeText(f, ids::idTx2Field, "20000000");
         },
         {"ID-Tx ГМВ: «20000000» — больше 1fffffff (29-bit)"},
         1},
        {"the widest identifier within 29 bits",
         [](FormModel& f) {
             f.setSelection(ids::idbList, 1);
             typeText(f, ids::idTx2Field, "1fffffff");
         },
         {},
         0},
        {"empty identifier",
         [](FormModel& f) { typeText(f, ids::idTx1Field, ""); },
         {"ID-Tx УКВ: пусто"},
         1},
        {"no data rate selected",
         [](FormModel& f) { f.setSelection(ids::modList, -1); },
         {"Скорость данных: ничего не выбрано"},
         1},
        {"no CAN rate selected",
         [](FormModel& f) { f.setSelection(ids::vp4List, 99); },
         {"P4-CAN: ничего не выбрано"},
         1},
    };
    for (const FormSlip& slip : slips) {
        OpenedForm opened;
        slip.make(opened.form);
        const Problems problems = checkForm(opened.form);
        EXPECT_THAT(problems, IsSupersetOf(slip.expected)) << slip.name;
        EXPECT_THAT(problems, SizeIs(slip.count)) << slip.name << ":\n"
                                                  << problemsMessage(problems, 100);
    }
}

struct ImageSlip {
    const char* name;
    std::function<void(Mset&)> make;
    std::vector<std::string> expected;  // exactly these, in this order
};

TEST(CheckSettings, EveryValueTheModemWouldNotTakeIsNamed) {
    const std::vector<ImageSlip> slips{
        {"a receive frequency from random bytes",
         [](Mset& m) { m.CH[3].RXF = 1464683420; },
         {"канал 04: частота приёма 1464683.420 МГц — больше 999.999"}},
        {"the first frequency without room",
         [](Mset& m) { m.CH[0].TXF = 1000000; },
         {"канал 01: частота передачи 1000.000 МГц — больше 999.999"}},
        {"the last frequency with room", [](Mset& m) { m.CH[15].TXF = 999999; }, {}},
        {"threshold above 1000",
         [](Mset& m) { m.CH[9].THR = 1001; },
         {"канал 10: порог 1001 — больше 1000"}},
        {"threshold of 1000", [](Mset& m) { m.CH[9].THR = 1000; }, {}},
        {"power neither Hi nor Lo",
         [](Mset& m) { m.CH[15].PWR = 6; },
         {"канал 16: уровень мощности 6 — не 10 (Hi) и не 5 (Lo)"}},
        {"serial speeds",
         [](Mset& m) {
             m.VP1 = 38400;
             m.VP2 = 25000;
             m.VP3 = 0;
         },
         {"P1-RS232: 38400 — нет в списке", "P2-RS232: 25000 — нет в списке",
          "P3-RS485: 0 — нет в списке"}},
        {"CAN rate", [](Mset& m) { m.VP4 = 9600; }, {"P4-CAN: 9600 — нет в списке"}},
        {"identifier width", [](Mset& m) { m.IDB = 16; }, {"ID-bit: 16 — не 11 и не 29"}},
        {"identifier beyond 11 bits",
         [](Mset& m) { m.IDTX1 = 0x800; },
         {"ID-Tx УКВ: 800 — больше 7ff (11-bit)"}},
        {"the same identifier in 29 bits",
         [](Mset& m) {
             m.IDB = 29;
             m.IDTX1 = 0x800;
         },
         {}},
        {"identifier beyond 29 bits",
         [](Mset& m) {
             m.IDB = 29;
             m.IDRX2 = 0x20000000;
         },
         {"ID-Rx ГМВ: 20000000 — больше 1fffffff (29-bit)"}},
        {"receive equals transmit",
         [](Mset& m) { m.IDRX2 = m.IDTX2; },
         {"ГМВ: ID-Rx и ID-Tx совпадают (201)"}},
        {"ports",
         [](Mset& m) {
             m.MP = 5;
             m.MP2 = 4;
         },
         {"Порт УКВ: 5 — нет в списке"}},
        {"path list lengths",
         [](Mset& m) {
             m.CHS1 = 0;
             m.CHS2 = 9;
         },
         {"Список каналов для нечётного пути: длина 0 — допускается от 1 до 8",
          "Список каналов для чётного пути: длина 9 — допускается от 1 до 8"}},
        {"a channel beyond the list's length",
         [](Mset& m) { m.CHL1 = 0x02400001; },
         {"Список каналов для нечётного пути: 0x2400001 — каналы за концом списка из 3"}},
        {"eight channels use every nibble",
         [](Mset& m) {
             m.CHS2 = 8;
             m.CHL2 = 0xFFFFFFFF;
         },
         {}},
        {"three-character numbers",
         [](Mset& m) {
             m.HT = 1000;
             m.WT = 65535;
             m.GRSSI = 1000;
         },
         {"Время действия помехи, мс: 1000 — больше 999",
          "Время ожидания ответа, мс: 65535 — больше 999", "RSSI ГМВ: 1000 — больше 999"}},
        {"repeats", [](Mset& m) { m.REP = 10; }, {"Количество повторов: 10 — больше 9"}},
        {"lists by index",
         [](Mset& m) {
             m.GPWR = 2;
             m.GCH = 3;
             m.MOD = 2;
             m.VMODE = 6;
             m.GMODE = 255;
         },
         {"Мощность ГМВ: 2 — нет в списке", "Канал ГМВ: 3 — нет в списке",
          "Скорость данных: 2 — нет в списке", "Режим МВ: 6 — нет в списке",
          "Режимы ГМВ: 255 — нет в списке"}},
        {"packet size", [](Mset& m) { m.PS = 12; }, {"Размер пакета: 12 — нет в списке"}},
        {"band", [](Mset& m) { m.BAND = 3; }, {"Диапазон: 3 — больше 2"}},
        {"mark", [](Mset& m) { m.MARK = 0x1233; }, {"Метка настроек: 0x1233 — должна быть 0x1234"}},
    };
    for (const ImageSlip& slip : slips) {
        Mset m = defaultSettings();
        slip.make(m);
        EXPECT_THAT(checkSettings(m), ElementsAreArray(slip.expected)) << slip.name;
    }
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

TEST(CheckSettings, RandomBytesAreNeverTakenSilently) {
    std::mt19937 rng(1024);
    for (int n = 0; n < 200; ++n) {
        MsetImage bytes;
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(rng());
        }
        EXPECT_THAT(checkSettings(fromImage(bytes)), Not(IsEmpty())) << n;
    }
}

TEST(ProblemsMessage, OneLineEachAndACountOfTheRest) {
    struct Case {
        std::size_t problems;
        std::size_t most;
        std::string lastLine;
        std::size_t lines;
    };
    const std::vector<Case> cases{
        {1, 20, "p1", 1},
        {20, 20, "p20", 20},
        {21, 20, "…и ещё 1 ошибка", 21},
        {23, 20, "…и ещё 3 ошибки", 21},
        {25, 20, "…и ещё 5 ошибок", 21},
        {31, 20, "…и ещё 11 ошибок", 21},
        {41, 20, "…и ещё 21 ошибка", 21},
        {42, 20, "…и ещё 22 ошибки", 21},
        {4, 0, "…и ещё 4 ошибки", 1},
    };
    for (const Case& c : cases) {
        Problems problems;
        for (std::size_t i = 1; i <= c.problems; ++i) {
            problems.push_back("p" + std::to_string(i));
        }
        const std::string message = problemsMessage(problems, c.most);
        const std::size_t lines =
            1 + static_cast<std::size_t>(std::count(message.begin(), message.end(), '\n'));
        EXPECT_EQ(lines, c.lines) << c.problems << "/" << c.most;
        EXPECT_TRUE(message.ends_with(c.lastLine)) << message;
        if (c.most > 0) {
            EXPECT_EQ(message.substr(0, message.find('\n')), "p1");
        }
    }
    EXPECT_EQ(problemsMessage({}), "");
}

}  // namespace
}  // namespace modem
