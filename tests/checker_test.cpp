// The checker API: records against files, messages, counters and results.
#include <gtest/gtest.h>

#include <cctype>
#include <list>
#include <sstream>
#include <string>

#include "checker/hashfile_checker.h"
#include "cli_util.h"

namespace {

using HashFileChecker::FileHashPair;
using HashFileChecker::FileIOException;
using HashFileChecker::Statistics;

// Digests of "abc": standard or RFC 1321 values, and rhash --gost12-256.
std::string const kMd5 = "900150983cd24fb0d6963f7d28e17f72";
std::string const kGost94 = "b285056dbf18d7392d7677369524dd14747459ed8143997e163b2986f92fd42c";
std::string const kGost12 = "4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481";

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class Checker : public ::testing::Test {
protected:
    testutil::TempDir dir;
    std::ostringstream out;
    Statistics stats = {0, 0, 0, 0};

    void SetUp() override { dir.write("abc.txt", "abc"); }
    FileHashPair record(std::string const& name, std::string const& text) {
        return FileHashPair{name.empty() ? "" : dir / name, text, ""};
    }
    void expectCounts(unsigned processed, unsigned errors, unsigned notFound, unsigned denied) {
        EXPECT_EQ(stats.Processed, processed);
        EXPECT_EQ(stats.Errors, errors);
        EXPECT_EQ(stats.NotFound, notFound);
        EXPECT_EQ(stats.AccessDenied, denied);
    }
};

TEST_F(Checker, EveryAlgorithmAndFormOfAStoredDigestMatches) {
    std::list<FileHashPair> const records = {
        record("abc.txt", "#MD5:" + kMd5),
        record("abc.txt", "$MD5:" + upper(kMd5)),
        record("abc.txt", kMd5),
        record("abc.txt", "#GOST3411_RFC4357:" + kGost94),
        record("abc.txt", "#GOST3411_256_2012:" + upper(kGost12)),
        record("abc.txt", "$GOST3411_256_2012:" + kGost12),
        record("abc.txt", kGost12),
    };
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, true), 0);
    EXPECT_EQ(out.str(), "");
    expectCounts(7, 0, 0, 0);
    EXPECT_EQ(HashFileChecker::CheckFiles({}, out, &stats, false), 0);
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, nullptr, false), 0);
}

TEST_F(Checker, MissingFileIsAWarningUnlessStoppingOnErrors) {
    std::list<FileHashPair> const records = {record("gone.txt", kMd5), record("abc.txt", kMd5)};
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, false), 0);
    EXPECT_EQ(out.str(), "Warning: File not found: " + dir / "gone.txt" + ".\n");
    expectCounts(2, 0, 1, 0);

    out.str("");
    stats = {0, 0, 0, 0};
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, true), -3);
    EXPECT_EQ(out.str(), "Warning: File not found: " + dir / "gone.txt" + ".\n");
    expectCounts(1, 0, 1, 0);  // the second file was not looked at
}

TEST_F(Checker, ChangedFilesAndUnknownAlgorithmsAreErrors) {
    dir.write("changed.txt", "abd");
    std::list<FileHashPair> const records = {
        record("changed.txt", "#MD5:" + kMd5), record("abc.txt", "#SHA1:" + kMd5),
        record("abc.txt", "#MD5:" + kMd5.substr(1)),  // a known tag, too few digits
    };
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, &stats, false), -1);
    EXPECT_EQ(out.str(), "File changed: " + dir / "changed.txt" +
                             " [#MD5:4911e516e5aa21d327512e0c8b197616].\n" +
                             "Can't create hash calculator for " + dir / "abc.txt" +
                             " [#SHA1:" + kMd5 + "].\n" + "File changed: " + dir / "abc.txt" +
                             " [#MD5:" + kMd5 + "].\n");
    expectCounts(2, 3, 0, 0);

    out.str("");
    EXPECT_EQ(HashFileChecker::CheckFiles(records, out, nullptr, true), -1);
    EXPECT_EQ(out.str().find("Can't"), std::string::npos) << "stopped after the first error";
}

TEST_F(Checker, OtherFileFailuresLeaveTheCheck) {
    dir.write("sub/x", "");
    struct {
        std::string name, message;
        unsigned code;
    } const cases[] = {
        {"sub", "File read error", 21},                     // a directory cannot be read
        {"abc.txt/x", "Can`t open File for reading.", 20},  // not a directory
    };
    for (auto const& c : cases) {
        stats = {0, 0, 0, 0};
        std::list<FileHashPair> const records = {record(c.name, kMd5), record("abc.txt", kMd5)};
        try {
            HashFileChecker::CheckFiles(records, out, &stats, false);
            ADD_FAILURE() << c.name << " did not throw";
        } catch (FileIOException const& e) {
            EXPECT_EQ(e.Message, c.message);
            EXPECT_EQ(e.FileName, dir / c.name);
            EXPECT_EQ(e.ErrCode, c.code);
        }
        expectCounts(1, 0, 0, 0);
    }
    EXPECT_EQ(out.str(), "");
}

TEST_F(Checker, HashListLinesSplitAtTheFirstEqualsSign) {
    dir.write("x", "abc");
    dir.write("list",
              "[section\n\n" + dir / "x" + "=" + kMd5 + "\n" +  // matches
                  dir / "x" + "=y=z\n" + "=abc\n" + dir / "x" + "=\n" + dir / "x" +
                  "=#MD5:" + kMd5 + "\r\n" +  // carriage return kept
                  dir / "x" + "=" + kMd5 + "\r\n" + "[ignored]=\n" + std::string(4129, 'l') +
                  "=\nafter the long line=\n");
    int result = HashFileChecker::CheckFiles((dir / "list").c_str(), out, &stats);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(out.str(), "Can't create hash calculator for " + dir / "x" + " [y=z].\n" +
                             "Can't create hash calculator for  [abc].\n" +
                             "Can't create hash calculator for " + dir / "x" + " [].\n" +
                             "File changed: " + dir / "x" + " [#MD5:" + kMd5 + "].\n" +
                             "Can't create hash calculator for " + dir / "x" + " [" + kMd5 +
                             "\r].\n");
    expectCounts(2, 5, 0, 0);
}

TEST_F(Checker, HashListFailuresLeaveBeforeAnyFileIsRead) {
    dir.write("noequals", dir / "gone=" + kMd5 + "\nno separator\n");
    dir.write("sub/x", "");
    struct {
        std::string path, message;
        unsigned code;
    } const cases[] = {
        {dir / "noequals", "HashList format error", 0},
        {dir / "missing", "Can`t open HashList file for reading.", 2},
        {dir / "sub", "HashList read error.", 21},
        {"", "File name is empty", 0},
    };
    for (auto const& c : cases) {
        try {
            HashFileChecker::CheckFiles(c.path.c_str(), out, &stats);
            ADD_FAILURE() << c.path << " did not throw";
        } catch (FileIOException const& e) {
            EXPECT_EQ(e.Message, c.message) << c.path;
            EXPECT_EQ(e.FileName, c.path) << c.path;
            EXPECT_EQ(e.ErrCode, c.code) << c.path;
        }
    }
    EXPECT_THROW(HashFileChecker::CheckFiles(nullptr, out, &stats), FileIOException);
    EXPECT_EQ(out.str(), "");
    expectCounts(0, 0, 0, 0);
}

TEST_F(Checker, CalcHashGivesUpperCaseTaggedTextOrFalse) {
    std::string result = "untouched";
    EXPECT_TRUE(HashFileChecker::CalcHash(dir / "abc.txt", "#MD5:", result));
    EXPECT_EQ(result, "#MD5:" + upper(kMd5));
    EXPECT_TRUE(HashFileChecker::CalcHash(dir / "abc.txt", "$GOST3411_RFC4357:", result));
    EXPECT_EQ(result, "#GOST3411_RFC4357:" + upper(kGost94));
    EXPECT_TRUE(HashFileChecker::CalcHash(dir / "abc.txt", "no algorithm", result));
    EXPECT_EQ(result, "#GOST3411_256_2012:" + upper(kGost12));

    result = "untouched";
    EXPECT_FALSE(HashFileChecker::CalcHash(dir / "gone.txt", "#MD5:", result));
    EXPECT_FALSE(HashFileChecker::CalcHash(dir.path(), "#MD5:", result));
    EXPECT_EQ(result, "untouched");
}

}  // namespace
