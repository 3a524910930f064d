// Long runs of the tools on a sparse file larger than 4 GiB: labelled slow.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "cli_util.h"

namespace {

// Digest of 4 GiB + 1 zero bytes, from rhash --gost12-256.
std::string const kBig =
    "big=#GOST3411_256_2012:d4e58dedd5a05e4512bc1aba1d9f8542a0d83af191112893d632e12c93245f1e";

class Slow : public ::testing::Test {
protected:
    testutil::TempDir dir;
    testutil::RunOptions options;
    void SetUp() override {
        dir.write("big", "");
        ASSERT_EQ(truncate((dir / "big").c_str(), (4ll << 30) + 1), 0);
        options.cwd = dir.path();
        options.timeoutSeconds = 1200;  // slow under the sanitizers, but never hung
    }
};

// Sizes and offsets must be 64-bit; no progress when standard error is no terminal.
TEST_F(Slow, FileLargerThanFourGibibytes) {
    auto r = testutil::run(ICV_WRITER_PATH, {"-Fbig"}, options);
    EXPECT_EQ(r.out + r.err + std::to_string(r.status), kBig + "\n0");
}

// At a terminal: a finding first, then the progress line, erased before the summary.
TEST_F(Slow, ProgressAtATerminalStepsAsideForEveryLine) {
    if (access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
    dir.write("small", "x");
    dir.write("hashes", "small=#MD5:00000000000000000000000000000000\n" + kBig + "\n");
    auto r = testutil::run("/usr/bin/script",
                           {"-qec", std::string(ICV_CHECK_PATH) + " hashes", "/dev/null"}, options);
    // A terminal turns each newline into carriage return and newline; md5sum of "x".
    std::string const finding = "File changed: small [#MD5:9dd4e461268c8034f5c8564e155c67a6].\r\n";
    std::string const erase = "\r\033[K";
    ASSERT_EQ(r.out.rfind(finding, 0), 0u) << r.out.substr(0, 200);
    std::size_t end = r.out.rfind(erase);
    ASSERT_NE(end, std::string::npos) << "no progress shown";
    EXPECT_EQ(r.out.substr(end + erase.size()),
              "Processed: 2, Errors: 1, NotFound: 0, AccessDenied: 0\r\n");
    EXPECT_EQ(r.out.find("\r1 of 2 files, "), finding.size()) << r.out.substr(0, 200);
    EXPECT_NE(r.out.find(" MB/s\033[K"), std::string::npos);
}

}  // namespace
