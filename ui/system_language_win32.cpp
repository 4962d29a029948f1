#include <windows.h>

#include "ui/system_language.h"

namespace modem {

Language systemLanguage() {
    return languageOfWindowsId(GetUserDefaultUILanguage());
}

}  // namespace modem
