// File lists through HashFileChecker::ProcessFiles: the output is complete or empty. When the run
// succeeds it is one line per entry, each naming a piece of the list, in list order, with a
// GOST R 34.11-2012 digest text that selects that algorithm again.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"
#include "hash/hash.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::string const list(reinterpret_cast<char const*>(data), size);
    std::ostringstream out;
    bool failed = false;
    fuzz::InListDir(data, size, [&] {
        try {
            HashFileChecker::ProcessFiles("list", true, out);
        } catch (HashFileChecker::FileIOException const&) {
            failed = true;
        }
    });
    std::string const text = out.str();
    FUZZ_CHECK((!failed || text.empty()) && (text.empty() || text.back() == '\n'));
    FUZZ_CHECK(std::count(text.begin(), text.end(), '\n') <=
               std::count(list.begin(), list.end(), '\n') + 1);
    std::istringstream lines(text);
    std::size_t at = 0;  // where the previous entry's name was found in the list
    for (std::string line; std::getline(lines, line);) {
        std::size_t const eq = line.find('=');
        FUZZ_CHECK(eq != std::string::npos &&
                   (at = list.find(line.substr(0, eq), at)) != std::string::npos);
        std::string const digest = line.substr(eq + 1);
        std::unique_ptr<IHashFactory> const f(createHashFactory(digest));
        FUZZ_CHECK(f && digest.size() == 83 && digest.rfind("#GOST3411_256_2012:", 0) == 0);
        FUZZ_CHECK(digest.find_first_not_of("0123456789abcdef", 19) == std::string::npos);
    }
    return 0;
}
