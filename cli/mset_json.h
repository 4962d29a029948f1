#pragma once

// The JSON form of a settings image: one key per field by its own name, "CH" an
// array of 16 objects, "reserved" the five reserved bytes in offset order; all
// values decimal integers.

#include <nlohmann/json.hpp>
#include <string>

#include "settings/mset.h"

namespace modem::cli {

[[nodiscard]] nlohmann::json msetToJson(const Mset& mset);

// Reads every field back. A missing or unknown key, a value that is not an
// integer, or one that does not fit the field's width is refused: the result is
// a one-line message naming the key, and `mset` is unchanged. Empty on success.
[[nodiscard]] std::string msetFromJson(const nlohmann::json& json, Mset& mset);

}  // namespace modem::cli
