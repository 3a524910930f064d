// The members that change a string: the text they leave, with arguments pointing into the
// string's own buffer too, and allocation failure in every one of them: std::bad_alloc comes out
// and the string still holds its old text (the start of each row), stays usable and is destroyed
// cleanly. This binary replaces the global array new/delete (malloc based, so the sanitizers see
// matching pairs).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "test_util.h"
#include "util/qvstr.h"

using namespace std::string_literals;

static long array_news_before_failure = 0;  // 0: never fail

// clang-format off
void* operator new[](std::size_t size) {
    if (array_news_before_failure > 0 && --array_news_before_failure == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::nothrow_t const&) noexcept {
    try { return operator new[](size); } catch (std::bad_alloc const&) { return nullptr; }
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::nothrow_t const&) noexcept { std::free(p); }
// clang-format on

namespace {

using testutil::bytes;

// A string made of start is changed by run into want. Arguments are built inside run() on
// purpose: a failure while building them must leave the string alone too.
struct Mutation {
    std::string start;
    void (*run)(QvStr&);
    std::string want;
    bool allocatesNothing = false;
};
Mutation const kMutations[] = {
    // clang-format off
    {"abc", [](QvStr& s) { s = "longer text"; }, "longer text"},
    {"abcdef", [](QvStr& s) { s = s.GetChar() + 3; }, "def"},
    {"abc", [](QvStr& s) { s = QvStr("xy\0z", 4); }, "xy"},
    {"abc", [](QvStr& s) { s = static_cast<QvStr const&>(s); }, "abc"},
    {"abc", [](QvStr& s) { s = 'x'; }, "x"},
    {"abc", [](QvStr& s) { s = 7; }, "7"},
    {"abc", [](QvStr& s) { s += s; }, "abcabc"},
    {"abc", [](QvStr& s) { s.toStr(s); }, "abcabc"},
    {"abc", [](QvStr& s) { s += s.GetChar() + 1; }, "abcbc"},
    {"abc", [](QvStr& s) { s += '\0'; }, "abc\0"s},
    {"abc", [](QvStr& s) { s += -3; }, "abc-3"},
    {"abc", [](QvStr& s) { s = s + "x" + 'y' + 1 + (1.5 + s) + ("p" + s); }, "abcxy11.5abcpabc"},
    {"abcdef", [](QvStr& s) { s = s.Mid(1, 2) + s.Left(2) + s.Right(3) + s.Mid(4); }, "bcabdefef"},
    {"abcdef", [](QvStr& s) { s = s.SpanIncluding("ab") + s.SpanExcluding("e"); }, "ababcd"},
    {"abc", [](QvStr& s) { s[5] = 'x'; }, "abc  x"},
    {"abc", [](QvStr& s) { s[3] = '!'; }, "abc!"},  // the index of the NUL appends
    {"", [](QvStr& s) { s[2] = 'x'; }, "  x"},
    {"abc", [](QvStr& s) { s.GetBufferSetLength(5); }, "abc  "},
    {"abc", [](QvStr& s) { s.Insert(1, 'x'); }, "axbc"},
    {"abc", [](QvStr& s) { s.Insert(1, s.GetChar()); }, "aabcbc"},
    {"abc", [](QvStr& s) { s.Insert(5, s.GetChar()); }, "abc  abc"},
    {"abc", [](QvStr& s) { s.Delete(1, 1); }, "ac"},
    {"ab\0\0"s, [](QvStr& s) { s.Remove('\0'); }, "ab"},
    {"abcabc", [](QvStr& s) { s.Replace(s.GetChar() + 3, s.GetChar() + 4); }, "bcbc"},
    {"ab", [](QvStr& s) { s.Format("%s-%s", s.GetChar(), s.GetChar()); }, "ab-ab"},
    {"old", [](QvStr& s) { s.Format("%c", 0); }, "\0"s},
    {"old", [](QvStr& s) { s.Format("%d", 0); }, "0"},
    {"old", [](QvStr& s) { s.Format(static_cast<char const*>(nullptr)); }, "old", true},
    {"abc", [](QvStr& s) { s = RzFormat("%05d%s", 42, s.GetChar()); }, "00042abc"},
    {"Hello", [](QvStr& s) { s.MakeUpper(), s.MakeLower(), s.MakeReverse(), s.Replace('l', 'L'); }, "oLLeh", true},
    {"Hello", [](QvStr& s) { s.SetLengthByBuffer(), s[2] = 'x', s.GetBufferSetLength(5); }, "Hexlo", true},
    {"ab\0\0"s, [](QvStr& s) { s.SetLengthByBuffer(); }, "ab", true},
    // clang-format on
};

}  // namespace

TEST(QvStrAlloc, EveryMemberLeavesItsTextOrOnFailureTheOldOne) {
    for (Mutation const& m : kMutations) {
        for (long nth = 1;; ++nth) {
            QvStr s(m.start.data(), m.start.size());
            array_news_before_failure = nth;
            try {
                m.run(s);
            } catch (std::bad_alloc const&) {
                array_news_before_failure = 0;
                ASSERT_EQ(bytes(s += "!"), m.start + "!")
                    << m.want << ", failing allocation " << nth;
                continue;
            }
            array_news_before_failure = 0;
            EXPECT_EQ(bytes(s) + static_cast<char const*>(s)[s.GetLength()], m.want + '\0')
                << m.start;
            EXPECT_EQ(nth == 1, m.allocatesNothing) << "allocations making " << m.want;
            break;
        }
    }
}
