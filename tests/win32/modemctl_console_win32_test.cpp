// modemctl.exe writing to a console of its own process group, as in a command
// prompt: Cyrillic names and list items show as text, and the console's code
// page is the operator's before, during and after the run, also when Ctrl+C
// ends it.
//
// MODEMCTL_WINDOWS_EXE names the program (scripts/test-windows sets it).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/mset.h"
#include "settings/settings_file.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/child_process.h"
#include "tests/win32/dialog_harness.h"

namespace modem::test {
namespace {

using namespace std::chrono_literals;

// What a Russian console has: OEM code page 866.
constexpr UINT consoleCodePage = 866;

BOOL WINAPI keepRunning(DWORD /*event*/) {
    return TRUE;  // the test's own process outlives the Ctrl+C it sends
}

class ModemctlConsole : public ::testing::Test {
protected:
    void SetUp() override {
        if (m_exe.empty()) {
            GTEST_SKIP() << "MODEMCTL_WINDOWS_EXE names the program";
        }
        FreeConsole();
        ASSERT_TRUE(AllocConsole());
        ASSERT_TRUE(SetConsoleOutputCP(consoleCodePage));
        SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
        m_screen =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
        m_keyboard =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherited, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(m_screen, INVALID_HANDLE_VALUE);
        ASSERT_NE(m_keyboard, INVALID_HANDLE_VALUE);
        SetConsoleCtrlHandler(keepRunning, TRUE);
    }

    void TearDown() override {
        SetConsoleCtrlHandler(keepRunning, FALSE);
        if (m_screen != INVALID_HANDLE_VALUE) {
            CloseHandle(m_screen);
        }
        if (m_keyboard != INVALID_HANDLE_VALUE) {
            CloseHandle(m_keyboard);
        }
        FreeConsole();
    }

    // The program on this console; standard input from `input`, or the keyboard.
    std::unique_ptr<ChildProcess> start(const std::vector<std::wstring>& arguments,
                                        HANDLE input = nullptr) {
        STARTUPINFOW startup{};
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input != nullptr ? input : m_keyboard;
        startup.hStdOutput = m_screen;
        startup.hStdError = m_screen;
        auto program = std::make_unique<ChildProcess>(m_exe, arguments, startup);
        EXPECT_TRUE(program->started());
        return program;
    }

    // Everything on the console's screen, row after row.
    std::wstring screen() const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(m_screen, &info);
        std::wstring text(static_cast<std::size_t>(info.dwSize.X) * info.dwSize.Y, L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(m_screen, text.data(), static_cast<DWORD>(text.size()), {0, 0},
                                    &read);
        text.resize(read);
        return text;
    }

    std::wstring m_exe = environmentWide(L"MODEMCTL_WINDOWS_EXE");
    HANDLE m_screen = INVALID_HANDLE_VALUE;
    HANDLE m_keyboard = INVALID_HANDLE_VALUE;
    TempDir m_dir;
};

TEST_F(ModemctlConsole, CyrillicNamesAndItemsShowAsText) {
    const std::filesystem::path folder = m_dir.path() / L"Профили";
    std::filesystem::create_directory(folder);
    Mset a = defaultSettings();
    Mset b = a;
    a.VMODE = 0;
    b.VMODE = 1;
    ASSERT_TRUE(saveSettingsFile(folder / L"Первый.cfg", a).ok);
    ASSERT_TRUE(saveSettingsFile(folder / L"Второй.cfg", b).ok);

    const auto diff =
        start({L"diff", (folder / L"Первый.cfg").wstring(), (folder / L"Второй.cfg").wstring()});
    EXPECT_EQ(diff->exitCode(30s), 1U);  // they differ
    const std::filesystem::path missing = folder / L"Нет такого.cfg";
    const auto failed = start({L"export", missing.wstring()});
    EXPECT_EQ(failed->exitCode(30s), 1U);

    const std::wstring shown = screen();
    EXPECT_NE(shown.find(L"VMODE: ЗУЛК -> ГРЕН-9.6"), std::wstring::npos);
    EXPECT_NE(shown.find(missing.wstring() + L": Could not load file"), std::wstring::npos);
    EXPECT_EQ(GetConsoleOutputCP(), consoleCodePage);
}

// Standard input is a pipe that the program reads to its end; once a write
// larger than any pipe's buffer has gone in, the program is surely running.
TEST_F(ModemctlConsole, TheCodePageStaysWhileRunningAndAfterCtrlC) {
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    ASSERT_TRUE(CreatePipe(&reading, &writing, &inherited, 0));
    SetHandleInformation(writing, HANDLE_FLAG_INHERIT, 0);
    const auto program = start({L"parse-report", L"-"}, reading);
    CloseHandle(reading);

    const std::string filler(std::size_t{4} << 20, ' ');
    DWORD written = 0;
    EXPECT_TRUE(
        WriteFile(writing, filler.data(), static_cast<DWORD>(filler.size()), &written, nullptr));
    EXPECT_EQ(written, filler.size());
    EXPECT_EQ(GetConsoleOutputCP(), consoleCodePage) << "changed while running";

    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    // Ended by the Ctrl+C: the pipe is still open, so the input has not ended.
    EXPECT_TRUE(program->exitCode(30s).has_value());
    CloseHandle(writing);
    EXPECT_EQ(GetConsoleOutputCP(), consoleCodePage) << "left changed";
}

}  // namespace
}  // namespace modem::test
