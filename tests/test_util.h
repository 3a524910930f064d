// Small helpers shared by the test binaries.
#pragma once

#include <cstddef>
#include <string>

namespace testutil {

inline std::string toHex(void const* data, std::size_t size) {
    auto const* p = static_cast<unsigned char const*>(data);
    std::string s;
    for (std::size_t i = 0; i < size; ++i)
        s += {"0123456789abcdef"[p[i] >> 4], "0123456789abcdef"[p[i] & 15]};
    return s;
}

// Bytes (131 i + 7) mod 256: messages whose digests were taken with md5sum and rhash.
inline std::string patternMessage(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + 7) & 255);
    return s;
}

}  // namespace testutil
