#pragma once

// What each button of the dialog does. Every action runs to its end on the
// user-interface thread. Nothing reaches the modem, mset or the form unnoticed:
// the form and every image about to be taken are checked first, and what has
// problems goes only on the operator's explicit yes. With no port open a
// button that sends writes "not connected" in the pane and does nothing else.

#include "link/link.h"
#include "link/terminal_pane.h"
#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "settings/mset.h"
#include "ui/form.h"
#include "ui/translations.h"

namespace modem {

// Everything an action touches, owned by the caller.
struct ActionContext {
    Mset& mset;
    Form& form;
    TerminalPane& pane;
    Link& link;
    FileChooser& files;
    MessageBox& messages;
    // The language of the message boxes; the pane's lines stay as they are.
    Language language = Language::Russian;
};

// The action of the button `controlId`. Enter (1), Escape (2) and every id
// without an action do nothing.
void dispatchCommand(ActionContext& ctx, int controlId);

// The chains, by button.
void readSettings(ActionContext& ctx);  // "Считать": clear the pane, "+view\r"
// "Скопир.": a complete report into mset and the form; anything less is
// refused with a message and changes nothing.
void copyReport(ActionContext& ctx);
// "Проверить": the problems of the form in one message, then formToSettings
// and settingsToForm, so the operator sees what the program makes of the text.
void checkSettings(ActionContext& ctx);
// "Настроить": as "Проверить" without the message, then uploadSettings; with
// problems it asks first, and No leaves mset and the form as they were.
void configureModem(ActionContext& ctx);
void storeProfile(ActionContext& ctx);  // "Сохранить": "+save\r" / "+sav1\r" by list 4075
void readProfile(ActionContext& ctx);   // "Считать ": clear the pane, "+vie0\r" / "+vie1\r"
// "Открыть": the file into a scratch image, which replaces mset and is shown
// only once it loaded and, if it has problems, the operator said yes.
void openSettingsFile(ActionContext& ctx);
void saveSettingsToFile(ActionContext& ctx);  // "Сохранить" in "Файл"

// "+cfwr\r" and then the image, as two sends. The image goes only after the
// command went out whole: a modem that missed "+cfwr\r" would take the image's
// bytes for commands.
void uploadSettings(Link& link, const Mset& mset);

}  // namespace modem
