// QvStr, table-driven, with allocation failure in every operation that allocates:
// std::bad_alloc comes out and the string still holds its old text, stays usable and is destroyed
// cleanly, every array freed. This binary replaces the global array new and deletes, counting the
// arrays (malloc based, so the sanitizers see matching pairs; QvStr takes no nothrow new); the
// ThreadSanitizer build, which brings its own, leaves it out.
#include "util/qvstr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "test_util.h"

using namespace std::string_literals;

static long array_news_before_failure = 0;  // 0: never fail
static long live_arrays = 0;                // allocated and not yet freed
static void* last_array = nullptr;          // the array allocated last, and its size
static std::size_t last_array_size = 0;

// clang-format off
void* operator new[](std::size_t size) {
    if (array_news_before_failure > 0 && --array_news_before_failure == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return ++live_arrays, last_array_size = size, last_array = p;
    throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { live_arrays -= p != nullptr, std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete[](p); }
// clang-format on

namespace {

// Every character of the length, NULs inside it included, and a mark if no NUL follows them.
auto const bytes = [](QvStr const& s) {
    char const* const text = s;
    return std::string(text, s.GetLength()) + (text[s.GetLength()] == '\0' ? "" : "<no NUL>");
};

// The arguments of an operation: "(null)" is the null pointer as a text.
using Args = std::vector<std::string>;
auto const Text = [](std::string const& arg) { return arg == "(null)" ? nullptr : arg.c_str(); };
auto const N = [](std::string const& arg) { return std::stoul(arg); };
auto const Str = [](auto value) { return std::to_string(value); };

// NumericParse into 16 bytes set to a5: its result, ":" and the 16 bytes.
std::string Parse(QvStr const& s, char type) {
    std::string bytes(16, '\xa5');
    bool const ok = s.NumericParse(bytes.data(), type);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__  // the table gives the stored value least significant byte first
    std::size_t const at = std::string("cCsSiIflLd").find(type);
    if (at != std::string::npos) std::reverse(bytes.begin(), bytes.begin() + "\1\1\2\2\4\4\4\10\10\10"[at]);
#endif
    return Str(ok) + ":" + testutil::toHex(bytes.data(), bytes.size());
}

// The operations of data/qvstr_ops.txt: each gives its result as a text.
// clang-format off
#define OP(name, result) \
    {name, [](QvStr& s, [[maybe_unused]] Args const& a) -> std::string { return result; }}
std::map<std::string, std::function<std::string(QvStr&, Args const&)>> const kOps = {
    OP("Assign", (s = Text(a[0]), "")),
    OP("AssignCounted", (s = QvStr(a[0].data(), a[0].size()), "")),
    OP("AssignTail", (s = s.GetChar() + N(a[0]), "")),
    OP("AssignSelf", (s = std::as_const(s), "")),
    OP("AssignChar", (s = a[0][0], "")),
    OP("AssignInt", (s = std::stoi(a[0]), "")),
    OP("AppendSelf", (s += s, "")),
    OP("AppendTail", (s += s.GetChar() + N(a[0]), "")),
    OP("AppendChar", (s += a[0][0], "")),
    OP("AppendInt", (s += std::stoi(a[0]), "")),
    OP("ToStrSelf", (s.toStr(s), "")),
    OP("Concatenate", (s = s + "x" + 'y' + 1 + (1.5 + s) + ("p" + s), "")),
    OP("SetAt", std::string(1, s[N(a[0])] = a[1][0])),
    OP("SetLengthByBuffer", (s.SetLengthByBuffer(), Str(s.GetLength()))),
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
    OP("InsertSelf", Str(s.Insert(N(a[0]), s.GetChar()))),
    OP("Delete", Str(s.Delete(N(a[0]), N(a[1])))),
    OP("GetBufferSetLength", Str(s.GetBufferSetLength(N(a[0])) != nullptr)),
    OP("MakeReverse", (s.MakeReverse(), "")),
    OP("MakeUpper", (s.MakeUpper(), "")),
    OP("MakeLower", (s.MakeLower(), "")),
    OP("Replace", Str(s.Replace(Text(a[0]), Text(a[1])))),
    OP("ReplaceChar", Str(s.Replace(a[0][0], a[1][0]))),
    OP("ReplaceSelf", Str(s.Replace(s.GetChar() + N(a[0]), s.GetChar() + N(a[1])))),
    OP("Remove", Str(s.Remove(Text(a[0])))),
    OP("RemoveChar", Str(s.Remove(a[0][0]))),
    OP("Equals", Str(s == Text(a[0])) + Str(s != Text(a[0]))),
    OP("CompareNoCase", Str((s.CompareNoCase(Text(a[0])) > 0) - (s.CompareNoCase(Text(a[0])) < 0))),
    OP("Match", Str(s.Match(a[0].c_str(), a[1].c_str()))),
    OP("Parse", Parse(s, a[0][0])),
    OP("FormatSelf", Str(s.Format("%s-%s", s.GetChar(), s.GetChar()))),
    OP("FormatInt", Str(s.Format(a[0].c_str(), std::stoi(a[1])))),  // the int form
    OP("FormatNull", Str(s.Format(static_cast<char const*>(nullptr)))),
    OP("RzFormat", (s = RzFormat("%05d%s", 42, s.GetChar()), "")),
    // clang-format on
};
#undef OP

// Operations that never allocate: a failing allocation in one of them is reported.
std::string const kInPlace =
    " SetLengthByBuffer At Find FindChar ReverseFind MakeReverse MakeUpper MakeLower ReplaceChar "
    "Equals CompareNoCase Match Parse FormatNull ";

}  // namespace

// Each row runs with the first, then the second, ... allocation failing until it completes, and
// frees all it allocated.
TEST(QvStr, OperationsFollowTheTableWhateverAllocationFails) {
    for (auto const& row : testutil::readRows("qvstr_ops.txt")) {
        auto const eq = std::find(row.begin(), row.end(), "=");
        for (long nth = 1;; ++nth) {
            QvStr s(row[0].data(), row[0].size());
            array_news_before_failure = nth;
            try {
                std::string const result = kOps.at(row[1])(s, Args(row.begin() + 2, eq));
                array_news_before_failure = 0;
                EXPECT_EQ(Args({result, bytes(s)}), Args({eq[1], eq[2]}))
                    << row[0] << " " << row[1];
                // A buffer made anew holds exactly the text and its NUL.
                bool const made = static_cast<char const*>(s) == last_array &&
                                  kInPlace.find(' ' + row[1] + ' ') == kInPlace.npos;
                EXPECT_EQ(made ? last_array_size : 0, made ? s.GetLength() + 1 : 0) << row[0] << " " << row[1];
                break;
            } catch (std::bad_alloc const&) {
                array_news_before_failure = 0;
                EXPECT_EQ(kInPlace.find(' ' + row[1] + ' '), kInPlace.npos) << row[1];
                ASSERT_EQ(bytes(s += "!"), row[0] + "!")
                    << row[0] << " " << row[1] << ", failing allocation " << nth;
            }
        }
        ASSERT_EQ(live_arrays, 0) << row[0] << " " << row[1] << " leaked";
    }
}

// Counted texts are NUL-padded, and a copy keeps the whole length.
TEST(QvStr, ConstructionImplicitFromNumbersAndConcatenation) {
    QvStr const ab("ab"), zero = 0, answer = 42, letter = 'c', half = 2.5, big = 4294967295u;
    std::pair<QvStr, std::string> const rows[] = {// clang-format off
        {zero, "0"}, {answer, "42"}, {letter, "c"}, {half, "2.5"}, {big, "4294967295"},
        {QvStr(0.1), "0.1"}, {QvStr(1.0 / 3), "0.3333333333333333"}, {QvStr(1e20), "1e+20"},
        {QvStr(-0.0), "-0"}, {ab + 0.5, "ab0.5"}, {ab + 7u, "ab7"}, {'x' + ab, "xab"},
        {QvStr() + ab, "ab"}, {QvStr(), ""}, {QvStr(nullptr), ""}, {QvStr('\0'), "\0"s}, {QvStr("abc", 0), ""},
        {QvStr("abc", 5), "abc\0\0"s}, {QvStr(QvStr("abc", 5)), "abc\0\0"s}};
    // clang-format on
    for (auto const& [s, want] : rows) EXPECT_EQ(bytes(s), want);
    EXPECT_EQ((QvStr("abc", 5), last_array_size), 6u);  // exactly the count and a NUL
}
