#include "settings/safe_write.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <vector>

#include "support/temp_dir.h"

namespace modem {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(seed + i * 7);
    return v;
}

TEST(SafeWrite, KeepsTheTargetsPermissionBits) {
    TempDir dir;
    const auto target = dir / "a.cfg";
    writeBytes(target, pattern(5, 0));
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_TRUE(writeFileAtomically(target, pattern(20, 3)).ok());
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(SafeWrite, ReplacesTheFileALinkNamesNotTheLink) {
    TempDir dir;
    const auto real = dir / "real.cfg";
    const auto link = dir / "link.cfg";
    writeBytes(real, pattern(5, 0));
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(writeFileAtomically(link, pattern(8, 4)).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readBytes(real), pattern(8, 4));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"link.cfg", "real.cfg"}));
}

TEST(SafeWrite, RefusesToReplaceWhatIsNotARegularFile) {
    // The rename would swap the pipe for a plain file.
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const WriteStatus s = writeFileAtomically(dir / "pipe", pattern(16, 5));
    EXPECT_EQ(s.outcome, WriteOutcome::CannotCreate) << s.reason;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"pipe"});
    struct stat st {};
    ASSERT_EQ(::stat((dir / "pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(SafeWrite, AFailingWriteKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    const auto target = dir / "a.cfg";
    const auto old = pattern(300, 11);
    writeBytes(target, old);

    // A file-size limit makes write() fail part-way, as a full disk would.
    // Done in a child so the limit never touches the test runner's own output.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        const WriteStatus s = writeFileAtomically(target, pattern(1024, 6));
        ::_exit(s.outcome == WriteOutcome::CannotWrite ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "expected CannotWrite";
    EXPECT_EQ(readBytes(target), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.cfg"});
}

}  // namespace
}  // namespace modem
