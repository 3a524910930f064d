// File lists through HashFileChecker::ProcessFiles: the output is complete or empty. When the run
// succeeds each line names a piece of the list, in list order, with a lower-case
// GOST R 34.11-2012 digest text.
#include <cstdint>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::string const list(reinterpret_cast<char const*>(data), size);
    std::ostringstream out;
    if (!fuzz::InListDir(data, size, [&] { HashFileChecker::ProcessFiles("list", true, out); }))
        FUZZ_CHECK(out.str().empty());
    std::istringstream lines(out.str());
    std::size_t at = 0;  // where the previous line's name was found in the list
    for (std::string line; std::getline(lines, line);) {
        std::string const name = line.substr(0, line.find('=')),
                          digest = line.substr(name.size() + 1);
        FUZZ_CHECK((at = list.find(name, at)) != std::string::npos && digest.size() == 83);
        FUZZ_CHECK(digest.rfind("#GOST3411_256_2012:", 0) == 0 &&
                   digest.find_first_not_of("0123456789abcdef", 19) == std::string::npos);
    }
    return 0;
}
