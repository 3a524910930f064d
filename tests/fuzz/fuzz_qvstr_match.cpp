// QvStr::Match and QvStr::NumericParse on a pattern, a NUL and a text. Match: a pattern without
// wildcards matches only itself; every pattern matches itself ('*' and '?' match themselves too);
// a match stays one with a star before and after and with '?' for any character; "*" matches
// anything. NumericParse of the pattern never writes past the size of the type its letter names.
// Match backtracks, which is exponential in the number of stars: inputs are kept small.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "util/qvstr.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    if (size > 48 || std::count(data, data + size, '*') > 8) return 0;
    std::string const input(reinterpret_cast<char const*>(data), size);
    std::string const pattern = input.c_str();
    std::string text = input.size() > pattern.size() ? input.c_str() + pattern.size() + 1 : "";
    QvStr const m;
    bool const match = m.Match(pattern.c_str(), text.c_str());
    if (pattern.find_first_of("*?") == std::string::npos) FUZZ_CHECK(match == (pattern == text));
    FUZZ_CHECK(m.Match(pattern.c_str(), pattern.c_str()) && m.Match("*", text.c_str()));
    if (match) FUZZ_CHECK(m.Match(("*" + pattern + "*").c_str(), ("<" + text + ">").c_str()));
    for (std::size_t i = 0; i < text.size(); i += 1 + data[i] % 3) text[i] = '?';
    FUZZ_CHECK(m.Match(text.c_str(), input.c_str() + std::min(input.size(), pattern.size() + 1)));
    std::pair<char, long> const sizes[] = {{'c', 1}, {'C', 1}, {'s', 2}, {'S', 2},
                                           {'i', 4}, {'I', 4}, {'l', 8}, {'L', 8},
                                           {'f', 4}, {'d', 8}, {'b', 1}, {'x', 0}};
    for (auto const [type, bytes] : sizes) {
        unsigned char dest[16];
        std::memset(dest, 0xA5, sizeof dest);
        QvStr(pattern.c_str()).NumericParse(dest, type);
        FUZZ_CHECK(std::count(dest + bytes, dest + sizeof dest, 0xA5) == 16 - bytes);
    }
    return 0;
}
