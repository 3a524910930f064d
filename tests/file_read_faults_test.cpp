// Reading failures that real files rarely show on demand, injected at the
// system calls: this test links its own versions of them in place of the
// library's. Every path must also close what it opened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <sstream>
#include <string>

#include "checker/file_access.h"
#include "checker/hashfile_checker.h"
#include "cli_util.h"
#include "test_util.h"

namespace {

// Replacements for the next run; empty ones call the system.
std::function<ssize_t(int, void*, std::size_t)> readHook;
std::function<off_t(int, off_t, int)> lseekHook;
std::function<int(int, struct stat*)> fstatHook;
int openFiles = 0;

}  // namespace

namespace HashFileChecker {
namespace file_access {

int open(char const* path, int flags) {
    int fd = ::open(path, flags);
    if (fd >= 0) ++openFiles;
    return fd;
}
int fstat(int fd, struct stat* st) {
    return fstatHook ? fstatHook(fd, st) : ::fstat(fd, st);
}
off_t lseek(int fd, off_t offset, int whence) {
    return lseekHook ? lseekHook(fd, offset, whence) : ::lseek(fd, offset, whence);
}
ssize_t read(int fd, void* buf, std::size_t count) {
    return readHook ? readHook(fd, buf, count) : ::read(fd, buf, count);
}
int close(int fd) {
    --openFiles;
    return ::close(fd);
}

}  // namespace file_access
}  // namespace HashFileChecker

namespace {

// The line the hash run prints for a file of 3 blocks and 100 bytes, or the failure.
std::string hashRun() {
    testutil::TempDir dir;
    dir.write("f.bin", testutil::patternMessage(3 * 65536 + 100));
    std::ostringstream out;
    try {
        HashFileChecker::ProcessFiles(("f=" + dir / "f.bin").c_str(), false, out);
    } catch (HashFileChecker::FileIOException const& e) {
        out << e.Message << " " << e.ErrCode;
    }
    readHook = nullptr;
    lseekHook = nullptr;
    fstatHook = nullptr;
    EXPECT_EQ(openFiles, 0) << "a file was left open";
    return out.str();
}

TEST(FileReadFaults, EachFailureIsAReadErrorWithItsCodeAndShortReadsHashEveryByte) {
    std::string const whole = hashRun();
    ASSERT_EQ(whole.rfind("f=#GOST3411_256_2012:", 0), 0u) << whole;
    int calls = 0;
    readHook = [&](int fd, void* buf, std::size_t count) -> ssize_t {
        if (++calls % 3 == 0) return errno = EINTR, -1;
        return ::read(fd, buf, count < 1000 ? count : 1000);
    };
    EXPECT_EQ(hashRun(), whole) << "short and interrupted reads";

    readHook = [](int, void*, std::size_t) -> ssize_t { return errno = EIO, -1; };
    EXPECT_EQ(hashRun(), "File read error 5");
    readHook = [n = 0](int fd, void* buf, std::size_t count) mutable -> ssize_t {
        return ++n > 2 ? 0 : ::read(fd, buf, count);  // shrank after two blocks
    };
    EXPECT_EQ(hashRun(), "File read error 0");
    lseekHook = [](int, off_t, int) -> off_t { return errno = ESPIPE, -1; };
    EXPECT_EQ(hashRun(), "File read error 29");
    lseekHook = [](int fd, off_t offset, int whence) -> off_t {
        return whence == SEEK_SET ? (errno = EINVAL, -1) : ::lseek(fd, offset, whence);
    };
    EXPECT_EQ(hashRun(), "File read error 22");
    fstatHook = [](int, struct stat*) { return errno = EOVERFLOW, -1; };
    EXPECT_EQ(hashRun(), "File read error 75");
}

}  // namespace
