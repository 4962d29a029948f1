#pragma once

// The dialog's controls as the core sees them: addressed by control id, texts
// single-byte in code page 1251. The in-memory model and every front end's
// widgets implement it alike, so the transfers behave the same on both.

#include <cstddef>
#include <string>
#include <string_view>

namespace modem {

class Form {
public:
    virtual ~Form() = default;

    // Deletes the first `clearCount` characters of the field (all of them if it
    // holds fewer), then inserts `text` at the start, cut so that the field
    // never exceeds its limit.
    virtual void replaceText(int id, std::size_t clearCount, std::string_view text) = 0;

    // At most `maxCount` leading characters of the field's text.
    [[nodiscard]] virtual std::string readText(int id, std::size_t maxCount) const = 0;

    // An index at or past the item count clears the selection (-1). A control
    // the dialog does not have ignores the write.
    virtual void setSelection(int id, int index) = 0;

    // The selected index, -1 when none; 0 for a control the dialog does not have.
    [[nodiscard]] virtual int selection(int id) const = 0;

    // Caption of a button (the connection button alternates its caption).
    virtual void setCaption(int id, std::string_view text) = 0;
    [[nodiscard]] virtual std::string caption(int id) const = 0;
};

// The text a field holds after replaceText: `current` less its first
// `clearCount` characters, with `text` inserted at the start and cut so that the
// whole stays within `limit` characters (0: no limit). One rule for every form.
[[nodiscard]] std::string replacedLeadingText(std::string_view current, std::size_t clearCount,
                                              std::string_view text, std::size_t limit);

}  // namespace modem
