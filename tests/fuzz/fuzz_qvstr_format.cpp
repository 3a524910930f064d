// QvStr::Format (variadic and int forms) and RzFormat against vsnprintf into a std::string, over a
// fixed set of formats chosen by the first input byte. The rest of the input gives the arguments:
// two NUL-ended strings, then numbers from the raw bytes after them (zero past the end).
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "util/qvstr.h"

namespace {

// vsnprintf into a buffer that fits every format below with an input of up to 4096 bytes.
std::string Printf(char const* format, ...) {
    static char text[1 << 17];
    va_list args;
    va_start(args, format);
    int const n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// Both forms; Format replaces older text. The texts are compared with their terminating NULs.
template <class... A>
void Compare(char const* format, A... args) {
    std::string const want = Printf(format, args...);
    QvStr s("older text");
    FUZZ_CHECK(s.Format(format, args...) == static_cast<int>(want.size()));
    for (QvStr const& got : {s, RzFormat(format, args...)})
        FUZZ_CHECK(got.GetLength() == want.size() &&
                   std::memcmp(got, want.c_str(), want.size() + 1) == 0);
}

// Formats of the arguments (int, string, int, string, double, long long), the ones at the end
// unused by some; widths go up to 32768, and the last one is empty for a zero.
char const* const kFormats[] = {
    "%d-%s|%d-%s|%.40f|%lld",   "%*s|%-*s|%a|%llx",         "%.*s|%c%s|%e",
    "%.0d%.0s%.0d%.0s%5000.3f", "%x%.0s%%%c%5000s|%G|%lld", "%.0d%.0s"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    if (size == 0 || size > 4096) return 0;
    struct {
        std::int16_t w, v;
        int i;
        long long ll;
        double d;
    } n;
    std::string in(reinterpret_cast<char const*>(data) + 1, size - 1);
    in.append(2 + sizeof n, '\0');  // both strings end, and numbers past the input are zero
    char const* const a = in.c_str();
    char const* const b = a + std::strlen(a) + 1;
    std::memcpy(&n, b + std::strlen(b) + 1, sizeof n);
    if (data[0] % 4 == 0) return Compare("%d", n.i), Compare("%c", n.i & 255), 0;  // the int form
    return Compare(kFormats[data[0] % 6], n.w, a, n.v, b, n.d, n.ll), 0;
}
