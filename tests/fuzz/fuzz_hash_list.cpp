// Hash lists through HashFileChecker::CheckFiles (the path form): every line written is one of the
// four findings, the counters add up to the lines written, and the result follows the errors.
#include <cstdint>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    HashFileChecker::Statistics stats = {0, 0, 0, 0};
    std::ostringstream out;
    int result = 0;
    if (!fuzz::InTree(data, size, [&](char const* name) {
            result = HashFileChecker::CheckFiles(name, out, &stats);
        }))
        return 0;
    char const* const kinds[] = {"File changed: ", "Can't create hash calculator for ",
                                 "Warning: File not found: ", "Warning: File access denied: "};
    unsigned counts[4] = {}, lines = 0;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line); ++lines)
        for (int k = 0; k < 4; ++k) counts[k] += line.rfind(kinds[k], 0) == 0;
    FUZZ_CHECK(counts[0] + counts[1] + counts[2] + counts[3] == lines &&
               stats.Errors == counts[0] + counts[1]);
    FUZZ_CHECK(stats.NotFound == counts[2] && stats.AccessDenied == counts[3] &&
               result == (stats.Errors ? -1 : 0));
    FUZZ_CHECK(stats.Processed >= counts[0] + counts[2] + counts[3]);
    return 0;
}
