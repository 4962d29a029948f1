// The checks in front of the modem: a slip in the form is listed, and what
// has problems is written only on the operator's explicit yes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "actions/action_harness.h"
#include "settings/mset.h"
#include "ui/action_texts.h"
#include "ui/control_table.h"
#include "ui/settings_check.h"
#include "ui/transfers.h"

namespace modem::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::size_t wholeText = std::numeric_limits<std::size_t>::max();

std::string imageBytes(const Mset& mset) {
    const MsetImage image = toImage(mset);
    return {image.begin(), image.end()};
}

struct Slip {
    const char* name;
    std::function<void(FormModel&)> make;
    const char* named;  // a part of the message that names it
};

const std::vector<Slip>& slips() {
    static const std::vector<Slip> all{
        {"threshold typed 330", [](FormModel& f) { editTable(f, 3, "s0330", "s330"); },
         "строка 04: порог"},
        {"Hi deleted", [](FormModel& f) { editTable(f, 6, "pHi", "p"); }, "строка 07"},
        {"two lines joined", [](FormModel& f) { editTable(f, 2, "pHi\r\n", "pHi"); }, "15 строк"},
        {"path list of one-digit items",
         [](FormModel& f) { ASSERT_TRUE(f.setText(ids::oddPathField, "1-3")); }, "«1»"},
        {"empty number field", [](FormModel& f) { ASSERT_TRUE(f.setText(ids::wtField, "")); },
         "Время ожидания ответа"},
        {"CAN identifier with a prefix",
         [](FormModel& f) { f.replaceText(ids::idTx1Field, wholeText, "0x100"); }, "0x100"},
    };
    return all;
}

TEST(Configure, ASlipIsListedAndNoWritesNothingAndKeepsTheForm) {
    for (const Slip& slip : slips()) {
        SCOPED_TRACE(slip.name);
        ActionHarness h;
        h.connect();
        slip.make(h.form);
        const auto form = formState(h.form);
        const Mset before = h.mset;

        h.press(ids::writeSettingsButton);  // the question answered No, the default

        ASSERT_EQ(h.messages.asked().size(), 1U);
        EXPECT_THAT(h.messages.asked()[0].text, HasSubstr(slip.named));
        EXPECT_THAT(h.messages.asked()[0].text, HasSubstr(actionTexts::writeAnyway));
        EXPECT_THAT(h.port->writes, IsEmpty());
        EXPECT_EQ(formState(h.form), form);
        EXPECT_EQ(h.mset, before);
    }
}

TEST(Configure, YesWritesWhatTheNormalisedFormShows) {
    for (const Slip& slip : slips()) {
        SCOPED_TRACE(slip.name);
        ActionHarness h;
        h.connect();
        slip.make(h.form);
        h.messages.willAnswer(Answer::Yes);
        h.press(ids::writeSettingsButton);

        // As without the question: normalised, shown, uploaded.
        ActionHarness model;
        model.connect();  // "Disconnect" on the button, as in h
        slip.make(model.form);
        formToSettings(model.form, model.mset);
        EXPECT_EQ(h.mset, model.mset);
        EXPECT_THAT(h.port->writes, ElementsAre("+cfwr\r", imageBytes(h.mset)));
        settingsToForm(model.mset, model.form);
        EXPECT_EQ(formState(h.form), formState(model.form));
    }
}

TEST(Configure, ASoundFormIsWrittenWithoutAQuestion) {
    ActionHarness h;
    h.connect();
    ASSERT_TRUE(h.form.setText(ids::wtField, "400"));
    editTable(h.form, 3, "s0330", "s0999");
    h.press(ids::writeSettingsButton);
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.mset.WT, 400);
    EXPECT_EQ(h.mset.CH[3].THR, 999);
    EXPECT_THAT(h.port->writes, ElementsAre("+cfwr\r", imageBytes(h.mset)));
}

TEST(Configure, AnImageProblemTheFormDoesNotShowIsAskedAbout) {
    ActionHarness h;
    h.connect();
    h.mset.MARK = 0x4321;  // from a file loaded on the operator's yes
    const Mset before = h.mset;
    h.press(ids::writeSettingsButton);
    ASSERT_EQ(h.messages.asked().size(), 1U);
    EXPECT_THAT(h.messages.asked()[0].text, HasSubstr("4321"));
    EXPECT_THAT(h.port->writes, IsEmpty());
    EXPECT_EQ(h.mset, before);
}

TEST(Check, ShowsTheSlipsInOneMessageThenNormalises) {
    for (const Slip& slip : slips()) {
        SCOPED_TRACE(slip.name);
        ActionHarness h;
        h.connect();
        slip.make(h.form);
        h.press(ids::checkButton);
        ASSERT_EQ(h.messages.shown().size(), 1U);
        EXPECT_THAT(h.messages.shown()[0].text, HasSubstr(slip.named));
        EXPECT_THAT(h.messages.asked(), IsEmpty());
        EXPECT_THAT(h.port->writes, IsEmpty());

        // What the program makes of the text is shown back, as before.
        ActionHarness model;
        model.connect();  // "Disconnect" on the button, as in h
        slip.make(model.form);
        formToSettings(model.form, model.mset);
        settingsToForm(model.mset, model.form);
        EXPECT_EQ(formState(h.form), formState(model.form));
        EXPECT_EQ(h.mset, model.mset);
    }
    ActionHarness sound;
    sound.press(ids::checkButton);
    EXPECT_TRUE(sound.messages.empty());
}

}  // namespace
}  // namespace modem::test
