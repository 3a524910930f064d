// Both command-line tools end to end, one table (data/cli_rows.txt): arguments,
// files, exact stdout, stderr and exit status of the real binaries. The progress
// line from its counts, another (data/progress_rows.txt). The Slow tests, on a
// sparse file larger than 4 GiB, are labelled slow.
#include <gtest/gtest.h>
#include <sched.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli_util.h"
#include "frontend/line_output.h"
#include "frontend/output_calls.h"
#include "frontend/progress.h"
#include "frontend/whole_output.h"
#include "test_util.h"

namespace {

// The texts data/cli_rows.txt names in braces, digests from the sources it gives.
#define TAG "#GOST3411_256_2012:"
#define ABC "4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481"
std::map<std::string, std::string> const kNames = {
    {"TAG", TAG}, {"ABC", ABC}, {"LINE", "=" TAG ABC "\n"},
    {"MD5", "900150983cd24fb0d6963f7d28e17f72"},
    {"EMPTY", "3f539a213e97c802cc229d474c6aa32a825a360b2a933a949fd925208d9ce1bb"},
    {"G94", "b285056dbf18d7392d7677369524dd14747459ed8143997e163b2986f92fd42c"},
    {"FF", "\xff"}, {"VERSION", ICV_VERSION}, {"CWD", "\x01"},
    {"WRITER_USAGE", testutil::readFile(ICV_TEST_DATA_DIR "/writer_usage.txt")},
    {"CHECK_USAGE", testutil::readFile(ICV_TEST_DATA_DIR "/check_usage.txt")},
    {"TREE_USAGE", testutil::readFile(ICV_TEST_DATA_DIR "/tree_usage.txt")},
    {"EXPECTED", testutil::readFile(ICV_EXAMPLES_DIR "/expected.lst")}};

// A text with its {NAME}s and {N*TEXT}s replaced, TEXT itself expanded.
std::string expand(std::string text) {
    for (std::size_t at = 0; (at = text.find('{', at)) != std::string::npos;) {
        std::size_t end = at + 1;  // the brace that closes this one
        for (int depth = 1; (depth += (text[end] == '{') - (text[end] == '}')) > 0;) ++end;
        std::string const inner = text.substr(at + 1, end - at - 1), value = [&] {
            std::size_t const star = inner.find('*');
            if (star == std::string::npos || inner.find('{') < star) return kNames.at(inner);
            std::string repeated, one = expand(inner.substr(star + 1));
            for (auto n = std::stoul(inner); n > 0; --n) repeated += one;
            return repeated;
        }();
        text.replace(at, end + 1 - at, value);
        at += value.size();
    }
    return text;
}

// A run of one tool; how: DevFull, ClosedPipe, FileSizeLimit:BYTES, AppendedToOld, FullTmpfs,
// SmallAddressSpace, Unprivileged, InExamples, ListOnStdin, or "" (output captured).
struct Row {
    std::string program;
    std::vector<std::string> args;
    std::string list, out, err, how;  // list: written as "list" when not empty
    int status = 0;
};

std::vector<Row> readCliRows() {
    std::map<std::string, std::string Row::*> const texts = {
        {"list", &Row::list}, {"out", &Row::out}, {"err", &Row::err}, {"how", &Row::how}};
    std::vector<Row> rows;
    for (auto const& fields : testutil::readRows("cli_rows.txt")) {
        std::vector<std::string> words;
        std::string text;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            words.push_back(expand(fields[i]));
            text += (i > 1 ? " " : "") + words.back();
        }
        if (fields[0] == "W" || fields[0] == "C" || fields[0] == "T") {
            rows.emplace_back().args = words;
            rows.back().program = fields[0] == "W" ? ICV_WRITER_PATH : fields[0] == "C" ? ICV_CHECK_PATH : ICV_TREE_PATH;
        } else if (fields[0] == "status") {
            rows.back().status = std::stoi(text);
        } else {
            rows.back().*texts.at(fields[0]) = text;
        }
    }
    return rows;
}

void PrintTo(Row const& row, std::ostream* os) {
    for (auto const& arg : row.args) *os << '"' << arg.substr(0, 40) << "\" ";
}

class Cli : public ::testing::TestWithParam<Row> {};

TEST_P(Cli, PrintsExactlyWhatTheRowSays) {
    Row const& row = GetParam();
    testutil::TempDir dir;
    for (char const* name : {"a.txt", "a.txt\r", "sub/b.txt", "sub/e/c=d", "sub/f/new", "x=y", "b\xff.bin", "secret.txt"})
        dir.write(name, "abc");
    for (std::size_t size : {65535, 65536, 65537})
        dir.write("p" + std::to_string(size), testutil::patternMessage(size));
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644) | chmod((dir / "secret.txt").c_str(), 0) |
                  symlink("/a.txt", (dir / "sub/abs").c_str()) | symlink("../../a.txt", (dir / "sub/up").c_str()),
              0);
    if (!row.list.empty()) dir.write("list", row.list);

    testutil::RunOptions options;
    options.cwd = row.how == "InExamples" ? ICV_EXAMPLES_DIR : dir.path();
    options.argv0 = "icv";
    options.stdoutPath = row.how == "DevFull" ? "/dev/full" : "";
    options.stdoutToClosedPipe = row.how == "ClosedPipe";
    options.stdinPath = row.how == "ListOnStdin" ? dir / "list" : "";
    std::string why;
    if (row.how == "Unprivileged" && !testutil::asUnprivilegedUser(options, dir.path(), why))
        GTEST_SKIP() << why;
    if (row.how.rfind("FileSizeLimit:", 0) == 0) {
        options.wrapper = {"/usr/bin/prlimit", "--fsize=" + row.how.substr(14)};  // no file grows past it
        options.stdoutPath = dir / "out";  // a regular file
    }
    if (row.how == "FullTmpfs") {
        // A tmpfs of its own, filled up behind "out" (old\n); its content and blocks afterwards.
        if (testutil::run("/usr/bin/unshare", {"-rm", "mount", "-t", "tmpfs", "icv", dir.path()}).status)
            GTEST_SKIP() << "no tmpfs can be mounted (unshare -rm mount -t tmpfs)";
        options.wrapper = {"/usr/bin/unshare", "-rm", "/bin/sh", "-c",
                           "mkdir t && mount -t tmpfs -o size=64k icv t && echo old > t/out && "
                           "(cat /dev/zero > t/fill) 2>/dev/null; b=$(stat -c %b t/out); "
                           "\"$0\" \"$@\" >> t/out; s=$?; cat t/out; "
                           "[ $(stat -c %b t/out) = $b ] || echo blocks left; exit $s"};
    }
    if (row.how == "SmallAddressSpace") {
#if defined(ICV_TOOL_LAUNCHER) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "an emulator or a sanitizer needs more address space";
#endif
        options.wrapper = {"/usr/bin/prlimit", "--as=40000000"};  // thread arenas fail: ENOMEM
    }
    if (row.how == "AppendedToOld") {
        dir.write("out", "old\n");
        options.stdoutPath = dir / "out";
        options.appendStdout = true;
    }
    auto r = testutil::run(row.program, row.args, options);
    std::string out = row.out;  // {CWD}: the directory the tool runs in
    for (std::size_t at; (at = out.find('\x01')) != std::string::npos;) out.replace(at, 1, options.cwd);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, row.err);
    EXPECT_EQ(r.status, row.status);
}

INSTANTIATE_TEST_SUITE_P(Rows, Cli, ::testing::ValuesIn(readCliRows()));

// The progress display's line from its counts and seconds, one table (data/progress_rows.txt).
TEST(Progress, LineFromCountsAndSeconds) {
    for (auto const& fields : testutil::readRows("progress_rows.txt")) {
        frontend::ProgressCounts const counts = {std::stoul(fields.at(0)), std::stoul(fields.at(1)),
                                                 std::stoull(fields.at(2)), std::stoul(fields.at(3)),
                                                 std::stoull(fields.at(4))};
        std::string text;
        for (std::size_t i = 6; i < fields.size(); ++i) text += (i > 6 ? " " : "") + fields[i];
        char line[frontend::kProgressLineSize];
        frontend::ProgressLine(counts, std::stod(fields.at(5)), line);
        EXPECT_EQ(std::string(line), "\r" + text + "\033[K");
    }
}

// Many files on every core print exactly what one core prints, and two files
// side by side on a core what each prints alone.
TEST(CliParallel, EveryCoreWritesWhatOneCoreWrites) {
    testutil::TempDir dir;
    std::string list, hashes;
    for (int i = 0; i < 300; ++i) {
        std::string name = "f" + std::to_string(i);
        dir.write(name, testutil::patternMessage((i * 7919) % 65537));
        list += name + "\n";
        hashes += name + (i % 50 == 20 ? "=#X:0\n" : i % 3 ? "=#GOST3411_256_2012:0\n" : "=#MD5:0\n");
    }
    dir.write("sub/x", "");
    dir.write("good", list);
    dir.write("bad", list + "sub\ngone\n" + list);
    dir.write("hashes", hashes);
    dir.write("fatal", hashes + "sub=#MD5:0\n" + hashes);
    testutil::RunOptions one, all;
    one.cwd = all.cwd = dir.path();
    one.wrapper = {"/usr/bin/taskset", "-c", std::to_string(sched_getcpu())};
    for (auto [program, arg] : {std::pair{ICV_WRITER_PATH, "-Lgood"}, {ICV_WRITER_PATH, "-Lbad"},
                                {ICV_CHECK_PATH, "hashes"}, {ICV_CHECK_PATH, "fatal"}}) {
        auto single = testutil::run(program, {arg}, one);
        EXPECT_NE(single.out + single.err, "") << arg;
        for (int repeat = 0; repeat < 3; ++repeat) {
            auto parallel = testutil::run(program, {arg}, all);
            EXPECT_EQ(parallel.out + parallel.err + std::to_string(parallel.status),
                      single.out + single.err + std::to_string(single.status));
        }
    }
    auto const whole = testutil::run(ICV_WRITER_PATH, {"-Lgood"}, all);
    for (int i : {0, 1, 2, 150, 299}) {
        auto alone = testutil::run(ICV_WRITER_PATH, {"-Ff" + std::to_string(i)}, all);
        EXPECT_EQ(alone.status, 0);
        EXPECT_NE(whole.out.find(alone.out), std::string::npos) << alone.out;
    }
}

}  // namespace

// The output's reservation and writes, replaced: a filesystem that cannot
// reserve space, a call that fails, a signal sent at a call, short writes.
namespace {
struct {
    bool reserves;
    int failingCall, error;  // this call (reservations and writes, from 1) fails with error
    int signalAt, signal;    // this call first sends the signal to the process (0: none)
    std::size_t most;        // a write takes at most this many bytes (0: all)
    int calls;
} seam;

// -1 with errno set when this call fails.
int Call() {
    if (++seam.calls == seam.signalAt) kill(getpid(), seam.signal);
    return seam.calls == seam.failingCall ? (errno = seam.error, -1) : 0;
}
}  // namespace

int frontend::output_calls::reserve(int fd, off_t offset, off_t size) {
    if (Call() != 0) return -1;
    if (!seam.reserves) return errno = EOPNOTSUPP, -1;
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, size);
}
ssize_t frontend::output_calls::write(int fd, void const* data, std::size_t size) {
    return Call() != 0 ? -1 : ::write(fd, data, seam.most ? std::min(size, seam.most) : size);
}

namespace {

// Where the writer's list goes: its open flags (0: a pipe) and what it holds before.
struct OutputRow {
    char const* path;
    int flags;
    char const* before;
    int failingCall, error, signalAt;  // as the seam's; signalAt: each held signal in turn
    char const* after;   // its bytes afterwards, a last "=" standing for the whole list
    char const* result;  // the error, or "signal": the signal sent ended the writer
    std::size_t most = 0;
    bool lines = false;  // through icv_check's LineOutput, the last line left unflushed
};
int const kNew = O_CREAT | O_TRUNC, kAppend = O_CREAT | O_APPEND;
char const kNoSpace[] = "Write error on standard output: No space left on device";
OutputRow const kOutputRows[] = {
    {"out", kNew, nullptr, 0, 0, 0, "=", ""},     {"out", kNew, "old\n", 0, 0, 0, "=", ""},
    {"out", kAppend, nullptr, 0, 0, 0, "=", ""},  {"out", kAppend, "old\n", 0, 0, 0, "old\n=", ""},
    {"pipe", 0, nullptr, 0, 0, 0, "=", ""},  {"/dev/full", O_TRUNC, nullptr, 0, 0, 0, "", kNoSpace},
    {"limit", kAppend, "old\n", 0, 0, 0, "old\n", "Write error on standard output: File too large"},
    {"out", kAppend, "old\n", 3, ENOSPC, 0, "old\n", kNoSpace},  // the second write
    {"out", kAppend, "old\n", 1, EINTR, 0, "old\n=", ""},        // the reservation
    {"out", kAppend, "old\n", 0, 0, 1, "old\n=", "signal"},      // at the reservation
    {"out", kAppend, "old\n", 0, 0, 3, "old\n=", "signal"},      // at the second write
    {"pipe", 0, nullptr, 0, 0, 1, "=", "signal"},  {"pipe", 0, nullptr, 0, 0, 2, "=", "signal"},
    {"pipe", 0, nullptr, 0, 0, 0, "=", "", 3, true},  {"out", kNew, nullptr, 0, 0, 0, "=", "", 0, true},
    {"pipe", 0, nullptr, 2, ENOSPC, 0, "a=1\nb=2\n", "", 0, true},  // left, unreported
};

// The signals held while the list is written: all that end a process by default.
std::vector<int> TerminatingSignals() {
    std::set<int> const others = {SIGKILL, SIGSTOP, SIGCHLD, SIGCONT, SIGURG, SIGWINCH, SIGTSTP,
                                  SIGTTIN, SIGTTOU,
#if defined(__SANITIZE_THREAD__)
                                  32, 33,  // ThreadSanitizer's own thread takes the C library's two
#endif
#if defined(ICV_TOOL_LAUNCHER)  // the emulator keeps the fault signals and the last two for itself
                                  SIGILL, SIGFPE, SIGSEGV, SIGRTMAX - 1, SIGRTMAX,
#endif
    };
    std::vector<int> held;
    for (int sig = 1; sig <= SIGRTMAX; ++sig)
        if (!others.count(sig)) held.push_back(sig);
    return held;
}

// Three lines in three blocks, written in a child process through the seam,
// on a filesystem that reserves space and on one that cannot.
TEST(WholeOutput, EveryTargetGetsTheWholeListOrKeepsWhatItHad) {
    std::string const list = "a=1\nb=2\nc=3\n";
    for (bool reserves : {true, false}) {
        for (auto const& row : kOutputRows) {
            for (int sig : row.signalAt ? TerminatingSignals() : std::vector<int>{0}) {
                testutil::TempDir dir;
                std::string const name = row.path, path = name[0] == '/' ? name : dir / name;
                if (row.before) dir.write(name, row.before);
                int piped[2], said[2];
                ASSERT_EQ(pipe(piped) | pipe(said), 0);
                if (fork() == 0) {
                    int const fd = row.flags ? open(path.c_str(), O_WRONLY | row.flags, 0644) : piped[1];
                    struct rlimit const limit = {8, 8};  // no file grows past 8 bytes
                    if (name == "limit") setrlimit(RLIMIT_FSIZE, &limit);
                    signal(SIGXFSZ, SIG_IGN);
                    if (sig) signal(sig, SIG_DFL);
                    prctl(PR_SET_DUMPABLE, 0);  // no core files
                    seam = {reserves, row.failingCall, row.error, row.signalAt, sig, row.most, 0};
                    std::string error;
                    try {
                        if (row.lines) {
                            frontend::LineOutput out(fd);
                            out.write(list.data(), 8).flush() << list.substr(8);  // left to the destructor
                        } else {
                            frontend::WriteWholeOutput(fd, list.size(), [&](frontend::Sink const& sink) {
                                for (std::size_t line = 0; line < 3; ++line) sink(list.data() + 4 * line, 4);
                            });
                        }
                    } catch (std::exception const& e) {
                        error = e.what();
                    }
                    _exit(::write(said[1], error.data(), error.size()) < 0);
                }
                close(piped[1]);
                close(said[1]);
                int status = 0;
                wait(&status);
                std::string after = row.after, result = testutil::readFd(said[0]);
                std::string written = testutil::readFd(piped[0]);
                if (WIFSIGNALED(status)) result = "signal " + std::to_string(WTERMSIG(status));
                if (!after.empty() && after.back() == '=') after.replace(after.size() - 1, 1, list);
                if (row.flags) written = name[0] == '/' ? "" : testutil::readFile(path);
                std::string const expected = sig ? "signal " + std::to_string(sig) : row.result;
                EXPECT_EQ(written + " / " + result, after + " / " + expected)
                    << name << row.flags << reserves << " call " << row.signalAt << row.failingCall;
            }
        }
    }
}

// Digest of 4 GiB + 1 zero bytes, from rhash --gost12-256.
std::string const kBig =
    "big=#GOST3411_256_2012:d4e58dedd5a05e4512bc1aba1d9f8542a0d83af191112893d632e12c93245f1e";

// Sizes and offsets must be 64-bit; no progress when standard error is no
// terminal. At a terminal: a finding first, then the progress line (percent
// of the bytes, speed, time left, files), erased
// before the summary.
TEST(Slow, FileLargerThanFourGibibytesAndProgressAtATerminal) {
    testutil::TempDir dir;
    testutil::RunOptions options;
    dir.write("big", "");
    ASSERT_EQ(truncate((dir / "big").c_str(), (4ll << 30) + 1), 0);
    options.cwd = dir.path();
    options.timeoutSeconds = 1200;  // slow under the sanitizers, but never hung
    auto r = testutil::run(ICV_WRITER_PATH, {"-Fbig"}, options);
    EXPECT_EQ(r.out + r.err + std::to_string(r.status), kBig + "\n0");

    if (access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
    dir.write("small", "x");
    dir.write("hashes", "small=#MD5:00000000000000000000000000000000\n" + kBig + "\n");
    r = testutil::run("/usr/bin/script", {"-qec", std::string(ICV_CHECK_PATH) + " hashes", "/dev/null"},
                      options);
    // A terminal turns each newline into carriage return and newline; md5sum of "x".
    std::string const finding = "File changed: small [#MD5:9dd4e461268c8034f5c8564e155c67a6].\r\n";
    std::string const erase = "\r\033[K";
    ASSERT_EQ(r.out.rfind(finding, 0), 0u) << r.out.substr(0, 200);
    std::size_t end = r.out.rfind(erase);
    ASSERT_NE(end, std::string::npos) << "no progress shown";
    EXPECT_EQ(r.out.substr(end + erase.size()),
              "Processed: 2, Errors: 1, NotFound: 0, AccessDenied: 0\r\n");
    // The first redraw: the big file's size in the total as soon as it is open.
    std::string const first = r.out.substr(finding.size(), r.out.find("\033[K") - finding.size());
    int percent = -1, parsed = 0;
    std::sscanf(first.c_str(), "\r%3d%% of 4.3 GB, %*f %*[kMGB]/s, %*u:%*u left, 1 of 2 files%n",
                &percent, &parsed);
    EXPECT_TRUE(parsed == static_cast<int>(first.size()) && percent >= 0 && percent <= 100) << first;
}

}  // namespace
