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
#include <iostream>
#include <type_traits>
#include <utility>
#include <list>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "checker/engine.h"
#include "checker/file_access.h"
#include "checker/hashfile_checker.h"
#include "checker/parallel_runner.h"
#include "cli_util.h"
#include "test_util.h"

namespace {

// The failure the next run meets at the system calls, and what they count.
enum Fault { None, ShortReads, ReadError, EarlyEnd, NoSize, NoRewind, NoStat } fault = None;
std::atomic<int> openFiles{0}, reads{0};
auto const failWith = [](int err) { return errno = err, -1; };

}  // namespace

namespace HashFileChecker::file_access {

int open(char const* path, int flags) {
    std::string const name = path;
    if (name.size() >= 6 && name.compare(name.size() - 6, 6, "denied") == 0) return failWith(EACCES);
    int fd = ::open(path, flags);
    openFiles += fd >= 0;
    return fd;
}
int fstat(int fd, struct stat* st) {
    return fault == NoStat ? failWith(EOVERFLOW) : ::fstat(fd, st);
}
off_t lseek(int fd, off_t offset, int whence) {
    if (fault == NoSize || (fault == NoRewind && whence == SEEK_SET))
        return failWith(fault == NoSize ? ESPIPE : EINVAL);
    return ::lseek(fd, offset, whence);
}
ssize_t read(int fd, void* buf, std::size_t count) {
    int const n = ++reads;  // interrupted every third time, or ending after two blocks
    if (fault == ReadError || (fault == ShortReads && n % 3 == 0))
        return failWith(fault == ReadError ? EIO : EINTR);
    if (fault == EarlyEnd && n > 2) return 0;
    return ::read(fd, buf, fault == ShortReads && count > 1000 ? 1000 : count);
}
int close(int fd) {
    --openFiles;
    return ::close(fd);
}

}  // namespace HashFileChecker::file_access

namespace {

using namespace HashFileChecker;

// Runs n indices on 4 threads, work taking `claims` more each time, all
// marked done in reverse order but the handed-out ones of every third left
// to the runner; `endsAt` ends the run in work, `throwsAt` in report.
std::vector<std::size_t> reportsOf(std::size_t n, std::size_t claims, std::size_t endsAt,
                                   std::size_t throwsAt) {
    std::vector<std::size_t> reports;
    std::vector<std::atomic<int>> runs(n);
    auto work = [&](IndexCursor& b) {
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

// Counts what a run does, and how many files were done when the first line was written.
struct Probe : HashFileChecker::ProgressListener {
    std::atomic<int> files{0}, firstWrite{-1};
    std::atomic<std::uint64_t> bytes{0};
    void Started(std::size_t) override {}
    void BytesHashed(std::uint64_t n) override { bytes += n; }
    void FileHashed() override { ++files; }
    void Finished() override {}
    void Pause() override { firstWrite = firstWrite < 0 ? files.load() : firstWrite.load(); }
};

class Checker : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(openFiles, 0) << "a file was left open"; }
    testutil::TempDir dir;
    Probe probe;
    std::ostringstream out;
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
    HashFileChecker::CheckOptions options;
    options.progress = &probe;
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, options), -1);
    EXPECT_TRUE(probe.firstWrite >= 1 && probe.firstWrite < 20) << "first finding after " << probe.firstWrite;

    records.push_front({dir / "gone", "#MD5:0", ""});
    probe.files = 0;
    options.stopOnError = true;
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, options), -3);
    EXPECT_EQ(probe.files, 1);

    dir.write("list", "gone\nhuge=" + dir / "huge" + "\n");
    EXPECT_THROW(HashFileChecker::ProcessFiles((dir / "list").c_str(), true, out, &probe),
                 HashFileChecker::FileIOException);
    records = {{dir / "sub", "#MD5:0", ""}, {dir / "huge", "#MD5:0", ""}};
    options.stopOnError = false;
    EXPECT_THROW(HashFileChecker::CheckFiles(records, out, &stats, options),
                 HashFileChecker::FileIOException);
    EXPECT_LT(probe.bytes, (40u << 20) + (64u << 20));
}

// With more files than cores each core reads two at a time, and the bytes of
// the two go through calculators that pair together.
std::atomic<int> pairedUpdates{0};
struct Pairing : IHash_Calc {
    void Update(void const*, unsigned long) override {}
    bool PairsWith(IHash_Calc const&) const override { return true; }
    void UpdatePair(IHash_Calc&, void const*, void const*, unsigned long) override { ++pairedUpdates; }
};
struct PairingRun : FileRun {
    std::string file;
    bool Prepare(HashJob& job) override { return job.fileName = file, job.calc.reset(new Pairing), true; }
    bool Conclude(HashJob&) override { return false; }
    bool Report(std::size_t) override { return false; }
};
TEST_F(Checker, MoreFilesThanCoresAreReadTwoAtATime) {
    PairingRun run;
    dir.write("f", std::string(200000, 'f'));
    run.file = dir / "f";
    HashInIndexOrder(4 * AvailableCores(), run, false, nullptr);
    EXPECT_GT(pairedUpdates, 0);
}

// A progress listener given where stopOnError goes does not compile.
template <class P, class = void>
struct ListFormTakes : std::false_type {};
template <class P>
struct ListFormTakes<P, std::void_t<decltype(CheckFiles(std::list<FileHashPair>(), std::cout, nullptr, std::declval<P>()))>>
    : std::true_type {};
static_assert(ListFormTakes<bool>::value && !ListFormTakes<ProgressListener*>::value, "listener as stopOnError");

// Records: a file that matches, one that changed, one missing, one denied, an
// unknown algorithm, a directory (a failure that ends the check), a name with a
// NUL (what is opened is the name up to it).
FileHashPair Record(char kind) {
    std::string const abc = "#MD5:900150983cd24fb0d6963f7d28e17f72";
    switch (kind) {
        case 'm': return {"abc", abc, ""};
        case 'c': return {"abc", "#MD5:00000000000000000000000000000000", ""};
        case 'g': return {"gone", abc, ""};
        case 'd': return {"denied", abc, ""};
        case 'u': return {"abc", "#SHA1:00", ""};
        case 'f': return {"sub", abc, ""};
        default: return {std::string("gone\0tail", 9), abc, ""};
    }
}

struct CheckRow {
    char const* records;
    bool stopOnError, reportMissing;
    int result;  // 1: the check throws
    Statistics counted;
    char const* lines;
};
CheckRow const kCheckRows[] = {
    {"mm", false, true, 0, {2, 0, 0, 0}, ""},
    {"cm", false, true, -1, {2, 1, 0, 0}, "File changed: abc [#MD5:900150983cd24fb0d6963f7d28e17f72].\n"},
    {"cm", true, true, -1, {1, 1, 0, 0}, "File changed: abc [#MD5:900150983cd24fb0d6963f7d28e17f72].\n"},
    {"gm", false, true, 0, {2, 0, 1, 0}, "Warning: File not found: gone.\n"},
    {"gm", true, true, -3, {1, 0, 1, 0}, "Warning: File not found: gone.\n"},
    {"gm", false, false, 0, {1, 0, 0, 0}, ""},
    {"dm", false, true, 0, {2, 0, 0, 1}, "Warning: File access denied: denied.\n"},
    {"dm", true, true, -2, {1, 0, 0, 1}, "Warning: File access denied: denied.\n"},
    {"um", false, true, -1, {1, 1, 0, 0}, "Can't create hash calculator for abc [#SHA1:00].\n"},
    {"um", true, true, -1, {0, 1, 0, 0}, "Can't create hash calculator for abc [#SHA1:00].\n"},
    {"gfm", false, true, 1, {2, 0, 1, 0}, "Warning: File not found: gone.\n"},
    {"fm", true, true, 1, {1, 0, 0, 0}, ""},
    {"n", false, true, 0, {1, 0, 1, 0}, "Warning: File not found: gone.\n"},
};

// Each kind of record alone and with stopOnError: result, counters, lines.
TEST_F(Checker, EachFindingHasItsLineCountersAndResult) {
    dir.write("abc", "abc");
    dir.write("sub/x", "");
    HashFileChecker::CheckOptions options;
    options.root = dir.path();
    for (auto const& row : kCheckRows) {
        std::list<FileHashPair> records;
        for (char const* kind = row.records; *kind; ++kind) records.push_back(Record(*kind));
        options.stopOnError = row.stopOnError;
        options.reportMissing = row.reportMissing;
        Statistics counted = {0, 0, 0, 0};
        std::ostringstream lines;
        int result = 1;
        try {
            result = HashFileChecker::CheckFiles(records, lines, &counted, options);
        } catch (FileIOException const& e) {
            EXPECT_EQ(e.FileName, dir / "sub");
        }
        std::string const what = std::string(row.records) + (row.stopOnError ? " stopping" : "");
        EXPECT_EQ(result, row.result) << what;
        EXPECT_EQ(lines.str(), row.lines) << what;
        EXPECT_EQ(std::vector<std::uint32_t>({counted.Processed, counted.Errors, counted.NotFound, counted.AccessDenied}),
                  std::vector<std::uint32_t>({row.counted.Processed, row.counted.Errors, row.counted.NotFound,
                                              row.counted.AccessDenied}))
            << what;
    }
    // A list longer than the window in which it is read: every record checked.
    std::string list;
    for (int i = 0; i < 5000; ++i) list += dir / "abc=" + Record(i < 4999 ? 'm' : 'c').HashText + "\n";
    dir.write("list", list);
    Statistics counted = {0, 0, 0, 0};
    std::ostringstream lines;
    EXPECT_EQ(HashFileChecker::CheckFiles((dir / "list").c_str(), lines, &counted), -1);
    EXPECT_EQ(counted.Processed, 5000u);
    EXPECT_EQ(lines.str(), "File changed: " + dir / "abc [#MD5:900150983cd24fb0d6963f7d28e17f72].\n");
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

TEST_F(Checker, EachReadFailureIsAReadErrorAndShortReadsHashEveryByte) {
    // The line the hash run prints for a file of 3 blocks and 100 bytes, or the failure.
    dir.write("f.bin", testutil::patternMessage(3 * 65536 + 100));
    auto hashRun = [&](Fault injected) {
        std::ostringstream text;
        fault = injected, reads = 0;
        try {
            HashFileChecker::ProcessFiles(("f=" + dir / "f.bin").c_str(), false, text);
        } catch (HashFileChecker::FileIOException const& e) {
            text << e.Message;
        }
        fault = None;
        return text.str();
    };
    std::string const whole = hashRun(None);
    ASSERT_EQ(whole.rfind("f=#GOST3411_256_2012:", 0), 0u) << whole;
    EXPECT_EQ(hashRun(ShortReads), whole);
    for (Fault injected : {ReadError, EarlyEnd, NoSize, NoRewind, NoStat})
        EXPECT_EQ(hashRun(injected), "File read error") << injected;
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
    dir.write("f", "abc");
    dir.write("list", "f=" + dir / "f" + "\n" + "g=" + dir / "f" + "\nh=" + dir / "f" + "\n");
    std::list<FileHashPair> records(6, FileHashPair{dir / "f", "#MD5:900150983cd24fb0d6963f7d28e17f72", ""});
    std::string const list = dir / "list";
    std::ostringstream whole;
    HashFileChecker::ProcessFiles(list.c_str(), true, whole);
    for (long k = 0; k < 400; ++k) {
        std::size_t reported = 0;
        auto work = [](IndexCursor& b) { b.Done(b.First(), false); };
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
            HashFileChecker::ProcessFiles(list.c_str(), true, text);
            EXPECT_EQ(text.str(), whole.str());
            EXPECT_EQ(HashFileChecker::CheckFiles(records, text, nullptr, false), 0);
        } catch (std::bad_alloc const&) {
        }
        allocationsBeforeFailure = -1;
    }
}

}  // namespace
#endif

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "checker/rooted_open.h"
#include "checker/tree_walk.h"

namespace {

std::string ErrorName(int err) {
    for (auto [name, value] : {std::pair<char const*, int>{"ENOENT", ENOENT}, {"ENOTDIR", ENOTDIR}, {"ELOOP", ELOOP},
             {"EACCES", EACCES}, {"ENAMETOOLONG", ENAMETOOLONG}, {"EISDIR", EISDIR}, {"EINVAL", EINVAL}})
        if (err == value) return name;
    return "errno " + std::to_string(err);
}

// What OpenInRoot gives: the file at a path below the root (the content of a regular file
// opened to read), or the error.
std::string Opened(int rootFd, std::string const& root, std::string const& name, int flags, std::string const& want) {
    int const fd = HashFileChecker::OpenInRoot(rootFd, name.c_str(), flags);
    if (fd < 0) return ErrorName(errno);
    struct stat got, wanted;
    fstat(fd, &got);
    bool const same = lstat((root + "/" + want).c_str(), &wanted) == 0 && got.st_ino == wanted.st_ino;
    std::string const cloexec = fcntl(fd, F_GETFD) & FD_CLOEXEC ? "" : " without O_CLOEXEC";
    if (S_ISREG(got.st_mode) && !(flags & O_PATH)) return testutil::readFd(fd) + cloexec;
    close(fd);
    return (same ? want : "another file") + cloexec;
}

// Runs the rows of tree_rows.txt in a scratch directory of its own, with one resolver.
void RunTreeRows(bool own) {
    testutil::TempDir dir;
    std::string const root = dir / "root", how = own ? "our resolver" : "the kernel's";
    std::string deep = std::string(99, 'd');
    for (int i = 1; i < 40; ++i) deep += "/" + std::string(99, 'd');
    std::map<std::string, std::string> const words = {
        {"{FF}", "\xff"}, {"{DEEP}", deep}, {"{LONG}", std::string(256, 'n')}, {"{OUT}", dir / "outside"}};
    dir.write("secret", "OUTSIDE");
    dir.write("outside/secret", "OUTSIDE");
    std::filesystem::create_directory(root);
    int const rootFd = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    char const* const kinds[] = {"File", "LinkToFile", "LinkToDirectory", "LinkToSpecial", "LinkToNothing", "LinkLoop", "Special"};
    std::vector<std::string> walked, expected;
    std::string walkStart;
    bool walking = false;
    auto endWalk = [&] {
        if (!std::exchange(walking, false)) return;
        walked.clear();
        try {
            HashFileChecker::WalkTree(rootFd, walkStart, [&](HashFileChecker::TreeEntry const& e) {
                walked.push_back("entry " + e.path + " " + kinds[e.kind]);
            });
        } catch (HashFileChecker::FileIOException const& e) {
            walked.push_back("fails " + e.FileName + " " + ErrorName(static_cast<int>(e.ErrCode)));
        }
        std::sort(walked.begin(), walked.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(walked, expected) << "walk from " << walkStart << " with " << how;
        expected.clear();
    };
    std::vector<std::string> locked;
    for (auto row : testutil::readRows("tree_rows.txt")) {
        for (auto& field : row)
            for (auto const& [word, text] : words)
                for (std::size_t i; (i = field.find(word)) != std::string::npos;) field.replace(i, word.size(), text);
        if (row[0] != "entry" && row[0] != "fails") endWalk();
        std::string const path = root + "/" + row[2 - (row[0] != "make")];
        if (row[0] == "make" && row[1] == "f") dir.write("root/" + row[2], row[2]);
        if (row[0] == "make" && row[1] != "f") std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        if (row[0] == "make" && row[1] == "d") std::filesystem::create_directory(path);
        bool const made = row[0] != "make" || (row[1] == "p" ? mkfifo(path.c_str(), 0644) : row[1] == "l" ? symlink(row[3].c_str(), path.c_str()) : 0) == 0;
        EXPECT_TRUE(made) << path;
        if (row[0] == "lock" && geteuid() == 0) break;  // root is not stopped by permissions
        if (row[0] == "lock") locked.push_back(path), chmod(path.c_str(), 0);
        if (row[0] == "entry" || row[0] == "fails") expected.push_back(row[0] + " " + row[1] + " " + row[2]);
        if (row[0] == "walk") walkStart = row[1], walking = true;
        if (row[0] != "open") continue;
        int flags = 0;
        for (char f : row[2]) flags |= f == 'w' ? O_WRONLY : f == 'n' ? O_NOFOLLOW : f == 'p' ? O_PATH : f == 'd' ? O_DIRECTORY
                                      : f == 'c' ? O_CREAT : f == 'k' ? O_NONBLOCK : 0;
        EXPECT_EQ(Opened(rootFd, root, row[1], flags, row[3]), row[3]) << row[1] << " " << row[2] << " with " << how;
    }
    endWalk();
    for (auto const& path : locked) chmod(path.c_str(), 0755);
    close(rootFd);
}

std::size_t OpenDescriptors() {
    auto const fds = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

// Both resolvers give every row, and leave no descriptor open.
TEST(RootedTree, NamesOpenAndTreesWalkInsideTheRootOnly) {
    std::size_t const before = OpenDescriptors();
    if (!HashFileChecker::KernelResolvesInRoot()) std::cout << "openat2 is not there: our resolver twice\n";
    for (bool own : {false, true}) {
        HashFileChecker::UseOwnRootResolver(own);
        RunTreeRows(own);
    }
    HashFileChecker::UseOwnRootResolver(false);
    EXPECT_EQ(OpenDescriptors(), before) << "a descriptor was left open";
}

}  // namespace
