#include "ui/button_actions.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/commands.h"
#include "protocol/report_parser.h"
#include "protocol/upload.h"
#include "settings/settings_file.h"
#include "ui/action_texts.h"
#include "ui/control_table.h"
#include "ui/settings_check.h"
#include "ui/transfers.h"

namespace modem {

namespace {

// With no port open a press that would send says so in the pane, on a line
// of its own, instead of doing nothing without a word.
bool linkIsOpen(ActionContext& ctx) {
    if (ctx.link.connected()) {
        return true;
    }
    ctx.pane.logLine(actionTexts::notConnected);
    return false;
}

void send(ActionContext& ctx, std::string_view command) {
    if (linkIsOpen(ctx)) {
        (void)ctx.link.sendCommand(command);
    }
}

// The form as formToSettings and settingsToForm leave it: what the program
// makes of the operator's texts, shown back.
void normaliseForm(ActionContext& ctx) {
    formToSettings(ctx.form, ctx.mset);
    settingsToForm(ctx.mset, ctx.form);
}

// Everything wrong with the form's texts and with the image they normalise
// to, once each: the image's own problems (a MARK from a file, identifiers
// the form could not read) the form's texts do not show.
Problems formProblems(const ActionContext& ctx) {
    Problems problems = checkForm(ctx.form, ctx.language);
    Mset normalised = ctx.mset;
    formToSettings(ctx.form, normalised);
    for (std::string& problem : modem::checkSettings(normalised, ctx.language)) {
        if (std::find(problems.begin(), problems.end(), problem) == problems.end()) {
            problems.push_back(std::move(problem));
        }
    }
    return problems;
}

// The problems, then the question; Yes only when the operator chose it.
bool goAheadDespite(ActionContext& ctx, const Problems& problems, std::string_view question) {
    if (problems.empty()) {
        return true;
    }
    const std::string text = problemsMessage(problems, ctx.language) + "\n\n" +
                             std::string(localised(question, ctx.language));
    return ctx.messages.ask(text, localised(actionTexts::checkCaption, ctx.language)) ==
           Answer::Yes;
}

// The profile the list shows; the list always has "0" or "1" selected, but a
// front end that lost the selection still gets a valid profile number.
unsigned selectedProfile(const Form& form) {
    return form.selection(ids::profileList) == 1 ? 1U : 0U;
}

// Test buttons whose command takes nothing from the form.
struct FixedCommand {
    int id;
    std::string (*command)();
};

constexpr FixedCommand fixedCommands[] = {
    {ids::modemTestButton, cmdTest},       {ids::firmwareVersionButton, cmdVers},
    {ids::powerSupplyButton, cmdPwrt},     {ids::vhfTransmitButton, cmdTxmd},
    {ids::vhfVswrButton, cmdVswr},         {ids::vhfReceiveButton, cmdRxmd},
    {ids::vhfRssiButton, cmdRssi},         {ids::vhfNormalPowerButton, cmdT1ph},
    {ids::vhfReducedPowerButton, cmdT1pl}, {ids::mfTransmitButton, cmdTxmk},
    {ids::mfVswrButton, cmdVswk},          {ids::mfReceiveButton, cmdRxmk},
    {ids::mfRssiButton, cmdRssk},          {ids::mfNormalPowerButton, cmdT2ph},
    {ids::mfReducedPowerButton, cmdT2pl},
};

}  // namespace

void uploadSettings(Link& link, const Mset& mset) {
    const UploadFrame frame = uploadFrame(mset);
    if (link.sendCommand(frame.command) != SendResult::Sent) {
        return;
    }
    (void)link.sendBytes(std::span<const std::uint8_t>(frame.image));
}

void readSettings(ActionContext& ctx) {
    // Without a port the pane keeps the last report: clearing it would throw
    // away what the operator may still want to copy.
    if (!linkIsOpen(ctx)) {
        return;
    }
    // Cleared first so that the report starts at the pane's first character,
    // where the parser looks for it.
    ctx.pane.clearTerminal();
    (void)ctx.link.sendCommand(cmdView());
}

void copyReport(ActionContext& ctx) {
    // One snapshot for the check and the parse: bytes arriving meanwhile
    // cannot slip between them.
    const std::string pane = ctx.pane.snapshot();
    const std::string_view report = findReport(pane);
    const ReportState state = examineReport(report);
    if (state != ReportState::Complete) {
        // A report still arriving, cut short or edited would fill the form with
        // zeros and shifted values that look trustworthy; nothing is taken.
        ctx.messages.show(reportStateMessage(state, ctx.language),
                          localised(actionTexts::reportCaption, ctx.language),
                          MessageIcon::Warning);
        return;
    }
    (void)parseReport(report, ctx.mset);
    settingsToForm(ctx.mset, ctx.form);
}

void checkSettings(ActionContext& ctx) {
    const Problems problems = formProblems(ctx);
    if (!problems.empty()) {
        ctx.messages.show(problemsMessage(problems, ctx.language),
                          localised(actionTexts::checkCaption, ctx.language), MessageIcon::Warning);
    }
    normaliseForm(ctx);
}

void configureModem(ActionContext& ctx) {
    if (!linkIsOpen(ctx)) {
        return;
    }
    // No (the default) leaves everything as the operator left it, so the slip
    // can be found and mended in the text itself. The question's loop may see
    // the modem unplugged: then there is nothing to write to any more.
    if (!goAheadDespite(ctx, formProblems(ctx), actionTexts::writeAnyway) || !linkIsOpen(ctx)) {
        return;
    }
    normaliseForm(ctx);
    uploadSettings(ctx.link, ctx.mset);
}

void storeProfile(ActionContext& ctx) {
    send(ctx, cmdSave(selectedProfile(ctx.form)));
}

void readProfile(ActionContext& ctx) {
    if (!linkIsOpen(ctx)) {
        return;
    }
    ctx.pane.clearTerminal();
    (void)ctx.link.sendCommand(cmdViewProfile(selectedProfile(ctx.form)));
}

void openSettingsFile(ActionContext& ctx) {
    // A cancelled chooser or a failed load takes nothing: mset and the form,
    // the operator's unsaved edits included, stay as they were.
    const auto path = ctx.files.choose(FileDialogKind::Load);
    if (!path) {
        return;
    }
    Mset loaded = ctx.mset;
    const FileStatus status = loadSettingsFile(*path, loaded);
    if (!status.ok) {
        ctx.messages.show(status.message, status.caption);
        return;
    }
    // Any 1024 bytes load; an image the form cannot show as it is, or the
    // modem would not take, is shown for what it is first.
    if (!goAheadDespite(ctx, modem::checkSettings(loaded, ctx.language), actionTexts::loadAnyway)) {
        return;
    }
    ctx.mset = loaded;
    settingsToForm(ctx.mset, ctx.form);
}

void saveSettingsToFile(ActionContext& ctx) {
    // Normalised before the chooser opens, so the file holds what the form
    // shows; this happens also when the operator then cancels.
    normaliseForm(ctx);
    if (const auto path = ctx.files.choose(FileDialogKind::Save)) {
        const FileStatus status = saveSettingsFile(*path, ctx.mset);
        if (!status.ok) {
            ctx.messages.show(status.message, status.caption);
        }
    }
}

void dispatchCommand(ActionContext& ctx, int controlId) {
    for (const auto& fixed : fixedCommands) {
        if (fixed.id == controlId) {
            send(ctx, fixed.command());
            return;
        }
    }
    // The test arguments are read at the moment of the press; they are not
    // part of mset.
    switch (controlId) {
        case ids::connectButton:
            ctx.link.toggleConnection();
            return;
        case ids::readSettingsButton:
            readSettings(ctx);
            return;
        case ids::copyReportButton:
            copyReport(ctx);
            return;
        case ids::checkButton:
            checkSettings(ctx);
            return;
        case ids::writeSettingsButton:
            configureModem(ctx);
            return;
        case ids::storeProfileButton:
            storeProfile(ctx);
            return;
        case ids::readProfileButton:
            readProfile(ctx);
            return;
        case ids::openFileButton:
            openSettingsFile(ctx);
            return;
        case ids::saveFileButton:
            saveSettingsToFile(ctx);
            return;
        case ids::vhfChannelButton:
            send(ctx, cmdChannel(
                          static_cast<unsigned>(ctx.form.selection(ids::vhfTestChannelList) + 1)));
            return;
        case ids::mfChannelButton:
            send(ctx,
                 cmdMfChannel(static_cast<unsigned>(ctx.form.selection(ids::mfTestChannelList))));
            return;
        case ids::vhfToneButton:
            send(ctx, cmdSing(ctx.form.readText(ids::vhfToneField, toneFieldLength)));
            return;
        case ids::mfToneButton:
            send(ctx, cmdSink(ctx.form.readText(ids::mfToneField, toneFieldLength)));
            return;
        default:
            // Enter (1), Escape (2) and every control without an action.
            return;
    }
}

}  // namespace modem
