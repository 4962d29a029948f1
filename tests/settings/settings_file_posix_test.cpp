#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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

TEST(SettingsFile, AFailedWriteSaysCouldNotWriteAndKeepsTheOldFile) {
    TempDir dir;
    const auto file = dir / "old.cfg";
    const auto old = randomBytes(1024, 99);
    writeBytes(file, old);

    // Limit file size in a child so the write fails half-way, as on a full disk.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{512, 512};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        const FileStatus s = saveSettingsFile(file, defaultSettings());
        ::_exit(!s.ok && s.message == "Could not write file" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.cfg"});
}

}  // namespace
}  // namespace modem
