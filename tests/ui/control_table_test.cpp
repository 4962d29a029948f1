#include "ui/control_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "ui/cp1251.h"

namespace modem {
namespace {

TEST(ControlTable, HasNinetySixUniqueControlsInTabOrder) {
    const std::vector<int> tabOrder{
        4021, 4002, 4003, 4007, 4008, 4009, 4010, 4011, 4015, 4016, 4019, 4020, 4022, 4026,
        4027, 4017, 4028, 4030, 4031, 4032, 4033, 4034, 4035, 4036, 4037, 4038, 4039, 4040,
        4041, 4042, 4047, 4048, 4051, 4052, 4053, 4054, 4055, 4056, 4060, 4058, 4061, 4059,
        4063, 4050, 4065, 4069, 4070, 4072, 4073, 4049, 4075, 4076, 4083, 4006, 4085, 4014,
        4064, 4068, 4086, 4087, 4071, 4089, 4091, 4092, 4093, 4095, 4096, 4097, 4098, 4099,
        4100, 4066, 4101, 4103, 4067, 4018, 4102, 4104, 4105, 4012, 4079, 4081, 4043, 4045,
        4106, 4107, 4108, 4109, 4110, 4062, 4111, 4112, 4078, 4113, 4114, 4115};
    std::vector<int> actual;
    std::set<int> unique;
    for (const auto& c : dialogControls()) {
        actual.push_back(c.id);
        unique.insert(c.id);
    }
    EXPECT_EQ(actual, tabOrder);
    EXPECT_EQ(unique.size(), 96u);
    // The first tab stop in template order.
    const auto controls = dialogControls();
    const auto first = std::find_if(controls.begin(), controls.end(),
                                    [](const ControlTemplate& c) { return c.tabStop; });
    ASSERT_NE(first, controls.end());
    EXPECT_EQ(first->id, ids::vhfToneField);
}

TEST(ControlTable, SpotChecksPlacesTextsAndKinds) {
    struct Expect {
        int id;
        ControlKind kind;
        const char* text;
        int x, y, w, h;
    };
    const Expect cases[] = {
        {4021, ControlKind::NumberField, "1000", 330, 302, 42, 12},
        {4002, ControlKind::MultiLineField, "", 114, 52, 136, 132},
        {4017, ControlKind::MultiLineField, "", 252, 52, 276, 198},
        {4019, ControlKind::List, "", 330, 266, 42, 232},
        {4078, ControlKind::Button, "Считать ", 532, 232, 46, 15},
        {4113, ControlKind::Label, "Задержка ответа по RS485 в мс", 252, 4, 60, 16},
        {4114, ControlKind::TextField, "20", 260, 24, 44, 12},
        {4067, ControlKind::CentredGroupBox, "Настройки ЗУЛК", 12, 192, 78, 62},
        {4115, ControlKind::GroupBox, "Пример настройки канала УКВ", 0, 52, 112, 104},
        {4107, ControlKind::NumberField, "1000", 48, 338, 36, 10},
        {4072, ControlKind::LeftLabel, nullptr, 4, 64, 104, 88},
    };
    for (const auto& e : cases) {
        const ControlTemplate* c = findControl(e.id);
        ASSERT_NE(c, nullptr) << e.id;
        EXPECT_EQ(c->kind, e.kind) << e.id;
        if (e.text != nullptr) {
            EXPECT_EQ(c->text, e.text) << e.id;
        }
        EXPECT_EQ(c->x, e.x) << e.id;
        EXPECT_EQ(c->y, e.y) << e.id;
        EXPECT_EQ(c->width, e.w) << e.id;
        EXPECT_EQ(c->height, e.h) << e.id;
    }
}

TEST(ControlTable, HelpTextEndsInABareCarriageReturn) {
    const std::string_view text = findControl(4072)->text;
    EXPECT_TRUE(text.starts_with("01-r155.225-t155.225s0330pHi\r\n01-номер канала\r\n"));
    EXPECT_TRUE(text.ends_with("(Hi) - максимальный\r\n(Lo) - пониженный\r"));
    EXPECT_NE(text.find("(0-1000)\r\npHi - уровень мощности"), std::string_view::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
}

TEST(ControlTable, EveryControlButTheDropDownsFitsTheDialog) {
    const DialogTemplate d = dialogTemplate();
    for (const auto& c : dialogControls()) {
        EXPECT_GE(c.x, 0) << c.id;
        EXPECT_LE(c.x + c.width, d.width) << c.id;
        if (c.kind != ControlKind::List) {
            EXPECT_LE(c.y + c.height, d.height) << c.id;
        }
    }
}

TEST(ControlTable, StylesThatAFrontEndNeeds) {
    for (const auto& c : dialogControls()) {
        const bool input = c.kind == ControlKind::Button || c.kind == ControlKind::NumberField ||
                           c.kind == ControlKind::TextField || c.kind == ControlKind::List ||
                           c.id == ids::channelTable;
        EXPECT_EQ(c.tabStop, input) << c.id;
        EXPECT_EQ(c.fixedPitchFont, c.id == ids::channelTable || c.id == ids::terminalPane) << c.id;
        EXPECT_EQ(c.multiLineCaption, c.id == ids::powerSupplyButton) << c.id;
        EXPECT_EQ(c.digitsOnly, c.kind == ControlKind::NumberField) << c.id;
        if (c.kind == ControlKind::GroupBox || c.kind == ControlKind::LeftLabel) {
            EXPECT_EQ(c.alignment, TextAlignment::Left) << c.id;
        }
        if (c.kind == ControlKind::Label || c.kind == ControlKind::CentredGroupBox ||
            c.kind == ControlKind::NumberField || c.kind == ControlKind::TextField) {
            EXPECT_EQ(c.alignment, TextAlignment::Centre) << c.id;
        }
    }
    const FontTemplate f = fixedPitchFont();
    EXPECT_EQ(f.face, "Courier New");
    EXPECT_EQ(f.height, 14);
    EXPECT_EQ(f.weight, 400);
    const DialogTemplate d = dialogTemplate();
    EXPECT_EQ(d.caption,
              "   Программа настройки и тестирования параметров работы радиомодема ЗУЛК TARNO");
    EXPECT_EQ(d.width, 584);
    EXPECT_EQ(d.height, 354);
    EXPECT_EQ(d.fontFace, "Arial");
    EXPECT_EQ(d.pointSize, 8);
}

TEST(ControlTable, TextLimits) {
    const std::pair<int, std::size_t> limits[] = {
        {4021, 4},  {4087, 4}, {4031, 3}, {4047, 3}, {4107, 3}, {4114, 3}, {4038, 1}, {4033, 23},
        {4034, 23}, {4002, 0}, {4017, 0}, {4059, 0}, {4060, 0}, {4109, 0}, {4110, 0}, {4057, 0}};
    for (const auto& [id, limit] : limits) {
        EXPECT_EQ(textLimit(id), limit) << id;
    }
}

TEST(ControlTable, ListsAreFilledInOrderWithTheirInitialSelections) {
    const std::vector<int> fillOrder{4019, 4039, 4042, 4040, 4056, 4061, 4041, 4106,
                                     4049, 4075, 4051, 4095, 4006, 4064, 4083, 4079};
    std::vector<int> actual;
    for (const auto& l : dialogLists()) {
        actual.push_back(l.id);
        const ControlTemplate* c = findControl(l.id);
        ASSERT_NE(c, nullptr) << l.id;
        EXPECT_EQ(c->kind, ControlKind::List) << l.id;
        const int expected = l.id == 4019 || l.id == 4075 ? 0 : l.id == 4064 ? 1 : -1;
        EXPECT_EQ(l.initialSelection, expected) << l.id;
    }
    EXPECT_EQ(actual, fillOrder);
    // BAND has no control and no list.
    EXPECT_EQ(findControl(ids::absentBandList), nullptr);
    EXPECT_EQ(findList(ids::absentBandList), nullptr);
    // Every list control has its items.
    for (const auto& c : dialogControls()) {
        if (c.kind == ControlKind::List) {
            EXPECT_NE(findList(c.id), nullptr) << c.id;
        }
    }
}

TEST(ControlTable, ListItemsKeepTheirOrderAndBlanks) {
    using Items = std::vector<std::string>;
    EXPECT_EQ(findList(4049)->items, (Items{"норм", "  1/2"}));
    EXPECT_EQ(findList(4079)->items,
              (Items{" ЮНР", " ЗУЛК", " CQPSK-10.4", " CQPSK-2.6", " шурн", " CQPSK-5.2"}));
    EXPECT_EQ(findList(4083)->items, (Items{" ЗУЛК", " ГРЕН-9.6", " ГРЕН-пак8б", " CQPSK-10.4",
                                            " CQPSK-2.6", " CQPSK-5.2"}));
    EXPECT_EQ(findList(4056)->items,
              (Items{"20k", "25k", "50k", "100k", "125k", "250k", "500k", "1.0M"}));
    EXPECT_EQ(findList(4064)->items, (Items{"0-2.140 MHz", "1-2.130 MHz", "2-2.150 MHz"}));
    const auto& channels = findList(4019)->items;
    ASSERT_EQ(channels.size(), 16u);
    EXPECT_EQ(channels.front(), "Ch01");
    EXPECT_EQ(channels[9], "Ch10");
    EXPECT_EQ(channels.back(), "Ch16");
}

// The core holds single-byte texts: every text of the dialog must survive the
// trip to code page 1251 and back without a "?".
TEST(ControlTable, EveryTextAndItemIsRepresentableInCp1251) {
    for (const auto& c : dialogControls()) {
        const std::string cp = utf8ToCp1251(c.text);
        EXPECT_EQ(cp.find('?'), std::string::npos) << c.id;
        EXPECT_EQ(cp1251ToUtf8(cp), c.text) << c.id;
    }
    for (const auto& l : dialogLists()) {
        for (const auto& item : l.items) {
            const std::string cp = utf8ToCp1251(item);
            EXPECT_EQ(cp.find('?'), std::string::npos) << item;
            EXPECT_EQ(cp1251ToUtf8(cp), item);
        }
    }
    EXPECT_EQ(cp1251ToUtf8(utf8ToCp1251(dialogTemplate().caption)), dialogTemplate().caption);
    EXPECT_EQ(utf8ToCp1251(dialogTemplate().caption).find('?'), std::string::npos);
}

}  // namespace
}  // namespace modem
