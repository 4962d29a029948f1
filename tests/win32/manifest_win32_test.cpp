// The manifests as Windows reads them out of the built programs: resource 1
// of type RT_MANIFEST.

#include <gtest/gtest.h>

#include "win32/windows_api.h"

#include <filesystem>
#include <string>
#include <vector>

namespace modem::test {
namespace {

TEST(Manifest, EachProgramRunsAsInvokerOnWindows7To11AndTheDialogIsThemedAndDpiAware) {
    const std::vector<std::string> both = {
        R"(level="asInvoker")",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
    };
    std::vector<std::string> dialog = both;
    dialog.insert(dialog.end(), {R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
                                 ">true</dpiAware>"});
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (const auto& [name, wanted] :
         {std::pair{L"modemcfg.exe", dialog}, {L"modemctl.exe", both}}) {
        const auto exe = std::filesystem::path(self).parent_path() / PROGRAMS_FROM_TEST / name;
        const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << exe.string();
        const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
        ASSERT_NE(found, nullptr) << exe.string();
        const std::string manifest(
            static_cast<const char*>(LockResource(LoadResource(module, found))),
            SizeofResource(module, found));
        for (const std::string& piece : wanted) {
            EXPECT_NE(manifest.find(piece), std::string::npos) << exe.string() << ": " << piece;
        }
        FreeLibrary(module);
    }
}

}  // namespace
}  // namespace modem::test
