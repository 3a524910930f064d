// A stored digest text: the algorithm createHashFactory chooses for it hashes the text alike
// whole and in two pieces, and each of the digest's own texts names it and selects that
// algorithm again; IHash::Check of the input itself must not crash.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_util.h"
#include "hash/hash.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::string const text(reinterpret_cast<char const*>(data), size);
    std::unique_ptr<IHashFactory> factory(createHashFactory(text));
    if (!factory) return 0;
    std::unique_ptr<IHash> digest(factory->createHash(data, size));
    std::unique_ptr<IHash_Calc> calc(factory->createHashCalc());
    std::size_t const split = data[0] % (size + 1);
    calc->Update(data, split);
    calc->Update(data + split, size - split);
    std::unique_ptr<IHash> pieces(factory->createHash(*calc, true));
    FUZZ_CHECK(pieces->ToStr(false, true) == digest->ToStr(false, true));
    for (bool upper : {false, true}) {
        std::string const tagged = digest->ToStr(upper, true), bare = digest->ToStr(upper, false);
        FUZZ_CHECK(bare.size() == 2 * digest->GetHashSize() && tagged.size() > bare.size());
        FUZZ_CHECK(digest->Check(tagged, upper) && digest->Check(bare, upper));
        FUZZ_CHECK(digest->Check("$" + tagged.substr(1), upper) &&
                   !digest->Check(tagged + "0", upper));
        std::unique_ptr<IHashFactory> again(createHashFactory(tagged));
        FUZZ_CHECK(again &&
                   std::unique_ptr<IHash>(again->createHash(data, size))->ToStr(upper, true) ==
                       tagged);
        digest->Check(text, upper);
    }
    return 0;
}
