// The progress line: shown at a terminal for runs over a second, erased
// before anything else is written; never shown otherwise.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "cli_util.h"

namespace {

// Digest of 2 GiB of zero bytes, from rhash --gost12-256.
std::string const kZeros2G = "05adf8b0653dfa889929bce8881e6de9d2d0087f3c77beea952e8381080ef61d";

class Progress : public ::testing::Test {
protected:
    testutil::TempDir dir;
    void SetUp() override {
        dir.write("big", "");
        ASSERT_EQ(truncate((dir / "big").c_str(), 2ll << 30), 0);
    }
    // Runs a command with both output streams on a pseudo-terminal, through script.
    std::string atTerminal(std::string const& command) {
        if (access("/usr/bin/script", X_OK) != 0) return "";
        testutil::RunOptions options;
        options.cwd = dir.path();
        options.timeoutSeconds = 600;
        auto r = testutil::run("/usr/bin/script", {"-qec", command, "/dev/null"}, options);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    // The typescript holds progress redraws, then the erase, then exactly `rest`.
    void expectProgressThen(std::string const& typescript, std::string const& rest) {
        std::string const erase = "\r\033[K";
        std::size_t end = typescript.rfind(erase);
        ASSERT_NE(end, std::string::npos) << "no progress shown";
        EXPECT_EQ(typescript.substr(end + erase.size()), rest);
        std::string shown = typescript.substr(0, end);
        EXPECT_EQ(shown.rfind("\r0 of 1 files, ", 0), 0u) << shown.substr(0, 80);
        EXPECT_NE(shown.find(" MB/s\033[K"), std::string::npos);
    }
};

TEST_F(Progress, ShownAtATerminalAndErasedBeforeTheResult) {
    if (access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
    // A terminal turns each newline into carriage return and newline.
    expectProgressThen(atTerminal(std::string(ICV_WRITER_PATH) + " -Fbig"),
                       "big=#GOST3411_256_2012:" + kZeros2G + "\r\n");
    dir.write("hashes", "big=#GOST3411_256_2012:" + kZeros2G + "\n");
    expectProgressThen(atTerminal(std::string(ICV_CHECK_PATH) + " hashes"),
                       "Processed: 1, Errors: 0, NotFound: 0, AccessDenied: 0\r\n");
}

TEST_F(Progress, NeverShownWhenStandardErrorIsNotATerminal) {
    testutil::RunOptions options;
    options.cwd = dir.path();
    options.timeoutSeconds = 600;
    auto r = testutil::run(ICV_WRITER_PATH, {"-Fbig"}, options);
    EXPECT_EQ(r.out, "big=#GOST3411_256_2012:" + kZeros2G + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
