// QvStr::Format (variadic and int forms) and RzFormat against snprintf: the first input byte
// chooses a format, the next two give an int (widths up to 32768), the rest a string, cut at its
// first NUL.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "util/qvstr.h"

namespace {

// Both forms against snprintf into a buffer that fits every format below with an input of up to
// 4096 bytes; Format replaces older text. The texts are compared with their terminating NULs.
template <class... A>
void Compare(char const* format, A... args) {
    static char want[1 << 17];
    int const n = std::snprintf(want, sizeof want, format, args...);
    QvStr s("older text");
    FUZZ_CHECK(n >= 0 && s.Format(format, args...) == n);
    for (QvStr const& got : {s, RzFormat(format, args...)})
        FUZZ_CHECK(got.GetLength() == unsigned(n) && std::memcmp(got, want, n + 1u) == 0);
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
