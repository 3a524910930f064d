// Hash lists through HashFileChecker::CheckFiles (the path form): the counters agree with the
// lines written and the result, and where every record names a file the directory surely has or
// surely lacks, the output is exactly the expected one.
#include <cstdint>
#include <memory>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"
#include "hash/hash.h"

namespace {

using HashFileChecker::FileHashPair;

constexpr std::size_t kMaxLine = 4128;

fuzz::TempDir const& Dir() {
    static fuzz::TempDir const dir;
    return dir;
}

// What checking a record must write: no line (empty) or one exact line; unsure when the record
// names a file whose state is not known here.
struct Expected {
    bool sure = true;
    bool algorithm = true;  // a calculator could be made
    std::string line;
};

Expected Expect(FileHashPair const& record, std::string const& list) {
    std::string const& name = record.FileName;
    std::string const& text = record.HashText;
    std::unique_ptr<IHashFactory> factory(createHashFactory(text));
    if (!factory)
        return {true, false, "Can't create hash calculator for " + name + " [" + text + "]."};
    std::string const* content = name == "list" ? &list : nullptr;
    auto const file = fuzz::SmallFiles().find(name);
    if (file != fuzz::SmallFiles().end()) content = &file->second;
    if (content == nullptr) {
        if (!fuzz::SurelyMissing(name)) return {false, true, ""};
        return {true, true, "Warning: File not found: " + name + "."};
    }
    std::unique_ptr<IHash> digest(factory->createHash(content->data(), content->size()));
    for (bool upper : {false, true}) {
        std::string const tagged = digest->ToStr(upper, true);
        if (text == digest->ToStr(upper, false)) return {};
        if ((text[0] == '#' || text[0] == '$') &&
            text.compare(1, std::string::npos, tagged, 1) == 0)
            return {};
    }
    return {true, true, "File changed: " + name + " [" + digest->ToStr(false, true) + "]."};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::KeepArtifactsInStartDirectory(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::string const list(reinterpret_cast<char const*>(data), size);
    Dir().Write("list", data, size);

    std::vector<Expected> expected;
    bool formatError = false, allSure = true;
    unsigned noAlgorithm = 0;
    for (auto const& line : fuzz::ListLines(list.data(), size, kMaxLine)) {
        if (line.empty() || line[0] == '[') continue;
        std::size_t const eq = line.find('=');
        if (eq == std::string::npos) {
            formatError = true;
            break;
        }
        expected.push_back(Expect({line.substr(0, eq), line.substr(eq + 1), ""}, list));
        allSure &= expected.back().sure;
        noAlgorithm += !expected.back().algorithm;
    }

    HashFileChecker::Statistics stats = {0, 0, 0, 0};
    std::ostringstream out;
    int result = 0;
    bool threw = false;
    std::string message;
    Dir().RunInside([&] {
        try {
            result = HashFileChecker::CheckFiles((Dir().path() / "list").c_str(), out, &stats);
        } catch (HashFileChecker::FileIOException const& e) {
            threw = true;
            message = e.Message;
        }
    });
    if (formatError) {
        FUZZ_CHECK(threw && message == "HashList format error" && out.str().empty());
        return 0;
    }
    if (threw) {
        FUZZ_CHECK(!allSure);  // only a file read error other than a missing or denied file
        return 0;
    }

    std::vector<std::string> const lines = fuzz::OutputLines(out.str());
    unsigned changed = 0, cannot = 0, notFound = 0, denied = 0;
    for (auto const& line : lines) {
        auto starts = [&](char const* prefix) { return line.rfind(prefix, 0) == 0; };
        changed += starts("File changed: ");
        cannot += starts("Can't create hash calculator for ");
        notFound += starts("Warning: File not found: ");
        denied += starts("Warning: File access denied: ");
    }
    FUZZ_CHECK(changed + cannot + notFound + denied == lines.size());
    FUZZ_CHECK(stats.Errors == changed + cannot && cannot == noAlgorithm);
    FUZZ_CHECK(stats.NotFound == notFound && stats.AccessDenied == denied);
    FUZZ_CHECK(stats.Processed == expected.size() - noAlgorithm);
    FUZZ_CHECK(result == (stats.Errors != 0 ? -1 : 0));
    if (allSure) {
        std::vector<std::string> want;
        for (auto const& e : expected)
            if (!e.line.empty()) want.push_back(e.line);
        FUZZ_CHECK(lines == want);
    }
    return 0;
}
