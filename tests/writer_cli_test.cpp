// icv_writer end to end: exact stdout, stderr and exit status of the real binary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_util.h"
#include "test_util.h"

namespace {

using testutil::RunResult;
using testutil::TempDir;

std::string const kTag = "#GOST3411_256_2012:";
// Digests of known contents (the empty one from the standard, the others from
// rhash --gost12-256 over the same bytes).
std::string const kEmpty = "3f539a213e97c802cc229d474c6aa32a825a360b2a933a949fd925208d9ce1bb";
std::string const kAbc = "4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481";

std::string usage(std::string const& program) {
    return "Calculates hash of files\n"
           "Usage:\n" +
           program + " -L<FileList file name> [> outfile]\nor\n" + program +
           " -F[DestPath/]FileName.ext[=SourcePath/FileName.ext] [> outfile]\n"
           "All abnormal events are logged to cerr\n"
           "File names (with Destination paths) and corresponding hash values\n"
           "are printed to cout.\n"
           "FileList format:\n"
           "    [DestPath/]FileName.ext[=SourcePath/FileName.ext]\n"
           "    ...\n"
           "return codes:\n"
           "    0 - OK.\n"
           "    1 - Invalid command line argument.\n"
           "   -1 - Error occured during execution.\n";
}

std::string ioError(std::string const& message, std::string const& file, int code) {
    return "FileIO Error: " + message + "\nFile-[" + file + "] ErrCode-" + std::to_string(code) +
           "\n";
}

class Writer : public ::testing::Test {
protected:
    TempDir dir;
    RunResult run(std::vector<std::string> const& args, testutil::RunOptions options = {}) {
        options.cwd = dir.path();
        return testutil::run(ICV_WRITER_PATH, args, options);
    }
    void expect(RunResult const& r, std::string const& out, std::string const& err, int status,
                std::string const& what) {
        EXPECT_EQ(r.out, out) << what;
        EXPECT_EQ(r.err, err) << what;
        EXPECT_EQ(r.status, status) << what;
    }
};

TEST_F(Writer, BadCommandLinesPrintUsageWithTheProgramNameAsGiven) {
    std::vector<std::vector<std::string>> const cases = {
        {},          {"-Fa", "-Fb"}, {"-Fa", "x"}, {"a.txt"}, {"-f"},
        {"-lfiles"}, {"-"},          {"-X"},       {""},      {"F"},
    };
    for (auto const& args : cases) {
        testutil::RunOptions options;
        options.argv0 = "some/dir/icv";
        std::string what = "arguments:";
        for (auto const& a : args) what += " '" + a + "'";
        expect(run(args, options), "", usage("some/dir/icv"), 1, what);
    }
}

TEST_F(Writer, EmptyNamesAndMissingFilesAreReportedWithCode255) {
    struct {
        std::string arg, err;
    } const cases[] = {
        {"-F", ioError("File name is empty", "", 0)},
        {"-L", ioError("File name is empty", "", 0)},
        {"-Fmissing.txt", ioError("Can`t open File for reading.", "missing.txt", 2)},
        {"-Fbin/missing.txt", ioError("Can`t open File for reading.", "missing.txt", 2)},
        {"-Fa.txt=", ioError("Can`t open File for reading.", "", 2)},
        {"-Fbin/", ioError("Can`t open File for reading.", "", 2)},
        {"-Lmissing.lst", ioError("Can`t open File List file for reading.", "missing.lst", 2)},
    };
    for (auto const& c : cases) expect(run({c.arg}), "", c.err, 255, c.arg);
}

TEST_F(Writer, EntriesMapToPrintedNameAndSourceFile) {
    dir.write("a.txt", "abc");
    dir.write("build/a.bin", "abc");
    dir.write("x=y", "abc");
    struct {
        std::string entry, printed;
    } const cases[] = {
        {"a.txt", "a.txt"},
        {"bin/a.txt", "bin/a.txt"},  // read as a.txt from the current directory
        {"/opt/x/bin/a.txt", "/opt/x/bin/a.txt"},
        {"bin/a.txt=build/a.bin", "bin/a.txt"},
        {"=build/a.bin", ""},
        {"a.txt=x=y", "a.txt"},
    };
    for (auto const& c : cases)
        expect(run({"-F" + c.entry}), c.printed + "=" + kTag + kAbc + "\n", "", 0, c.entry);
}

TEST_F(Writer, FilesAreReadWholeAcrossBlockBoundaries) {
    struct {
        std::size_t size;
        std::string digest;
    } const cases[] = {
        {0, kEmpty},
        {65535, "74007db1a63180b6a0d9769d37a75e4e3e9c2845a0de56021e634cea40690013"},
        {65536, "4179d99095ccff6b02eb3b0c75b8c72f207ea89f12ca89f7fff2d63d89bee438"},
        {65537, "2099885761308e1cba05f08a3157d1ad7c208768d9bff46e3c9a77e2a694d834"},
    };
    for (auto const& c : cases) {
        dir.write("f.bin", testutil::patternMessage(c.size));
        expect(run({"-Ff.bin"}), "f.bin=" + kTag + c.digest + "\n", "", 0, std::to_string(c.size));
    }
}

TEST_F(Writer, FailureAnywhereInAListWritesNothing) {
    dir.write("a.txt", "abc");
    dir.write("list", "a.txt\nmissing.txt\na.txt\n");
    expect(run({"-Llist"}), "", ioError("Can`t open File for reading.", "missing.txt", 2), 255,
           "second entry missing");
}

TEST_F(Writer, FileListLinesAreEntriesAsWritten) {
    std::string const line = "=" + kTag + kAbc + "\n";
    dir.write("a.txt", "abc");
    dir.write("a.txt\r", "abc");
    dir.write(std::string(8192 - 6, 'd') + ".txt", "");
    struct {
        std::string list, out, err;
        int status;
        std::string what;
    } const cases[] = {
        {"\n\na.txt\n\n\nx/a.txt\n", "a.txt" + line + "x/a.txt" + line, "", 0, "blank lines"},
        {"a.txt\r\n", "a.txt\r" + line, "", 0, "carriage return kept"},
        {"a.txt\nb/a.txt", "a.txt" + line + "b/a.txt" + line, "", 0, "last line unterminated"},
        {"a.txt\na.txt\n", "a.txt" + line + "a.txt" + line, "", 0, "same file twice"},
        {"a.txt\n   \n", "", ioError("Can`t open File for reading.", "   ", 2), 255, "spaces"},
        {"\n\n", "", ioError("No files to process", "", 0), 255, "no entries"},
        {"", "", ioError("No files to process", "", 0), 255, "empty list"},
        {std::string(8192 - 6, 'd') + "=a.txt\n", std::string(8192 - 6, 'd') + line, "", 0,
         "8192 characters"},
        {"a.txt\n" + std::string(8193, 'd') + "\nmissing\n", "a.txt" + line, "", 0,
         "8193 characters end the list"},
    };
    for (auto const& c : cases) {
        dir.write("list", c.list);
        expect(run({"-Llist"}), c.out, c.err, c.status, c.what);
    }
}

TEST_F(Writer, ListThatIsADirectoryIsAReadError) {
    dir.write("sub/a.txt", "abc");
    expect(run({"-Lsub"}), "", ioError("File List read error.", "sub", 21), 255, "directory");
}

TEST_F(Writer, EntryLongerThanAnyLineIsPrintedWhole) {
    dir.write("a.txt", "abc");
    std::string const name(20000, 'n');
    expect(run({"-F" + name + "=a.txt"}), name + "=" + kTag + kAbc + "\n", "", 0, "long entry");
}

TEST_F(Writer, LostStandardOutputIsAnErrorNotSuccess) {
    dir.write("a.txt", "abc");
    testutil::RunOptions options;
    options.stdoutPath = "/dev/full";
    expect(run({"-Fa.txt"}, options), "",
           "Error: Write error on standard output: No space left on device\n", 255, "/dev/full");
}

// The shipped example, against a list made independently with rhash --gost12-256.
TEST(WriterExample, HashesTheShippedTreeAsExpected) {
    testutil::RunOptions options;
    options.cwd = ICV_EXAMPLES_DIR;
    auto r = testutil::run(ICV_WRITER_PATH, {"-Lfiles.lst"}, options);
    EXPECT_EQ(r.out, testutil::readFile(ICV_EXAMPLES_DIR "/expected.lst"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
