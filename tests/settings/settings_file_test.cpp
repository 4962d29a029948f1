#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <random>

#include "support/temp_dir.h"

namespace modem {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

std::vector<std::uint8_t> randomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(rng());
    return v;
}

// The longest file name ext4 and NTFS accept, in characters.
constexpr std::size_t longestName = 255;

// A recognisable image that no file in these tests holds.
Mset sentinel() {
    Mset m = defaultSettings();
    m.MARK = 0xCAFEF00D;
    m.reserved = {9, 8, 7, 6, 5};
    return m;
}

TEST(SettingsFile, AnyImageComesBackExactlyReservedBytesAndMarkIncluded) {
    TempDir dir;
    const auto file = dir / "r.cfg";
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        const auto raw = randomBytes(msetsize, seed);
        const Mset saved = fromImage(std::span<const std::uint8_t, msetsize>(raw.data(), msetsize));
        ASSERT_TRUE(saveSettingsFile(file, saved));
        Mset loaded;
        ASSERT_TRUE(loadSettingsFile(file, loaded));
        EXPECT_EQ(toImage(loaded), toImage(saved)) << "seed " << seed;
    }
}

TEST(SettingsFile, ALongerFileLoadsOnlyItsFirstImage) {
    TempDir dir;
    const auto file = dir / "long.cfg";
    for (std::size_t size : {std::size_t{264}, std::size_t{1024}, std::size_t{5000}}) {
        const auto raw = randomBytes(size, static_cast<std::uint32_t>(size));
        writeBytes(file, raw);
        Mset m = sentinel();
        const FileStatus s = loadSettingsFile(file, m);
        ASSERT_TRUE(s.ok) << size << ": " << s.detail;
        const MsetImage img = toImage(m);
        EXPECT_TRUE(std::equal(img.begin(), img.end(), raw.begin())) << size;
    }
}

TEST(SettingsFile, AShortFileIsNotLoaded) {
    TempDir dir;
    const auto file = dir / "short.cfg";
    for (std::size_t size : {0u, 1u, 12u, 263u}) {
        writeBytes(file, randomBytes(size, 7));
        Mset m = sentinel();
        const FileStatus s = loadSettingsFile(file, m);
        EXPECT_FALSE(s.ok) << size;
        EXPECT_EQ(s.message, "Could not read file") << size;
        EXPECT_EQ(s.caption, "Error");
        EXPECT_EQ(m, sentinel()) << size << " bytes changed the settings";
    }
}

TEST(SettingsFile, UnopenablePathsGiveCouldNotLoadAndChangeNothing) {
    TempDir dir;
    writeBytes(dir / "plain.txt", randomBytes(1024, 1));
    std::filesystem::create_directory(dir / "folder");
    const std::vector<std::filesystem::path> paths{
        dir / "missing.cfg", dir / "folder", dir / "plain.txt/x.cfg",
        dir / std::string(longestName + 1, 'x'), std::filesystem::path{}};
    for (const auto& p : paths) {
        Mset m = sentinel();
        const FileStatus s = loadSettingsFile(p, m);
        EXPECT_FALSE(s.ok) << p;
        EXPECT_EQ(s.message, "Could not load file") << p;
        EXPECT_EQ(m, sentinel()) << p;
    }
}

TEST(SettingsFile, AnUncreatablePathGivesCouldNotSave) {
    TempDir dir;
    const FileStatus s = saveSettingsFile(dir / "missing/x.cfg", defaultSettings());
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.message, "Could not save file");
    EXPECT_EQ(s.caption, "Error");
}

}  // namespace
}  // namespace modem
