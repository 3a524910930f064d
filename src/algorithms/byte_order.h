// Little-endian loads and stores that compile to plain moves on x86.
#pragma once

#include <cstdint>

inline std::uint64_t load64le(unsigned char const* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

inline void store64le(unsigned char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
