// modemcfg.exe's command line: what it takes and refuses, and the program
// answering a usage error, --help, --version and a traffic log it cannot open
// in a message box (it has no console) with the exit statuses scripts rely on.

#include <gtest/gtest.h>

#include <filesystem>

#include "link/utf8_win32.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/child_process.h"
#include "tests/win32/dialog_harness.h"
#include "version/version.h"
#include "win32/modemcfg.h"

namespace modem::test {
namespace {

using namespace std::chrono_literals;

TEST(ModemcfgArguments, AcceptedOrRefusedWithTheReason) {
    const struct {
        std::vector<std::string> arguments;
        std::string port, log, refusal;  // refusal: empty when accepted
        bool quitWhenShown = false;
    } cases[] = {
        {{}, "", "", ""},
        {{"--port=COM12"}, "COM12", "", ""},
        {{"--log=обмен.log", "--port", "COM5"}, "COM5", "обмен.log", ""},
        // --log and the start-up check stand anywhere, even between --port and its name.
        {{"--port", "--log", "C:\\Журналы\\x.log", "COM4"}, "COM4", "C:\\Журналы\\x.log", ""},
        {{"--port", "--quit-when-shown", "COM4"}, "COM4", "", "", true},
        {{"--port"}, "", "", "--port needs a name"},
        {{"--port="}, "", "", "unexpected argument: --port="},
        {{"--port", "COM3", "--log"}, "", "", "--log needs a file"},
        {{"--log", ""}, "", "", "--log needs a file"},
        {{"--log="}, "", "", "unexpected argument: --log="},
        {{"--quit-when-shown", "--quit-when-shown"},
         "",
         "",
         "--quit-when-shown given more than once"},
        {{"--help", "--port", "COM3"}, "", "", "unexpected argument: --help --port COM3"},
        {{"Настройки.cfg"}, "", "", "unexpected argument: Настройки.cfg"},
    };
    for (const auto& c : cases) {
        const auto parsed = parseArguments(c.arguments);
        const auto* options = std::get_if<StartOptions>(&parsed);
        const auto* error = std::get_if<UsageError>(&parsed);
        const std::string given = testing::PrintToString(c.arguments);
        if (c.refusal.empty()) {
            ASSERT_NE(options, nullptr) << given;
            EXPECT_EQ(options->port, c.port) << given;
            EXPECT_EQ(options->log, c.log) << given;
            EXPECT_EQ(options->quitWhenShown, c.quitWhenShown) << given;
        } else {
            ASSERT_NE(error, nullptr) << given;
            EXPECT_EQ(error->message, c.refusal) << given;
        }
    }
}

TEST(ModemcfgArguments, LangTakesRuOrEnAnywhereOnce) {
    const struct {
        std::vector<std::string> arguments;
        std::optional<Language> language;
        std::string refusal;  // empty when accepted
    } cases[] = {
        {{}, std::nullopt, ""},
        {{"--lang", "en"}, Language::English, ""},
        {{"--lang=ru", "--port", "COM3"}, Language::Russian, ""},
        {{"--port", "--lang", "en", "COM3"}, Language::English, ""},
        {{"--lang", "de"}, std::nullopt, "--lang takes ru or en, not 'de'"},
        {{"--lang=En"}, std::nullopt, "--lang takes ru or en, not 'En'"},
        {{"--port", "COM3", "--lang"}, std::nullopt, "--lang needs ru or en"},
        {{"--lang", "en", "--lang=ru"}, std::nullopt, "--lang given more than once"},
    };
    for (const auto& c : cases) {
        const auto parsed = parseArguments(c.arguments);
        const std::string given = testing::PrintToString(c.arguments);
        if (c.refusal.empty()) {
            const auto* options = std::get_if<StartOptions>(&parsed);
            ASSERT_NE(options, nullptr) << given;
            EXPECT_EQ(options->language, c.language) << given;
        } else {
            const auto* error = std::get_if<UsageError>(&parsed);
            ASSERT_NE(error, nullptr) << given;
            EXPECT_EQ(error->message, c.refusal) << given;
        }
    }
}

TEST(ModemcfgProgram, AnswersInAMessageBoxWithItsExitStatus) {
    const std::wstring exe = environmentWide(L"MODEMCFG_EXE");
    if (exe.empty()) {
        GTEST_SKIP() << "MODEMCFG_EXE names the program";
    }
    const TempDir dir;
    const std::wstring noLog = (dir.path() / L"Нет папки" / L"обмен.log").wstring();
    const struct {
        std::vector<std::wstring> arguments;
        std::u16string caption;
        std::wstring shows;
        DWORD exitCode;
    } cases[] = {
        {{L"--port="}, u"modemcfg", L"modemcfg: unexpected argument: --port=", 2},
        {{L"Настройки.cfg"}, u"modemcfg", L"modemcfg: unexpected argument: Настройки.cfg", 2},
        {{L"--help"}, u"modemcfg", L"usage: modemcfg [--port NAME] [--lang ru|en] [--log FILE]", 0},
        {{L"--lang", L"de"}, u"modemcfg", L"modemcfg: --lang takes ru or en, not 'de'", 2},
        {{L"--version"}, u"modemcfg", L"modemcfg " + widenUtf8(versionText()), 0},
        {{L"--log", noLog}, u"Error", L"cannot open traffic log " + noLog, 1},
    };
    for (const auto& c : cases) {
        const ChildProcess program(exe, c.arguments);
        HWND box = nullptr;
        EXPECT_TRUE(waitFor(
            [&] { return (box = windowOfThread(program.threadId(), c.caption)) != nullptr; }, 20s));
        wchar_t text[4096] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 4096);  // the message's static text
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        const std::wstring shown = text;
        EXPECT_NE(shown.find(c.shows), std::wstring::npos)
            << narrowUtf8(c.shows.data(), c.shows.size()) << " not in "
            << narrowUtf8(shown.data(), shown.size());
        EXPECT_EQ(program.exitCode(20s), c.exitCode) << testing::PrintToString(c.arguments);
    }
}

}  // namespace
}  // namespace modem::test
