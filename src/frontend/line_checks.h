// Why a hash list line is not a well-formed record, for --warn and --strict.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace frontend {

class LineChecks {
public:
    // The reason a line is reported, or empty: a well-formed record, an empty
    // line, or a '[' line that is a comment anyway.
    std::string Malformed(std::string const& line);

private:
    // Why the text after '=' is not a digest the check can compare, or empty.
    std::string BadDigest(std::string const& text);
    // The digits of the algorithm a tag names; 0 for no known algorithm.
    std::size_t Digits(std::string const& text, std::size_t tagSize);

    std::map<std::string, std::size_t> digits_;  // by tag, "#" or "$" as written
};

}  // namespace frontend
