#include "util/qvstr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Every character of the length, NULs inside it included; the text is never a null pointer.
std::string Bytes(QvStr const& s) {
    char const* text = s;
    if (text == nullptr) ADD_FAILURE() << "null text";
    return std::string(text ? text : "", s.GetLength());
}

// A string made of start (QvStr(start, size): "" gives the one without a buffer) is edited by
// run, which gives result, and then holds want, followed by a NUL.
struct Edit {
    std::string start;
    std::function<long(QvStr&)> run;
    std::string want;
    long result;
};

void ExpectEdits(std::vector<Edit> const& edits) {
    for (size_t i = 0; i < edits.size(); ++i) {
        QvStr s(edits[i].start.data(), edits[i].start.size());
        EXPECT_EQ(edits[i].run(s), edits[i].result) << "row " << i;
        EXPECT_EQ(Bytes(s), edits[i].want) << "row " << i;
        EXPECT_EQ(static_cast<char const*>(s)[s.GetLength()], '\0') << "terminator, row " << i;
    }
}

void ExpectTexts(std::vector<std::pair<QvStr, std::string>> const& rows) {
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(Bytes(rows[i].first), rows[i].second) << i;
}

}  // namespace

TEST(QvStrText, ConstructionNumbersAndConcatenation) {
    QvStr const ab("ab"), zero = 0, answer = 42, letter = 'c', half = 2.5, big = 4294967295u;
    // clang-format off
    ExpectTexts({{QvStr(), ""}, {QvStr(nullptr), ""}, {QvStr(""), ""}, {QvStr("abc", 0), ""},
                 {QvStr(QvStr("")), ""}, {QvStr("abc", 5), "abc\0\0"s}, {QvStr('\0'), "\0"s},
                 {QvStr(QvStr("abc", 5)), "abc\0\0"s},  // a copy keeps the whole length
                 {zero, "0"}, {answer, "42"}, {letter, "c"}, {half, "2.5"}, {big, "4294967295"},
                 {QvStr(0.1), "0.1"}, {QvStr(1.0 / 3), "0.3333333333333333"},
                 {QvStr(1e20), "1e+20"}, {QvStr(-0.0), "-0"}, {ab + "cd", "abcd"},
                 {ab + 'c', "abc"}, {ab + 1, "ab1"}, {ab + 0.5, "ab0.5"}, {ab + 7u, "ab7"},
                 {"x" + ab, "xab"}, {'x' + ab, "xab"}, {1.5 + ab, "1.5ab"}, {QvStr() + ab, "ab"}});
    // clang-format on
}

TEST(QvStrSearch, SubstringsFindAndConstIndexClampToTheText) {
    QvStr const h("hello");
    // clang-format off
    ExpectTexts({{h.Mid(1, 100), "ello"}, {h.Mid(9), ""}, {h.Mid(5), ""}, {h.Mid(2, 1), "l"},
                 {h.Mid(1, 0), ""}, {h.Left(0), ""}, {h.Left(2), "he"}, {h.Right(10), "hello"},
                 {h.Right(3), "llo"}, {h.SpanIncluding("leh"), "hell"},
                 {h.SpanExcluding("lo"), "he"}, {h.SpanIncluding(nullptr), ""},
                 {h.SpanExcluding(nullptr), ""}, {QvStr().SpanExcluding("x"), ""}});
    int const found[][2] = {{h.Find('l'), 2}, {h.ReverseFind('l'), 3}, {h.Find("lo"), 3},
                            {h.Find('h', 1), -1}, {h.Find('o', 5), -1}, {h.Find("l", 3), 3},
                            {h.Find("x"), -1}, {h.Find(nullptr), -1}, {h.Find(nullptr, 0), -1},
                            {h.Find('\0'), 5}, {QvStr().Find('a'), -1}, {QvStr("").Find(""), -1},
                            {h[4], 'o'}, {h[5], 0}, {h[6], 0}, {QvStr()[0], 0}};
    // clang-format on
    for (auto const& f : found) EXPECT_EQ(f[0], f[1]) << &f - found;
}

TEST(QvStrEdit, AssignInsertDeleteAndIndexPadPastTheEnd) {
    ExpectEdits({
        {"abc", [](QvStr& s) { return (s = QvStr("xy", 5)).GetLength(); }, "xy", 2},  // to the NUL
        {"abc", [](QvStr& s) { return (s = -5).GetLength(); }, "-5", 2},
        {"abc", [](QvStr& s) { return (s += '\0').GetLength(); }, "abc\0"s, 4},
        {"abc\0\0"s, [](QvStr& s) { return s.SetLengthByBuffer(), s.GetLength(); }, "abc", 3},
        {"ab", [](QvStr& s) { return s[5] = 'z'; }, "ab   z", 'z'},
        {"ab", [](QvStr& s) { return s[2] = '!'; }, "ab!", '!'},  // the index of the NUL appends
        {"ab", [](QvStr& s) { return s[1] = 'B'; }, "aB", 'B'},
        {"", [](QvStr& s) { return s[2] = 'x'; }, "  x", 'x'},
        {"ab", [](QvStr& s) { return s.Insert(5, 'x'); }, "ab   x", 6},
        {"ab", [](QvStr& s) { return s.Insert(4, "xy"); }, "ab  xy", 6},
        {"ab", [](QvStr& s) { return s.Insert(2, 'c'); }, "abc", 3},
        {"ab", [](QvStr& s) { return s.Insert(1, "xy"); }, "axyb", 4},
        {"", [](QvStr& s) { return s.Insert(0, 'z'); }, "z", 1},
        {"", [](QvStr& s) { return s.Insert(2, "z"); }, "  z", 3},
        {"ab", [](QvStr& s) { return s.Insert(1, nullptr); }, "ab", 2},
        {"hello", [](QvStr& s) { return s.Delete(1, 100); }, "h", 1},
        {"hello", [](QvStr& s) { return s.Delete(3, 4); }, "hel", 3},
        {"hello", [](QvStr& s) { return s.Delete(1, 2); }, "hlo", 3},
        {"hello", [](QvStr& s) { return s.Delete(5, 1); }, "hello", 5},
        {"", [](QvStr& s) { return s.Delete(0, 1); }, "", 0},
        {"hello", [](QvStr& s) { return s.GetBufferSetLength(3) != nullptr; }, "hel", 1},
        {"hi", [](QvStr& s) { return s.GetBufferSetLength(7) != nullptr; }, "hi     ", 1},
        {"hello", [](QvStr& s) { return s.GetBufferSetLength(0) != nullptr; }, "hello", 0},
        {"abcd", [](QvStr& s) { return s.MakeReverse(), 0; }, "dcba", 0},
        {"aBc1", [](QvStr& s) { return s.MakeUpper(), 0; }, "ABC1", 0},
        {"aBc1", [](QvStr& s) { return s.MakeLower(), 0; }, "abc1", 0},
    });
}

TEST(QvStrEdit, RemoveAndReplaceNeverRescanTheirResultOrTouchTheTerminator) {
    ExpectEdits({
        {"aaa", [](QvStr& s) { return s.Replace("a", "aa"); }, "aaaaaa", 3},
        {"aaaa", [](QvStr& s) { return s.Replace("aa", "a"); }, "aa", 2},
        {"abcabc", [](QvStr& s) { return s.Replace("bc", ""); }, "aa", 2},
        {"hi", [](QvStr& s) { return s.Replace("", "y") + s.Replace(nullptr, "y"); }, "hi", 0},
        {"hello", [](QvStr& s) { return s.Remove('l'); }, "heo", 2},
        {"l", [](QvStr& s) { return s.Remove('l'); }, "", 1},
        {"aabbab", [](QvStr& s) { return s.Remove("ab"); }, "ab", 2},
        {"hello", [](QvStr& s) { return s.Replace('l', 'L'); }, "heLLo", 2},
        {"abab", [](QvStr& s) { return s.Replace('b', '\0'); }, "a\0a\0"s, 2},
        {"abc", [](QvStr& s) { return s.Replace('\0', 'x') + s.Remove('\0'); }, "abc", 0},
        {"ab\0\0"s, [](QvStr& s) { return s.Replace('\0', 'x'); }, "abxx", 2},
        {"ab\0\0"s, [](QvStr& s) { return s.Remove('\0'); }, "ab", 2},
    });
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

TEST(QvStrCompare, EqualityAndCaseFreeOrderTreatEmptyAsNullOnly) {
    // clang-format off
    struct {
        QvStr s;
        char const* text;
        bool equal;
        int order;  // sign of CompareNoCase
    } const rows[] = {
        {QvStr(), nullptr, true, 0}, {QvStr(), "", false, 1}, {QvStr(""), nullptr, true, 0},
        {QvStr("abc"), "abc", true, 0}, {QvStr("abc"), nullptr, false, 1},
        {QvStr("ABC"), "abc", false, 0}, {QvStr("abd"), "ABC", false, 1},
        {QvStr("ab"), "ABC", false, -1}};
    // clang-format on
    for (auto const& r : rows) {
        EXPECT_EQ(r.s == r.text, r.equal) << r.s << "|" << (r.text ? r.text : "null");
        EXPECT_EQ(r.s != r.text, !r.equal);
        int const order = r.s.CompareNoCase(r.text);
        EXPECT_EQ((order > 0) - (order < 0), r.order) << r.s;
    }
}

TEST(QvStrMatch, StarBacktracksAndWildcardsAreAnchored) {
    std::string const many_a(24, 'a');
    // clang-format off
    struct {
        char const* pattern;
        char const* text;
        bool match;
    } const rows[] = {
        {"*.txt", "a.txt", true}, {"*.txt", "a.txt.bak", false}, {"a?c", "abc", true},
        {"a?c", "ac", false}, {"", "", true}, {"", "a", false}, {"*", "", true},
        {"**", "abc", true}, {"?", "", false}, {"*?", "a", true}, {"*?", "", false},
        {"?*", "", false}, {"*?*?", "a", false}, {"*?*?", "ab", true}, {"A*", "abc", false},
        {"a*b*c", "aXbYbZc", true}, {"a*b*c", "abcbc", true}, {"a*b*c", "abcb", false},
        {"*ab", "aab", true}, {"*x", "xyx", true}, {"a*a", "a", false}, {"*.*", "file", false},
        {"a\\*", "a*", false}, {"a?", "a*", true}, {"abc", "abcd", false},
        {"abcd", "abc", false}, {"*a*", "bbb", false}, {"*a*a*a*b", many_a.c_str(), false},
        {"*a*a*a*", many_a.c_str(), true}};
    // clang-format on
    for (auto const& r : rows) EXPECT_EQ(QvStr().Match(r.pattern, r.text), r.match) << r.pattern;
}

namespace {
template <typename T>
double Read(unsigned char const* dest, size_t* size) {
    T value;
    std::memcpy(&value, dest, *size = sizeof value);
    return static_cast<double>(value);
}
std::map<char, double (*)(unsigned char const*, size_t*)> const kReaders = {
    {'c', Read<std::int8_t>},   {'C', Read<std::uint8_t>},  {'s', Read<std::int16_t>},
    {'S', Read<std::uint16_t>}, {'i', Read<std::int32_t>},  {'I', Read<std::uint32_t>},
    {'l', Read<std::int64_t>},  {'L', Read<std::uint64_t>}, {'f', Read<float>},
    {'d', Read<double>},        {'b', Read<bool>}};
}  // namespace

TEST(QvStrNumericParse, StoresOnlyInRangeNumbersOfTheExactSize) {
    double const nan = std::nan(""), inf = HUGE_VAL;
    // clang-format off
    struct {
        char const* text;
        char type;
        bool ok;
        std::optional<double> stored;  // nothing: the destination is untouched
    } const rows[] = {
        {" 42 ", 'i', true, 42}, {"42x", 'i', false, 42}, {"3.9", 'i', true, 3},
        {"-3.9", 'i', true, -3}, {"-0.5", 'i', true, 0}, {"1e3", 's', true, 1000},
        {"0x10", 'i', true, 16}, {"+5", 'i', true, 5}, {"\t7\t", 'c', true, 7},
        {"-128", 'c', true, -128}, {"-129", 'c', false, {}}, {"127", 'c', true, 127},
        {"128", 'c', false, {}}, {"-32767", 's', true, -32767}, {"-32768", 's', false, {}},
        {"32768", 's', false, {}}, {"255", 'C', true, 255}, {"256", 'C', false, {}},
        {"255.5", 'C', false, {}}, {"65535", 'S', true, 65535}, {"-0.5", 'S', false, {}},
        {"-2147483648", 'i', true, -2147483648.0}, {"2147483648", 'i', false, {}},
        {"4294967295", 'I', true, 4294967295.0}, {"-1", 'I', false, {}},
        {"4294967295", 'L', true, 4294967295.0}, {"4294967296", 'L', false, {}},
        {"-2147483648", 'l', true, -2147483648.0}, {"2147483648", 'l', false, {}},
        {"-3.402823466e+38", 'f', true, -3.402823466e38}, {"3.5e38", 'f', false, {}},
        {"-3.5e38", 'f', false, {}},
        {"1e308", 'd', true, 1e308}, {"1.5f", 'f', true, 1.5}, {"1.5ff", 'f', false, 1.5},
        {"2F \t", 'd', true, 2}, {"10L", 'l', true, 10}, {"10l", 'L', true, 10},
        {"1.5F", 'i', false, 1}, {"10f", 'l', false, 10}, {"0", 'd', true, 0}, {"00", 'i', true, 0},
        {".0", 'd', false, {}}, {"+0", 'd', false, {}}, {"-0", 'd', false, {}},
        {"1e-999", 'd', false, {}}, {"abc", 'd', false, {}}, {" \t ", 'i', false, {}},
        {"nan", 'i', false, {}}, {"nan", 'd', true, nan}, {"nan", 'f', true, nan},
        {"inf", 'f', false, {}}, {"-inf", 'd', true, -inf}, {"TRUE", 'b', true, 1},
        {" true", 'b', true, 1}, {"1", 'b', true, 1}, {"FALSE", 'b', true, 0}, {"0", 'b', true, 0},
        {"True", 'b', false, {}}, {"true ", 'b', false, {}}, {"-1", 'b', false, {}},
        {"7", 'x', true, {}}, {"7z", 'x', false, {}}};
    // clang-format on
    for (auto const& r : rows) {
        unsigned char dest[16];
        std::memset(dest, 0xA5, sizeof dest);
        EXPECT_EQ(QvStr(r.text).NumericParse(dest, r.type), r.ok) << r.text << " " << r.type;
        size_t size = 0;
        if (r.stored) {
            double const got = kReaders.at(r.type)(dest, &size);
            double const want = r.type == 'f' ? static_cast<float>(*r.stored) : *r.stored;
            if (std::isnan(want)) {
                EXPECT_TRUE(std::isnan(got)) << r.text;
            } else {
                EXPECT_EQ(got, want) << r.text << " " << r.type;
            }
        }
        for (size_t i = size; i < sizeof dest; ++i) ASSERT_EQ(dest[i], 0xA5) << r.text << " " << i;
    }
}
