#pragma once

// A drop-down list with an accessible name announces that name. Qt's own
// interface for a combo box on Linux names it by its current item ("9600",
// "P1") and leaves the caption to a label relation; the dialog's lists carry
// names of their own instead, and keep their item as their value.

namespace modem {

// Installs the interface for every combo box given an accessible name. Once
// per process, before the first list is shown to assistive technology; later
// calls do nothing.
void installListAccessibility();

}  // namespace modem
