#include "ui/form_init.h"

#include "ui/control_table.h"
#include "ui/transfers.h"

namespace modem {

void initialiseForm(Form& form, Mset& mset) {
    setDefaults(mset);
    for (const ListTemplate& list : dialogLists()) {
        if (list.initialSelection >= 0) {
            form.setSelection(list.id, list.initialSelection);
        }
    }
    settingsToForm(mset, form);
}

}  // namespace modem
