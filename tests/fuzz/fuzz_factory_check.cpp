// A stored digest text: the algorithm createHashFactory chooses for it hashes the text alike whole
// and in two pieces, the digest's tagged texts name it and select its algorithm again, and
// checking the input itself does not crash.
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
    calc->Update(data, data[0] % (size + 1));
    calc->Update(data + data[0] % (size + 1), size - data[0] % (size + 1));
    std::unique_ptr<IHash> pieces(factory->createHash(*calc, true));
    for (bool upper : {false, true}) {
        std::string const tagged = digest->ToStr(upper, true);
        std::unique_ptr<IHashFactory> again(createHashFactory("$" + tagged.substr(1)));
        std::unique_ptr<IHash> same(again->createHash(data, size));
        FUZZ_CHECK(pieces->ToStr(upper, true) == tagged && same->ToStr(upper, true) == tagged);
        FUZZ_CHECK(digest->Check(tagged, upper) && digest->Check("$" + tagged.substr(1), upper));
        digest->Check(text, upper);
    }
    return 0;
}
