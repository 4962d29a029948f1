#pragma once

// Modal file chooser for ".cfg" files, supplied by the front end.

#include <filesystem>
#include <optional>

namespace modem {

enum class FileDialogKind {
    Save,  // title "Save", asks before replacing a file
    Load,  // title "Load", the file must exist
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen path, or nothing when the operator cancelled. Never opens with a
    // preset name; appends ".cfg" to a name typed without an extension.
    [[nodiscard]] virtual std::optional<std::filesystem::path> choose(FileDialogKind kind) = 0;
};

}  // namespace modem
