#pragma once

// A file chooser that answers from a script: each call takes the next answer
// (a path, or std::nullopt for a cancel) and records which kind of dialog was
// asked for. Asked with nothing left in the script, it cancels.

#include <deque>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/file_chooser.h"

namespace modem::test {

class ScriptedFileChooser : public FileChooser {
public:
    ScriptedFileChooser() = default;
    ScriptedFileChooser(std::initializer_list<std::optional<std::filesystem::path>> answers)
        : m_answers(answers) {}

    void answer(std::filesystem::path path) { m_answers.emplace_back(std::move(path)); }
    void cancel() { m_answers.emplace_back(std::nullopt); }

    [[nodiscard]] std::optional<std::filesystem::path> choose(FileDialogKind kind) override {
        m_asked.push_back(kind);
        if (m_answers.empty()) {
            return std::nullopt;
        }
        auto next = std::move(m_answers.front());
        m_answers.pop_front();
        return next;
    }

    [[nodiscard]] const std::vector<FileDialogKind>& asked() const { return m_asked; }
    [[nodiscard]] std::size_t remaining() const { return m_answers.size(); }

private:
    std::deque<std::optional<std::filesystem::path>> m_answers;
    std::vector<FileDialogKind> m_asked;
};

}  // namespace modem::test
