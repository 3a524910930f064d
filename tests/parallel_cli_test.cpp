// Runs on every core write exactly what a run on one core writes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "cli_util.h"
#include "test_util.h"

namespace {

using testutil::RunOptions;

class Parallel : public ::testing::Test {
protected:
    testutil::TempDir dir;
    // The same command on one core and on all of them; both results must agree.
    void expectSameOnOneAndAllCores(std::string const& program, std::string const& arg,
                                    int expectedStatus) {
        RunOptions one, all;
        one.cwd = all.cwd = dir.path();
        one.oneCore = true;
        auto single = testutil::run(program, {arg}, one);
        EXPECT_EQ(single.status, expectedStatus) << single.err;
        for (int repeat = 0; repeat < 3; ++repeat) {
            auto parallel = testutil::run(program, {arg}, all);
            EXPECT_EQ(parallel.out, single.out);
            EXPECT_EQ(parallel.err, single.err);
            EXPECT_EQ(parallel.status, single.status);
        }
    }
    // n files of 0 to 64 KiB, listed in the order of their numbers.
    std::string writeFiles(int n) {
        std::string list;
        for (int i = 0; i < n; ++i) {
            std::string name = "f" + std::to_string(i);
            dir.write(name, testutil::patternMessage((i * 7919) % 65537));
            list += "dest/" + name + "=" + name + "\n";
        }
        return list;
    }
};

TEST_F(Parallel, WriterListsEveryEntryInListOrder) {
    dir.write("list", writeFiles(300));
    expectSameOnOneAndAllCores(ICV_WRITER_PATH, "-Llist", 0);
}

TEST_F(Parallel, WriterReportsTheEarliestFailingEntry) {
    std::string const list = writeFiles(200);
    // The earliest failure comes after many good entries, more follow it.
    dir.write("sub/x", "");
    dir.write("list", list + "sub\ngone-1\n" + list + "gone-2\n");
    expectSameOnOneAndAllCores(ICV_WRITER_PATH, "-Llist", 255);
}

TEST_F(Parallel, CheckerReportsInRecordOrder) {
    dir.write("list", writeFiles(300));
    RunOptions options;
    options.cwd = dir.path();
    options.stdoutPath = dir / "hashes";
    ASSERT_EQ(testutil::run(ICV_WRITER_PATH, {"-Llist"}, options).status, 0);
    // Records read from the current directory: drop the destination part.
    std::string hashes = testutil::readFile(dir / "hashes"), local;
    for (std::size_t pos = 0; pos < hashes.size();) {
        std::size_t end = hashes.find('\n', pos);
        local += hashes.substr(pos + 5, end - pos - 5) + "\n";  // without "dest/"
        pos = end + 1;
    }
    dir.write("f10", "changed");
    ASSERT_EQ(std::remove((dir / "f20").c_str()), 0);
    dir.write("hashes", local + "x=#SHA1:0\n");
    expectSameOnOneAndAllCores(ICV_CHECK_PATH, "hashes", 2);

    // A file that cannot be read ends the check after the messages before it.
    dir.write("sub/x", "");
    std::size_t half = local.find('\n', local.size() / 2) + 1;
    dir.write("hashes", local.substr(0, half) + "sub=#MD5:0\n" + local);
    expectSameOnOneAndAllCores(ICV_CHECK_PATH, "hashes", 255);
}

}  // namespace
