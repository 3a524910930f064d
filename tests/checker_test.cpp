// The checker's library contract: the parallel runner, what a check opens and
// when it writes, how soon a failed run stops, CalcHash, and reading failures
// injected at the system calls: this test links its own versions of them in
// place of the library's, and every test checks that no file is left open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <list>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "checker/file_access.h"
#include "checker/hashfile_checker.h"
#include "checker/parallel_runner.h"
#include "cli_util.h"
#include "test_util.h"

namespace {

// Replacements for the next run; empty ones call the system.
std::function<ssize_t(int, void*, std::size_t)> readHook;
std::function<off_t(int, off_t, int)> lseekHook;
std::function<int(int, struct stat*)> fstatHook;
std::atomic<int> openFiles{0};

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

using HashFileChecker::FileHashPair;
using HashFileChecker::RunInIndexOrder;
using HashFileChecker::Batch;

// Runs n indices on 4 threads, work taking `claims` more each time, all
// marked done in reverse order but the handed-out ones of every third left
// to the runner; `endsAt` ends the run in work, `throwsAt` in report.
std::vector<std::size_t> reportsOf(std::size_t n, std::size_t claims, std::size_t endsAt,
                                   std::size_t throwsAt) {
    std::vector<std::size_t> reports;
    std::vector<std::atomic<int>> runs(n);
    auto work = [&](Batch& b) {
        std::vector<std::size_t> mine;
        for (std::size_t i; mine.size() <= claims && b.Take(i);) mine.push_back(i);
        for (std::size_t k = mine.size(); k-- > 0;)
            if (++runs[mine[k]] > 1 || k != 0 || mine[k] % 3 != 2)
                b.Done(mine[k], runs[mine[k]] > 1 || mine[k] == endsAt);
    };
    auto report = [&](std::size_t i) {
        reports.push_back(i);
        if (i == throwsAt) throw std::runtime_error("report failed");
        return false;
    };
    try {
        RunInIndexOrder(n, 4, work, report);
        EXPECT_EQ(throwsAt, n) << "nothing thrown";
    } catch (std::runtime_error const&) {
        EXPECT_LT(throwsAt, n);
    }
    return reports;
}

TEST(ParallelRunner, ReportsInIndexOrderUpToTheIndexThatEndsTheRun) {
    struct {
        std::size_t n, claims, endsAt, throwsAt, reports;
    } const cases[] = {{0, 0, 0, 0, 0},         {1000, 0, 1000, 1000, 1000}, {1000, 1, 0, 1000, 1},
                       {1000, 1, 700, 1000, 701}, {1001, 3, 1001, 1001, 1001}, {1000, 0, 1000, 300, 301},
                       {1000, 2, 900, 600, 601}};
    for (auto const& c : cases) {
        auto reports = reportsOf(c.n, c.claims, c.endsAt, c.throwsAt);
        ASSERT_EQ(reports.size(), c.reports) << c.n << " " << c.claims << " " << c.endsAt;
        for (std::size_t i = 0; i < reports.size(); ++i) ASSERT_EQ(reports[i], i);
    }
}

// Counts what a run does, and how many files were done when the first byte was written.
struct Probe : HashFileChecker::ProgressListener, std::streambuf {
    std::atomic<int> files{0}, firstWrite{-1};
    std::atomic<std::uint64_t> bytes{0};
    void Started(std::size_t) override {}
    void BytesHashed(std::uint64_t n) override { bytes += n; }
    void FileHashed() override { ++files; }
    void Finished() override {}
    int overflow(int c) override {
        int none = -1;
        firstWrite.compare_exchange_strong(none, files.load());
        return c;
    }
};

class Checker : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(openFiles, 0) << "a file was left open"; }
    testutil::TempDir dir;
    Probe probe;
    std::ostream out{&probe};
    HashFileChecker::Statistics stats = {0, 0, 0, 0};
};

// Stopping at an error opens no record after it; findings are written as soon
// as they are known; a failed run stops reading the files after its failure.
TEST_F(Checker, WhatARunOpensAndWhenItWrites) {
    dir.write("x", "x");
    dir.write("sub/x", "");
    dir.write("big", std::string(1 << 20, 'b'));
    dir.write("huge", "");
    ASSERT_EQ(truncate((dir / "huge").c_str(), 1ll << 30), 0);
    std::list<FileHashPair> records(40, FileHashPair{dir / "big", "#MD5:0", ""});
    records.push_front({dir / "x", "#MD5:0", ""});
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, false, &probe), -1);
    EXPECT_GE(probe.firstWrite, 1);
    EXPECT_LT(probe.firstWrite, 20) << "the first finding waited for the later files";
    EXPECT_EQ(stats.Errors, 41u);

    records.push_front({dir / "gone", "#MD5:0", ""});
    probe.files = 0;
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, true, &probe), -3);
    EXPECT_EQ(probe.files, 1);

    dir.write("list", "gone\nhuge=" + dir / "huge" + "\n");
    EXPECT_THROW(HashFileChecker::ProcessFiles((dir / "list").c_str(), true, out, &probe),
                 HashFileChecker::FileIOException);
    records = {{dir / "sub", "#MD5:0", ""}, {dir / "huge", "#MD5:0", ""}};
    EXPECT_THROW(HashFileChecker::CheckFiles(records, out, &stats, false, &probe),
                 HashFileChecker::FileIOException);
    EXPECT_LT(probe.bytes, (40u << 20) + (64u << 20));
}

TEST_F(Checker, CalcHashGivesUpperCaseTaggedTextOrFalse) {
    dir.write("abc.txt", "abc");
    // RFC 1321; rhash --gost94-cryptopro; rhash --gost12-256
    for (auto [file, alg, result] : {std::array<char const*, 3>{"abc.txt", "#MD5:", "#MD5:900150983CD24FB0D6963F7D28E17F72"},
             {"abc.txt", "$GOST3411_RFC4357:", "#GOST3411_RFC4357:B285056DBF18D7392D7677369524DD14747459ED8143997E163B2986F92FD42C"},
             {"abc.txt", "no tag", "#GOST3411_256_2012:4E2919CF137ED41EC4FB6270C61826CC4FFFB660341E0AF3688CD0626D23B481"},
             {"gone.txt", "#MD5:", "untouched"}, {"", "#MD5:", "untouched"}}) {  // "": a directory
        std::string text = "untouched";
        bool const read = HashFileChecker::CalcHash(dir / file, alg, text);
        EXPECT_EQ(read, std::string(result) != "untouched") << file;
        EXPECT_EQ(text, result) << file;
    }
}

TEST_F(Checker, EachReadFailureIsAReadErrorWithItsCodeAndShortReadsHashEveryByte) {
    // The line the hash run prints for a file of 3 blocks and 100 bytes, or the failure.
    dir.write("f.bin", testutil::patternMessage(3 * 65536 + 100));
    auto hashRun = [&] {
        std::ostringstream text;
        try {
            HashFileChecker::ProcessFiles(("f=" + dir / "f.bin").c_str(), false, text);
        } catch (HashFileChecker::FileIOException const& e) {
            text << e.Message << " " << e.ErrCode;
        }
        readHook = nullptr, lseekHook = nullptr, fstatHook = nullptr;
        return text.str();
    };
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

// ThreadSanitizer brings its own allocator: no failing one in its build.
#ifndef __SANITIZE_THREAD__
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // malloc-based on purpose
#endif
namespace {
std::atomic<long> allocationsBeforeFailure{-1};  // below 0: none fails
}  // namespace
void* operator new(std::size_t size) {
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// A run that cannot allocate fails with an exception or completes, at any
// allocation: threads that cannot start leave fewer threads, never an abort.
TEST_F(Checker, EveryFailingAllocationOfARunIsAFailureOrLeavesItComplete) {
    std::string list;
    for (int i = 0; i < 6; ++i) dir.write("f" + std::to_string(i), "abc"), list += "f" + std::to_string(i) + "\n";
    dir.write("list", list);
    std::list<FileHashPair> records(6, FileHashPair{dir / "f0", "#MD5:900150983cd24fb0d6963f7d28e17f72", ""});
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    std::ostringstream whole;
    HashFileChecker::ProcessFiles("list", true, whole);
    for (long k = 0; k < 400; ++k) {
        std::size_t reported = 0;
        auto work = [](Batch& b) { b.Done(b.First(), false); };
        std::function<bool(std::size_t)> report = [&](std::size_t) { return ++reported, false; };
        allocationsBeforeFailure = k;
        try {
            RunInIndexOrder(100, 8, work, report);  // threads that fail to start: fewer
            EXPECT_EQ(reported, 100u);
        } catch (std::bad_alloc const&) {
            EXPECT_EQ(reported, 0u) << "failed after reporting";
        }
        std::ostringstream text;
        text.exceptions(std::ios::badbit);  // as the writer's: a lost line throws
        allocationsBeforeFailure = k;
        try {
            HashFileChecker::ProcessFiles("list", true, text);
            EXPECT_EQ(text.str(), whole.str());
            EXPECT_EQ(HashFileChecker::CheckFiles(records, text, nullptr, false), 0);
        } catch (std::bad_alloc const&) {
        }
        allocationsBeforeFailure = -1;
    }
}

}  // namespace
#endif
