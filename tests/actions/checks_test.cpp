// The checks in front of the modem: a slip in the form is listed, and what
// has problems is written only on the operator's explicit yes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "actions/action_harness.h"
#include "settings/mset.h"
#include "ui/action_texts.h"
#include "ui/control_table.h"
#include "ui/settings_check.h"
#include "ui/transfers.h"

namespace modem::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct Slip {
    const char* name;
    std::function<void(ActionHarness&)> make;
    const char* named;  // a part of the message that names it
};

// Each slip walks the whole road: "Настроить" asks and No changes nothing;
// "Проверить" lists it and shows what the program makes of it; "Настроить"
// answered Yes writes exactly that.
TEST(Checks, ASlipIsListedAndGoesToTheModemOnlyOnYes) {
    constexpr std::size_t wholeText = std::numeric_limits<std::size_t>::max();
    const Slip slips[] = {
        {"threshold typed 330", [](ActionHarness& h) { editTable(h.form, 3, "s0330", "s330"); },
         "строка 04: порог"},
        {"Hi deleted", [](ActionHarness& h) { editTable(h.form, 6, "pHi", "p"); }, "строка 07"},
        {"two lines joined", [](ActionHarness& h) { editTable(h.form, 2, "pHi\r\n", "pHi"); },
         "15 строк"},
        {"path list of one-digit items",
         [](ActionHarness& h) { ASSERT_TRUE(h.form.setText(ids::oddPathField, "1-3")); }, "«1»"},
        {"empty number field",
         [](ActionHarness& h) { ASSERT_TRUE(h.form.setText(ids::wtField, "")); },
         "Время ожидания ответа"},
        {"CAN identifier with a prefix",
         [=](ActionHarness& h) { h.form.replaceText(ids::idTx1Field, wholeText, "0x100"); },
         "0x100"},
        {"a MARK from a file loaded anyway", [](ActionHarness& h) { h.mset.MARK = 0x4321; },
         "4321"},
    };
    for (const Slip& slip : slips) {
        SCOPED_TRACE(slip.name);
        ActionHarness h;
        h.connect();
        slip.make(h);
        const auto form = formState(h.form);
        const Mset before = h.mset;

        h.press(ids::writeSettingsButton);  // answered No, the default
        ASSERT_EQ(h.messages.asked().size(), 1U);
        EXPECT_THAT(h.messages.asked()[0].text, HasSubstr(slip.named));
        EXPECT_THAT(h.messages.asked()[0].text, HasSubstr(actionTexts::writeAnyway));
        EXPECT_THAT(h.port->writes, IsEmpty());
        EXPECT_EQ(formState(h.form), form);
        EXPECT_EQ(h.mset, before);

        h.press(ids::checkButton);
        ASSERT_EQ(h.messages.shown().size(), 1U);
        EXPECT_THAT(h.messages.shown()[0].text, HasSubstr(slip.named));
        Mset shown = before;
        formToSettings(h.form, shown);  // the form now shows exactly mset
        EXPECT_EQ(h.mset, shown);

        h.messages.willAnswer(Answer::Yes);
        h.press(ids::writeSettingsButton);
        const MsetImage image = toImage(h.mset);
        EXPECT_EQ(h.port->all(), "+cfwr\r" + std::string(image.begin(), image.end()));
    }
    ActionHarness sound;
    sound.connect();
    sound.press(ids::checkButton);
    sound.press(ids::writeSettingsButton);
    EXPECT_TRUE(sound.messages.empty());
    EXPECT_EQ(sound.port->writes.size(), 2U);
}

}  // namespace
}  // namespace modem::test
