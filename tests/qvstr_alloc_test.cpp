// Allocation failure in every member that allocates: std::bad_alloc comes out and the string
// still holds its old text, stays usable and is destroyed cleanly. This binary replaces the
// global array new/delete (malloc based, so the sanitizers see matching pairs).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "util/qvstr.h"

namespace {
long array_news_before_failure = 0;  // 0: never fail
}  // namespace

void* operator new[](std::size_t size) {
    if (array_news_before_failure > 0 && --array_news_before_failure == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::nothrow_t const&) noexcept {
    try {
        return operator new[](size);
    } catch (std::bad_alloc const&) {
        return nullptr;
    }
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::nothrow_t const&) noexcept {
    std::free(p);
}

namespace {

std::string Bytes(QvStr const& s) {
    return std::string(static_cast<char const*>(s), s.GetLength());
}

struct Mutation {
    char const* name;
    std::string start;
    void (*run)(QvStr&);
    bool allocates;
};

// One mutation per row. Arguments are built inside run() on purpose: a failure while building
// them must leave the string alone too.
Mutation const kMutations[] = {
    // clang-format off
    {"assign text", "abc", [](QvStr& s) { s = "longer text"; }, true},
    {"assign own tail", "abcdef", [](QvStr& s) { s = s.GetChar() + 2; }, true},
    {"assign string", "abc", [](QvStr& s) { s = QvStr("xy"); }, true},
    {"assign char", "abc", [](QvStr& s) { s = 'x'; }, true},
    {"assign number", "abc", [](QvStr& s) { s = 7; }, true},
    {"append self", "abc", [](QvStr& s) { s += s; }, true},
    {"append text", "abc", [](QvStr& s) { s += "xyz"; }, true},
    {"append char", "abc", [](QvStr& s) { s += 'x'; }, true},
    {"append number", "abc", [](QvStr& s) { s += -3; }, true},
    {"concatenations", "abc", [](QvStr& s) { s = s + "x" + 'y' + 1 + (1.5 + s) + ("p" + s); }, true},
    {"substrings", "abcdef", [](QvStr& s) { s = s.Mid(1, 2) + s.Left(2) + s.Right(3) + s.Mid(4); }, true},
    {"spans", "abcdef", [](QvStr& s) { s = s.SpanIncluding("ab") + s.SpanExcluding("e"); }, true},
    {"grow by index", "abc", [](QvStr& s) { s[10] = 'x'; }, true},
    {"set buffer length", "abc", [](QvStr& s) { s.GetBufferSetLength(10); }, true},
    {"insert char", "abc", [](QvStr& s) { s.Insert(1, 'x'); }, true},
    {"insert own text", "abc", [](QvStr& s) { s.Insert(1, s.GetChar()); }, true},
    {"delete", "abc", [](QvStr& s) { s.Delete(1, 1); }, true},
    {"remove NUL", std::string("ab\0\0", 4), [](QvStr& s) { s.Remove('\0'); }, true},
    {"replace text", "hello", [](QvStr& s) { s.Replace("l", "LL"); }, true},
    {"format own text", "abc", [](QvStr& s) { s.Format("%s%s", s.GetChar(), s.GetChar()); }, true},
    {"RzFormat", "abc", [](QvStr& s) { s = RzFormat("<%s>", s.GetChar()); }, true},
    {"in place", "Hello", [](QvStr& s) { s.MakeUpper(), s.MakeLower(), s.MakeReverse(), s.Replace('l', 'L'),
                                         s.SetLengthByBuffer(), s[2] = 'x', s.GetBufferSetLength(5); }, false},
    // clang-format on
};

}  // namespace

TEST(QvStrAlloc, EveryFailingAllocationLeavesTheOldText) {
    for (Mutation const& m : kMutations) {
        for (long nth = 1;; ++nth) {
            QvStr s(m.start.data(), m.start.size());
            std::string const before = Bytes(s);
            array_news_before_failure = nth;
            bool threw = false;
            try {
                m.run(s);
            } catch (std::bad_alloc const&) {
                threw = true;
            }
            array_news_before_failure = 0;
            if (!threw) {
                EXPECT_EQ(nth > 1, m.allocates) << m.name;
                break;
            }
            ASSERT_EQ(Bytes(s), before) << m.name << ", failing allocation " << nth;
            s += "!";
            EXPECT_EQ(Bytes(s), before + "!") << m.name << ", failing allocation " << nth;
        }
    }
}
