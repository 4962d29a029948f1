#pragma once

// What the dialog does when it opens, apart from the toolkit's part (creating
// the controls, filling the lists, limits and fonts, all from the control
// table).

#include "settings/mset.h"
#include "ui/form.h"

namespace modem {

// Sets the defaults in `mset`, gives the lists that have one their initial
// selection, then shows `mset` in the form.
void initialiseForm(Form& form, Mset& mset);

}  // namespace modem
