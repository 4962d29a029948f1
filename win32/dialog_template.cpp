#include "win32/dialog_template.h"

#include "win32/windows_api.h"

#include <string>
#include <string_view>

#include "win32/wide_text.h"

namespace modem {

namespace {

constexpr std::uint16_t buttonAtom = 0x0080;
constexpr std::uint16_t editAtom = 0x0081;
constexpr std::uint16_t staticAtom = 0x0082;
constexpr std::uint16_t comboBoxAtom = 0x0085;

// Fields are appended as little-endian 16-bit units into a byte vector; the
// template is then copied into 32-bit words for alignment.
class TemplateWriter {
public:
    void word(std::uint16_t value) {
        m_bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void dword(std::uint32_t value) {
        word(static_cast<std::uint16_t>(value & 0xFFFF));
        word(static_cast<std::uint16_t>(value >> 16));
    }
    void byte(std::uint8_t value) { m_bytes.push_back(value); }
    void text(std::u16string_view s) {
        for (const char16_t c : s) {
            word(static_cast<std::uint16_t>(c));
        }
        word(0);
    }
    void alignToDword() {
        while (m_bytes.size() % 4 != 0) {
            m_bytes.push_back(0);
        }
    }
    [[nodiscard]] std::vector<std::uint32_t> words() const {
        std::vector<std::uint32_t> out((m_bytes.size() + 3) / 4, 0);
        for (std::size_t i = 0; i < m_bytes.size(); ++i) {
            out[i / 4] |= static_cast<std::uint32_t>(m_bytes[i]) << (8 * (i % 4));
        }
        return out;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

constexpr std::uint32_t dialogStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                      WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER | DS_3DLOOK |
                                      DS_SETFONT;

}  // namespace

std::uint16_t controlClassAtom(ControlKind kind) {
    switch (kind) {
        case ControlKind::Button:
        case ControlKind::GroupBox:
        case ControlKind::CentredGroupBox:
            return buttonAtom;
        case ControlKind::NumberField:
        case ControlKind::TextField:
        case ControlKind::MultiLineField:
            return editAtom;
        case ControlKind::List:
            return comboBoxAtom;
        case ControlKind::Label:
        case ControlKind::LeftLabel:
            return staticAtom;
    }
    return staticAtom;
}

std::uint32_t controlStyle(const ControlTemplate& ctl) {
    std::uint32_t style = WS_CHILD | WS_VISIBLE;
    if (ctl.tabStop) {
        style |= WS_TABSTOP;
    }
    switch (ctl.kind) {
        case ControlKind::Button:
            style |= BS_PUSHBUTTON;
            if (ctl.multiLineCaption) {
                style |= BS_CENTER | BS_VCENTER | BS_MULTILINE;
            }
            break;
        case ControlKind::NumberField:
            style |= WS_BORDER | ES_CENTER | ES_NUMBER;
            break;
        case ControlKind::TextField:
            style |= WS_BORDER | ES_CENTER;
            break;
        case ControlKind::MultiLineField:
            // Without automatic vertical scrolling an edit refuses every
            // keystroke and paste once its text is taller than the field, and
            // the channel table is taller from the start. Without automatic
            // horizontal scrolling it wraps a line wider than the field, and
            // a channel line or a pane line must stay one line on the screen.
            // The fields have no room for scroll bars: the wheel and the caret
            // scroll them.
            style |= WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
            // Enter breaks a line in the channel table, as in any editor; in
            // the pane it does nothing, as everywhere else in the dialog.
            if (ctl.id == ids::channelTable) {
                style |= ES_WANTRETURN;
            }
            break;
        case ControlKind::List:
            style |= WS_BORDER | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT;
            break;
        case ControlKind::Label:
            style |= SS_CENTER;
            break;
        case ControlKind::LeftLabel:
            style |= SS_LEFT;
            break;
        case ControlKind::GroupBox:
            style |= BS_GROUPBOX;
            break;
        case ControlKind::CentredGroupBox:
            style |= BS_GROUPBOX | BS_CENTER;
            break;
    }
    return style;
}

std::vector<std::uint32_t> buildDialogTemplate() {
    const DialogTemplate dlg = dialogTemplate();
    const auto controls = dialogControls();
    TemplateWriter w;
    w.word(1);       // dlgVer
    w.word(0xFFFF);  // signature: extended template
    w.dword(0);      // helpID
    w.dword(0);      // exStyle
    w.dword(dialogStyle);
    w.word(static_cast<std::uint16_t>(controls.size()));
    w.word(static_cast<std::uint16_t>(dlg.x));
    w.word(static_cast<std::uint16_t>(dlg.y));
    w.word(static_cast<std::uint16_t>(dlg.width));
    w.word(static_cast<std::uint16_t>(dlg.height));
    w.word(0);  // no menu
    w.text(utf8ToWide(dlg.windowClass));
    w.text(utf8ToWide(dlg.caption));
    w.word(static_cast<std::uint16_t>(dlg.pointSize));
    w.word(FW_DONTCARE);  // default weight
    w.byte(FALSE);        // not italic
    w.byte(DEFAULT_CHARSET);
    w.text(utf8ToWide(dlg.fontFace));

    for (const ControlTemplate& ctl : controls) {
        w.alignToDword();
        w.dword(0);  // helpID
        w.dword(0);  // exStyle
        w.dword(controlStyle(ctl));
        w.word(static_cast<std::uint16_t>(ctl.x));
        w.word(static_cast<std::uint16_t>(ctl.y));
        w.word(static_cast<std::uint16_t>(ctl.width));
        w.word(static_cast<std::uint16_t>(ctl.height));
        w.dword(static_cast<std::uint32_t>(ctl.id));
        w.word(0xFFFF);
        w.word(controlClassAtom(ctl.kind));
        w.text(utf8ToWide(ctl.text));
        w.word(0);  // no creation data
    }
    return w.words();
}

}  // namespace modem
