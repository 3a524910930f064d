// Hash lists through HashFileChecker::CheckFiles (the path form): every line written is one of
// the four findings, the counters add up to the lines written, the result follows the errors, and
// a changed file is reported with a lower-case tagged digest text that selects its algorithm.
#include <cstdint>
#include <memory>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"
#include "hash/hash.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    HashFileChecker::Statistics stats = {0, 0, 0, 0};
    std::ostringstream out;
    int result = 0;
    bool threw = false;
    fuzz::InListDir(data, size, [&] {
        try {
            result = HashFileChecker::CheckFiles("list", out, &stats);
        } catch (HashFileChecker::FileIOException const&) {
            threw = true;
        }
    });
    if (threw) return 0;
    unsigned changed = 0, cannot = 0, missing = 0, denied = 0, lines = 0;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line); ++lines) {
        auto starts = [&line](char const* prefix) { return line.rfind(prefix, 0) == 0; };
        cannot += starts("Can't create hash calculator for ");
        missing += starts("Warning: File not found: ");
        denied += starts("Warning: File access denied: ");
        if (!starts("File changed: ")) continue;
        ++changed;
        std::size_t const from = line.rfind('[') + 1;
        std::string const digest = line.substr(from, line.size() - from - 2);
        std::unique_ptr<IHashFactory> const f(createHashFactory(digest));
        FUZZ_CHECK(f && digest[0] == '#' && digest.find_first_of("ABCDEF", digest.find(':')) == std::string::npos);
    }
    FUZZ_CHECK(changed + cannot + missing + denied == lines &&
               (lines == 0 || out.str().back() == '\n'));
    FUZZ_CHECK(stats.Errors == changed + cannot && stats.NotFound == missing &&
               stats.AccessDenied == denied);
    FUZZ_CHECK(stats.Processed >= changed + missing + denied && result == (stats.Errors ? -1 : 0));
    return 0;
}
