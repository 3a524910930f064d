#include "util/qvstr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "test_util.h"

using namespace std::string_literals;

namespace {

using testutil::bytes;

// The arguments of an operation: "(null)" is the null pointer as a text.
using Args = std::vector<std::string>;
auto const Text = [](std::string const& arg) { return arg == "(null)" ? nullptr : arg.c_str(); };
auto const N = [](std::string const& arg) { return std::stoul(arg); };
auto const Str = [](auto value) { return std::to_string(value); };

// NumericParse into 16 bytes set to a5: its result, ":" and the 16 bytes.
std::string Parse(QvStr const& s, char type) {
    unsigned char bytes[16];
    std::memset(bytes, 0xA5, sizeof bytes);
    bool const ok = s.NumericParse(bytes, type);
    return Str(ok) + ":" + testutil::toHex(bytes, sizeof bytes);
}

// The operations of data/qvstr_ops.txt: each gives its result as a text.
#define OP(name, result)                                                                     \
    {                                                                                        \
        name, [](QvStr& s, [[maybe_unused]] Args const& a) -> std::string { return result; } \
    }
std::map<std::string, std::function<std::string(QvStr&, Args const&)>> const kOps = {
    // clang-format off
    OP("At", std::string(1, std::as_const(s)[N(a[0])])),
    OP("Mid", bytes(a.size() == 1 ? s.Mid(N(a[0])) : s.Mid(N(a[0]), N(a[1])))),
    OP("Left", bytes(s.Left(N(a[0])))),
    OP("Right", bytes(s.Right(N(a[0])))),
    OP("SpanIncluding", bytes(s.SpanIncluding(Text(a[0])))),
    OP("SpanExcluding", bytes(s.SpanExcluding(Text(a[0])))),
    OP("Find", Str(a.size() == 1 ? s.Find(Text(a[0])) : s.Find(Text(a[0]), N(a[1])))),
    OP("FindChar", Str(a.size() == 1 ? s.Find(a[0][0]) : s.Find(a[0][0], N(a[1])))),
    OP("ReverseFind", Str(s.ReverseFind(a[0][0]))),
    OP("Insert", Str(s.Insert(N(a[0]), Text(a[1])))),
    OP("InsertChar", Str(s.Insert(N(a[0]), a[1][0]))),
    OP("Delete", Str(s.Delete(N(a[0]), N(a[1])))),
    OP("GetBufferSetLength", Str(s.GetBufferSetLength(N(a[0])) != nullptr)),
    OP("MakeReverse", (s.MakeReverse(), "")),
    OP("MakeUpper", (s.MakeUpper(), "")),
    OP("MakeLower", (s.MakeLower(), "")),
    OP("Replace", Str(s.Replace(Text(a[0]), Text(a[1])))),
    OP("ReplaceChar", Str(s.Replace(a[0][0], a[1][0]))),
    OP("Remove", Str(s.Remove(Text(a[0])))),
    OP("RemoveChar", Str(s.Remove(a[0][0]))),
    OP("Equals", Str(s == Text(a[0])) + Str(s != Text(a[0]))),
    OP("CompareNoCase", Str((s.CompareNoCase(Text(a[0])) > 0) - (s.CompareNoCase(Text(a[0])) < 0))),
    OP("Match", Str(s.Match(a[0].c_str(), a[1].c_str()))),
    OP("Parse", Parse(s, a[0][0])),
    // clang-format on
};
#undef OP

}  // namespace

TEST(QvStr, OperationsFollowTheTable) {
    for (auto const& row : testutil::readRows("qvstr_ops.txt")) {
        QvStr s(row[0].data(), row[0].size());
        auto const eq = std::find(row.begin(), row.end(), "=");
        std::string const result = kOps.at(row[1])(s, Args(row.begin() + 2, eq)), text = bytes(s);
        EXPECT_EQ(Args({result, text, std::string(1, static_cast<char const*>(s)[s.GetLength()])}),
                  Args({eq[1], eq[2], "\0"s}))
            << row[0] << " " << row[1];
    }
}

// Counted texts are NUL-padded, and a copy keeps the whole length.
TEST(QvStr, ConstructionImplicitFromNumbersAndConcatenation) {
    QvStr const ab("ab"), zero = 0, answer = 42, letter = 'c', half = 2.5, big = 4294967295u;
    std::pair<QvStr, std::string> const rows[] = {// clang-format off
        {zero, "0"}, {answer, "42"}, {letter, "c"}, {half, "2.5"}, {big, "4294967295"},
        {QvStr(0.1), "0.1"}, {QvStr(1.0 / 3), "0.3333333333333333"}, {QvStr(1e20), "1e+20"},
        {QvStr(-0.0), "-0"}, {ab + "cd", "abcd"}, {ab + 'c', "abc"}, {ab + 1, "ab1"},
        {ab + 0.5, "ab0.5"}, {ab + 7u, "ab7"}, {"x" + ab, "xab"}, {'x' + ab, "xab"},
        {1.5 + ab, "1.5ab"}, {QvStr() + ab, "ab"}, {QvStr(nullptr), ""}, {QvStr('\0'), "\0"s},
        {QvStr("abc", 0), ""}, {QvStr("abc", 5), "abc\0\0"s}, {QvStr(QvStr("abc", 5)), "abc\0\0"s}};
    // clang-format on
    for (auto const& [s, want] : rows) EXPECT_EQ(bytes(s), want);
}
