#include "ui/control_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "ui/control_table.h"
#include "ui/link_caption.h"

namespace modem {
namespace {

bool holdsAValue(ControlKind kind) {
    return kind == ControlKind::NumberField || kind == ControlKind::TextField ||
           kind == ControlKind::MultiLineField || kind == ControlKind::List;
}

TEST(ControlNames, OneRowForEveryControlInTemplateOrder) {
    const auto controls = dialogControls();
    const auto names = controlNames();
    ASSERT_EQ(names.size(), controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(names[i].id, controls[i].id) << "row " << i;
    }
    EXPECT_EQ(findControlName(ids::absentBandList), nullptr);
    EXPECT_EQ(accessibleName(ids::absentBandList), "");
}

// Every name a screen reader can meet, the connection button's under both of
// its captions, appears once.
TEST(ControlNames, EveryControlHasANameNoOtherControlHas) {
    std::map<std::string, int> owners;
    const auto claim = [&owners](std::string_view name, int id) {
        EXPECT_FALSE(name.empty()) << id;
        const auto [it, fresh] = owners.emplace(std::string(name), id);
        EXPECT_TRUE(fresh || it->second == id)
            << "\"" << name << "\" names both " << it->second << " and " << id;
    };
    for (const ControlTemplate& ctl : dialogControls()) {
        claim(accessibleName(ctl.id), ctl.id);
    }
    claim(connectionCaption(LinkState::Up), ids::connectButton);
    EXPECT_EQ(owners.size(), dialogControls().size() + 1);
}

// A field or list shows a value, not a caption: without a name of its own a
// screen reader would announce the value ("9600", "1000") as its name.
TEST(ControlNames, FieldsAndListsAreNamedByTheirCaptionNeverByTheirValue) {
    for (const ControlTemplate& ctl : dialogControls()) {
        if (!holdsAValue(ctl.kind)) {
            continue;
        }
        SCOPED_TRACE(ctl.id);
        const ControlName* row = findControlName(ctl.id);
        ASSERT_NE(row, nullptr);
        EXPECT_FALSE(row->name.empty());
        EXPECT_NE(row->name, ctl.text);
        if (const ListTemplate* list = findList(ctl.id)) {
            EXPECT_EQ(std::find(list->items.begin(), list->items.end(), row->name),
                      list->items.end());
        }
    }
}

// Speech input finds a button by what it shows: its name contains its caption.
TEST(ControlNames, ButtonNamesContainTheirCaptions) {
    for (const ControlTemplate& ctl : dialogControls()) {
        if (ctl.kind != ControlKind::Button) {
            continue;
        }
        std::string_view caption = ctl.text;
        while (caption.ends_with(' ')) {
            caption.remove_suffix(1);
        }
        EXPECT_NE(accessibleName(ctl.id).find(caption), std::string_view::npos) << ctl.id;
    }
}

TEST(ControlNames, TheDialogOpensWithTheFocusOnTheConnectionButton) {
    const int first = dialogTemplate().firstFocus;
    EXPECT_EQ(first, ids::connectButton);
    const ControlTemplate* control = findControl(first);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->tabStop);
}

}  // namespace
}  // namespace modem
