#include "ui/transfers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "settings/mset.h"
#include "ui/channel_notation.h"
#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/form_model.h"

namespace modem {
namespace {

// A form as the dialog shows it when it opens.
struct OpenedForm {
    OpenedForm() { initialiseForm(form, mset); }
    FormModel form;
    Mset mset;
};

// What "Проверить" does to an image just loaded into an opened dialog.
Mset check(const Mset& in) {
    OpenedForm opened;
    Mset m = in;
    settingsToForm(m, opened.form);
    formToSettings(opened.form, m);
    return m;
}

TEST(FormInit, OpensWithDefaultsAndInitialSelections) {
    const OpenedForm o;
    EXPECT_EQ(o.mset, defaultSettings());
    const FormModel& f = o.form;
    EXPECT_EQ(f.text(ids::channelTable), renderChannelTable(defaultSettings().CH));
    const std::pair<int, const char*> texts[] = {
        {ids::oddPathField, "01-03-05"},
        {ids::evenPathField, "02-04-06"},
        {ids::wtField, "300"},
        {ids::rsdlyField, "20"},
        {ids::repField, "0"},
        {ids::htField, "100"},
        {ids::grssiField, "350"},
        {ids::idTx1Field, "101"},
        {ids::idRx1Field, "100"},
        {ids::idTx2Field, "201"},
        {ids::idRx2Field, "200"},
        {ids::vhfToneField, "1000"},
        {ids::mfToneField, "1000"},
    };
    for (const auto& [id, text] : texts) {
        EXPECT_EQ(f.text(id), text) << id;
    }
    const std::pair<int, int> selections[] = {
        {ids::vhfTestChannelList, 0},
        {ids::mfTestChannelList, 1},
        {ids::profileList, 0},
        {ids::modList, 0},
        {ids::gchList, 1},
        {ids::psList, 1},
        {ids::vp1List, 0},
        {ids::vp2List, 0},
        {ids::vp3List, 0},
        {ids::vp4List, 1},
        {ids::idbList, 0},
        {ids::mpList, 0},
        {ids::mp2List, 0},
        {ids::vmodeList, 0},
        {ids::gmodeList, 0},
        {ids::gpwrList, 1},
    };
    for (const auto& [id, index] : selections) {
        EXPECT_EQ(f.selection(id), index) << id;
    }
}

TEST(Transfers, ReadingTheOpenedFormGivesTheDefaultsBack) {
    OpenedForm o;
    // Start from a scrambled image so that every field has to be written.
    Mset m;
    for (auto& ch : m.CH) {
        ch = {1, 2, 3, 4};
    }
    m.VP1 = m.VP2 = m.VP3 = m.VP4 = 7;
    m.IDB = 3;
    m.CHS1 = m.CHS2 = 9;
    m.BAND = 2;
    m.MARK = 0xCAFE;
    m.reserved = {9, 8, 7, 6, 5};
    formToSettings(o.form, m);
    Mset expected = defaultSettings();
    expected.MARK = 0xCAFE;
    expected.reserved = {9, 8, 7, 6, 5};
    EXPECT_EQ(m, expected);
}

TEST(Transfers, ValuesWithoutAnItemLeaveTheirListAsItWas) {
    OpenedForm o;
    Mset m = defaultSettings();
    m.PS = 12;
    m.VP1 = 38400;
    m.VP4 = 1;
    m.IDB = 16;
    m.MOD = 5;
    m.GMODE = 6;
    settingsToForm(m, o.form);
    EXPECT_EQ(o.form.selection(ids::psList), 1);
    EXPECT_EQ(o.form.selection(ids::vp1List), 0);
    EXPECT_EQ(o.form.selection(ids::vp4List), 1);
    EXPECT_EQ(o.form.selection(ids::idbList), 0);
    EXPECT_EQ(o.form.selection(ids::modList), -1);
    EXPECT_EQ(o.form.selection(ids::gmodeList), -1);
    formToSettings(o.form, m);
    EXPECT_EQ(m.PS, 20);
    EXPECT_EQ(m.VP1, 9600u);
    EXPECT_EQ(m.VP4, 25000u);
    EXPECT_EQ(m.IDB, 11);
    EXPECT_EQ(m.MOD, 255);
    EXPECT_EQ(m.GMODE, 255);
}

TEST(Transfers, NumbersAndIdentifiersAreShownWithinTheirFields) {
    OpenedForm o;
    Mset m = defaultSettings();
    m.WT = 1000;
    m.REP = 12;
    m.RSDLY = 255;
    m.GRSSI = 7;
    m.IDTX1 = 0x1ABCDEF;
    m.IDRX1 = 0;
    m.CHS1 = 0;
    m.CHS2 = 9;
    settingsToForm(m, o.form);
    EXPECT_EQ(o.form.text(ids::wtField), "100");
    EXPECT_EQ(o.form.text(ids::repField), "1");
    EXPECT_EQ(o.form.text(ids::rsdlyField), "255");
    EXPECT_EQ(o.form.text(ids::grssiField), "7");
    EXPECT_EQ(o.form.text(ids::idTx1Field), "1abcdef");
    EXPECT_EQ(o.form.text(ids::idRx1Field), "0");
    // No notation exists for these counts: the fields are left empty rather
    // than showing leftovers of another field.
    EXPECT_EQ(o.form.text(ids::oddPathField), "");
    EXPECT_EQ(o.form.text(ids::evenPathField), "");
}

TEST(Transfers, IdentifierFieldKeepsTextBeyondItsClearCount) {
    OpenedForm o;
    ASSERT_TRUE(o.form.setText(ids::idTx1Field, "0123456789ab"));
    settingsToForm(defaultSettings(), o.form);
    EXPECT_EQ(o.form.text(ids::idTx1Field), "101ab");
}

TEST(Transfers, DecimalFieldsReadAsTheirWidthAllows) {
    struct Case {
        int id;
        const char* text;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {ids::wtField, "250", 250},    {ids::wtField, "", 0},      {ids::rsdlyField, "300", 44},
        {ids::rsdlyField, "-5", 251},  {ids::rsdlyField, " 7", 7}, {ids::rsdlyField, "+9x", 9},
        {ids::rsdlyField, "x9", 0},    {ids::repField, "9", 9},    {ids::htField, "007", 7},
        {ids::grssiField, "999", 999},
    };
    for (const auto& c : cases) {
        OpenedForm o;
        ASSERT_TRUE(o.form.setText(c.id, c.text)) << c.id << " " << c.text;
        Mset m = defaultSettings();
        formToSettings(o.form, m);
        const std::uint32_t got = c.id == ids::wtField      ? m.WT
                                  : c.id == ids::rsdlyField ? m.RSDLY
                                  : c.id == ids::repField   ? m.REP
                                  : c.id == ids::htField    ? m.HT
                                                            : m.GRSSI;
        EXPECT_EQ(got, c.expected) << c.id << " \"" << c.text << '"';
    }
}

TEST(Transfers, CanIdentifiersAreMaskedAndKeptApartWithinARadio) {
    struct Case {
        const char* what;
        int width;  // selection of the id-width list
        const char *tx1, *rx1, *tx2, *rx2;
        std::uint16_t idb;
        std::uint32_t eTx1, eRx1, eTx2, eRx2;
    };
    const Case cases[] = {
        {"equal ids move rx", 0, "101", "101", "201", "200", 11, 0x101, 0x102, 0x201, 0x200},
        {"rx wraps at the top", 0, "7ff", "7ff", "0", "0", 11, 0x7FF, 0, 0, 1},
        {"masked to 11 bits", 0, "FFF", "1800", "1", "2", 11, 0x7FF, 0, 1, 2},
        {"29-bit wrap", 1, "5", "6", "1fffffff", "1fffffff", 29, 5, 6, 0x1FFFFFFF, 0},
        {"rows not compared", 1, "123", "124", "7", "123", 29, 0x123, 0x124, 7, 0x123},
        {"0x prefix reads 0", 1, "0x10", "1", "2", "3", 29, 0, 1, 2, 3},
        {"leading blank reads 0", 1, " 10", "1", "2", "3", 29, 0, 1, 2, 3},
        {"only 11 characters seen", 1, "123456789abc", "1", "2", "3", 29, 0x056789AB, 1, 2, 3},
    };
    for (const auto& c : cases) {
        OpenedForm o;
        o.form.setSelection(ids::idbList, c.width);
        ASSERT_TRUE(o.form.setText(ids::idTx1Field, c.tx1));
        ASSERT_TRUE(o.form.setText(ids::idRx1Field, c.rx1));
        ASSERT_TRUE(o.form.setText(ids::idTx2Field, c.tx2));
        ASSERT_TRUE(o.form.setText(ids::idRx2Field, c.rx2));
        Mset m = defaultSettings();
        formToSettings(o.form, m);
        EXPECT_EQ(m.IDB, c.idb) << c.what;
        EXPECT_EQ(m.IDTX1, c.eTx1) << c.what;
        EXPECT_EQ(m.IDRX1, c.eRx1) << c.what;
        EXPECT_EQ(m.IDTX2, c.eTx2) << c.what;
        EXPECT_EQ(m.IDRX2, c.eRx2) << c.what;
    }
}

TEST(Transfers, NoIdWidthSelectedLeavesTheCanBlockAlone) {
    OpenedForm o;
    o.form.setSelection(ids::idbList, 7);  // clears it
    ASSERT_TRUE(o.form.setText(ids::idTx1Field, "5"));
    Mset m = defaultSettings();
    m.IDB = 16;
    m.IDTX1 = 0xABCDEF12;
    formToSettings(o.form, m);
    EXPECT_EQ(m.IDB, 16);
    EXPECT_EQ(m.IDTX1, 0xABCDEF12u);
}

TEST(Transfers, SpeedListsWithoutSelectionLeaveTheirFieldsUnchanged) {
    OpenedForm o;
    for (int id : {ids::vp1List, ids::vp2List, ids::vp3List, ids::vp4List, ids::psList}) {
        o.form.setSelection(id, 99);
        ASSERT_EQ(o.form.selection(id), -1);
    }
    Mset m = defaultSettings();
    m.VP1 = 1;
    m.VP2 = 2;
    m.VP3 = 3;
    m.VP4 = 4;
    m.PS = 5;
    formToSettings(o.form, m);
    EXPECT_EQ(m.VP1, 1u);
    EXPECT_EQ(m.VP2, 2u);
    EXPECT_EQ(m.VP3, 3u);
    EXPECT_EQ(m.VP4, 4u);
    EXPECT_EQ(m.PS, 5);
}

TEST(Transfers, SelectionsMapThroughTheSpeedTable) {
    OpenedForm o;
    o.form.setSelection(ids::vp1List, 3);
    o.form.setSelection(ids::vp2List, 1);
    o.form.setSelection(ids::vp3List, 2);
    o.form.setSelection(ids::vp4List, 7);
    o.form.setSelection(ids::psList, 0);
    Mset m = defaultSettings();
    formToSettings(o.form, m);
    EXPECT_EQ(m.VP1, 115200u);
    EXPECT_EQ(m.VP2, 19200u);
    EXPECT_EQ(m.VP3, 57600u);
    EXPECT_EQ(m.VP4, 1000000u);
    EXPECT_EQ(m.PS, 8);
}

TEST(Transfers, CheckResetsTheBandAndKeepsMarkAndReservedBytes) {
    Mset m = defaultSettings();
    m.BAND = 2;
    m.MARK = 0xFFFFFFFF;
    m.reserved = {1, 2, 3, 4, 5};
    const Mset checked = check(m);
    EXPECT_EQ(checked.BAND, 0);
    EXPECT_EQ(checked.MARK, 0xFFFFFFFFu);
    EXPECT_EQ(checked.reserved, m.reserved);
}

TEST(Transfers, CheckingTwiceGivesTheSameImageAsOnce) {
    std::mt19937 rng(1001);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 3000; ++round) {
        MsetImage image{};
        for (auto& b : image) {
            b = static_cast<std::uint8_t>(byte(rng));
        }
        const Mset once = check(fromImage(image));
        const Mset twice = check(once);
        ASSERT_EQ(toImage(twice), toImage(once)) << "round " << round;
        // A checked image is within the ranges the form can show.
        for (const auto& ch : once.CH) {
            ASSERT_LT(ch.RXF, 1000000u);
            ASSERT_LT(ch.THR, 1024);
            ASSERT_TRUE(ch.PWR == 5 || ch.PWR == 10);
        }
        ASSERT_GE(once.CHS1, 1);
        ASSERT_LE(once.CHS1, 8);
    }
}

}  // namespace
}  // namespace modem
