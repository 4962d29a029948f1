#include "ui/button_actions.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/commands.h"
#include "protocol/report_parser.h"
#include "protocol/upload.h"
#include "settings/settings_file.h"
#include "ui/control_table.h"
#include "ui/transfers.h"

namespace modem {

namespace {

void send(Link& link, std::string_view command) {
    // No action tests the link: with no port open the send is silent and the
    // chain goes on, as every button's does.
    (void)link.sendCommand(command);
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
    // Cleared first so that the report starts at the pane's first character,
    // where the parser looks for it.
    ctx.pane.clearTerminal();
    send(ctx.link, cmdView());
}

void copyReport(ActionContext& ctx) {
    // Without a report mset stays as it was; the form is rewritten either way.
    (void)parseReport(ctx.pane.snapshot(), ctx.mset);
    settingsToForm(ctx.mset, ctx.form);
}

void checkSettings(ActionContext& ctx) {
    formToSettings(ctx.form, ctx.mset);
    settingsToForm(ctx.mset, ctx.form);
}

void configureModem(ActionContext& ctx) {
    checkSettings(ctx);
    uploadSettings(ctx.link, ctx.mset);
}

void storeProfile(ActionContext& ctx) {
    send(ctx.link, cmdSave(selectedProfile(ctx.form)));
}

void readProfile(ActionContext& ctx) {
    ctx.pane.clearTerminal();
    send(ctx.link, cmdViewProfile(selectedProfile(ctx.form)));
}

void openSettingsFile(ActionContext& ctx) {
    // A cancelled chooser is the operator changing their mind, not a failure:
    // no message, nothing loaded; the form is still rewritten from mset.
    if (const auto path = ctx.files.choose(FileDialogKind::Load)) {
        const FileStatus status = loadSettingsFile(*path, ctx.mset);
        if (!status.ok) {
            ctx.messages.show(status.message, status.caption);
        }
    }
    settingsToForm(ctx.mset, ctx.form);
}

void saveSettingsToFile(ActionContext& ctx) {
    // Normalised before the chooser opens, so the file holds what the form
    // shows; this happens also when the operator then cancels.
    checkSettings(ctx);
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
            send(ctx.link, fixed.command());
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
            send(
                ctx.link,
                cmdChannel(static_cast<unsigned>(ctx.form.selection(ids::vhfTestChannelList) + 1)));
            return;
        case ids::mfChannelButton:
            send(ctx.link,
                 cmdMfChannel(static_cast<unsigned>(ctx.form.selection(ids::mfTestChannelList))));
            return;
        case ids::vhfToneButton:
            send(ctx.link, cmdSing(ctx.form.readText(ids::vhfToneField, toneFieldLength)));
            return;
        case ids::mfToneButton:
            send(ctx.link, cmdSink(ctx.form.readText(ids::mfToneField, toneFieldLength)));
            return;
        default:
            // Enter (1), Escape (2) and every control without an action.
            return;
    }
}

}  // namespace modem
