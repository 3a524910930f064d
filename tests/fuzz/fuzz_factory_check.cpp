// A stored digest text: the digest of the text by the algorithm createHashFactory chooses for it
// round-trips through its tagged texts ('#' and '$'), which name it and select that algorithm
// again; checking the input itself does not crash.
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
    for (bool upper : {false, true}) {
        std::string const tagged = digest->ToStr(upper, true);
        std::unique_ptr<IHashFactory> again(createHashFactory("$" + tagged.substr(1)));
        FUZZ_CHECK(std::unique_ptr<IHash>(again->createHash(data, size))->ToStr(upper, true) ==
                   tagged);
        FUZZ_CHECK(digest->Check(tagged, upper) && digest->Check("$" + tagged.substr(1), upper));
        digest->Check(text, upper);
    }
    return 0;
}
