// Both command-line tools end to end, one table: arguments, files, exact
// stdout, stderr and exit status of the real binaries. The Slow tests, on a
// sparse file larger than 4 GiB, are labelled slow.
#include <gtest/gtest.h>
#include <sched.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>

#include <cstdio>
#include <string>
#include <vector>

#include "cli_util.h"
#include "frontend/output_calls.h"
#include "frontend/whole_output.h"
#include "test_util.h"

namespace {

using namespace std::string_literals;

// Digests: the empty input's from the standard, MD5 of "abc" from RFC 1321,
// the others from rhash --gost12-256, --gost94-cryptopro and md5sum.
#define TAG "#GOST3411_256_2012:"
#define EMPTY "3f539a213e97c802cc229d474c6aa32a825a360b2a933a949fd925208d9ce1bb"
#define ABC "4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481"
#define ABC_MD5 "900150983cd24fb0d6963f7d28e17f72"
#define ABC_GOST94 "b285056dbf18d7392d7677369524dd14747459ed8143997e163b2986f92fd42c"
#define LINE "=" TAG ABC "\n"

std::string ioError(std::string const& message, std::string const& file, int code) {
    return "FileIO Error: " + message + "\nFile-[" + file + "] ErrCode-" + std::to_string(code) + "\n";
}
std::string summary(int p, int e, int n, int a) {
    return "Processed: " + std::to_string(p) + ", Errors: " + std::to_string(e) +
           ", NotFound: " + std::to_string(n) + ", AccessDenied: " + std::to_string(a) + "\n";
}
std::string const kWriterUsage =
    "Calculates hash of files\nUsage:\nicv -L<FileList file name> [> outfile]\nor\nicv "
    "-F[DestPath/]FileName.ext[=SourcePath/FileName.ext] [> outfile]\nAll abnormal events are "
    "logged to cerr\nFile names (with Destination paths) and corresponding hash values\nare "
    "printed to cout.\nFileList format:\n    [DestPath/]FileName.ext[=SourcePath/FileName.ext]\n"
    "    ...\nreturn codes:\n    0 - OK.\n    1 - Invalid command line argument.\n"
    "   -1 - Error occured during execution.\n";
std::string const kCheckUsage =
    "Usage: icv [OPTION]... HASHLIST...\n"
    "Verifies the files of hash lists written by icv_writer; - reads a list from standard input.\n"
    "  --root=DIR        read every recorded name below DIR (a staged tree, a mounted image)\n"
    "  --ignore-missing  neither report nor fail for files that are not there\n"
    "  --quiet           print nothing when every file verifies\n"
    "  --status          print no findings and no summary: the exit status tells\n"
    "  --warn            report and skip each line that is not a well-formed record\n"
    "  --strict          as --warn, and such lines make the check fail (status 2)\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "return codes: 0 - all files match, 1 - invalid command line,\n"
    "  2 - a file changed, is missing or unreadable, 255 - error.\n";
std::string const kDeep = [] {  // a name that makes a line of exactly 4128 characters
    std::string name;
    while (name.size() < 4094) name += "d/";
    return name + "x";
}();
// Twelve missing files: the list that names them, or their lines.
std::string missing(bool list) {
    std::string text;
    for (int i = 1; i <= 12; ++i)
        text += list ? "gone" + std::to_string(i) + "=" ABC_MD5 "\n"
                     : "Warning: File not found: gone" + std::to_string(i) + ".\n";
    return text;
}
std::string const kLong = "HashList line 2 is longer than 4128 characters; it and the lines after it were not checked\n";

enum Tool { W, C };
enum Out { Captured, DevFull, ClosedPipe, SmallFileSizeLimit, AppendedToOld, SmallAddressSpace, Unprivileged, InExamples, ListOnStdin };

struct Row {
    Tool tool;
    std::vector<std::string> args;
    std::string list;  // written as "list" when not empty
    std::string out, err;
    int status;
    Out how = Captured;
};

// clang-format off
Row const kRows[] = {
    // Command lines.
    {W, {}, "", "", kWriterUsage, 1}, {W, {"-Fa", "-Fb"}, "", "", kWriterUsage, 1},
    {W, {"a.txt"}, "", "", kWriterUsage, 1}, {W, {"-f"}, "", "", kWriterUsage, 1},
    {C, {}, "", "", kCheckUsage, 1}, {C, {"--bogus", "list"}, "x", "", kCheckUsage, 1},
    {W, {"-F"}, "", "", ioError("File name is empty", "", 0), 255},
    {C, {""}, "", "", ioError("File name is empty", "", 0), 255},
    // Entries: the name recorded, the file read.
    {W, {"-F/opt/x/bin/a.txt"}, "", "/opt/x/bin/a.txt" LINE, "", 0},
    {W, {"-Fbin/a.txt=sub/b.txt"}, "", "bin/a.txt" LINE, "", 0},
    {W, {"-F=sub/b.txt"}, "", LINE, "", 0},
    {W, {"-Fa.txt=x=y"}, "", "a.txt" LINE, "", 0},
    {W, {"-F" + std::string(20000, 'n') + "=a.txt"}, "", std::string(20000, 'n') + LINE, "", 0},
    {W, {"-Fnull=/dev/null"}, "", "null=" TAG EMPTY "\n", "", 0},
    {W, {"-Fp65535"}, "", "p65535=" TAG "74007db1a63180b6a0d9769d37a75e4e3e9c2845a0de56021e634cea40690013\n", "", 0},
    {W, {"-Fp65536"}, "", "p65536=" TAG "4179d99095ccff6b02eb3b0c75b8c72f207ea89f12ca89f7fff2d63d89bee438\n", "", 0},
    {W, {"-Fp65537"}, "", "p65537=" TAG "2099885761308e1cba05f08a3157d1ad7c208768d9bff46e3c9a77e2a694d834\n", "", 0},
    {W, {"-Fbin/missing.txt"}, "", "", ioError("Can`t open File for reading.", "missing.txt", 2), 255},
    {W, {"-Fa.txt="}, "", "", ioError("Can`t open File for reading.", "", 2), 255},
    {W, {"-Fsub"}, "", "", ioError("File read error", "sub", 21), 255},
    {W, {"-Ffifo"}, "", "", ioError("File read error", "fifo", 29), 255},
    {W, {"-Fa\nb=a.txt"}, "", "", "Error: The name to record contains a line break; a hash list holds one name a line\n", 255},
    {W, {"-F[x]=a.txt"}, "", "", "Error: The name to record begins with '['; every check skips such a line\n", 255},
    {W, {"-Llist"}, "a.txt\n[x]\n", "", "Error: The name to record begins with '['; every check skips such a line\n", 255},
    // File lists.
    {W, {"-Llist"}, "\n\na.txt\n\n\nx/a.txt\r\nb/a.txt", "a.txt" LINE "x/a.txt\r" LINE "b/a.txt" LINE, "", 0},
    {W, {"-Llist"}, "a.txt\0junk\n\0hidden\nb\xff.bin\n"s, "a.txt" LINE "b\xff.bin" LINE, "", 0},
    {W, {"-Llist"}, std::string(8186, 'd') + "=a.txt\n", std::string(8186, 'd') + LINE, "", 0},
    {W, {"-Llist"}, "a.txt\n" + std::string(8193, 'd') + "\nmissing\n", "a.txt" LINE, "", 0},
    {W, {"-Llist"}, "a.txt\nmissing.txt\na.txt\n", "", ioError("Can`t open File for reading.", "missing.txt", 2), 255},
    {W, {"-Llist"}, "a.txt\n   \n", "", ioError("Can`t open File for reading.", "   ", 2), 255},
    {W, {"-Llist"}, "\n\n", "", ioError("No files to process", "", 0), 255},
    {W, {"-Lsub"}, "", "", ioError("File List read error.", "sub", 21), 255},
    {W, {"-Lmissing.lst"}, "", "", ioError("Can`t open File List file for reading.", "missing.lst", 2), 255},
    {W, {"-Llist"}, "list\n", "list=" TAG "bc7e5160713070b8570ac483ed80efb2f5818f53f6d43a85ffc7cf0e309ade0a\n", "", 0},
    // Hash lists: every algorithm and form of a stored digest.
    {C, {"list"}, "a.txt=#MD5:" ABC_MD5 "\na.txt=$MD5:900150983CD24FB0D6963F7D28E17F72\na.txt=" ABC_MD5
        "\na.txt=#GOST3411_RFC4357:" ABC_GOST94 "\na.txt=$GOST3411_256_2012:" ABC "\na.txt=" ABC
        "\n[section]\n\n" + "b\xff.bin=" ABC_MD5 "\0junk"s + "\n",
     "", summary(7, 0, 0, 0), 0},
    {C, {"list"}, "a.txt=#MD5:00000000000000000000000000000000\ngone.txt=" ABC_MD5 "\nd.txt=#SHA256:00\n"
        "a.txt=y=z\n=abc\na.txt=\na.txt=" ABC_MD5 "\r\nb/a.txt=#MD5:" ABC_MD5 "\n",
     "File changed: a.txt [#MD5:" ABC_MD5 "].\nWarning: File not found: gone.txt.\n"
     "Can't create hash calculator for d.txt [#SHA256:00].\nCan't create hash calculator for a.txt [y=z].\n"
     "Can't create hash calculator for  [abc].\nCan't create hash calculator for a.txt [].\n"
     "Can't create hash calculator for a.txt [" ABC_MD5 "\r].\nWarning: File not found: b/a.txt.\n",
     summary(3, 6, 2, 0), 2},
    {C, {"list"}, "a.txt=" ABC_MD5 "\nsub=" ABC_MD5 "\na.txt=0\n", "", ioError("File read error", "sub", 21), 255},
    {C, {"list"}, "a.txt/x=" ABC_MD5 "\n", "", ioError("Can`t open File for reading.", "a.txt/x", 20), 255},
    {C, {"list"}, "list=#MD5:00000000000000000000000000000000\n", "File changed: list [#MD5:7fbfa7b72234f75d3c36722e68480e02].\n", summary(1, 1, 0, 0), 2},
    {C, {"list"}, "a.txt=#MD5:" ABC_MD5 "\nno separator\n", "", ioError("HashList format error", "list", 0), 255},
    {C, {"gone"}, "", "", ioError("Can`t open HashList file for reading.", "gone", 2), 255},
    {C, {"list"}, kDeep + "=" ABC_MD5 "\n", "Warning: File not found: " + kDeep + ".\n", summary(1, 0, 1, 0), 2},
    // Never all good after checking less than the whole list.
    {C, {"list"}, "gone=" ABC "\n" + std::string(4129, 'l') + "\ngone=" ABC_MD5 "\n", "Warning: File not found: gone.\n", "Error: " + kLong, 255},
    {C, {"/dev/zero"}, "", "", "Error: HashList line 1 is longer than 4128 characters; it and the lines after it were not checked\n", 255},
    {C, {"list"}, "\n[only a comment]\n", "", "Error: HashList holds no records to check\n", 255},
    // Where memory is short, a missing file is still a missing file.
    {C, {"list"}, missing(true), missing(false), summary(12, 0, 12, 0), 2, SmallAddressSpace},
    // Outputs that fail, readers that leave.
    {W, {"-Fa.txt"}, "", "", "Error: Write error on standard output: No space left on device\n", 255, DevFull},
    {C, {"list"}, missing(true), "", "Error: Write error on standard output: No space left on device\n", 255, DevFull},
    {W, {"-Fa.txt"}, "", "", "", 128 + SIGPIPE, ClosedPipe},
    {C, {"list"}, "gone=" ABC_MD5 "\n", "", "", 128 + SIGPIPE, ClosedPipe},
    {W, {"-Fa.txt"}, "", "", "Error: Write error on standard output: File too large\n", 255, SmallFileSizeLimit},
    {W, {"-Fa.txt"}, "", "old\na.txt" LINE, "", 0, AppendedToOld},
    // Files that exist but cannot be read.
    {W, {"-Fsecret.txt"}, "", "", ioError("Can`t open File for reading.", "secret.txt", 13), 255, Unprivileged},
    {C, {"list"}, "secret.txt=" ABC_MD5 "\ngone.txt=" ABC_MD5 "\n",
     "Warning: File access denied: secret.txt.\nWarning: File not found: gone.txt.\n", summary(2, 0, 1, 1), 2, Unprivileged},
    // The shipped example, against a list made independently with rhash --gost12-256.
    {W, {"-Lfiles.lst"}, "", testutil::readFile(ICV_EXAMPLES_DIR "/expected.lst"), "", 0, InExamples},
    {C, {"tree.lst"}, "", "", summary(4, 0, 0, 0), 0, InExamples},
    // icv_check's options; several lists, one summary of the totals.
    {C, {"--help"}, "", kCheckUsage, "", 0}, {C, {"--version"}, "", "icv_check " ICV_VERSION "\n", "", 0},
    {C, {"--root", "sub", "list"}, "/b.txt=#MD5:" ABC_MD5 "\nb.txt=$MD5:" ABC_GOST94 "\nb=" ABC_MD5 "\n",
     "File changed: b.txt [#MD5:" ABC_MD5 "].\nWarning: File not found: b.\n", summary(3, 1, 1, 0), 2},
    {C, {"--root=a.txt", "list"}, "a.txt=" ABC_MD5 "\n", "", "Error: Can't use a.txt as the root: Not a directory\n", 255},
    {C, {"list", "-", "list"}, "gone=" ABC_MD5 "\n", "Warning: File not found: gone.\nWarning: File not found: gone.\n"
     "Warning: File not found: gone.\n", summary(3, 0, 3, 0), 2, ListOnStdin},
    {C, {"-"}, "a.txt=" ABC "0\nno separator\na.txt=0\n", "Can't create hash calculator for a.txt [" ABC "0].\n",
     ioError("HashList format error", "-", 0), 255, ListOnStdin},
    {C, {"list", "gone"}, "gone=" ABC_MD5 "\n", "", ioError("Can`t open HashList file for reading.", "gone", 2), 255},
    {C, {"list", "/dev/zero"}, "a.txt=" ABC_MD5 "\n", "", "Error: HashList /dev/zero line 1 is longer than 4128 "
     "characters; it and everything after it were not checked\n", 255},
    {C, {"--quiet", "list"}, "a.txt=" ABC_MD5 "\n", "", "", 0},
    {C, {"--quiet", "list"}, "gone=" ABC_MD5 "\n", "Warning: File not found: gone.\n", summary(1, 0, 1, 0), 2},
    {C, {"--status", "list"}, "a.txt=#MD5:" ABC "\ngone=" ABC_MD5 "\n", "", "", 2},
    {C, {"--status", "list"}, "gone=" ABC_MD5 "\nx\n", "", ioError("HashList format error", "list", 0), 255},
    {C, {"--ignore-missing", "list"}, "gone=" ABC_MD5 "\na.txt=" ABC_MD5 "\n", "", summary(1, 0, 0, 0), 0},
    {C, {"--ignore-missing", "list"}, "gone=" ABC_MD5 "\n", "", "Warning: No file of the hash lists was there to verify.\n", 2},
    {C, {"--warn", "list"}, "no separator\na.txt=" ABC_MD5 "\r\na.txt=#MD5:" ABC_MD5 " \na.txt=#MD5:" ABC
     "\na.txt=#SHA256:00\n[a.txt=" ABC_MD5 "\n[section]\na.txt=#GOST3411_RFC4357:" ABC_GOST94 "\n", "",
     "list:1: no '=' between name and digest\nlist:2: carriage return at the end of the line\nlist:3: digest is not "
     "hexadecimal\nlist:4: digest has 64 digits, its algorithm 32\nlist:5: unknown algorithm tag\nlist:6: begins "
     "with '[', so every check skips it\n" + summary(1, 0, 0, 0), 0},
    {C, {"--strict", "--quiet", "list"}, "a.txt=" ABC_MD5 "\nb=#MD5:abc\n", "", "list:2: digest has 3 digits, its "
     "algorithm 32\n" + summary(1, 0, 0, 0), 2},
};
// clang-format on

void PrintTo(Row const& row, std::ostream* os) {
    for (auto const& arg : row.args) *os << '"' << arg.substr(0, 40) << "\" ";
}

class Cli : public ::testing::TestWithParam<Row> {};

TEST_P(Cli, PrintsExactlyWhatTheRowSays) {
    Row const& row = GetParam();
    testutil::TempDir dir;
    for (char const* name : {"a.txt", "a.txt\r", "sub/b.txt", "x=y", "b\xff.bin", "secret.txt"})
        dir.write(name, "abc");
    for (std::size_t size : {65535, 65536, 65537})
        dir.write("p" + std::to_string(size), testutil::patternMessage(size));
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644) | chmod((dir / "secret.txt").c_str(), 0), 0);
    if (!row.list.empty()) dir.write("list", row.list);

    testutil::RunOptions options;
    options.cwd = row.how == InExamples ? ICV_EXAMPLES_DIR : dir.path();
    options.argv0 = "icv";
    options.stdoutPath = row.how == DevFull ? "/dev/full" : "";
    options.stdoutToClosedPipe = row.how == ClosedPipe;
    options.stdinPath = row.how == ListOnStdin ? dir / "list" : "";
    std::string why;
    if (row.how == Unprivileged && !testutil::asUnprivilegedUser(options, dir.path(), why))
        GTEST_SKIP() << why;
    if (row.how == SmallFileSizeLimit) {
        options.wrapper = {"/usr/bin/prlimit", "--fsize=64"};  // no file grows past 64 bytes
        options.stdoutPath = dir / "out";  // a regular file: nothing may reach it
    }
    if (row.how == SmallAddressSpace) {
#if defined(ICV_TOOL_LAUNCHER) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "an emulator or a sanitizer needs more address space";
#endif
        options.wrapper = {"/usr/bin/prlimit", "--as=40000000"};  // thread arenas fail: ENOMEM
    }
    if (row.how == AppendedToOld) {
        dir.write("out", "old\n");
        options.stdoutPath = dir / "out";
        options.appendStdout = true;
    }
    auto r = testutil::run(row.tool == W ? ICV_WRITER_PATH : ICV_CHECK_PATH, row.args, options);
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.err, row.err);
    EXPECT_EQ(r.status, row.status);
}

INSTANTIATE_TEST_SUITE_P(Rows, Cli, ::testing::ValuesIn(kRows));

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
    for (std::string program : {ICV_WRITER_PATH " -Lgood", ICV_WRITER_PATH " -Lbad",
                                ICV_CHECK_PATH " hashes", ICV_CHECK_PATH " fatal"}) {
        std::string arg = program.substr(program.find(' ') + 1);
        program.resize(program.find(' '));
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
// reserve space, a write that fails, and a signal between two calls.
namespace {
struct {
    bool reserves;
    int failingWrite;  // this write fails with ENOSPC (from 1; 0: none)
    int signalAt;      // SIGTERM arrives on reserving (1) or at the second write (2)
    int writes;
} seam;
}  // namespace

int frontend::output_calls::reserve(int fd, off_t offset, off_t size) {
    if (seam.signalAt == 1) raise(SIGTERM);
    if (!seam.reserves) return errno = EOPNOTSUPP, -1;
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, size);
}
ssize_t frontend::output_calls::write(int fd, void const* data, std::size_t size) {
    if (++seam.writes == seam.failingWrite) return errno = ENOSPC, -1;
    if (seam.writes == 2 && seam.signalAt == 2) raise(SIGTERM);
    return ::write(fd, data, size);
}

namespace {

// Where the writer's list goes: its open flags (0: a pipe) and what it holds before.
struct OutputRow {
    char const* path;
    int flags;
    char const* before;
    int failingWrite, signalAt;
    char const* after;   // its bytes afterwards, "=" standing for the whole list
    char const* result;  // the error, or the signal that ended the writer
};
int const kNew = O_CREAT | O_TRUNC, kAppend = O_CREAT | O_APPEND;
char const kNoSpace[] = "Write error on standard output: No space left on device";
OutputRow const kOutputRows[] = {
    {"out", kNew, nullptr, 0, 0, "=", ""},       {"out", kNew, "old\n", 0, 0, "=", ""},
    {"out", kAppend, nullptr, 0, 0, "=", ""},    {"out", kAppend, "old\n", 0, 0, "old\n=", ""},
    {"pipe", 0, nullptr, 0, 0, "=", ""},         {"/dev/full", O_TRUNC, nullptr, 0, 0, "", kNoSpace},
    {"limit", kAppend, "old\n", 0, 0, "old\n", "Write error on standard output: File too large"},
    {"out", kAppend, "old\n", 2, 0, "old\n", kNoSpace},
    {"out", kAppend, "old\n", 0, 1, "old\n=", "signal 15"},
    {"out", kAppend, "old\n", 0, 2, "old\n=", "signal 15"},
};

// Three lines in three blocks, written in a child process through the seam,
// on a filesystem that reserves space and on one that cannot.
TEST(WholeOutput, EveryTargetGetsTheWholeListOrKeepsWhatItHad) {
    std::string const list = "a=1\nb=2\nc=3\n";
    for (bool reserves : {true, false}) {
        for (auto const& row : kOutputRows) {
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
                seam = {reserves, row.failingWrite, row.signalAt, 0};
                std::string error;
                try {
                    frontend::WriteWholeOutput(fd, list.size(), [&](frontend::Sink const& sink) {
                        for (std::size_t line = 0; line < 3; ++line) sink(list.data() + 4 * line, 4);
                    });
                } catch (std::exception const& e) {
                    error = e.what();
                }
                _exit(::write(said[1], error.data(), error.size()) < 0);
            }
            close(piped[1]);
            close(said[1]);
            int status = 0;
            wait(&status);
            std::string after = row.after, result = testutil::readFd(said[0]), written = testutil::readFd(piped[0]);
            if (WIFSIGNALED(status)) result = "signal " + std::to_string(WTERMSIG(status));
            if (after.find('=') != std::string::npos) after.replace(after.find('='), 1, list);
            if (row.flags) written = name[0] == '/' ? "" : testutil::readFile(path);
            EXPECT_EQ(written + " / " + result, after + " / " + row.result) << name << row.flags << reserves;
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
