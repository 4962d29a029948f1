#pragma once

// The differences between two settings images, each value written as the form
// shows it: a channel row as its line of the channel table, a path list in its
// notation, speeds and times as numbers, CAN identifiers in hexadecimal, a list
// selection as its item's text.

#include <string>
#include <vector>

#include "settings/mset.h"

namespace modem::cli {

struct ShownDifference {
    std::string name;  // "CH[4]" (row from 0), "CHS1/CHL1", or the field's own name
    std::string a;     // UTF-8
    std::string b;

    friend bool operator==(const ShownDifference&, const ShownDifference&) = default;
};

// In image export order; empty when the two images are equal byte for byte.
// Where the shown texts of a difference are the same (a power of 7 and of 10
// both show "Hi"), each text is followed by the raw values that differ.
[[nodiscard]] std::vector<ShownDifference> showDifferences(const Mset& a, const Mset& b);

}  // namespace modem::cli
