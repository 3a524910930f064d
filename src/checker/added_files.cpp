#include "checker/added_files.h"

#include <algorithm>
#include <random>

#include "checker/rooted_open.h"
#include "checker/tree_walk.h"
#include "hash/hash.h"

namespace HashFileChecker {

RecordedNames::RecordedNames() {
    std::random_device random;
    for (unsigned char& byte : salt_) byte = static_cast<unsigned char>(random());
}

std::string RecordedNames::Normal(std::string_view name, std::string const& cwd) {
    std::string normal = name.empty() || name[0] != '/' ? cwd : "";
    if (normal == "/") normal.clear();
    for (std::size_t at = 0; at <= name.size();) {
        std::size_t const end = std::min(name.find('/', at), name.size());
        std::string_view const part = name.substr(at, end - at);
        if (part == "..")
            normal.resize(normal.empty() ? 0 : normal.rfind('/'));  // never above "/"
        else if (!part.empty() && part != ".")
            normal.append(1, '/').append(part);
        at = end + 1;
    }
    return normal.empty() ? "/" : normal;
}

RecordedNames::Key RecordedNames::KeyOf(std::string_view normalName) const {
    Hash_Calc<HashMD5_Calc> calc;
    calc.Update(salt_, sizeof salt_);
    calc.Update(normalName.data(), normalName.size());
    HashMD5 const digest(calc.calc, true);
    Key key = {0, 0};
    for (int i = 0; i < 8; ++i) {
        key.high = key.high << 8 | digest.Bytes()[i];
        key.low = key.low << 8 | digest.Bytes()[8 + i];
    }
    return key;
}

void RecordedNames::Add(std::string_view name, std::string const& cwd) {
    if (count_ % kChunk == 0) chunks_.emplace_back(new Key[kChunk]);
    At(count_++) = KeyOf(Normal(name, cwd));
}

namespace {

// The keys of chunks_ in one random-access range, for sorting and searching.
template <class Names, class Key>
struct KeyIterator {
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Key;
    using difference_type = std::ptrdiff_t;
    using pointer = Key*;
    using reference = Key&;
    Names const* names;
    std::ptrdiff_t i;
    reference operator*() const { return names->At(static_cast<std::size_t>(i)); }
    reference operator[](difference_type n) const { return *(*this + n); }
    KeyIterator& operator++() { return ++i, *this; }
    KeyIterator& operator--() { return --i, *this; }
    KeyIterator operator++(int) { return {names, i++}; }
    KeyIterator operator--(int) { return {names, i--}; }
    KeyIterator& operator+=(difference_type n) { return i += n, *this; }
    KeyIterator& operator-=(difference_type n) { return i -= n, *this; }
    KeyIterator operator+(difference_type n) const { return {names, i + n}; }
    KeyIterator operator-(difference_type n) const { return {names, i - n}; }
    friend KeyIterator operator+(difference_type n, KeyIterator k) { return k + n; }
    difference_type operator-(KeyIterator const& o) const { return i - o.i; }
    bool operator==(KeyIterator const& o) const { return i == o.i; }
    bool operator!=(KeyIterator const& o) const { return i != o.i; }
    bool operator<(KeyIterator const& o) const { return i < o.i; }
};

}  // namespace

void RecordedNames::Seal() {
    using It = KeyIterator<RecordedNames, Key>;
    std::sort(It{this, 0}, It{this, static_cast<std::ptrdiff_t>(count_)});
}

bool RecordedNames::Contains(std::string_view absoluteName) const {
    using It = KeyIterator<RecordedNames, Key>;
    Key const key = KeyOf(absoluteName);
    It const end{this, static_cast<std::ptrdiff_t>(count_)};
    It const at = std::lower_bound(It{this, 0}, end, key);
    return at != end && !(key < *at);
}

void FindAddedFiles(std::string const& start, RecordedNames const& names, std::ostream& out,
                    Verdict& verdict, CheckOptions const& options) {
    RootDirectory const root(options.root, true);
    std::string const from = RecordedNames::Normal(start, "/");
    std::string name;
    WalkTree(root.Fd(), from.substr(1), [&](TreeEntry const& entry) {
        if (entry.kind != TreeEntry::File && entry.kind != TreeEntry::LinkToFile) return;
        name.assign(1, '/').append(entry.path);
        char const* const unlistable = UnlistableReason(name);
        if (!unlistable && names.Contains(name)) return;
        Finding finding;
        finding.kind = unlistable ? Finding::Unlistable : Finding::Added;
        finding.name = name;
        if (unlistable) finding.reason = unlistable;
        verdict.Count(finding.kind);
        if (options.onFinding)
            options.onFinding(finding);
        else
            out << FindingLine(finding) << std::endl;
    });
}

}  // namespace HashFileChecker
