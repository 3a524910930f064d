// QvStr::Format (variadic and int forms) and RzFormat against vsnprintf into a std::string, over a
// fixed set of formats chosen by the first input byte; the rest of the input gives the arguments.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "util/qvstr.h"

namespace {

// Arguments read off the input: strings up to a NUL, numbers from raw bytes (zero past the end).
class Args {
public:
    Args(std::uint8_t const* data, std::size_t size) : at_(data), end_(data + size) {}
    std::string Str() {
        std::uint8_t const* nul = std::find(at_, end_, 0);
        std::string s(at_, nul);
        at_ = nul == end_ ? end_ : nul + 1;
        return s;
    }
    int Byte() { return at_ == end_ ? 0 : *at_++; }
    int Int16() { return static_cast<std::int16_t>(Byte() << 8 | Byte()); }
    template <class T>
    T Raw() {
        T value{};
        std::size_t const n = std::min<std::size_t>(sizeof value, end_ - at_);
        std::memcpy(&value, at_, n);
        at_ += n;
        return value;
    }

private:
    std::uint8_t const* at_;
    std::uint8_t const* end_;
};

std::string Printf(char const* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int const n = std::vsnprintf(nullptr, 0, format, args);
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(&text[0], text.size() + 1, format, again);
    va_end(again);
    va_end(args);
    return text;
}

void Same(QvStr const& s, std::string const& want) {
    FUZZ_CHECK(s.GetLength() == want.size());
    FUZZ_CHECK(std::memcmp(static_cast<char const*>(s), want.c_str(), want.size() + 1) == 0);
}

// Both QvStr forms of one format, starting from a string with older text.
template <class... A>
void Compare(char const* format, A... args) {
    std::string const want = Printf(format, args...);
    QvStr s("older text");
    FUZZ_CHECK(s.Format(format, args...) == static_cast<int>(want.size()));
    Same(s, want);
    Same(RzFormat(format, args...), want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    if (size == 0) return 0;
    // Every argument, read in a fixed order: three strings, then numbers from the bytes after them.
    Args in(data + 1, size - 1);
    std::string const a = in.Str(), b = in.Str(), c = in.Str();
    int const w = in.Int16(), v = in.Int16(), c1 = in.Byte(), c2 = in.Byte(), i = in.Raw<int>();
    unsigned const u = in.Raw<unsigned>();
    unsigned long const ul = in.Raw<unsigned long>();
    long long const ll = in.Raw<long long>();
    double const d1 = in.Raw<double>(), d2 = in.Raw<double>(), d3 = in.Raw<double>();
    switch (data[0] % 18) {
        case 0:
            Compare("%s", a.c_str());
            break;
        case 1:
            Compare("%d-%s", w, a.c_str());
            break;
        case 2:
            Compare("%.*s", w, a.c_str());
            break;
        case 3:
            Compare("%10.3f", d1);
            break;
        case 4:
            Compare("%c%c", c1, c2);
            break;
        case 5:
            Compare("%*s|%-*s", w, a.c_str(), v, b.c_str());  // widths up to 32768
            break;
        case 6:
            Compare("%s%s%s", a.c_str(), b.c_str(), c.c_str());
            break;
        case 7:
            Compare("%5000s", a.c_str());
            break;
        case 8:
            Compare("%x %lu %lld", u, ul, ll);
            break;
        case 9:
            Compare("%e %g %a %.40f", d1, d2, d3, d1);
            break;
        case 10:
            Compare("%%%s%%%.0s", a.c_str(), b.c_str());
            break;
        case 11:
            Compare("%.0s", a.c_str());  // an empty result
            break;
        case 12:
            Compare("%d", i);  // the int form
            break;
        case 13:
            Compare("%c", c1);  // the int form; 0 gives one NUL
            break;
        case 14:
            Compare("%-40.20s|%+08d|%#o", a.c_str(), w, u);
            break;
        case 15:
            Compare("%lld", ll);  // lone arguments other than an int: the variadic form
            break;
        case 16:
            Compare("%.17g", d2);
            break;
        default: {
            // Arguments inside the string's own buffer stay readable while it is replaced.
            QvStr s(a.c_str());
            std::string const want = Printf("%s|%s|%s", a.c_str(), b.c_str(), a.c_str());
            FUZZ_CHECK(s.Format("%s|%s|%s", s.GetChar(), b.c_str(), s.GetChar()) ==
                       static_cast<int>(want.size()));
            Same(s, want);
        }
    }
    return 0;
}
