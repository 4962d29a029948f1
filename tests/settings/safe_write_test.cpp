#include "settings/safe_write.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/temp_dir.h"

namespace modem {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

// The longest file name ext4 and NTFS accept, in characters.
constexpr std::size_t longestName = 255;

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(seed + i * 7);
    return v;
}

TEST(SafeWrite, CreatesAndReplacesLeavingOnlyTheTarget) {
    TempDir dir;
    const auto target = dir / "a.cfg";
    ASSERT_TRUE(writeFileAtomically(target, pattern(1024, 1)).ok());
    EXPECT_EQ(readBytes(target), pattern(1024, 1));

    ASSERT_TRUE(writeFileAtomically(target, pattern(10, 9)).ok());
    EXPECT_EQ(readBytes(target), pattern(10, 9)) << "a shorter write must not leave a tail";
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.cfg"});
}

TEST(SafeWrite, AcceptsANameAtTheLengthLimit) {
    // The temporary name is derived from the target's; it must still fit.
    TempDir dir;
    const auto target = dir / std::string(longestName, 'n');
    ASSERT_TRUE(writeFileAtomically(target, pattern(4, 2)).ok());
    EXPECT_EQ(readBytes(target), pattern(4, 2));
    EXPECT_EQ(dir.entries().size(), 1u);
}

struct BadPath {
    const char* what;
    std::filesystem::path (*make)(const TempDir&);
};

class SafeWriteBadPath : public ::testing::TestWithParam<BadPath> {};

TEST_P(SafeWriteBadPath, CannotCreateAndChangesNothing) {
    TempDir dir;
    writeBytes(dir / "plain.txt", pattern(3, 0));
    std::filesystem::create_directory(dir / "folder");
    const auto before = dir.entries();

    const WriteStatus s = writeFileAtomically(GetParam().make(dir), pattern(1024, 5));
    EXPECT_EQ(s.outcome, WriteOutcome::CannotCreate) << s.reason;
    EXPECT_FALSE(s.reason.empty());
    EXPECT_EQ(dir.entries(), before);
    EXPECT_EQ(readBytes(dir / "plain.txt"), pattern(3, 0));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SafeWriteBadPath,
    ::testing::Values(
        BadPath{"MissingFolder", [](const TempDir& d) { return d / "missing/x.cfg"; }},
        BadPath{"UnderARegularFile", [](const TempDir& d) { return d / "plain.txt/x.cfg"; }},
        BadPath{"TargetIsAFolder", [](const TempDir& d) { return d / "folder"; }},
        BadPath{"TrailingSlash", [](const TempDir& d) { return d / "new/"; }},
        BadPath{"NameTooLong",
                [](const TempDir& d) { return d / std::string(longestName + 1, 'x'); }},
        BadPath{"Empty", [](const TempDir&) { return std::filesystem::path{}; }}),
    [](const auto& p) { return std::string(p.param.what); });

}  // namespace
}  // namespace modem
