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

// Every character of the length, NULs inside it included; the text is never a null pointer.
std::string Bytes(QvStr const& s) {
    char const* text = s;
    if (text == nullptr) ADD_FAILURE() << "null text";
    return std::string(text ? text : "", s.GetLength());
}

using Args = std::vector<std::string>;
char const* Text(std::string const& arg) {
    return arg == "(null)" ? nullptr : arg.c_str();
}
unsigned long N(std::string const& arg) {
    return std::stoul(arg);
}
template <class T>
std::string Str(T value) {
    return std::to_string(value);
}

// The operations of data/qvstr_ops.txt: each gives its result as a text.
std::map<std::string, std::function<std::string(QvStr&, Args const&)>> const kOps = {
    // clang-format off
    {"Counted", [](QvStr& s, Args const& a) { return Bytes(QvStr(s, N(a[0]))); }},
    {"Copy", [](QvStr& s, Args const&) { return Bytes(QvStr(s)); }},
    {"Assign", [](QvStr& s, Args const& a) { return Str((s = QvStr(a[0].data(), a[0].size())).GetLength()); }},
    {"AssignInt", [](QvStr& s, Args const& a) { return Str((s = std::stoi(a[0])).GetLength()); }},
    {"AppendChar", [](QvStr& s, Args const& a) { return Str((s += a[0][0]).GetLength()); }},
    {"SetLengthByBuffer", [](QvStr& s, Args const&) { return s.SetLengthByBuffer(), Str(s.GetLength()); }},
    {"SetAt", [](QvStr& s, Args const& a) { return std::string(1, s[N(a[0])] = a[1][0]); }},
    {"At", [](QvStr& s, Args const& a) { return std::string(1, std::as_const(s)[N(a[0])]); }},
    {"Mid", [](QvStr& s, Args const& a) { return Bytes(s.Mid(N(a[0]), N(a[1]))); }},
    {"MidFrom", [](QvStr& s, Args const& a) { return Bytes(s.Mid(N(a[0]))); }},
    {"Left", [](QvStr& s, Args const& a) { return Bytes(s.Left(N(a[0]))); }},
    {"Right", [](QvStr& s, Args const& a) { return Bytes(s.Right(N(a[0]))); }},
    {"SpanIncluding", [](QvStr& s, Args const& a) { return Bytes(s.SpanIncluding(Text(a[0]))); }},
    {"SpanExcluding", [](QvStr& s, Args const& a) { return Bytes(s.SpanExcluding(Text(a[0]))); }},
    {"Find", [](QvStr& s, Args const& a) { return Str(s.Find(Text(a[0]))); }},
    {"FindFrom", [](QvStr& s, Args const& a) { return Str(s.Find(Text(a[0]), N(a[1]))); }},
    {"FindChar", [](QvStr& s, Args const& a) { return Str(s.Find(a[0][0])); }},
    {"FindCharFrom", [](QvStr& s, Args const& a) { return Str(s.Find(a[0][0], N(a[1]))); }},
    {"ReverseFind", [](QvStr& s, Args const& a) { return Str(s.ReverseFind(a[0][0])); }},
    {"Insert", [](QvStr& s, Args const& a) { return Str(s.Insert(N(a[0]), Text(a[1]))); }},
    {"InsertChar", [](QvStr& s, Args const& a) { return Str(s.Insert(N(a[0]), a[1][0])); }},
    {"Delete", [](QvStr& s, Args const& a) { return Str(s.Delete(N(a[0]), N(a[1]))); }},
    {"GetBufferSetLength", [](QvStr& s, Args const& a) { return Str(s.GetBufferSetLength(N(a[0])) != nullptr); }},
    {"MakeReverse", [](QvStr& s, Args const&) { return s.MakeReverse(), ""s; }},
    {"MakeUpper", [](QvStr& s, Args const&) { return s.MakeUpper(), ""s; }},
    {"MakeLower", [](QvStr& s, Args const&) { return s.MakeLower(), ""s; }},
    {"Replace", [](QvStr& s, Args const& a) { return Str(s.Replace(Text(a[0]), Text(a[1]))); }},
    {"ReplaceChar", [](QvStr& s, Args const& a) { return Str(s.Replace(a[0][0], a[1][0])); }},
    {"Remove", [](QvStr& s, Args const& a) { return Str(s.Remove(Text(a[0]))); }},
    {"RemoveChar", [](QvStr& s, Args const& a) { return Str(s.Remove(a[0][0])); }},
    {"Equals", [](QvStr& s, Args const& a) { return Str(s == Text(a[0])); }},
    {"Differs", [](QvStr& s, Args const& a) { return Str(s != Text(a[0])); }},
    {"CompareNoCase", [](QvStr& s, Args const& a) { int o = s.CompareNoCase(Text(a[0])); return Str((o > 0) - (o < 0)); }},
    {"Match", [](QvStr& s, Args const& a) { return Str(s.Match(a[0].c_str(), a[1].c_str())); }},
    // clang-format on
};

// A string edited by run, which gives result, then holds want, followed by a NUL.
struct Edit {
    char const* start;
    std::function<long(QvStr&)> run;
    std::string want;
    long result;
};

void ExpectEdits(std::vector<Edit> const& edits) {
    for (size_t i = 0; i < edits.size(); ++i) {
        QvStr s(edits[i].start);
        EXPECT_EQ(edits[i].run(s), edits[i].result) << "row " << i;
        EXPECT_EQ(Bytes(s), edits[i].want) << "row " << i;
        EXPECT_EQ(static_cast<char const*>(s)[s.GetLength()], '\0') << "terminator, row " << i;
    }
}

}  // namespace

TEST(QvStr, OperationsFollowTheTable) {
    for (auto const& row : testutil::readRows("qvstr_ops.txt")) {
        QvStr s(row[0].data(), row[0].size());
        auto const eq = std::find(row.begin(), row.end(), "=");
        ASSERT_EQ(row.end() - eq, 3) << row[0] << " " << row[1];
        EXPECT_EQ(kOps.at(row[1])(s, Args(row.begin() + 2, eq)), eq[1]) << row[0] << " " << row[1];
        EXPECT_EQ(Bytes(s), eq[2]) << row[0] << " " << row[1];
        EXPECT_EQ(static_cast<char const*>(s)[s.GetLength()], '\0') << row[0] << " " << row[1];
    }
}

TEST(QvStr, NumbersConvertImplicitlyAndConcatenateAsShortestDecimalText) {
    QvStr const ab("ab"), zero = 0, answer = 42, letter = 'c', half = 2.5, big = 4294967295u;
    std::pair<QvStr, std::string> const rows[] = {// clang-format off
        {zero, "0"}, {answer, "42"}, {letter, "c"}, {half, "2.5"}, {big, "4294967295"},
        {QvStr(0.1), "0.1"}, {QvStr(1.0 / 3), "0.3333333333333333"}, {QvStr(1e20), "1e+20"},
        {QvStr(-0.0), "-0"}, {ab + "cd", "abcd"}, {ab + 'c', "abc"}, {ab + 1, "ab1"},
        {ab + 0.5, "ab0.5"}, {ab + 7u, "ab7"}, {"x" + ab, "xab"}, {'x' + ab, "xab"},
        {1.5 + ab, "1.5ab"}, {QvStr() + ab, "ab"}, {QvStr(nullptr), ""}, {QvStr('\0'), "\0"s}};
    // clang-format on
    for (auto const& [s, want] : rows) EXPECT_EQ(Bytes(s), want);
}

TEST(QvStrEdit, ArgumentsPointingIntoTheOwnBufferSeeTheOldText) {
    ExpectEdits({
        {"abc", [](QvStr& s) { return (s = static_cast<QvStr const&>(s)).GetLength(); }, "abc", 3},
        {"abc", [](QvStr& s) { return (s += s).GetLength(); }, "abcabc", 6},
        {"abc", [](QvStr& s) { return s.toStr(s).GetLength(); }, "abcabc", 6},
        {"abc", [](QvStr& s) { return (s += s.GetChar() + 1).GetLength(); }, "abcbc", 5},
        {"abcdef", [](QvStr& s) { return (s = s.GetChar() + 3).GetLength(); }, "def", 3},
        {"abc", [](QvStr& s) { return s.Insert(1, s.GetChar()); }, "aabcbc", 6},
        {"abc", [](QvStr& s) { return s.Insert(5, s.GetChar()); }, "abc  abc", 8},
        {"abcabc", [](QvStr& s) { return s.Replace(s.GetChar() + 3, s.GetChar() + 4); }, "bcbc", 2},
        {"ab", [](QvStr& s) { return s.Format("%s-%s", s.GetChar(), s.GetChar()); }, "ab-ab", 5},
    });
}

TEST(QvStrFormat, MeasuresThenWritesTheWholeText) {
    static char const* const kNone = nullptr;
    static std::string const kLong(5000, 'x');
    ExpectEdits({
        {"old", [](QvStr& s) { return s.Format("%d-%s", 7, "x"); }, "7-x", 3},
        {"old", [](QvStr& s) { return s.Format("%s", ""); }, "", 0},
        {"old", [](QvStr& s) { return s.Format(kNone); }, "old", 0},
        {"old", [](QvStr& s) { return s.Format("%c", 0); }, "\0"s, 1},
        {"old", [](QvStr& s) { return s.Format("%d", 0); }, "0", 1},
        {"", [](QvStr& s) { return s.Format("%s|%d", kLong.c_str(), 12); }, kLong + "|12", 5003},
        {"", [](QvStr& s) { return (s = RzFormat("%05d%s", 42, kLong.c_str())).GetLength(); },
         "00042" + kLong, 5005},
    });
}

// The bytes a letter's type takes, and the value they hold.
template <typename T>
std::pair<std::size_t, double> Read(unsigned char const* dest) {
    T value;
    std::memcpy(&value, dest, sizeof value);
    return {sizeof value, static_cast<double>(value)};
}

TEST(QvStrNumericParse, StoresOnlyInRangeNumbersOfTheExactSize) {
    std::map<char, std::pair<std::size_t, double> (*)(unsigned char const*)> const readers = {
        {'c', Read<std::int8_t>},   {'C', Read<std::uint8_t>},  {'s', Read<std::int16_t>},
        {'S', Read<std::uint16_t>}, {'i', Read<std::int32_t>},  {'I', Read<std::uint32_t>},
        {'l', Read<std::int64_t>},  {'L', Read<std::uint64_t>}, {'f', Read<float>},
        {'d', Read<double>},        {'b', Read<bool>}};
    for (auto const& row : testutil::readRows("qvstr_numbers.txt")) {
        unsigned char dest[16];
        std::memset(dest, 0xA5, sizeof dest);
        char const type = row[1][0];
        EXPECT_EQ(QvStr(row[0].c_str()).NumericParse(dest, type), row[2] == "1")
            << row[0] << " " << type;
        std::size_t size = 0;
        if (row[3] != "-") {
            auto const [bytes, got] = readers.at(type)(dest);
            double const want =
                type == 'f' ? static_cast<float>(std::stod(row[3])) : std::stod(row[3]);
            size = bytes;
            EXPECT_TRUE(got == want || (std::isnan(got) && std::isnan(want)))
                << row[0] << " " << type;
        }
        for (std::size_t i = size; i < sizeof dest; ++i)
            ASSERT_EQ(dest[i], 0xA5) << row[0] << " " << i;
    }
}
