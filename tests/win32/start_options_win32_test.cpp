// modemcfg.exe's command line: the table of what it takes and refuses, and the
// program itself answering a usage error, --help and --version in a message
// box (it has no console to print on) with the exit statuses scripts rely on.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/utf8_win32.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/child_process.h"
#include "tests/win32/dialog_harness.h"
#include "version/version.h"
#include "win32/modemcfg.h"

namespace modem::test {
namespace {

using namespace std::chrono_literals;

TEST(ModemcfgArguments, AcceptedWithTheirOptions) {
    const struct {
        std::vector<std::string> arguments;
        std::string port;
        std::string log;
        bool quitWhenShown;
    } cases[] = {
        {{}, "", "", false},
        {{"--port", "COM3"}, "COM3", "", false},
        {{"--port=COM12"}, "COM12", "", false},
        {{"--log", "C:\\Журналы\\обмен.log"}, "", "C:\\Журналы\\обмен.log", false},
        {{"--log=обмен.log", "--port", "COM5"}, "COM5", "обмен.log", false},
        // --log and the start-up check stand anywhere, even between --port and its name.
        {{"--port", "--log", "x.log", "COM4"}, "COM4", "x.log", false},
        {{"--port", "--quit-when-shown", "COM4"}, "COM4", "", true},
        {{"--log", "a.log", "--log", "b.log"}, "", "b.log", false},
        {{"--port", "\\\\.\\COM10"}, "\\\\.\\COM10", "", false},
    };
    for (const auto& c : cases) {
        const auto parsed = parseArguments(c.arguments);
        const auto* options = std::get_if<StartOptions>(&parsed);
        ASSERT_NE(options, nullptr) << testing::PrintToString(c.arguments);
        EXPECT_EQ(options->port, c.port) << testing::PrintToString(c.arguments);
        EXPECT_EQ(options->log, c.log) << testing::PrintToString(c.arguments);
        EXPECT_EQ(options->quitWhenShown, c.quitWhenShown) << testing::PrintToString(c.arguments);
    }
}

TEST(ModemcfgArguments, RefusedWithTheReason) {
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"--port"}, "--port needs a name"},
        {{"--port", ""}, "unexpected argument: --port "},
        {{"--port="}, "unexpected argument: --port="},
        {{"--log"}, "--log needs a file"},
        {{"--port", "COM3", "--log"}, "--log needs a file"},
        {{"--log", ""}, "--log needs a file"},
        {{"--log="}, "unexpected argument: --log="},
        {{"--quit-when-shown", "--quit-when-shown"}, "--quit-when-shown given more than once"},
        {{"--port", "COM3", "COM4"}, "unexpected argument: --port COM3 COM4"},
        {{"--help", "--port", "COM3"}, "unexpected argument: --help --port COM3"},
        {{"/?"}, "unexpected argument: /?"},
        {{"Настройки.cfg"}, "unexpected argument: Настройки.cfg"},
    };
    for (const auto& c : cases) {
        const auto parsed = parseArguments(c.arguments);
        const auto* error = std::get_if<UsageError>(&parsed);
        ASSERT_NE(error, nullptr) << testing::PrintToString(c.arguments);
        EXPECT_EQ(error->message, c.message) << testing::PrintToString(c.arguments);
    }
}

// The program as it is started: a message box with the text, then the exit.
class ModemcfgProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (m_exe.empty()) {
            GTEST_SKIP() << "MODEMCFG_EXE names the program";
        }
    }

    struct Answer {
        std::wstring text;  // of the message box; empty when none came
        std::optional<DWORD> exitCode;
    };

    // Starts the program, reads the message box it shows and presses its OK.
    Answer answer(const std::vector<std::wstring>& arguments) {
        ChildProcess program(m_exe, arguments);
        EXPECT_TRUE(program.started());
        Answer result;
        HWND box = nullptr;
        if (waitFor([&] { return (box = topWindowOf(program.id(), L"#32770")) != nullptr; }, 20s)) {
            result.text = messageBoxText(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        result.exitCode = program.exitCode(20s);
        return result;
    }

    std::wstring m_exe = environmentWide(L"MODEMCFG_EXE");
};

TEST_F(ModemcfgProgram, UsageErrorsHelpAndVersionShowInAMessageBox) {
    const std::wstring version = L"modemcfg " + widenUtf8(versionText());
    const struct {
        std::vector<std::wstring> arguments;
        std::wstring shows;
        DWORD exitCode;
    } cases[] = {
        {{L"--port="}, L"modemcfg: unexpected argument: --port=", 2},
        {{L"--port"}, L"modemcfg: --port needs a name", 2},
        {{L"Настройки.cfg"}, L"modemcfg: unexpected argument: Настройки.cfg", 2},
        {{L"--help"}, L"usage: modemcfg [--port NAME] [--log FILE]", 0},
        {{L"--version"}, version, 0},
    };
    for (const auto& c : cases) {
        const Answer a = answer(c.arguments);
        EXPECT_NE(a.text.find(c.shows), std::wstring::npos)
            << testing::PrintToString(c.arguments) << " showed "
            << narrowUtf8(a.text.data(), a.text.size());
        EXPECT_EQ(a.exitCode, c.exitCode) << testing::PrintToString(c.arguments);
    }
}

// The log's name as the operator typed it, in a Cyrillic folder: created
// under that name, and named so in the message when it cannot be.
TEST_F(ModemcfgProgram, TheTrafficLogKeepsItsCyrillicName) {
    const TempDir dir;
    const std::filesystem::path folder = dir.path() / L"Журналы";
    std::filesystem::create_directory(folder);
    const std::filesystem::path log = folder / L"обмен порта.log";

    ChildProcess shown(m_exe, {L"--log", log.wstring(), L"--quit-when-shown"});
    EXPECT_EQ(shown.exitCode(20s), 0U);
    EXPECT_TRUE(std::filesystem::is_regular_file(log));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);

    const std::filesystem::path missing = dir.path() / L"Нет такой папки" / L"обмен.log";
    const Answer refused = answer({L"--log=" + missing.wstring()});
    EXPECT_NE(refused.text.find(L"cannot open traffic log " + missing.wstring()),
              std::wstring::npos);
    EXPECT_EQ(refused.exitCode, 1U);
}

}  // namespace
}  // namespace modem::test
