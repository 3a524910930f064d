// icv_writer on a file larger than 4 GiB: slow, labelled so, and run by CI.
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli_util.h"

namespace {

// Larger than 4 GiB, so sizes and offsets must be 64-bit; reference from rhash.
TEST(WriterLargeFile, SparseFileLargerThanFourGibibytes) {
    testutil::TempDir dir;
    testutil::RunOptions options;
    options.cwd = dir.path();
    options.timeoutSeconds = 1200;  // slow under the sanitizers, but never hung
    std::string const path = dir / "big";
    dir.write("big", "");
    ASSERT_EQ(truncate(path.c_str(), (4ll << 30) + 1), 0);
    auto r = testutil::run(ICV_WRITER_PATH, {"-Fbig"}, options);
    EXPECT_EQ(r.out,
              "big=#GOST3411_256_2012:"
              "d4e58dedd5a05e4512bc1aba1d9f8542a0d83af191112893d632e12c93245f1e\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
