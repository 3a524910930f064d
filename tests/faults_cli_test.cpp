// What users see when inputs and outputs misbehave, from the real binaries.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli_util.h"

namespace {

using testutil::RunOptions;
using testutil::RunResult;

std::string const kTag = "#GOST3411_256_2012:";
// Digests from the standard (empty input) and from rhash --gost12-256.
std::string const kEmpty = "3f539a213e97c802cc229d474c6aa32a825a360b2a933a949fd925208d9ce1bb";
std::string const kAbc = "4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481";
std::string const kAbcMd5 = "900150983cd24fb0d6963f7d28e17f72";  // RFC 1321

std::string ioError(std::string const& message, std::string const& file, int code) {
    return "FileIO Error: " + message + "\nFile-[" + file + "] ErrCode-" + std::to_string(code) +
           "\n";
}

class Faults : public ::testing::Test {
protected:
    testutil::TempDir dir;
    void SetUp() override { dir.write("a.txt", "abc"); }
    RunOptions inDir() {
        RunOptions options;
        options.cwd = dir.path();
        return options;
    }
    RunResult writer(std::string const& arg, RunOptions options) {
        return testutil::run(ICV_WRITER_PATH, {arg}, options);
    }
    RunResult writer(std::string const& arg) { return writer(arg, inDir()); }
    RunResult check(std::string const& list, RunOptions options) {
        return testutil::run(ICV_CHECK_PATH, {list}, options);
    }
    RunResult check(std::string const& list) { return check(list, inDir()); }
    static void expect(RunResult const& r, std::string const& out, std::string const& err,
                       int status) {
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(r.status, status);
    }
};

TEST_F(Faults, SourcesThatAreNotRegularFiles) {
    dir.write("sub/x", "");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    // A directory cannot be read; a FIFO cannot be measured and must not block.
    expect(writer("-Fsub"), "", ioError("File read error", "sub", EISDIR), 255);
    expect(writer("-Ffifo"), "", ioError("File read error", "fifo", ESPIPE), 255);
    // A device that measures as empty hashes as the empty input.
    expect(writer("-Fnull=/dev/null"), "null=" + kTag + kEmpty + "\n", "", 0);
}

TEST_F(Faults, FileRemovedAfterTheListWasWritten) {
    dir.write("gone.txt", "abc");
    dir.write("list", "a.txt\ngone.txt\n");
    ASSERT_EQ(unlink((dir / "gone.txt").c_str()), 0);
    expect(writer("-Llist"), "", ioError("Can`t open File for reading.", "gone.txt", ENOENT), 255);
}

TEST_F(Faults, UnreadableFileIsPermissionDenied) {
    testutil::RunOptions options = inDir();
    std::string why;
    if (!testutil::asUnprivilegedUser(options, dir.path(), why)) GTEST_SKIP() << why;
    dir.write("secret.txt", "abc");
    ASSERT_EQ(chmod((dir / "secret.txt").c_str(), 0), 0);
    expect(writer("-Fsecret.txt", options), "",
           ioError("Can`t open File for reading.", "secret.txt", EACCES), 255);
}

TEST_F(Faults, ReaderThatGoesAwayIsAWriteError) {
    RunOptions options = inDir();
    options.stdoutToClosedPipe = true;
    std::string const err = "Error: Write error on standard output: Broken pipe\n";
    expect(writer("-Fa.txt", options), "", err, 255);
    dir.write("hashes", "a.txt=#MD5:00000000000000000000000000000000\n");
    expect(check("hashes", options), "", err, 255);
}

TEST_F(Faults, FileListsWithOddBytes) {
    std::string const odd = "b\xff\xfe.bin";  // not UTF-8
    dir.write(odd, "abc");
    std::string const line = "=" + kTag + kAbc + "\n";
    struct {
        std::string list, out, what;
    } const cases[] = {
        {std::string("a.txt\0junk\n\0hidden\n", 19) + odd + "\n", "a.txt" + line + odd + line,
         "NUL ends a line, invalid UTF-8 passes"},
        {"a.txt\n" + std::string(1 << 20, 'x') + "\n" + odd + "\n", "a.txt" + line,
         "a 1 MB line ends the list"},
        // rhash --gost12-256 of the five bytes "list\n".
        {"list\n",
         "list=" + kTag + "bc7e5160713070b8570ac483ed80efb2f5818f53f6d43a85ffc7cf0e309ade0a\n",
         "the list names itself"},
    };
    for (auto const& c : cases) {
        dir.write("list", c.list);
        auto r = writer("-Llist");
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_EQ(r.status, 0) << c.what << r.err;
    }
}

TEST_F(Faults, HundredThousandEntries) {
    std::string list;
    for (int i = 0; i < 100000; ++i) list += "a.txt\n";
    dir.write("list", list);
    std::string lines;
    for (int i = 0; i < 100000; ++i) lines += "a.txt=" + kTag + kAbc + "\n";
    expect(writer("-Llist"), lines, "", 0);

    std::string hashes;
    for (int i = 0; i < 100000; ++i) hashes += "a.txt=#MD5:" + kAbcMd5 + "\n";
    dir.write("hashes", hashes);
    expect(check("hashes"), "", "Processed: 100000, Errors: 0, NotFound: 0, AccessDenied: 0\n", 0);
}

TEST_F(Faults, HashListsWithOddBytes) {
    std::string const odd = "b\xff\xfe.bin";
    dir.write(odd, "abc");
    struct {
        std::string list, out, err;
        int status;
        std::string what;
    } const cases[] = {
        {std::string("a.txt=#MD5:") + kAbcMd5 + std::string("\0junk\n", 6) + odd + "=" + kAbcMd5 +
             "\n",
         "", "Processed: 2, Errors: 0, NotFound: 0, AccessDenied: 0\n", 0,
         "NUL ends a line, invalid UTF-8 passes"},
        {"a.txt=" + kAbcMd5 + "\n" + std::string(1 << 20, 'x') + "\nnothing here\n", "",
         "Processed: 1, Errors: 0, NotFound: 0, AccessDenied: 0\n", 0, "a 1 MB line ends the list"},
        // md5sum of the list's own 45 bytes.
        {"hashes=#MD5:00000000000000000000000000000000\n",
         "File changed: hashes [#MD5:468ff480b31d98c371e5c1402176ff25].\n",
         "Processed: 1, Errors: 1, NotFound: 0, AccessDenied: 0\n", 2, "the list names itself"},
    };
    for (auto const& c : cases) {
        dir.write("hashes", c.list);
        auto r = check("hashes");
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
        EXPECT_EQ(r.status, c.status) << c.what;
    }
}

}  // namespace
