#pragma once

// The version the three programs print for --version: the project version,
// followed by the commit when they were built from a git checkout.

namespace modem {

// For example "0.1.0" or "0.1.0 (git 4fee0be1a2b3)".
[[nodiscard]] const char* versionText();

}  // namespace modem
