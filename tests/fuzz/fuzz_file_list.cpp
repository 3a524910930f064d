// File lists through HashFileChecker::ProcessFiles: the output is complete or empty; each line of
// a complete one names a piece of the list, in list order, with a GOST R 34.11-2012 digest.
#include <cstdint>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::string const list(reinterpret_cast<char const*>(data), size);
    std::ostringstream out;
    bool const done = fuzz::InTree(
        data, size, [&](char const* name) { HashFileChecker::ProcessFiles(name, true, out); });
    std::istringstream lines(out.str());
    std::size_t at = 0;  // where the previous line's name was found in the list
    for (std::string line; std::getline(lines, line);) {
        FUZZ_CHECK(done &&
                   (at = list.find(line.substr(0, line.find('=')), at)) != std::string::npos);
        FUZZ_CHECK(line.size() == line.find('=') + 84 &&
                   line.find("=#GOST3411_256_2012:") == line.find('='));
    }
    return 0;
}
