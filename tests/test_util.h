// Small helpers shared by the test binaries.
#pragma once

#include <cstddef>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testutil {

inline std::string toHex(void const* data, std::size_t size) {
    std::string s;
    for (auto p = static_cast<unsigned char const*>(data); size-- > 0; ++p)
        s += {"0123456789abcdef"[*p >> 4], "0123456789abcdef"[*p & 15]};
    return s;
}

// Bytes (131 i + 7) mod 256: messages whose digests were taken with md5sum and rhash.
inline std::string patternMessage(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + 7) & 255);
    return s;
}

// The rows of a table under tests/data: fields separated by blanks, lines starting with '#'
// skipped. In a field, "" is the empty text and \s \t \r \n \0 \\ stand for a space, a tab, a
// carriage return, a line feed, a NUL and a backslash.
inline std::vector<std::vector<std::string>> readRows(std::string const& name) {
    std::ifstream in(ICV_TEST_DATA_DIR "/" + name);
    if (!in) throw std::runtime_error("cannot read " + name);
    std::vector<std::vector<std::string>> rows;
    std::string const escapes = "0strn\\", meanings("\0 \t\r\n\\", 6);
    for (std::string line, field; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        rows.emplace_back();
        while (words >> field) {
            for (std::size_t i = 0; (i = field.find('\\', i)) != std::string::npos; ++i)
                field.replace(i, 2, 1, meanings.at(escapes.find(field.at(i + 1))));
            rows.back().push_back(field == "\"\"" ? "" : field);
        }
    }
    return rows;
}

}  // namespace testutil
