// The Windows tests run as a Russian Windows has it. The test script asks for
// that setting in MODEM_WINE_CODE_PAGES ("ANSI/OEM"); without it (the locale
// missing, the environment lost) the Cyrillic tests would prove less.

#include <gtest/gtest.h>

#include "tests/win32/child_process.h"

TEST(WineSetting, TheCodePagesAreTheOnesAskedFor) {
    const std::wstring expected = modem::test::environmentWide(L"MODEM_WINE_CODE_PAGES");
    if (expected.empty()) {
        GTEST_SKIP() << "MODEM_WINE_CODE_PAGES names the code pages to expect";
    }
    EXPECT_EQ(std::to_wstring(GetACP()) + L"/" + std::to_wstring(GetOEMCP()), expected);
}
