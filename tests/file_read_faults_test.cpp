// Reading failures that real files rarely show on demand, injected at the
// system calls: errors, early ends, short and interrupted reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <sstream>
#include <string>

#include "checker/hashfile_checker.h"
#include "cli_util.h"
#include "syscall_seam.h"
#include "test_util.h"

namespace {

// Replacements for the next test; the defaults call the system.
std::function<ssize_t(int, void*, std::size_t)> readHook;
std::function<off_t(int, off_t, int)> lseekHook;
int openFiles = 0;

}  // namespace

namespace syscall_seam {

int open(char const* path, int flags) {
    int fd = ::open(path, flags);
    if (fd >= 0) ++openFiles;
    return fd;
}
ssize_t read(int fd, void* buf, std::size_t count) {
    return readHook ? readHook(fd, buf, count) : ::read(fd, buf, count);
}
off_t lseek(int fd, off_t offset, int whence) {
    return lseekHook ? lseekHook(fd, offset, whence) : ::lseek(fd, offset, whence);
}
int close(int fd) {
    --openFiles;
    return ::close(fd);
}

}  // namespace syscall_seam

namespace {

using HashFileChecker::FileIOException;

class FileReadFaults : public ::testing::Test {
protected:
    testutil::TempDir dir;
    std::string const file = dir / "f.bin";
    std::string const content = testutil::patternMessage(3 * 65536 + 100);

    void SetUp() override {
        dir.write("f.bin", content);
        openFiles = 0;
    }
    void TearDown() override {
        readHook = nullptr;
        lseekHook = nullptr;
        EXPECT_EQ(openFiles, 0) << "a file was left open";
    }
    // The line the hash run prints, or the failure it throws.
    std::string run() {
        std::ostringstream out;
        try {
            HashFileChecker::ProcessFiles(("f=" + file).c_str(), false, out);
        } catch (FileIOException const& e) {
            return e.Message + " " + std::to_string(e.ErrCode);
        }
        return out.str();
    }
};

TEST_F(FileReadFaults, ShortAndInterruptedReadsStillHashEveryByte) {
    std::string const expected = run();
    ASSERT_EQ(expected.rfind("f=#GOST3411_256_2012:", 0), 0u) << expected;
    int calls = 0;
    readHook = [&](int fd, void* buf, std::size_t count) -> ssize_t {
        if (++calls % 3 == 0) {
            errno = EINTR;
            return -1;
        }
        return ::read(fd, buf, count < 1000 ? count : 1000);
    };
    EXPECT_EQ(run(), expected);
}

TEST_F(FileReadFaults, FailuresBecomeReadErrorsWithTheirCode) {
    struct {
        std::function<ssize_t(int, void*, std::size_t)> read;
        std::function<off_t(int, off_t, int)> lseek;
        std::string expected;
        char const* what;
    } const cases[] = {
        {[](int, void*, std::size_t) -> ssize_t { return errno = EIO, -1; }, nullptr,
         "File read error 5", "an I/O error"},
        {[n = 0](int fd, void* buf, std::size_t count) mutable -> ssize_t {
             return ++n > 2 ? 0 : ::read(fd, buf, count);  // shrank after two blocks
         },
         nullptr, "File read error 0", "a file that ends before its measured size"},
        {nullptr, [](int, off_t, int) -> off_t { return errno = ESPIPE, -1; }, "File read error 29",
         "a size that cannot be measured"},
        {nullptr,
         [](int fd, off_t offset, int whence) -> off_t {
             return whence == SEEK_SET ? (errno = EINVAL, -1) : ::lseek(fd, offset, whence);
         },
         "File read error 22", "a seek back that fails"},
    };
    for (auto const& c : cases) {
        readHook = c.read;
        lseekHook = c.lseek;
        EXPECT_EQ(run(), c.expected) << c.what;
        EXPECT_EQ(openFiles, 0) << c.what << ": file left open";
    }
}

TEST_F(FileReadFaults, ReadErrorInACheckLeavesTheCheck) {
    readHook = [](int, void*, std::size_t) -> ssize_t { return errno = EIO, -1; };
    std::ostringstream out;
    HashFileChecker::Statistics stats = {0, 0, 0, 0};
    std::list<HashFileChecker::FileHashPair> const records = {
        {file, "#MD5:00000000000000000000000000000000", ""}};
    EXPECT_THROW(HashFileChecker::CheckFiles(records, out, &stats, false), FileIOException);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(stats.Processed, 1u);
}

}  // namespace
