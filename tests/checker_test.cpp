// The checker's library contract: the parallel runner, what a check opens and
// when it writes, how soon a failed run stops, CalcHash, and reading failures
// injected at the system calls: this test links its own versions of them in
// place of the library's, and every test checks that no file is left open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
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
#include "checker/rooted_open.h"
#include "cli_util.h"
#include "test_util.h"

namespace {

// The failure the next run meets at the system calls, and what they count.
enum Fault { None, ShortReads, ReadError, EarlyEnd, NoSize, NoRewind, NoStat } fault = None;
std::atomic<int> openFiles{0}, opens{0}, reads{0};
auto const failWith = [](int err) { return errno = err, -1; };

}  // namespace

namespace HashFileChecker::file_access {

int open(char const* path, int flags) {
    std::string const name = path;
    ++opens;
    if (name.size() >= 6 && name.compare(name.size() - 6, 6, "denied") == 0) return failWith(EACCES);
    int fd = ::open(path, flags);
    openFiles += fd >= 0;
    return fd;
}
int openInRoot(int rootFd, char const* path, int flags) {
    std::string const name = path;
    ++opens;
    if (name.size() >= 6 && name.compare(name.size() - 6, 6, "denied") == 0) return failWith(EACCES);
    int fd = HashFileChecker::OpenInRoot(rootFd, path, flags);
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

// A run of n indices without files: one ends it when concluded, one throws
// when reported, one's Conclude waits until the index before it is reported.
struct IndexRun : FileRun {
    std::size_t endsAt, throwsAt, waitsAt;
    std::vector<std::size_t> reports;
    std::mutex mutex;
    std::condition_variable reported;
    bool waitedInVain = false;
    bool Prepare(HashJob&) override { return false; }
    bool Conclude(HashJob& job) override {
        if (job.index == waitsAt) {
            std::unique_lock<std::mutex> lock(mutex);  // a guard against a hang, not a time bound
            waitedInVain = !reported.wait_for(lock, std::chrono::seconds(30),
                                              [&] { return reports.size() == waitsAt; });
        }
        return job.index == endsAt;
    }
    bool Report(std::size_t i) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            reports.push_back(i);
        }
        reported.notify_all();
        if (i == throwsAt) throw std::runtime_error("report failed");
        return false;
    }
};

// Outcomes are reported in index order, each as soon as it and every index
// before it are done, up to the index that ends the run.
TEST(Engine, ReportsInIndexOrderUpToTheIndexThatEndsTheRun) {
    struct {
        std::size_t n, endsAt, throwsAt, waitsAt, reports;
    } const cases[] = {{0, 0, 0, 0, 0},       {1000, 1000, 1000, 1, 1000}, {1000, 0, 1000, 999, 1},
                       {1000, 700, 1000, 500, 701}, {1001, 1001, 1001, 1000, 1001}, {1000, 1000, 300, 1, 301},
                       {1000, 900, 600, 2, 601}};
    for (auto const& c : cases) {
        IndexRun run;
        run.endsAt = c.endsAt, run.throwsAt = c.throwsAt, run.waitsAt = c.waitsAt;
        try {
            HashInIndexOrder(c.n, run, false, nullptr);
            EXPECT_EQ(c.throwsAt, c.n) << "nothing thrown";
        } catch (std::runtime_error const&) {
            EXPECT_LT(c.throwsAt, c.n);
        }
        EXPECT_FALSE(run.waitedInVain) << "index " << c.waitsAt - 1 << " was reported only later";
        ASSERT_EQ(run.reports.size(), c.reports) << c.n << " " << c.endsAt;
        for (std::size_t i = 0; i < run.reports.size(); ++i) ASSERT_EQ(run.reports[i], i);
    }
}

// Counts what a run does.
struct Probe : HashFileChecker::ProgressListener {
    std::atomic<int> files{0};
    std::atomic<std::uint64_t> bytes{0};
    void Started(std::size_t) override {}
    void BytesHashed(std::uint64_t n) override { bytes += n; }
    void FileHashed() override { ++files; }
    void Finished() override {}
};

class Checker : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(openFiles, 0) << "a file was left open"; }
    testutil::TempDir dir;
    Probe probe;
    std::ostringstream out;
    HashFileChecker::Statistics stats = {0, 0, 0, 0};
};

// Stopping at an error opens no record after it; a failed run stops reading
// the files after its failure.
TEST_F(Checker, WhatARunOpens) {
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

    records.push_front({dir / "gone", "#MD5:0", ""});
    probe.files = 0, opens = 0;
    options.stopOnError = true;
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, options), -3);
    EXPECT_EQ(probe.files + opens, 2);

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
// each file reach its own calculator, side by side where calculators pair.
std::atomic<int> pairedUpdates{0};
struct Collecting : IHash_Calc {
    std::string bytes;
    std::vector<unsigned long> pieces;
    void Update(void const* data, unsigned long n) override {
        if (data) bytes.append(static_cast<char const*>(data), n);
        pieces.push_back(n);
    }
    bool PairsWith(IHash_Calc const& other) const override { return &other != this; }
    void UpdatePair(IHash_Calc& other, void const* data, void const* otherData, unsigned long n) override {
        ++pairedUpdates;
        Update(data, n);
        other.Update(otherData, n);
    }
};
struct CollectingRun : FileRun {
    testutil::TempDir const* dir;
    std::vector<std::string> contents;
    std::atomic<int> wrong{0};
    bool Prepare(HashJob& job) override {
        job.fileName = *dir / std::to_string(job.index);
        job.calc.reset(new Collecting);
        return true;
    }
    std::vector<unsigned long> firstPieces;
    bool Conclude(HashJob& job) override {
        wrong += static_cast<Collecting&>(*job.calc).bytes != contents[job.index];
        if (job.index == 0) firstPieces = static_cast<Collecting&>(*job.calc).pieces;
        return false;
    }
    bool Report(std::size_t) override { return false; }
};
TEST_F(Checker, MoreFilesThanCoresAreReadTwoAtATime) {
    CollectingRun run;
    run.dir = &dir;
    for (std::size_t i = 0; i < 4 * AvailableCores(); ++i) {
        run.contents.push_back(testutil::patternMessage(70000 + 30011 * i).substr(i));
        dir.write(std::to_string(i), run.contents.back());
    }
    HashInIndexOrder(run.contents.size(), run, false, nullptr);
    EXPECT_GT(pairedUpdates, 0);
    EXPECT_EQ(run.wrong, 0);
    // One file alone goes in blocks of 64 KiB: 70000 bytes as 65536 and 4464.
    HashInIndexOrder(1, run, false, nullptr);
    EXPECT_EQ(run.firstPieces, (std::vector<unsigned long>{65536, 4464}));
}

// The list goes out in blocks of 1 MiB, its size known before: lines of 128 bytes, 8191,
// 8192 and 8193 of them.
TEST_F(Checker, TheHashRunWritesBlocksOfOneMebibyte) {
    dir.write("a", "abc");
    for (std::size_t lines : {8191, 8192, 8193}) {
        std::string list;
        for (std::size_t i = 0; i < lines; ++i) list += std::string(43, 'd') + "=" + dir / "a\n";
        dir.write("list", list);
        HashFileChecker::HashRun run((dir / "list").c_str(), true);
        run.Hash(nullptr);
        std::vector<std::size_t> blocks;
        run.Write([&](char const*, std::size_t size) { blocks.push_back(size); });
        std::vector<std::size_t> const whole{128 * lines}, two{1 << 20, 128};
        EXPECT_EQ(blocks, lines < 8193 ? whole : two);
        EXPECT_EQ(run.OutputSize(), 128 * lines);  // what is reserved and checked against a limit
    }
}

// A progress listener given where stopOnError goes does not compile.
template <class P, class = void>
struct ListFormTakes : std::false_type {};
template <class P>
struct ListFormTakes<P, std::void_t<decltype(CheckFiles(std::list<FileHashPair>(), std::cout, nullptr, std::declval<P>()))>>
    : std::true_type {};
static_assert(ListFormTakes<bool>::value && !ListFormTakes<ProgressListener*>::value, "listener as stopOnError");

// Records: a file that matches, one that changed, one missing, one denied, an
// unknown algorithm, a directory and a FIFO (failures that end the check unless
// it goes on), a name with a NUL (what is opened is the name up to it).
FileHashPair Record(char kind) {
    std::string const abc = "#MD5:900150983cd24fb0d6963f7d28e17f72";
    switch (kind) {
        case 'm': return {"abc", abc, ""};
        case 'c': return {"abc", "#MD5:00000000000000000000000000000000", ""};
        case 'g': return {"gone", abc, ""};
        case 'd': return {"denied", abc, ""};
        case 'u': return {"abc", "#SHA1:00", ""};
        case 'f': return {"sub", abc, ""};
        case 'p': return {"fifo", abc, ""};
        case 's': return {"sock", abc, ""};
        case 'v': return {"null", abc, ""};
        default: return {std::string("gone\0tail", 9), abc, ""};
    }
}

struct CheckRow {
    char const* records;
    bool stopOnError, reportMissing, goOn;
    int result;  // 1: the check throws
    Statistics counted;
    char const* lines;
};
CheckRow const kCheckRows[] = {
    {"mm", false, true, false, 0, {2, 0, 0, 0}, ""},
    {"cm", false, true, false, -1, {2, 1, 0, 0}, "File changed: abc [#MD5:900150983cd24fb0d6963f7d28e17f72].\n"},
    {"cm", true, true, false, -1, {1, 1, 0, 0}, "File changed: abc [#MD5:900150983cd24fb0d6963f7d28e17f72].\n"},
    {"gm", false, true, false, 0, {2, 0, 1, 0}, "Warning: File not found: gone.\n"},
    {"gm", true, true, false, -3, {1, 0, 1, 0}, "Warning: File not found: gone.\n"},
    {"gm", false, false, false, 0, {1, 0, 0, 0}, ""},
    {"dm", false, true, false, 0, {2, 0, 0, 1}, "Warning: File access denied: denied.\n"},
    {"dm", true, true, false, -2, {1, 0, 0, 1}, "Warning: File access denied: denied.\n"},
    {"um", false, true, false, -1, {1, 1, 0, 0}, "Can't create hash calculator for abc [#SHA1:00].\n"},
    {"um", true, true, false, -1, {0, 1, 0, 0}, "Can't create hash calculator for abc [#SHA1:00].\n"},
    {"gfm", false, true, false, 1, {2, 0, 1, 0}, "Warning: File not found: gone.\n"},
    {"fm", true, true, false, 1, {1, 0, 0, 0}, ""},
    {"n", false, true, false, 0, {1, 0, 1, 0}, "Warning: File not found: gone.\n"},
    {"gm", true, false, false, 0, {1, 0, 0, 0}, ""},
    {"fpm", false, true, true, -1, {3, 2, 0, 0}, "File unreadable: sub (a directory).\nFile unreadable: fifo (a FIFO).\n"},
    {"fm", true, true, true, -1, {1, 1, 0, 0}, "File unreadable: sub (a directory).\n"},
    {"pm", false, true, false, 1, {1, 0, 0, 0}, ""},
    {"vsm", false, true, true, -1, {3, 2, 0, 0}, "File unreadable: null (a device).\nFile unreadable: sock (a socket).\n"},
};

// Each kind of record alone and with stopOnError: result, counters, lines, the
// same lines from the findings handed over as data, every match among them.
TEST_F(Checker, EachFindingHasItsLineCountersAndResult) {
    dir.write("abc", "abc");
    dir.write("sub/x", "");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    sockaddr_un address = {AF_UNIX, {}};
    std::string const sock = dir / "sock";
    sock.copy(address.sun_path, sizeof address.sun_path - 1);
    int const listening = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // As root, on a filesystem that allows devices.
    bool const device = mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                        close(::open((dir / "null").c_str(), O_RDONLY)) == 0;
    HashFileChecker::CheckOptions options;
    options.root = dir.path();
    for (auto const& row : kCheckRows) for (bool handed : {false, true}) {
        if (!device && row.records[0] == 'v') continue;
        std::list<FileHashPair> records;
        for (char const* kind = row.records; *kind; ++kind) records.push_back(Record(*kind));
        options.stopOnError = row.stopOnError;
        options.reportMissing = row.reportMissing;
        options.goOn = row.goOn;
        Statistics counted = {0, 0, 0, 0};
        std::ostringstream lines, unused;
        std::size_t matches = 0;
        options.onFinding = nullptr;
        if (handed)
            options.onFinding = [&](Finding const& f) {
                matches += f.kind == Finding::Matches;
                if (f.kind != Finding::Matches) lines << FindingLine(f) << "\n";
            };
        int result = 1;
        try {
            result = HashFileChecker::CheckFiles(records, handed ? unused : lines, &counted, options);
        } catch (FileIOException const& e) {
            EXPECT_EQ(e.FileName, row.records[0] == 'p' ? "fifo" : "sub");
        }
        std::string const what = std::string(row.records) + (row.stopOnError ? " stopping" : "");
        EXPECT_EQ(result, row.result) << what;
        EXPECT_EQ(lines.str(), row.lines) << what;
        EXPECT_EQ(std::vector<std::uint32_t>({counted.Processed, counted.Errors, counted.NotFound, counted.AccessDenied}),
                  std::vector<std::uint32_t>({row.counted.Processed, row.counted.Errors, row.counted.NotFound,
                                              row.counted.AccessDenied}))
            << what;
        EXPECT_EQ(unused.str(), "");
        std::string const kinds = row.records;
        if (handed && result != 1) {
            EXPECT_EQ(matches, row.stopOnError && row.result != 0 ? 0 : std::count(kinds.begin(), kinds.end(), 'm'))
                << what;
        }
    }
    close(listening);
    // A list longer than the window in which it is read, the changed record in
    // the first window, the last or none: every record checked, one result.
    for (int changed : {0, 4999, -1}) {
        std::string list;
        for (int i = 0; i < 5000; ++i) list += dir / "abc=" + Record(i == changed ? 'c' : 'm').HashText + "\n";
        dir.write("list", list);
        Statistics counted = {0, 0, 0, 0};
        std::ostringstream lines;
        EXPECT_EQ(HashFileChecker::CheckFiles((dir / "list").c_str(), lines, &counted), changed < 0 ? 0 : -1);
        EXPECT_EQ(counted.Processed, 5000u);
        EXPECT_EQ(lines.str(), changed < 0 ? "" : "File changed: " + dir / "abc [#MD5:900150983cd24fb0d6963f7d28e17f72].\n");
    }
    // The path form's lines: of kHashListLine characters read, one more ends the list there.
    std::string const digest = "=" + Record('m').HashText + "\n";
    for (std::size_t size : {kHashListLine, kHashListLine + 1}) {
        dir.write("list", "a" + digest + std::string(size + 1 - digest.size(), 'n') + digest + "b" + digest);
        std::list<FileHashPair> records;
        EXPECT_EQ(LoadHashList((dir / "list").c_str(), records), size > kHashListLine ? 2u : 0u);
        EXPECT_EQ(records.size(), size > kHashListLine ? 1u : 3u);
    }
}

TEST_F(Checker, CalcHashGivesUpperCaseTaggedTextOrFalse) {
    dir.write("abc.txt", "abc");
    // RFC 1321; rhash --gost94-cryptopro; rhash --gost12-256
    for (auto [file, alg, result] : {std::array<char const*, 3>{"abc.txt", "#MD5:", "#MD5:900150983CD24FB0D6963F7D28E17F72"},
             {"abc.txt", "$GOST3411_RFC4357:", "#GOST3411_RFC4357:B285056DBF18D7392D7677369524DD14747459ED8143997E163B2986F92FD42C"},
             {"abc.txt", "no tag", "#GOST3411_256_2012:4E2919CF137ED41EC4FB6270C61826CC4FFFB660341E0AF3688CD0626D23B481"},
             {"gone.txt", "#MD5:", "untouched"}, {"", "#MD5:", "untouched"},  // "": a directory
             {"/dev/null", "#MD5:", "#MD5:D41D8CD98F00B204E9800998ECF8427E"}}) {  // a device is read
        std::string text = "untouched";
        bool const read = HashFileChecker::CalcHash(file[0] == '/' ? file : dir / file, alg, text);
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
        IndexRun run;
        run.endsAt = run.throwsAt = run.waitsAt = 100;
        allocationsBeforeFailure = k;
        try {
            HashInIndexOrder(100, run, false, nullptr);  // threads that fail to start: fewer
            EXPECT_EQ(run.reports.size(), 100u);
        } catch (std::bad_alloc const&) {
            EXPECT_LT(run.reports.size(), 100u) << "failed after reporting all";
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
