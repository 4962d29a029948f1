#include "settings/safe_write.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "settings/safe_write_posix.h"
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

// The real calls, watched: each flush notes what it flushed.
struct WatchedCalls {
    std::vector<std::string> steps;  // "flush file <size>", "flush folder", "rename"
    FileSyscalls calls = FileSyscalls::system();

    FileSyscalls watching() {
        const FileSyscalls real = calls;
        return {.fsync =
                    [this, real](int fd) {
                        struct stat st {};
                        ::fstat(fd, &st);
                        steps.push_back(S_ISREG(st.st_mode)
                                            ? "flush file " + std::to_string(st.st_size)
                                            : "flush folder");
                        return real.fsync(fd);
                    },
                .renameat =
                    [this, real](int fromDir, const char* from, int toDir, const char* to) {
                        steps.push_back("rename");
                        return real.renameat(fromDir, from, toDir, to);
                    }};
    }
};

TEST(SafeWrite, FlushesTheWholeContentBeforeTheRenameAndTheFolderAfterIt) {
    TempDir dir;
    const auto target = dir / "a.cfg";
    writeBytes(target, pattern(5, 0));
    WatchedCalls watched;
    ASSERT_TRUE(writeFileAtomically(target, pattern(1024, 2), watched.watching()).ok());
    EXPECT_EQ(watched.steps,
              (std::vector<std::string>{"flush file 1024", "rename", "flush folder"}));
    EXPECT_EQ(readBytes(target), pattern(1024, 2));
}

struct FailingStep {
    const char* what;
    bool targetExists;
    bool failFlush;  // else the rename fails
    int error;
};

void PrintTo(const FailingStep& step, std::ostream* os) {
    *os << step.what;
}

class SafeWriteFailingStep : public ::testing::TestWithParam<FailingStep> {};

TEST_P(SafeWriteFailingStep, KeepsTheOldFileAndLeavesNoTemporary) {
    const FailingStep& step = GetParam();
    TempDir dir;
    const auto target = dir / "a.cfg";
    if (step.targetExists) {
        writeBytes(target, pattern(300, 11));
    }
    const auto before = dir.entries();

    FileSyscalls calls = FileSyscalls::system();
    const FileSyscalls real = calls;
    if (step.failFlush) {
        calls.fsync = [&](int fd) {
            struct stat st {};
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
                errno = step.error;
                return -1;
            }
            return real.fsync(fd);
        };
    } else {
        calls.renameat = [&](int, const char*, int, const char*) {
            errno = step.error;
            return -1;
        };
    }
    const WriteStatus s = writeFileAtomically(target, pattern(1024, 6), calls);
    EXPECT_EQ(s.outcome, WriteOutcome::CannotWrite);
    EXPECT_EQ(s.reason,
              std::string(step.failFlush ? "flush: " : "rename: ") + std::strerror(step.error));
    EXPECT_EQ(dir.entries(), before);
    if (step.targetExists) {
        EXPECT_EQ(readBytes(target), pattern(300, 11));
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, SafeWriteFailingStep,
                         ::testing::Values(FailingStep{"FlushOverAnOldFile", true, true, EIO},
                                           FailingStep{"FlushOfANewFile", false, true, ENOSPC},
                                           FailingStep{"RenameOverAnOldFile", true, false, EXDEV},
                                           FailingStep{"RenameOfANewFile", false, false, EACCES}),
                         [](const auto& p) { return std::string(p.param.what); });

}  // namespace
}  // namespace modem
