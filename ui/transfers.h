#pragma once

// The two transfers between the settings image and the form: settingsToForm
// shows every settings field, formToSettings reads and normalises them back.

#include <array>
#include <cstdint>

#include "settings/mset.h"
#include "ui/form.h"

namespace modem {

// List index to value: RS-232/RS-485 speeds at 0..3, CAN bit rates at 4..11,
// packet sizes at 12..13.
inline constexpr std::array<std::uint32_t, 14> speedTable{9600,   19200,   57600,  115200, 20000,
                                                          25000,  50000,   100000, 125000, 250000,
                                                          500000, 1000000, 8,      20};

// Rewrites every settings field of the form from `mset`. A list whose value has
// no item keeps its selection; a path list with a count outside 1..8 is left
// empty.
void settingsToForm(const Mset& mset, Form& form);

// Reads every settings field of the form into `mset`, normalising as it goes.
// MARK and the reserved bytes are not touched; BAND becomes 0, since the dialog
// has no control for it.
void formToSettings(const Form& form, Mset& mset);

}  // namespace modem
