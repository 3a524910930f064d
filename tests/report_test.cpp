// The three ways the tools report a failure, and the output check.
#include "frontend/report.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <new>
#include <sstream>

namespace {

// Runs body through the reporter with standard error captured.
std::string reportOf(int& code, std::function<int()> const& body) {
    std::ostringstream captured;
    std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
    code = frontend::RunReportingFailures(body);
    std::cerr.rdbuf(old);
    return captured.str();
}

TEST(Report, EachKindOfFailureHasItsExactLines) {
    int code = 0;
    EXPECT_EQ(reportOf(code, [] { return 7; }), "");
    EXPECT_EQ(code, 7);

    EXPECT_EQ(reportOf(code,
                       []() -> int {
                           throw HashFileChecker::FileIOException("dir/f", "File read error", 5);
                       }),
              "FileIO Error: File read error\nFile-[dir/f] ErrCode-5\n");
    EXPECT_EQ(code, -1);

    EXPECT_EQ(reportOf(code, []() -> int { throw std::bad_alloc(); }), "Error: std::bad_alloc\n");
    EXPECT_EQ(code, -1);

    EXPECT_EQ(reportOf(code, []() -> int { throw 42; }), "Unhandled exception: ???\n");
    EXPECT_EQ(code, -1);
}

TEST(Report, ErrorCodeIsWrittenUnsigned) {
    int code = 0;
    EXPECT_EQ(
        reportOf(code,
                 []() -> int { throw HashFileChecker::FileIOException("", "x", 0xFFFFFFFFu); }),
        "FileIO Error: x\nFile-[] ErrCode-4294967295\n");
}

}  // namespace
