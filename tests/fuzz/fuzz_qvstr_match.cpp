// QvStr::Match on a pattern, a NUL and a text. Every pattern matches itself ('*' and '?' match
// themselves too), one without wildcards nothing else, and "*" anything; a match stays one with a
// star added at both ends, and with '?' for some characters of the text.
// Match backtracks, which is exponential in the number of stars: inputs are kept small.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_util.h"
#include "util/qvstr.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    if (size > 48 || std::count(data, data + size, '*') > 8) return 0;
    std::string const input(reinterpret_cast<char const*>(data), size), p = input.c_str();
    std::string const t = input.substr(std::min(size, p.size() + 1)).c_str();
    std::string q = t;
    for (std::size_t i = 0; i < q.size(); i += 1 + data[i] % 3) q[i] = '?';
    QvStr const m;
    bool const match = m.Match(p.c_str(), t.c_str());
    FUZZ_CHECK(m.Match(p.c_str(), p.c_str()) && m.Match("*", t.c_str()) &&
               m.Match(q.c_str(), t.c_str()));
    FUZZ_CHECK(p.find_first_of("*?") != std::string::npos || match == (p == t));
    FUZZ_CHECK(!match || m.Match(("*" + p + "*").c_str(), ("<" + t + ">").c_str()));
    return 0;
}
