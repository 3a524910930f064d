// icv_check end to end, with lists written by icv_writer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli_util.h"

namespace {

using testutil::RunResult;

std::string summary(int processed, int errors, int notFound, int denied) {
    return "Processed: " + std::to_string(processed) + ", Errors: " + std::to_string(errors) +
           ", NotFound: " + std::to_string(notFound) + ", AccessDenied: " + std::to_string(denied) +
           "\n";
}

class Check : public ::testing::Test {
protected:
    testutil::TempDir dir;
    testutil::RunOptions inDir(std::string const& stdoutPath = "") {
        testutil::RunOptions options;
        options.cwd = dir.path();
        options.stdoutPath = stdoutPath;
        return options;
    }
    RunResult check(std::vector<std::string> const& args, testutil::RunOptions const& options) {
        return testutil::run(ICV_CHECK_PATH, args, options);
    }
    // A tree and its hash list, written by icv_writer.
    void writeListedTree() {
        dir.write("a.txt", "abc");
        dir.write("sub/b.txt", "bbb");
        dir.write("c.bin", std::string(70000, 'c'));
        dir.write("files", "a.txt\nsub/b.txt=sub/b.txt\nc.bin\n");
        auto w = testutil::run(ICV_WRITER_PATH, {"-Lfiles"}, inDir(dir / "hashes"));
        ASSERT_EQ(w.status, 0) << w.err;
    }
};

TEST_F(Check, AnythingButOneArgumentIsAUsageError) {
    for (auto const& args : std::vector<std::vector<std::string>>{{}, {"a", "b"}}) {
        auto r = check(args, inDir());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("Usage: ", 0), 0u) << r.err;
    }
}

TEST_F(Check, ListWrittenByTheWriterVerifies) {
    writeListedTree();
    auto r = check({"hashes"}, inDir());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, summary(3, 0, 0, 0));
    EXPECT_EQ(r.status, 0);
}

TEST_F(Check, ChangedMissingAndUnknownRecordsAreReportedInOrder) {
    writeListedTree();
    dir.write("a.txt", "abd");
    ASSERT_EQ(unlink((dir / "sub/b.txt").c_str()), 0);
    dir.write("hashes", testutil::readFile(dir / "hashes") + "d.txt=#SHA256:00\n");
    auto r = check({"hashes"}, inDir());
    // The new digest of "abd", as rhash --gost12-256 computes it.
    EXPECT_EQ(
        r.out,
        "File changed: a.txt "
        "[#GOST3411_256_2012:48e4504bfe64f9bb6f96c897e13bbc6a8b2abc7d8195d966245c05a236972a94].\n"
        "Warning: File not found: sub/b.txt.\n"
        "Can't create hash calculator for d.txt [#SHA256:00].\n");
    EXPECT_EQ(r.err, summary(3, 2, 1, 0));
    EXPECT_EQ(r.status, 2);
}

TEST_F(Check, BrokenHashListsEndTheRunWithStatus255) {
    dir.write("a.txt", "abc");
    dir.write("bad", "a.txt=#MD5:900150983cd24fb0d6963f7d28e17f72\nno separator here\n");
    struct {
        std::string list, err;
    } const cases[] = {
        {"bad", "FileIO Error: HashList format error\nFile-[bad] ErrCode-0\n"},
        {"gone", "FileIO Error: Can`t open HashList file for reading.\nFile-[gone] ErrCode-2\n"},
        {"", "FileIO Error: File name is empty\nFile-[] ErrCode-0\n"},
    };
    for (auto const& c : cases) {
        auto r = check({c.list}, inDir());
        EXPECT_EQ(r.out, "") << c.list;
        EXPECT_EQ(r.err, c.err) << c.list;
        EXPECT_EQ(r.status, 255) << c.list;
    }
}

TEST_F(Check, LostStandardOutputIsAnError) {
    dir.write("hashes", "gone.txt=#MD5:900150983cd24fb0d6963f7d28e17f72\n");
    auto r = check({"hashes"}, inDir("/dev/full"));
    EXPECT_EQ(r.err, "Error: Write error on standard output: No space left on device\n");
    EXPECT_EQ(r.status, 255);
}

TEST_F(Check, MissingAndUnreadableFilesAreToldApart) {
    testutil::RunOptions options = inDir();
    std::string why;
    if (!testutil::asUnprivilegedUser(options, dir.path(), why)) GTEST_SKIP() << why;
    dir.write("secret.txt", "abc");
    ASSERT_EQ(chmod((dir / "secret.txt").c_str(), 0), 0);
    dir.write("hashes",
              "secret.txt=#MD5:900150983cd24fb0d6963f7d28e17f72\n"
              "gone.txt=#MD5:900150983cd24fb0d6963f7d28e17f72\n");
    ASSERT_EQ(chmod((dir / "hashes").c_str(), 0644), 0);
    auto r = check({"hashes"}, options);
    EXPECT_EQ(r.out,
              "Warning: File access denied: secret.txt.\n"
              "Warning: File not found: gone.txt.\n");
    EXPECT_EQ(r.err, summary(2, 0, 1, 1));
    EXPECT_EQ(r.status, 2);
}

}  // namespace
