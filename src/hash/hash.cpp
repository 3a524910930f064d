#include "hash/hash.h"

namespace {

// True if s begins with the N - 1 characters of the literal.
template <std::size_t N>
bool is_equal_(char const (&literal)[N], std::string const& s) {
    return s.size() >= N - 1 && s.compare(0, N - 1, literal) == 0;
}

}  // namespace

IHashFactory* createHashFactory(HashFileChecker::Alg alg) {
    switch (alg) {
        case HashFileChecker::GOST_RFC4357:
            return new GOST_RFC4357HashFactory();
        case HashFileChecker::MD5:
            return new MD5HashFactory();
        case HashFileChecker::GOST_3411_2012:
            return new GOST_3411_2012HashFactory();
    }
    return nullptr;
}

IHashFactory* createHashFactory(std::string const& text) {
    // Tagged texts: only the beginning is looked at; the digits are checked later.
    if (is_equal_("#MD5:", text) || is_equal_("$MD5:", text)) return new MD5HashFactory();
    if (is_equal_("#GOST3411_RFC4357:", text) || is_equal_("$GOST3411_RFC4357:", text))
        return new GOST_RFC4357HashFactory();
    if (is_equal_("#GOST3411_256_2012:", text) || is_equal_("$GOST3411_256_2012:", text))
        return new GOST_3411_2012HashFactory();
    if (text.empty() || text[0] == '#' || text[0] == '$') return nullptr;
    // Untagged texts are told apart by length; 64 digits are never GOST R 34.11-94.
    if (text.size() == 32) return new MD5HashFactory();
    if (text.size() == 64) return new GOST_3411_2012HashFactory();
    return nullptr;
}
