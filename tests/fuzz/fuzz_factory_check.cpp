// Choosing an algorithm by a stored digest text (createHashFactory) and comparing texts with a
// digest (IHash::Check): the factory matches the text's tag or length, and a digest of the same
// text accepts its own texts and no other.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "hash/hash.h"

namespace {

struct Algorithm {
    char const* tag;
    unsigned size;
};
Algorithm const kAlgorithms[] = {
    {"#MD5:", 16}, {"#GOST3411_RFC4357:", 32}, {"#GOST3411_256_2012:", 32}};

// The algorithm a text names: a tag after '#' or '$', else 32 characters (MD5) or 64 (GOST R
// 34.11-2012) of anything; null for none.
Algorithm const* Named(std::string const& text) {
    if (text.empty()) return nullptr;
    if (text[0] == '#' || text[0] == '$') {
        for (auto const& a : kAlgorithms)
            if (text.compare(1, std::strlen(a.tag) - 1, a.tag + 1) == 0) return &a;
        return nullptr;
    }
    if (text.size() == 32) return &kAlgorithms[0];
    if (text.size() == 64) return &kAlgorithms[2];
    return nullptr;
}

// Whether a text names the digest in one case: its bare digits, or its tagged text with '#' or '$'.
bool Names(std::string const& text, IHash const& digest, bool upper) {
    if (text == digest.ToStr(upper, false)) return true;
    return !text.empty() && (text[0] == '#' || text[0] == '$') &&
           text.compare(1, std::string::npos, digest.ToStr(upper, true), 1) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::string const text(reinterpret_cast<char const*>(data), size);
    std::unique_ptr<IHashFactory> factory(createHashFactory(text));
    Algorithm const* named = Named(text);
    FUZZ_CHECK((factory != nullptr) == (named != nullptr));
    if (!factory) return 0;

    // The digest of the text, whole and in two pieces split where its first byte says.
    std::unique_ptr<IHash> digest(factory->createHash(data, size));
    FUZZ_CHECK(digest->GetHashSize() == named->size);
    std::unique_ptr<IHash_Calc> calc(factory->createHashCalc());
    std::size_t const split = data[0] % (size + 1);
    calc->Update(data, split);
    calc->Update(data + split, size - split);
    std::unique_ptr<IHash> copied(factory->createHash(*calc, false));
    std::unique_ptr<IHash> spent(factory->createHash(*calc, true));
    FUZZ_CHECK(std::memcmp(copied->Digest(), digest->Digest(), named->size) == 0);
    FUZZ_CHECK(std::memcmp(spent->Digest(), digest->Digest(), named->size) == 0);

    // Candidate texts: the input, the digest's own texts, pieces of them followed by a piece of the
    // input (the lengths chosen by its last and middle bytes), other tags, the other case.
    std::size_t const cut = data[size - 1], from = data[size / 2] % (size + 1);
    for (bool upper : {false, true}) {
        std::string const bare = digest->ToStr(upper, false), tagged = digest->ToStr(upper, true);
        FUZZ_CHECK(bare.size() == 2 * named->size && tagged == named->tag + bare);
        FUZZ_CHECK(bare.find_first_not_of(upper ? "0123456789ABCDEF" : "0123456789abcdef") ==
                   std::string::npos);
        std::string dollar = tagged;
        dollar[0] = '$';
        FUZZ_CHECK(digest->Check(bare, upper) && digest->Check(tagged, upper) &&
                   digest->Check(dollar, upper));

        std::vector<std::string> candidates = {
            text,
            bare.substr(0, cut % (bare.size() + 1)) + text.substr(from),
            dollar.substr(0, cut % (dollar.size() + 1)) + text.substr(from),
            digest->ToStr(!upper, false),
            digest->ToStr(!upper, true),
        };
        for (auto const& a : kAlgorithms) candidates.push_back(a.tag + bare);
        for (auto const& c : candidates) {
            // Check reads the digits as a C string: they end at the first NUL, so the right
            // digits followed by a NUL and anything else name the digest too.
            FUZZ_CHECK(digest->Check(c, upper) == Names(c.c_str(), *digest, upper));
        }
    }
    return 0;
}
