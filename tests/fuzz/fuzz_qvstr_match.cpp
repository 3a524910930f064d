// QvStr::Match against a table-driven matcher, and QvStr::NumericParse against the rules of its
// letters read with strtod. The input is a pattern, a NUL and a text; both texts are also parsed.
// Match backtracks, which is exponential in the number of stars: inputs are kept small.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "util/qvstr.h"

namespace {

constexpr std::size_t kMaxInput = 48;
constexpr long kMaxStars = 8;

// '*' matches any run of characters, '?' any one, every other character itself.
bool Glob(std::string const& pattern, std::string const& text) {
    std::vector<bool> can(text.size() + 1, false);  // pattern so far matches text[0, j)
    can[0] = true;
    for (char p : pattern) {
        std::vector<bool> next(text.size() + 1, false);
        bool any = false;
        for (std::size_t j = 0; j <= text.size(); ++j) {
            if (p == '*') {
                next[j] = any = any || can[j];
            } else if (j > 0) {
                next[j] = can[j - 1] && (p == '?' || p == text[j - 1]);
            }
        }
        can.swap(next);
    }
    return can[text.size()];
}

template <class T>
void Store(double value, unsigned char* out) {
    T const stored = static_cast<T>(value);
    std::memcpy(out, &stored, sizeof stored);
}

// A numeric letter: what it stores, the range it accepts and the suffix it allows.
struct Letter {
    char type;
    std::size_t size;  // 0: stores nothing
    void (*store)(double, unsigned char*);
    double low, high;
    bool nan;
    char const* suffix;
};
Letter const kLetters[] = {
    {'c', 1, Store<std::int8_t>, -128.0, 127.0, false, ""},
    {'C', 1, Store<std::uint8_t>, 0.0, 255.0, false, ""},
    {'s', 2, Store<std::int16_t>, -32767.0, 32767.0, false, ""},
    {'S', 2, Store<std::uint16_t>, 0.0, 65535.0, false, ""},
    {'i', 4, Store<std::int32_t>, -2147483648.0, 2147483647.0, false, ""},
    {'I', 4, Store<std::uint32_t>, 0.0, 4294967295.0, false, ""},
    {'l', 8, Store<std::int64_t>, -2147483648.0, 2147483647.0, false, "lL"},
    {'L', 8, Store<std::uint64_t>, 0.0, 4294967295.0, false, "lL"},
    {'f', 4, Store<float>, -3.402823466e+38, 3.402823466e+38, true, "fF"},
    {'d', 8, Store<double>, -HUGE_VAL, HUGE_VAL, true, "fF"},
    {'x', 0, nullptr, -HUGE_VAL, HUGE_VAL, true, ""},
};

// A number is stored when the text, blanks first, starts with one in the letter's range (a zero
// must start with the digit 0); true when nothing but the letter's suffix and blanks follows it.
void CheckNumericParse(std::string const& text) {
    std::size_t const start = text.find_first_not_of(" \t");
    char const* const number = text.c_str() + (start == std::string::npos ? text.size() : start);
    for (auto const& letter : kLetters) {
        unsigned char dest[16], want[16];
        std::memset(dest, 0xA5, sizeof dest);
        std::memset(want, 0xA5, sizeof want);
        bool const ok = QvStr(text.c_str()).NumericParse(dest, letter.type);
        char* end = nullptr;
        double const value = std::strtod(number, &end);
        bool const stored =
            *number != '\0' && !(value == 0 && *number != '0') &&
            ((letter.nan && std::isnan(value)) || (value >= letter.low && value <= letter.high));
        if (stored && letter.size != 0) letter.store(value, want);
        if (*end != '\0' && std::strchr(letter.suffix, *end) != nullptr) ++end;
        while (*end == ' ' || *end == '\t') ++end;
        FUZZ_CHECK(ok == (stored && *end == '\0'));
        FUZZ_CHECK(std::memcmp(dest, want, sizeof dest) == 0);
    }
    // 'b': one of six words after the blanks, or nothing stored.
    unsigned char flag = 0xA5;
    bool const ok = QvStr(text.c_str()).NumericParse(&flag, 'b');
    std::string const word = number;
    bool const yes = word == "true" || word == "TRUE" || word == "1";
    bool const no = word == "false" || word == "FALSE" || word == "0";
    FUZZ_CHECK(ok == (yes || no) && flag == (yes ? 1 : no ? 0 : 0xA5));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    if (size > kMaxInput || std::count(data, data + size, '*') > kMaxStars) return 0;
    std::string const input(reinterpret_cast<char const*>(data), size);
    std::string const pattern = input.c_str();
    std::string const text =
        input.size() > pattern.size() ? input.c_str() + pattern.size() + 1 : "";

    QvStr const matcher("unused");
    bool const match = matcher.Match(pattern.c_str(), text.c_str());
    FUZZ_CHECK(match == Glob(pattern, text));
    if (pattern.find_first_of("*?") == std::string::npos) FUZZ_CHECK(match == (pattern == text));
    // Every pattern matches itself ('*' and '?' match themselves too), and "*" matches anything.
    FUZZ_CHECK(matcher.Match(pattern.c_str(), pattern.c_str()));
    FUZZ_CHECK(matcher.Match(text.c_str(), text.c_str()));
    FUZZ_CHECK(matcher.Match("*", text.c_str()));

    CheckNumericParse(pattern);
    CheckNumericParse(text);
    return 0;
}
