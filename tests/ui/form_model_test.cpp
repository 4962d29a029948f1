#include "ui/form_model.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "ui/control_table.h"
#include "ui/cp1251.h"

namespace modem {
namespace {

TEST(FormModel, StartsWithTemplateTextsAndFilledListsWithoutSelection) {
    const FormModel form;
    EXPECT_EQ(form.text(ids::vhfToneField), "1000");
    EXPECT_EQ(form.text(ids::oddPathField), "01-02-03-04-05-06-07-08");
    EXPECT_EQ(form.text(ids::grssiField), "1000");  // longer than its limit, not cut
    EXPECT_EQ(form.caption(ids::readProfileButton), utf8ToCp1251("Считать "));
    EXPECT_EQ(form.text(ids::channelTable), "");
    for (const ListTemplate& list : dialogLists()) {
        const auto items = form.items(list.id);
        ASSERT_EQ(items.size(), list.items.size()) << list.id;
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i], utf8ToCp1251(list.items[i])) << list.id;
        }
        EXPECT_EQ(form.selection(list.id), -1) << list.id;
    }
    EXPECT_EQ(form.items(4049)[1], "  1/2");
}

TEST(FormModel, ReplaceTextClearsThenInsertsCutAtTheLimit) {
    struct Case {
        const char* what;
        int id;
        std::string before;
        std::size_t clear;
        std::string insert;
        std::string after;
    };
    const Case cases[] = {
        {"number cut at limit 3", ids::wtField, "250", 3, "1000", "100"},
        {"limit 1", ids::repField, "0", 1, "12", "1"},
        {"kept tail counts against the limit", ids::grssiField, "1000", 3, "350", "350"},
        {"no room left inserts nothing", ids::wtField, "999", 0, "5", "999"},
        {"clear beyond length", ids::rsdlyField, "7", 3, "20", "20"},
        {"path list limit 23", ids::oddPathField, "01", 23, "01-02-03-04-05-06-07-08-09",
         "01-02-03-04-05-06-07-08"},
        {"no limit keeps the uncleared tail", ids::idTx1Field, "abcdefghijKL", 10, "101", "101KL"},
        {"clear all of an unlimited field", ids::channelTable, std::string(600, 'x'),
         std::numeric_limits<std::size_t>::max(), std::string(700, 'y'), std::string(700, 'y')},
    };
    for (const auto& c : cases) {
        FormModel form;
        form.replaceText(c.id, std::numeric_limits<std::size_t>::max(), "");
        // Put the starting text in place the way the program would, past any limit.
        form.setCaption(c.id, c.before);
        form.replaceText(c.id, c.clear, c.insert);
        EXPECT_EQ(form.text(c.id), c.after) << c.what;
    }
}

TEST(FormModel, SelectionOutsideTheItemsClearsIt) {
    FormModel form;
    const struct {
        int index;
        int expected;
    } cases[] = {{0, 0}, {1, 1}, {2, -1}, {1, 1}, {-1, -1}, {1, 1}, {-7, -1}, {255, -1}};
    for (const auto& c : cases) {
        form.setSelection(ids::modList, c.index);  // two items
        EXPECT_EQ(form.selection(ids::modList), c.expected) << c.index;
    }
}

TEST(FormModel, AbsentControlIgnoresWritesAndReadsZero) {
    FormModel form;
    EXPECT_FALSE(form.hasControl(ids::absentBandList));
    form.setSelection(ids::absentBandList, 2);
    EXPECT_EQ(form.selection(ids::absentBandList), 0);
    form.replaceText(ids::absentBandList, 0, "x");
    EXPECT_EQ(form.text(ids::absentBandList), "");
    // A control that is no list has no selection to give either.
    form.setSelection(ids::wtField, 1);
    EXPECT_EQ(form.selection(ids::wtField), 0);
    EXPECT_EQ(form.text(ids::wtField), "250");
}

TEST(FormModel, OperatorEditsRespectLimitAndDigitsOnly) {
    FormModel form;
    EXPECT_TRUE(form.setText(ids::wtField, "12345"));
    EXPECT_EQ(form.text(ids::wtField), "123");
    EXPECT_FALSE(form.setText(ids::wtField, "1a"));
    EXPECT_EQ(form.text(ids::wtField), "123");
    EXPECT_FALSE(form.setText(ids::vhfToneField, "-5"));
    EXPECT_TRUE(form.setText(ids::rsdlyField, "-5"));  // a text field takes any characters
    EXPECT_EQ(form.text(ids::rsdlyField), "-5");
    EXPECT_TRUE(form.setText(ids::idTx1Field, std::string(40, 'f')));
    EXPECT_EQ(form.text(ids::idTx1Field).size(), 40u);
    EXPECT_FALSE(form.setText(ids::connectButton, "x"));
    EXPECT_FALSE(form.setText(ids::modList, "x"));
    EXPECT_FALSE(form.setText(ids::absentBandList, "x"));
}

}  // namespace
}  // namespace modem
