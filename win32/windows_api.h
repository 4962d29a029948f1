#pragma once

// <windows.h> for the front end. Its MessageBox macro would rename the
// platform's MessageBox seam in every file that sees both.

#include <windows.h>

#undef MessageBox
