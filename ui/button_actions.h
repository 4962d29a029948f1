#pragma once

// What each button of the dialog does. Every action runs to its end on the
// user-interface thread; none tests the link, so with no port open the sends
// are silent and the rest of the chain runs as usual.

#include "link/link.h"
#include "link/terminal_pane.h"
#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "settings/mset.h"
#include "ui/form.h"

namespace modem {

// Everything an action touches, owned by the caller.
struct ActionContext {
    Mset& mset;
    Form& form;
    TerminalPane& pane;
    Link& link;
    FileChooser& files;
    MessageBox& messages;
};

// The action of the button `controlId`. Enter (1), Escape (2) and every id
// without an action do nothing.
void dispatchCommand(ActionContext& ctx, int controlId);

// The chains, by button.
void readSettings(ActionContext& ctx);   // "Считать": clear the pane, "+view\r"
void copyReport(ActionContext& ctx);     // "Скопир.": parseReport, settingsToForm
void checkSettings(ActionContext& ctx);  // "Проверить": formToSettings, settingsToForm
void configureModem(ActionContext& ctx);  // "Настроить": as "Проверить", then uploadSettings
void storeProfile(ActionContext& ctx);  // "Сохранить": "+save\r" / "+sav1\r" by list 4075
void readProfile(ActionContext& ctx);   // "Считать ": clear the pane, "+vie0\r" / "+vie1\r"
void openSettingsFile(ActionContext& ctx);    // "Открыть": load a file, settingsToForm
void saveSettingsToFile(ActionContext& ctx);  // "Сохранить" in "Файл"

// "+cfwr\r" and then the image, as two sends. The image goes only after the
// command went out whole: a modem that missed "+cfwr\r" would take the image's
// bytes for commands.
void uploadSettings(Link& link, const Mset& mset);

}  // namespace modem
