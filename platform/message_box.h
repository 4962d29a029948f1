#pragma once

// Modal message with one OK button and no owner window, supplied by the front end.

#include <string_view>

namespace modem {

enum class MessageIcon { None, Warning };

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // `text` and `caption` are ASCII; the call returns once the operator has seen it
    // (or at once, for a front end that only records or prints).
    virtual void show(std::string_view text, std::string_view caption,
                      MessageIcon icon = MessageIcon::None) = 0;
};

}  // namespace modem
