#include "win32/main_dialog.h"

#include <commctrl.h>

#include <string>

#include "ui/control_table.h"
#include "ui/form_init.h"
#include "win32/dialog_template.h"
#include "win32/wide_text.h"

namespace modem {

namespace {

HFONT makeFixedPitchFont() {
    const FontTemplate font = fixedPitchFont();
    const std::u16string face = utf8ToWide(font.face);
    const std::wstring wideFace(face.begin(), face.end());
    return CreateFontW(font.height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DRAFT_QUALITY,
                       FF_MODERN | DEFAULT_PITCH, wideFace.c_str());
}

bool isFrame(ControlKind kind) {
    return kind == ControlKind::GroupBox || kind == ControlKind::CentredGroupBox;
}

// A multi-line edit inside a dialog closes the dialog on Escape; the dialog
// is closed only through its close box, the system menu or Alt+F4.
LRESULT CALLBACK swallowEscape(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    if ((message == WM_KEYDOWN || message == WM_KEYUP) && wParam == VK_ESCAPE) {
        return 0;
    }
    if (message == WM_CHAR && wParam == VK_ESCAPE) {
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

MainDialog::MainDialog(std::unique_ptr<PortFinder> finder,
                       std::function<std::unique_ptr<SerialPort>()> makePort)
    : m_finder(std::move(finder)), m_form(&m_pane) {
    m_link = std::make_unique<Link>(LinkContext{m_pane, m_form, m_messages, m_timer, m_dispatcher,
                                                *m_finder, std::move(makePort)});
    m_actions = std::make_unique<ActionContext>(
        ActionContext{m_mset, m_form, m_pane, *m_link, m_files, m_messages});
}

MainDialog::~MainDialog() {
    if (m_link) {
        m_link->shutdown();
    }
}

int MainDialog::run(HINSTANCE instance) {
    const std::vector<std::uint32_t> dialogTemplate = buildDialogTemplate();
    const INT_PTR result =
        DialogBoxIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                nullptr, dialogProc, reinterpret_cast<LPARAM>(this));
    // The receive thread stops before the pane and the view go; nothing is sent.
    m_link->shutdown();
    m_paneView.reset();
    m_dialog = nullptr;
    m_form.attach(nullptr);
    m_timer.attach(nullptr);
    m_dispatcher.attach(nullptr);
    return static_cast<int>(result);
}

INT_PTR CALLBACK MainDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<MainDialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->initialise(dialog);
        return TRUE;  // the focus goes to the first tab stop, 4021
    }
    auto* self = reinterpret_cast<MainDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self == nullptr ? FALSE : self->handle(message, wParam, lParam);
}

INT_PTR MainDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == ids::terminalPane && HIWORD(wParam) == EN_CHANGE && m_paneView) {
                m_paneView->editChanged();
            }
            // The notification code is not examined: any message from a button
            // starts its action; 1 (Enter) and 2 (Escape) have none.
            dispatchCommand(*m_actions, id);
            return FALSE;
        }
        case WM_TIMER:
            if (wParam == Win32Timer::timerId) {
                m_timer.expired();
            } else if (wParam == PaneView::frameTimerId && m_paneView) {
                m_paneView->frameDue();
            }
            return TRUE;
        case WM_CLOSE:
            EndDialog(m_dialog, 0);
            return TRUE;
        case WM_SIZE:
            return TRUE;
        case dispatchMessage:
            m_dispatcher.runPending();
            return TRUE;
        case paneChangedMessage:
            if (m_paneView) {
                m_paneView->scheduleFrame();
            }
            return TRUE;
        default:
            break;
    }
    (void)lParam;
    return FALSE;
}

void MainDialog::initialise(HWND dialog) {
    m_dialog = dialog;
    m_form.attach(dialog);
    m_timer.attach(dialog);
    m_dispatcher.attach(dialog);
    fillLists();
    setLimitsAndFonts();
    keepFramesUnderTheirControls();
    guardMultiLineFields();
    m_paneView = std::make_unique<PaneView>(dialog, GetDlgItem(dialog, ids::terminalPane), m_pane,
                                            paneChangedMessage);
    initialiseForm(m_form, m_mset);
}

void MainDialog::fillLists() {
    for (const ListTemplate& list : dialogLists()) {
        const HWND window = GetDlgItem(m_dialog, list.id);
        for (const std::string& item : list.items) {
            // At the current end: the sort style must not reorder the items.
            const LRESULT count = SendMessageW(window, CB_GETCOUNT, 0, 0);
            const std::u16string text = utf8ToWide(item);
            const std::wstring wide(text.begin(), text.end());
            SendMessageW(window, CB_INSERTSTRING, static_cast<WPARAM>(count),
                         reinterpret_cast<LPARAM>(wide.c_str()));
        }
    }
}

void MainDialog::setLimitsAndFonts() {
    for (const ControlTemplate& ctl : dialogControls()) {
        if (ctl.textLimit > 0) {
            SendDlgItemMessageW(m_dialog, ctl.id, EM_LIMITTEXT, ctl.textLimit, 0);
        }
    }
    m_paneFont.reset(makeFixedPitchFont());
    m_channelTableFont.reset(makeFixedPitchFont());
    SendDlgItemMessageW(m_dialog, ids::terminalPane, WM_SETFONT,
                        reinterpret_cast<WPARAM>(m_paneFont.get()), 0);
    SendDlgItemMessageW(m_dialog, ids::channelTable, WM_SETFONT,
                        reinterpret_cast<WPARAM>(m_channelTableFont.get()), 0);
}

// A frame listed after the controls it surrounds lies above them and would take
// their clicks. Frames take no tab stop, so moving them to the bottom keeps the
// tab order of the template.
void MainDialog::keepFramesUnderTheirControls() {
    for (const ControlTemplate& ctl : dialogControls()) {
        if (isFrame(ctl.kind)) {
            SetWindowPos(GetDlgItem(m_dialog, ctl.id), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    }
}

void MainDialog::guardMultiLineFields() {
    for (const ControlTemplate& ctl : dialogControls()) {
        if (ctl.kind == ControlKind::MultiLineField) {
            SetWindowSubclass(GetDlgItem(m_dialog, ctl.id), swallowEscape, 1, 0);
        }
    }
}

}  // namespace modem
