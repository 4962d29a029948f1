#include "win32/main_dialog.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/link_caption.h"
#include "win32/com_apartment.h"
#include "win32/dialog_template.h"
#include "win32/number_field.h"
#include "win32/wide_text.h"

namespace modem {

namespace {

bool isFrame(ControlKind kind) {
    return kind == ControlKind::GroupBox || kind == ControlKind::CentredGroupBox;
}

// The dialog whose keys the filter below watches, one per thread.
thread_local HWND filteredDialog = nullptr;

bool isMultiLineEdit(HWND window) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    return lstrcmpiW(cls, L"Edit") == 0 && (GetWindowLongW(window, GWL_STYLE) & ES_MULTILINE) != 0;
}

bool isDroppedList(HWND window) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    return lstrcmpiW(cls, L"ComboBox") == 0 && SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

// Enter and Escape do nothing in the dialog. Left to the dialog manager, Enter
// would press the focused button and Escape in a multi-line field would close
// the dialog. Enter still breaks a line in a multi-line field that takes it
// (ES_WANTRETURN: the channel table), Ctrl+Enter in any multi-line field, and
// an open drop-down list still takes both keys to close.
LRESULT CALLBACK filterDialogKeys(int code, WPARAM wParam, LPARAM lParam) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && msg != nullptr && filteredDialog != nullptr &&
        (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP || msg->message == WM_CHAR) &&
        (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) &&
        (msg->hwnd == filteredDialog || IsChild(filteredDialog, msg->hwnd))) {
        const bool breaksLine = msg->wParam == VK_RETURN && isMultiLineEdit(msg->hwnd) &&
                                ((GetKeyState(VK_CONTROL) & 0x8000) != 0 ||
                                 (GetWindowLongW(msg->hwnd, GWL_STYLE) & ES_WANTRETURN) != 0);
        if (!breaksLine && !isDroppedList(msg->hwnd)) {
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct HookDeleter {
    void operator()(HHOOK hook) const { UnhookWindowsHookEx(hook); }
};

}  // namespace

MainDialog::MainDialog(std::unique_ptr<PortFinder> finder,
                       std::function<std::unique_ptr<SerialPort>()> makePort, TrafficTap* traffic)
    : m_finder(std::move(finder)), m_form(&m_pane) {
    m_link =
        std::make_unique<Link>(LinkContext{m_pane, m_messages, m_timer, m_dispatcher, *m_finder,
                                           std::move(makePort), showLinkState(m_form), traffic});
    m_actions = std::make_unique<ActionContext>(
        ActionContext{m_mset, m_form, m_pane, *m_link, m_files, m_messages});
}

MainDialog::~MainDialog() {
    if (m_link) {
        m_link->shutdown();
    }
}

int MainDialog::run(HINSTANCE instance, std::function<void(HWND)> onInitialised) {
    m_onInitialised = std::move(onInitialised);
    // The accessibility objects of the controls are served from this thread.
    const ComApartment com;
    const std::vector<std::uint32_t> dialogTemplate = buildDialogTemplate();
    const std::unique_ptr<std::remove_pointer_t<HHOOK>, HookDeleter> keyFilter(
        SetWindowsHookExW(WH_MSGFILTER, filterDialogKeys, nullptr, GetCurrentThreadId()));
    const INT_PTR result =
        DialogBoxIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                nullptr, dialogProc, reinterpret_cast<LPARAM>(this));
    // The receive thread stops before the pane and the view go; nothing is sent.
    m_link->shutdown();
    m_paneView.reset();
    m_dialog = nullptr;
    filteredDialog = nullptr;
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
        return FALSE;  // initialise() has placed the focus
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
        case WM_DESTROY:
            // The controls still exist; their names go before they do.
            m_names.detach();
            return FALSE;
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
    filteredDialog = dialog;
    m_form.attach(dialog);
    m_timer.attach(dialog);
    m_dispatcher.attach(dialog);
    fillLists();
    setLimitsAndFonts();
    keepFramesUnderTheirControls();
    for (const ControlTemplate& ctl : dialogControls()) {
        if (ctl.digitsOnly) {
            refuseNonDigitPastes(GetDlgItem(dialog, ctl.id));
        }
    }
    m_paneView = std::make_unique<PaneView>(dialog, GetDlgItem(dialog, ids::terminalPane), m_pane,
                                            paneChangedMessage);
    initialiseForm(m_form, m_mset);
    m_names.attach(dialog);
    SetFocus(GetDlgItem(dialog, dialogTemplate().firstFocus));
    if (m_onInitialised) {
        m_onInitialised(dialog);
    }
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
    // The dialog manager laid the dialog out at the system's DPI; the two
    // fixed-pitch fonts, given in pixels, follow it here.
    const int dpi = windowDpi(m_dialog);
    m_paneFont = makeFixedPitchFont(dpi);
    m_channelTableFont = makeFixedPitchFont(dpi);
    for (const auto& [id, font] : {std::pair{ids::terminalPane, m_paneFont.get()},
                                   std::pair{ids::channelTable, m_channelTableFont.get()}}) {
        SendDlgItemMessageW(m_dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        // The font brings margins of its own (four pixels a side for Courier
        // New at 96 DPI), which would take the room a channel line needs; the
        // field's inner pixel is gap enough. Set after the font for that reason.
        SendDlgItemMessageW(m_dialog, id, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    }
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

}  // namespace modem
