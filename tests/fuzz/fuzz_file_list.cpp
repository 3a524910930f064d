// File lists through HashFileChecker::ProcessFiles: the output is complete (one line per entry,
// in list order, with the digest of the file the entry names) or empty.
#include <cstdint>
#include <memory>
#include <sstream>

#include "checker/hashfile_checker.h"
#include "fuzz_util.h"
#include "hash/hash.h"

namespace {

constexpr std::size_t kMaxLine = 8192;
std::string const kTag = "#GOST3411_256_2012:";

fuzz::TempDir const& Dir() {
    static fuzz::TempDir const dir;
    return dir;
}

std::string Digest(std::string const& content) {
    std::unique_ptr<IHashFactory> factory(createHashFactory(HashFileChecker::GOST_3411_2012));
    std::unique_ptr<IHash> digest(factory->createHash(content.data(), content.size()));
    return digest->ToStr(false, true);
}

// The file an entry is read from: after the first '=', else after the last '/'.
std::string SourceName(std::string const& entry) {
    std::size_t const eq = entry.find('=');
    if (eq != std::string::npos) return entry.substr(eq + 1);
    return entry.substr(entry.rfind('/') + 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::KeepArtifactsInStartDirectory(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    auto const* text = reinterpret_cast<char const*>(data);
    Dir().Write("list", data, size);
    static std::map<std::string, std::string> const files = [] {
        std::map<std::string, std::string> digests;
        for (auto const& [name, content] : fuzz::SmallFiles()) digests[name] = Digest(content);
        return digests;
    }();
    std::string listDigest;  // made when an entry names the list itself
    auto known = [&](std::string const& source) -> std::string const* {
        if (source == "list") {
            if (listDigest.empty()) listDigest = Digest(std::string(text, size));
            return &listDigest;
        }
        auto const file = files.find(source);
        return file == files.end() ? nullptr : &file->second;
    };

    std::vector<std::string> entries;
    for (auto& line : fuzz::ListLines(text, size, kMaxLine))
        if (!line.empty()) entries.push_back(line);

    std::ostringstream out;
    bool failed = false;
    Dir().RunInside([&] {
        try {
            HashFileChecker::ProcessFiles((Dir().path() / "list").c_str(), true, out);
        } catch (HashFileChecker::FileIOException const&) {
            failed = true;
        }
    });
    bool anyMissing = entries.empty(), allKnown = true;
    for (auto const& entry : entries) {
        anyMissing |= fuzz::SurelyMissing(SourceName(entry));
        allKnown &= known(SourceName(entry)) != nullptr;
    }
    if (failed) {
        FUZZ_CHECK(out.str().empty() && (anyMissing || !allKnown));
        return 0;
    }
    FUZZ_CHECK(!anyMissing);
    std::vector<std::string> const lines = fuzz::OutputLines(out.str());
    FUZZ_CHECK(lines.size() == entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string const prefix = entries[i].substr(0, entries[i].find('=')) + '=';
        FUZZ_CHECK(lines[i].compare(0, prefix.size(), prefix) == 0);
        std::string const digest = lines[i].substr(prefix.size());
        FUZZ_CHECK(digest.size() == kTag.size() + 64 && digest.compare(0, kTag.size(), kTag) == 0);
        FUZZ_CHECK(digest.find_first_not_of("0123456789abcdef", kTag.size()) == std::string::npos);
        if (std::string const* want = known(SourceName(entries[i]))) FUZZ_CHECK(digest == *want);
    }
    return 0;
}
