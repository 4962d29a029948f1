#pragma once

// The conversions moved to the platform layer, where the settings files use
// them too; this name stays for the link's Windows files.

#include "platform/utf8_win32.h"
