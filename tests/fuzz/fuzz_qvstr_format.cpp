// QvStr::Format (variadic and int forms) and RzFormat against vsnprintf into a std::string, over a
// fixed set of formats chosen by the first input byte. The rest of the input gives the arguments:
// three NUL-ended strings, then numbers from the raw bytes after them (zero past the end).
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "util/qvstr.h"

namespace {

std::string Printf(char const* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int const n = std::vsnprintf(nullptr, 0, format, args);
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    std::vsnprintf(&text[0], text.size() + 1, format, again);
    va_end(again);
    va_end(args);
    return text;
}

// Both QvStr forms of one format, the first starting from a string with older text.
template <class... A>
void Compare(char const* format, A... args) {
    std::string const want = Printf(format, args...);
    QvStr s("older text");
    FUZZ_CHECK(s.Format(format, args...) == static_cast<int>(want.size()));
    for (QvStr const& got : {s, RzFormat(format, args...)})
        FUZZ_CHECK(got.GetLength() == want.size() &&
                   std::memcmp(got, want.c_str(), want.size() + 1) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    if (size == 0) return 0;
    struct {
        std::int16_t w, v;
        unsigned char c1, c2;
        int i;
        unsigned u;
        long long ll;
        double d1, d2;
    } n;
    std::string in(reinterpret_cast<char const*>(data) + 1, size - 1);
    in.append(3 + sizeof n, '\0');  // every string ends, and numbers past the input are zero
    char const* const a = in.c_str();
    char const* const b = a + std::strlen(a) + 1;
    char const* const c = b + std::strlen(b) + 1;
    std::memcpy(&n, c + std::strlen(c) + 1, sizeof n);
    // clang-format off
    switch (data[0] % 12) {
        case 0: return Compare("%s", a), 0;
        case 1: return Compare("%d-%s|%.*s", n.w, a, n.v, b), 0;
        case 2: return Compare("%10.3f %e %g %a %.40f", n.d1, n.d2, n.d1, n.d2, n.d1), 0;
        case 3: return Compare("%c%c", n.c1, n.c2), 0;
        case 4: return Compare("%*s|%-*s", n.w, a, n.v, b), 0;  // widths up to 32768
        case 5: return Compare("%s%s%s%5000s", a, b, c, a), 0;
        case 6: return Compare("%x %lld %%%.0s", n.u, n.ll, a), 0;
        case 7: return Compare("%.0s", a), 0;       // an empty result
        case 8: return Compare("%d", n.i), 0;       // the int form
        case 9: return Compare("%c", int{n.c1}), 0;  // the int form; 0 gives one NUL
        case 10: return Compare("%lld", n.ll), 0;   // a lone argument other than an int
    }
    // clang-format on
    // Arguments inside the string's own buffer stay readable while it is replaced.
    QvStr s(a);
    std::string const want = Printf("%s|%s|%s", a, b, a);
    FUZZ_CHECK(s.Format("%s|%s|%s", s.GetChar(), b, s.GetChar()) == static_cast<int>(want.size()));
    FUZZ_CHECK(want == static_cast<char const*>(s) && s.GetLength() == want.size());
    return 0;
}
