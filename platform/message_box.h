#pragma once

// Modal messages with no owner window, supplied by the front end: a notice with
// one OK button, and a question answered Yes or No.

#include <string_view>

namespace modem {

enum class MessageIcon { None, Warning };

enum class Answer { Yes, No };

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // `text` and `caption` are UTF-8; the call returns once the operator has seen
    // it (or at once, for a front end that only records or prints).
    virtual void show(std::string_view text, std::string_view caption,
                      MessageIcon icon = MessageIcon::None) = 0;
    // A question with the buttons Yes and No; No is the default button, and
    // closing the box (Escape, the close box) answers No.
    [[nodiscard]] virtual Answer ask(std::string_view text, std::string_view caption) = 0;
};

}  // namespace modem
