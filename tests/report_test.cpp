// The ways the tools report a failure that no command line can provoke.
#include "frontend/report.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(Report, UnknownExceptionsAndUnsignedErrorCodesHaveTheirExactLines) {
    std::ostringstream captured;
    std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
    int a = frontend::RunReportingFailures([]() -> int { throw 42; });
    int b = frontend::RunReportingFailures(
        []() -> int { throw HashFileChecker::FileIOException("", "x", 0xFFFFFFFFu); });
    int c = frontend::RunReportingFailures([] { return 7; });
    std::cerr.rdbuf(old);
    EXPECT_EQ(captured.str(), "Unhandled exception: ???\nFileIO Error: x\nFile-[] ErrCode-4294967295\n");
    EXPECT_EQ(a + b + c, 5);
}

}  // namespace
