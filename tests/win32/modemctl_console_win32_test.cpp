// modemctl.exe on a console, as in a command prompt: Cyrillic names and list
// items show as text, and the console keeps the operator's code page before,
// during and after a run, also one ended by Ctrl+C.
// MODEMCTL_WINDOWS_EXE names the program (scripts/test-windows sets it).

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/settings_file.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/child_process.h"

namespace modem::test {
namespace {

using namespace std::chrono_literals;

constexpr UINT russianConsole = 866;

BOOL WINAPI outliveCtrlC(DWORD /*event*/) {
    return TRUE;  // the test's own process stays for the checks after it
}

TEST(ModemctlConsole, ShowsCyrillicAsTextAndKeepsTheCodePageThroughCtrlC) {
    const std::wstring exe = environmentWide(L"MODEMCTL_WINDOWS_EXE");
    if (exe.empty()) {
        GTEST_SKIP() << "MODEMCTL_WINDOWS_EXE names the program";
    }
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    ASSERT_TRUE(SetConsoleOutputCP(russianConsole));
    SetConsoleCtrlHandler(outliveCtrlC, TRUE);
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    const HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    const auto run = [&](const std::vector<std::wstring>& arguments, HANDLE input) {
        STARTUPINFOW startup{};
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = screen;
        startup.hStdError = screen;
        return std::make_unique<ChildProcess>(exe, arguments, startup);
    };

    const TempDir dir;
    const std::filesystem::path folder = dir.path() / L"Профили";
    std::filesystem::create_directory(folder);
    Mset a = defaultSettings();
    Mset b = a;
    a.VMODE = 0;
    b.VMODE = 1;
    ASSERT_TRUE(saveSettingsFile(folder / L"Первый.cfg", a).ok);
    ASSERT_TRUE(saveSettingsFile(folder / L"Второй.cfg", b).ok);
    const std::wstring missing = (folder / L"Нет такого.cfg").wstring();
    EXPECT_EQ(run({L"diff", (folder / L"Первый.cfg").wstring(), (folder / L"Второй.cfg").wstring()},
                  nullptr)
                  ->exitCode(30s),
              1U);  // they differ
    EXPECT_EQ(run({L"export", missing}, nullptr)->exitCode(30s), 1U);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen, &info);
    std::wstring shown(static_cast<std::size_t>(info.dwSize.X) * info.dwSize.Y, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, shown.data(), static_cast<DWORD>(shown.size()), {0, 0},
                                &read);
    EXPECT_NE(shown.find(L"VMODE: ЗУЛК -> ГРЕН-9.6"), std::wstring::npos);
    EXPECT_NE(shown.find(missing + L": Could not load file"), std::wstring::npos);

    // Standard input is a pipe the program reads to its end: once more has
    // gone in than any pipe holds, the program is surely running.
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    ASSERT_TRUE(CreatePipe(&reading, &writing, &inherited, 0));
    SetHandleInformation(writing, HANDLE_FLAG_INHERIT, 0);
    const auto parsing = run({L"parse-report", L"-"}, reading);
    CloseHandle(reading);
    const std::string filler(std::size_t{4} << 20, ' ');
    DWORD written = 0;
    EXPECT_TRUE(
        WriteFile(writing, filler.data(), static_cast<DWORD>(filler.size()), &written, nullptr));
    EXPECT_EQ(GetConsoleOutputCP(), russianConsole) << "changed while running";
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    // Ended by the Ctrl+C: the pipe is still open, so its input has not ended.
    EXPECT_TRUE(parsing->exitCode(30s).has_value());
    EXPECT_EQ(GetConsoleOutputCP(), russianConsole) << "left changed";
    CloseHandle(writing);
    CloseHandle(screen);
    SetConsoleCtrlHandler(outliveCtrlC, FALSE);
    FreeConsole();
}

}  // namespace
}  // namespace modem::test
