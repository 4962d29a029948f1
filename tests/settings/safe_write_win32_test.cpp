#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>
#include <vector>

#include "settings/safe_write.h"
#include "settings/safe_write_win32.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace modem {
namespace {

using std::chrono::milliseconds;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(seed + i * 7);
    return v;
}

// Names as the system spells them, compared in UTF-16 so that no narrow
// conversion can hide a wrongly encoded name.
std::vector<std::wstring> wideEntries(const std::filesystem::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (m_h != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_h);
    }
    [[nodiscard]] bool valid() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

TEST(SafeWriteWindows, CyrillicFolderAndNameWork) {
    TempDir dir;
    const std::filesystem::path folder = dir.path() / std::filesystem::path(u8"Настройки модема");
    std::filesystem::create_directory(folder);
    const auto target = folder / std::filesystem::path(u8"профиль №1.cfg");

    ASSERT_TRUE(writeFileAtomically(target, pattern(1024, 3)).ok());
    ASSERT_TRUE(writeFileAtomically(target, pattern(40, 8)).ok());
    EXPECT_EQ(readBytes(target), pattern(40, 8));
    EXPECT_EQ(wideEntries(folder), std::vector<std::wstring>{L"профиль №1.cfg"});

    // The settings file goes through the same writer and reader.
    const auto cfg = folder / std::filesystem::path(u8"связь.cfg");
    ASSERT_TRUE(saveSettingsFile(cfg, defaultSettings()).ok);
    Mset loaded{};
    ASSERT_TRUE(loadSettingsFile(cfg, loaded).ok);
    EXPECT_EQ(loaded, defaultSettings());
}

// Ways a save can be refused while the old file stays readable.
struct Obstacle {
    const char* what;
    std::function<HANDLE(const std::filesystem::path&)> hold;  // kept until the write is over
    WriteOutcome expected;
};

class SafeWriteWindowsObstacle : public ::testing::TestWithParam<Obstacle> {};

TEST_P(SafeWriteWindowsObstacle, AFailedSaveKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    const auto target = dir / "a.cfg";
    const auto old = pattern(300, 11);
    writeBytes(target, old);
    WriteStatus s;
    {
        Handle holder(GetParam().hold(target));
        s = writeFileAtomically(target, pattern(1024, 6));
    }
    EXPECT_EQ(s.outcome, GetParam().expected) << s.reason;
    EXPECT_FALSE(s.reason.empty());
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readBytes(target), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.cfg"});
}

INSTANTIATE_TEST_SUITE_P(
    Targets, SafeWriteWindowsObstacle,
    ::testing::Values(
        // Another program has the file open and does not let it be deleted or renamed.
        Obstacle{"OpenInAnotherProgram",
                 [](const std::filesystem::path& p) {
                     return ::CreateFileW(p.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                 },
                 WriteOutcome::CannotWrite},
        Obstacle{"ReadOnly",
                 [](const std::filesystem::path& p) {
                     ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_READONLY);
                     return INVALID_HANDLE_VALUE;
                 },
                 WriteOutcome::CannotCreate}),
    [](const auto& p) { return std::string(p.param.what); });

// What a scanner or an indexer does to a file just saved: opens it for
// reading without letting it be deleted or renamed, for a moment.
HANDLE holdLikeAScanner(const std::filesystem::path& p) {
    return ::CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(SafeWriteWindows, ASaveWaitsForAProgramThatHoldsTheFileForAMoment) {
    TempDir dir;
    const auto target = dir / "a.cfg";
    writeBytes(target, pattern(300, 11));
    HANDLE holder = holdLikeAScanner(target);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::vector<milliseconds> waited;
    ReplaceRetry retry;
    retry.pause = [&](milliseconds pause) {
        waited.push_back(pause);
        if (waited.size() == 2) {
            ::CloseHandle(std::exchange(holder, INVALID_HANDLE_VALUE));
        }
    };
    const WriteStatus s = writeFileAtomically(target, pattern(1024, 6), retry);
    if (holder != INVALID_HANDLE_VALUE) {
        ::CloseHandle(holder);
    }
    EXPECT_TRUE(s.ok()) << s.reason;
    EXPECT_EQ(waited.size(), 2u) << "tried again after each pause until the file was free";
    EXPECT_EQ(readBytes(target), pattern(1024, 6));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.cfg"});  // no temporary, no old copy
}

TEST(SafeWriteWindows, AHoldThatOutlastsEveryPauseFailsTheSaveWithItsCode) {
    TempDir dir;
    const auto target = dir / "a.cfg";
    writeBytes(target, pattern(300, 11));
    Handle holder(holdLikeAScanner(target));
    ASSERT_TRUE(holder.valid());
    std::vector<milliseconds> waited;
    ReplaceRetry retry;
    retry.pause = [&](milliseconds pause) { waited.push_back(pause); };
    const WriteStatus s = writeFileAtomically(target, pattern(1024, 6), retry);
    EXPECT_EQ(s.outcome, WriteOutcome::CannotWrite);
    EXPECT_THAT(s.reason, ::testing::HasSubstr("(error 32)"));  // a sharing violation
    EXPECT_EQ(waited, retry.pauses);
    EXPECT_EQ(readBytes(target), pattern(300, 11));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.cfg"});
}

TEST(SafeWriteWindows, PathsNearMaxPathTakeTheLongForm) {
    struct Case {
        std::wstring path;
        std::wstring expected;
    };
    // 245 characters and a 14 longer temporary name fit in MAX_PATH (259 and
    // the terminator); 246 do not.
    const std::wstring fits = L"C:\\" + std::wstring(242, L'f');
    const std::wstring over = L"C:\\" + std::wstring(243, L'o');
    const std::wstring share = L"\\\\server\\share\\" + std::wstring(240, L's');
    const Case cases[] = {
        {L"C:\\a.cfg", L"C:\\a.cfg"},
        {fits, fits},
        {over, L"\\\\?\\" + over},
        {share, L"\\\\?\\UNC\\server\\share\\" + std::wstring(240, L's')},
        {L"\\\\?\\" + over, L"\\\\?\\" + over},  // already long
    };
    ASSERT_EQ(fits.size(), 245u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.size());
        EXPECT_EQ(extendedLengthPath(c.path), c.expected);
    }
}

// Wine takes such paths in any form; Windows only in the long one.
TEST(SafeWriteWindows, ATargetNearMaxPathIsWrittenAndReplaced) {
    TempDir dir;
    std::wstring root = dir.path().wstring();
    std::replace(root.begin(), root.end(), L'/', L'\\');  // the long form takes no other
    // root \ folder \ a.cfg
    const std::size_t folderLength = 250 - root.size() - 1 - std::wstring(L"\\a.cfg").size();
    ASSERT_LT(folderLength, 255u);
    const std::wstring folder = root + L"\\" + std::wstring(folderLength, L'd');
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    const std::filesystem::path target = folder + L"\\a.cfg";
    ASSERT_EQ(target.native().size(), 250u);

    ASSERT_TRUE(writeFileAtomically(target, pattern(1024, 2)).ok());
    const WriteStatus s = writeFileAtomically(target, pattern(1024, 5));
    ASSERT_TRUE(s.ok()) << s.reason;
    const std::filesystem::path longTarget = L"\\\\?\\" + target.native();
    EXPECT_EQ(readBytes(longTarget), pattern(1024, 5));
    EXPECT_EQ(wideEntries(L"\\\\?\\" + folder), std::vector<std::wstring>{L"a.cfg"});
}

TEST(SafeWriteWindows, NamesTheSystemRefusesCreateNothing) {
    TempDir dir;
    for (const char* name : {"a?b.cfg", "a*b.cfg", "a|b.cfg", "a<b>.cfg"}) {
        const WriteStatus s = writeFileAtomically(dir / name, pattern(8, 1));
        EXPECT_FALSE(s.ok()) << name;
        EXPECT_FALSE(s.reason.empty()) << name;
        EXPECT_TRUE(dir.entries().empty()) << name;
    }
}

}  // namespace
}  // namespace modem
