// The Windows tests run as a Russian Windows has it. The test script asks for
// that setting in MODEM_WINE_CODE_PAGES ("ANSI/OEM"); should Wine not give it
// (the locale missing, the environment lost), the Cyrillic tests would run in
// another code page and prove less, so this fails instead.

#include <gtest/gtest.h>

#include <string>

#include "tests/win32/child_process.h"

namespace modem::test {
namespace {

TEST(WineSetting, TheCodePagesAreTheOnesAskedFor) {
    const std::wstring expected = environmentWide(L"MODEM_WINE_CODE_PAGES");
    if (expected.empty()) {
        GTEST_SKIP() << "MODEM_WINE_CODE_PAGES names the code pages to expect";
    }
    EXPECT_EQ(std::to_wstring(GetACP()) + L"/" + std::to_wstring(GetOEMCP()), expected);
}

}  // namespace
}  // namespace modem::test
