#pragma once

// The form over the dialog's real controls. Texts cross the wide-character
// window API through the lossless code page 1251 conversion, so what the form
// reads back is the bytes it was given; the terminal pane's text is the pane
// model's.

#include "win32/windows_api.h"

#include "link/terminal_pane.h"
#include "ui/form.h"

namespace modem {

class Win32Form : public Form {
public:
    explicit Win32Form(TerminalPane* pane) : m_pane(pane) {}

    // The dialog whose controls the form addresses; until then every write is
    // ignored and every read is empty.
    void attach(HWND dialog) { m_dialog = dialog; }

    void replaceText(int id, std::size_t clearCount, std::string_view text) override;
    [[nodiscard]] std::string readText(int id, std::size_t maxCount) const override;
    void setSelection(int id, int index) override;
    [[nodiscard]] int selection(int id) const override;
    void setCaption(int id, std::string_view text) override;
    [[nodiscard]] std::string caption(int id) const override;

private:
    [[nodiscard]] HWND control(int id) const;
    [[nodiscard]] std::string windowText(int id) const;

    HWND m_dialog = nullptr;
    TerminalPane* m_pane;
};

// A window's whole text as the window API holds it.
[[nodiscard]] std::u16string wideWindowText(HWND window);
void setWideWindowText(HWND window, std::u16string_view text);

}  // namespace modem
