#pragma once

// A message box that only remembers what it was asked to show.

#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

namespace modem::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;

    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

class RecordingMessageBox : public MessageBox {
public:
    void show(std::string_view text, std::string_view caption,
              MessageIcon icon = MessageIcon::None) override {
        m_shown.push_back({std::string(text), std::string(caption), icon});
    }

    [[nodiscard]] const std::vector<ShownMessage>& shown() const { return m_shown; }
    [[nodiscard]] bool empty() const { return m_shown.empty(); }
    void clear() { m_shown.clear(); }

private:
    std::vector<ShownMessage> m_shown;
};

}  // namespace modem::test
