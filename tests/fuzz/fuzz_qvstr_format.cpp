// QvStr::Format (variadic and int forms) and RzFormat against vsnprintf into a std::string: the
// first input byte chooses a format, the next two give an int (widths up to 32768), the rest a
// string, cut at its first NUL.
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

// Formats of an int and a string; "%.0d%.0s" is empty for a zero, "%c%s" starts with a NUL.
char const* const kFormats[] = {"%d-%s",      "%.*s", "%*s|",   "%-*s|",
                                "%.0d%5000s", "%c%s", "%x%%%s", "%.0d%.0s"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    if (size < 3 || size > 4096) return 0;
    int const n = static_cast<std::int16_t>(data[1] << 8 | data[2]);
    std::string const text(reinterpret_cast<char const*>(data) + 3, size - 3);
    if (data[0] % 9 == 8) return Compare("%d", n), Compare("%c", n & 255), 0;  // the int form
    return Compare(kFormats[data[0] % 9], n, text.c_str()), 0;
}
