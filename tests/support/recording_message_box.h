#pragma once

// A message box that only remembers what it was asked to show, and answers
// questions as the test scripted (No unless told otherwise).

#include <deque>
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

    // Recorded with the warning icon, as the front ends show questions.
    [[nodiscard]] Answer ask(std::string_view text, std::string_view caption) override {
        m_asked.push_back({std::string(text), std::string(caption), MessageIcon::Warning});
        if (m_answers.empty()) {
            return Answer::No;
        }
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    // The answers to the next questions, in order; No once they run out.
    void willAnswer(Answer answer) { m_answers.push_back(answer); }

    [[nodiscard]] const std::vector<ShownMessage>& shown() const { return m_shown; }
    [[nodiscard]] const std::vector<ShownMessage>& asked() const { return m_asked; }
    [[nodiscard]] bool empty() const { return m_shown.empty() && m_asked.empty(); }
    void clear() {
        m_shown.clear();
        m_asked.clear();
    }

private:
    std::vector<ShownMessage> m_shown;
    std::vector<ShownMessage> m_asked;
    std::deque<Answer> m_answers;
};

}  // namespace modem::test
