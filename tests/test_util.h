// Small helpers shared by the test binaries.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace testutil {

inline std::string toHex(void const* data, std::size_t size) {
    static char const digits[] = "0123456789abcdef";
    auto const* p = static_cast<unsigned char const*>(data);
    std::string s;
    for (std::size_t i = 0; i < size; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

inline std::vector<unsigned char> fromHex(std::string const& hex) {
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// A number written most significant digit first, as little-endian bytes.
inline std::vector<unsigned char> fromHexNumber(std::string const& hex) {
    auto bytes = fromHex(hex);
    return std::vector<unsigned char>(bytes.rbegin(), bytes.rend());
}

// Bytes (131 i + 7) mod 256: the messages whose digests were taken with
// md5sum and rhash as independent references.
inline std::string patternMessage(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + 7) & 255);
    return s;
}

}  // namespace testutil
