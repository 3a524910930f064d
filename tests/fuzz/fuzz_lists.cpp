// A list, inside a small checked-in tree, through both readers of HashFileChecker.
// As a file list (ProcessFiles): the output is complete or empty. A complete one has a
// "name=#GOST3411_256_2012:digits" line for each entry; the entries are not counted here.
// As a hash list (CheckFiles, the path form): each line written is one finding, so the lines add
// up to the counters of findings, and the result follows the errors.
#include <algorithm>
#include <cstdint>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::ostringstream files;
    bool const done = fuzz::InTree(
        data, size, [&](char const* list) { HashFileChecker::ProcessFiles(list, true, files); });
    std::istringstream lines(files.str());
    for (std::string line; std::getline(lines, line);)
        FUZZ_CHECK(done && line.size() == line.find('=') + 84 &&
                   line.find("=#GOST3411_256_2012:") == line.find('='));
    HashFileChecker::Statistics stats = {0, 0, 0, 0};
    std::ostringstream out;
    int result = 0;
    if (!fuzz::InTree(data, size, [&](char const* list) {
            result = HashFileChecker::CheckFiles(list, out, &stats);
        }))
        return 0;
    std::string const text = out.str();
    auto const findings = static_cast<std::uint32_t>(std::count(text.begin(), text.end(), '\n'));
    FUZZ_CHECK(findings == stats.Errors + stats.NotFound + stats.AccessDenied &&
               result == (stats.Errors ? -1 : 0));
    FUZZ_CHECK(stats.Processed >= stats.NotFound + stats.AccessDenied &&
               (text.empty() || text.back() == '\n'));
    return 0;
}
