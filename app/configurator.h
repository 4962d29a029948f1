#pragma once

// One configurator: the settings image, the pane model, the link and the
// dialog, wired together. The button actions are the core's; this only hands
// them the Qt pieces. Tests may put their own message box and file chooser in
// place of the Qt ones, which would wait for an operator.

#include <functional>
#include <memory>

#include "app/main_dialog.h"
#include "app/pane_view.h"
#include "app/qt_form.h"
#include "app/qt_platform.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "link/terminal_pane.h"
#include "settings/mset.h"
#include "ui/button_actions.h"

namespace modem {

struct ConfiguratorSeams {
    std::unique_ptr<PortFinder> finder;  // required
    std::function<std::unique_ptr<SerialPort>()> makePort = makeSystemSerialPort;
    MessageBox* messages = nullptr;         // null: Qt's
    FileChooser* files = nullptr;           // null: Qt's
    TrafficTap* traffic = nullptr;          // the traffic log, if any; outlives the configurator
    Language language = Language::Russian;  // of the dialog and its message boxes
};

class Configurator {
public:
    // Builds the dialog and initialises the form: the defaults into the image,
    // the first selections, the image shown, the focus in 4021.
    explicit Configurator(ConfiguratorSeams seams);
    // Stops the receive thread before anything it touches goes.
    ~Configurator();
    Configurator(const Configurator&) = delete;
    Configurator& operator=(const Configurator&) = delete;

    // The dialog centred on its screen and shown (not modal: the caller runs
    // the event loop).
    void show();

    // Ends the link without a word to the modem. Idempotent.
    void shutdown();

    [[nodiscard]] MainDialog& dialog() { return *m_dialog; }
    [[nodiscard]] Form& form() { return m_form; }
    [[nodiscard]] TerminalPane& pane() { return m_pane; }
    [[nodiscard]] PaneView& paneView() { return *m_paneView; }
    [[nodiscard]] Mset& mset() { return m_mset; }
    [[nodiscard]] Link& link() { return *m_link; }

private:
    Mset m_mset;
    TerminalPane m_pane;
    QtMessageBox m_qtMessages;
    QtFileChooser m_qtFiles;
    QtTimer m_timer;
    QtDispatcher m_dispatcher;
    std::unique_ptr<PortFinder> m_finder;
    std::unique_ptr<MainDialog> m_dialog;
    QtForm m_form;
    std::unique_ptr<PaneView> m_paneView;
    std::unique_ptr<Link> m_link;  // after everything it uses, so it goes first
    std::unique_ptr<ActionContext> m_actions;
};

}  // namespace modem
