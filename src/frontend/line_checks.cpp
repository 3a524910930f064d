#include "frontend/line_checks.h"

#include <cctype>
#include <memory>

#include "hash/hash.h"

namespace frontend {

std::string LineChecks::Malformed(std::string const& line) {
    if (line.empty()) return "";
    if (line.find('\0') != std::string::npos) return "contains a NUL byte";
    bool const bracket = line[0] == '[';
    std::size_t const eq = line.find('=');
    std::string reason;
    if (eq == std::string::npos)
        reason = "no '=' between name and digest";
    else if (line.back() == '\r')
        reason = "carriage return at the end of the line";
    else
        reason = BadDigest(line.substr(eq + 1));
    // A '[' line is a comment unless it would be a record without its '['.
    if (bracket) return reason.empty() ? "begins with '[', so every check skips it" : "";
    return reason;
}

std::string LineChecks::BadDigest(std::string const& text) {
    // A tag runs from '#' or '$' to its first ':'; an untagged text is all digits.
    std::size_t tagSize = 0;
    if (!text.empty() && (text[0] == '#' || text[0] == '$')) {
        std::size_t const colon = text.find(':');
        tagSize = colon == std::string::npos ? text.size() : colon + 1;
    }
    for (std::size_t i = tagSize; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return "digest is not hexadecimal";
    std::size_t const digits = text.size() - tagSize, wanted = Digits(text, tagSize);
    if (wanted == 0) return "unknown algorithm tag";
    if (digits != wanted)
        return "digest has " + std::to_string(digits) + " digits, its algorithm " +
               std::to_string(wanted);
    return "";
}

std::size_t LineChecks::Digits(std::string const& text, std::size_t tagSize) {
    // Untagged texts are told apart by their length: the key is that length.
    std::string const key = tagSize != 0 ? text.substr(0, tagSize) : std::to_string(text.size());
    auto const known = digits_.find(key);
    if (known != digits_.end()) return known->second;
    std::size_t digits = 0;
    std::unique_ptr<IHashFactory> const factory(createHashFactory(text));
    if (factory) {
        std::unique_ptr<IHash_Calc> calc(factory->createHashCalc());
        std::unique_ptr<IHash> const digest(factory->createHash(*calc, true));
        digits = 2 * digest->GetHashSize();
    }
    // The few tags and lengths the library knows are kept; unknown ones are
    // not, so that a list of many different texts cannot grow the table.
    if (digits != 0) digits_.emplace(key, digits);
    return digits;
}

}  // namespace frontend
