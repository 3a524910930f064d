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

// The arguments of an operation: "(null)" is the null pointer as a text, 'c' the character c.
using Args = std::vector<std::string>;
auto const Text = [](std::string const& arg) { return arg == "(null)" ? nullptr : arg.c_str(); };
auto const IsChar = [](std::string const& arg) {
    return arg.size() == 3 && arg[0] == '\'' && arg[2] == '\'';
};
auto const N = [](std::string const& arg) { return std::stoul(arg); };
auto const Str = [](auto value) { return std::to_string(value); };

// The operations of data/qvstr_ops.txt: each gives its result as a text.
std::map<std::string, std::function<std::string(QvStr&, Args const&)>> const kOps = {
    // clang-format off
    {"At", [](QvStr& s, Args const& a) { return std::string(1, std::as_const(s)[N(a[0])]); }},
    {"Mid", [](QvStr& s, Args const& a) { return bytes(a.size() == 1 ? s.Mid(N(a[0])) : s.Mid(N(a[0]), N(a[1]))); }},
    {"Left", [](QvStr& s, Args const& a) { return bytes(s.Left(N(a[0]))); }},
    {"Right", [](QvStr& s, Args const& a) { return bytes(s.Right(N(a[0]))); }},
    {"SpanIncluding", [](QvStr& s, Args const& a) { return bytes(s.SpanIncluding(Text(a[0]))); }},
    {"SpanExcluding", [](QvStr& s, Args const& a) { return bytes(s.SpanExcluding(Text(a[0]))); }},
    {"Find", [](QvStr& s, Args const& a) { return Str(IsChar(a[0]) ? (a.size() == 1 ? s.Find(a[0][1]) : s.Find(a[0][1], N(a[1]))) : (a.size() == 1 ? s.Find(Text(a[0])) : s.Find(Text(a[0]), N(a[1])))); }},
    {"ReverseFind", [](QvStr& s, Args const& a) { return Str(s.ReverseFind(a[0][0])); }},
    {"Insert", [](QvStr& s, Args const& a) { return Str(IsChar(a[1]) ? s.Insert(N(a[0]), a[1][1]) : s.Insert(N(a[0]), Text(a[1]))); }},
    {"Delete", [](QvStr& s, Args const& a) { return Str(s.Delete(N(a[0]), N(a[1]))); }},
    {"GetBufferSetLength", [](QvStr& s, Args const& a) { return Str(s.GetBufferSetLength(N(a[0])) != nullptr); }},
    {"MakeReverse", [](QvStr& s, Args const&) { return s.MakeReverse(), ""s; }},
    {"MakeUpper", [](QvStr& s, Args const&) { return s.MakeUpper(), ""s; }},
    {"MakeLower", [](QvStr& s, Args const&) { return s.MakeLower(), ""s; }},
    {"Replace", [](QvStr& s, Args const& a) { return Str(IsChar(a[0]) ? s.Replace(a[0][1], a[1][1]) : s.Replace(Text(a[0]), Text(a[1]))); }},
    {"Remove", [](QvStr& s, Args const& a) { return Str(IsChar(a[0]) ? s.Remove(a[0][1]) : s.Remove(Text(a[0]))); }},
    {"Equals", [](QvStr& s, Args const& a) { return Str(s == Text(a[0])) + Str(s != Text(a[0])); }},
    {"CompareNoCase", [](QvStr& s, Args const& a) { int o = s.CompareNoCase(Text(a[0])); return Str((o > 0) - (o < 0)); }},
    {"Match", [](QvStr& s, Args const& a) { return Str(s.Match(a[0].c_str(), a[1].c_str())); }},
    {"Parse", [](QvStr& s, Args const& a) { unsigned char d[16]; std::memset(d, 0xA5, 16); return Str(s.NumericParse(d, a[0][0])) + ":" + testutil::toHex(d, 16); }},
    // clang-format on
};

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
