#pragma once

// The main dialog: the settings image, the pane model, the link and the real
// controls, wired together. The button actions are the core's; this only hands
// them the window API's pieces and answers the dialog's messages.

#include "win32/windows_api.h"

#include <functional>
#include <memory>

#include "link/link.h"
#include "link/serial_port.h"
#include "link/terminal_pane.h"
#include "settings/mset.h"
#include "ui/button_actions.h"
#include "win32/accessible_names.h"
#include "win32/fixed_pitch_font.h"
#include "win32/pane_view.h"
#include "win32/win32_form.h"
#include "win32/win32_platform.h"

namespace modem {

class MainDialog {
public:
    // `traffic`, when given, sees all the link's traffic and outlives the dialog.
    explicit MainDialog(std::unique_ptr<PortFinder> finder,
                        std::function<std::unique_ptr<SerialPort>()> makePort,
                        TrafficTap* traffic = nullptr);
    // Stops the receive thread before anything it touches goes.
    ~MainDialog();
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // Runs the dialog modally until it is closed: 0 then, -1 when it cannot be
    // created. The link ends afterwards without a word to the modem.
    // `onInitialised` runs once, on this thread, when the dialog is set up.
    [[nodiscard]] int run(HINSTANCE instance, std::function<void(HWND)> onInitialised = {});

    [[nodiscard]] TerminalPane& pane() { return m_pane; }
    [[nodiscard]] Mset& mset() { return m_mset; }
    [[nodiscard]] Link& link() { return *m_link; }
    // Carries work to the dialog's thread while the dialog runs.
    [[nodiscard]] Dispatcher& dispatcher() { return m_dispatcher; }
    // Drawings of the terminal pane so far; 0 before the dialog exists.
    [[nodiscard]] int paneDrawCount() const { return m_paneView ? m_paneView->drawCount() : 0; }

private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void initialise(HWND dialog);
    void fillLists();
    void setLimitsAndFonts();
    void keepFramesUnderTheirControls();

    Mset m_mset;
    TerminalPane m_pane;
    Win32MessageBox m_messages;
    Win32FileChooser m_files;
    Win32Timer m_timer;
    Win32Dispatcher m_dispatcher;
    std::unique_ptr<PortFinder> m_finder;
    Win32Form m_form;
    HWND m_dialog = nullptr;
    std::function<void(HWND)> m_onInitialised;
    // Each fixed-pitch field has a font of its own, kept for the whole run.
    UniqueFont m_channelTableFont;
    UniqueFont m_paneFont;
    std::unique_ptr<PaneView> m_paneView;
    AccessibleNames m_names;
    std::unique_ptr<Link> m_link;  // after everything it uses, so it goes first
    std::unique_ptr<ActionContext> m_actions;
};

}  // namespace modem
