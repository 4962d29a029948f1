#pragma once

// The settings upload: "+cfwr\r", then the 264-byte image, sent as two writes in
// that order with nothing between, before or after them.

#include <string>

#include "settings/mset.h"

namespace modem {

struct UploadFrame {
    std::string command;  // "+cfwr\r"
    MsetImage image;      // the settings, byte for byte
};

[[nodiscard]] UploadFrame uploadFrame(const Mset& mset);

}  // namespace modem
