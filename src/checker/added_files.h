// Files of a tree that no hash list names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "checker/hashfile_checker.h"

namespace HashFileChecker {

// The names of a check's records, 16 bytes each however long the name: a
// digest of the name keyed afresh for each run, so that no name can be made
// to pass for another.
class RecordedNames {
public:
    RecordedNames();
    // cwd: where a relative name is read from, as an absolute name ("/" below a root).
    void Add(std::string_view name, std::string const& cwd);
    // Ready for Contains once every name was added.
    void Seal();
    bool Contains(std::string_view absoluteName) const;

    // The name as a walk of the tree gives it: "/" and its components, with
    // ".", ".." and empty ones resolved by their text, never above "/".
    static std::string Normal(std::string_view name, std::string const& cwd);

    // The keys, held in chunks: key i.
    struct Key {
        std::uint64_t high, low;
        bool operator<(Key const& o) const { return high != o.high ? high < o.high : low < o.low; }
    };
    Key& At(std::size_t i) const { return chunks_[i / kChunk][i % kChunk]; }

private:
    Key KeyOf(std::string_view normalName) const;

    static constexpr std::size_t kChunk = 65536;  // keys allocated at a time: 1 MiB
    unsigned char salt_[16];
    std::vector<std::unique_ptr<Key[]>> chunks_;
    std::size_t count_ = 0;
};

// Every file below start (an absolute name inside the root, as recorded) that a listing
// of the tree would record and names does not hold is counted into the
// verdict as Added and handed to options.onFinding (or written to out), by its
// name as recorded below the root. Without a root the tree is "/".
void FindAddedFiles(std::string const& start, RecordedNames const& names, std::ostream& out,
                    Verdict& verdict, CheckOptions const& options);

}  // namespace HashFileChecker
