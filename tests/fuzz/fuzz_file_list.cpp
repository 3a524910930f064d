// File lists through HashFileChecker::ProcessFiles: the output is complete or empty. A complete
// one has a "name=#GOST3411_256_2012:digits" line for each entry; the entries are not counted here.
#include <cstdint>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::ostringstream out;
    bool const done = fuzz::InTree(
        data, size, [&](char const* list) { HashFileChecker::ProcessFiles(list, true, out); });
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        FUZZ_CHECK(done && line.size() == line.find('=') + 84 &&
                   line.find("=#GOST3411_256_2012:") == line.find('='));
    return 0;
}
