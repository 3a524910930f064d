#include "algorithms/_md5.h"

#include <cstring>

#include "algorithms/byte_order.h"

namespace {

unsigned char const PADDING[64] = {0x80};

// Little-endian bytes of len/4 words.
void uint32ToByte(unsigned char* out, std::uint32_t const* in, unsigned int len) {
    for (unsigned int i = 0; i < len; i += 4) {
        std::uint32_t w = in[i / 4];
        out[i] = static_cast<unsigned char>(w);
        out[i + 1] = static_cast<unsigned char>(w >> 8);
        out[i + 2] = static_cast<unsigned char>(w >> 16);
        out[i + 3] = static_cast<unsigned char>(w >> 24);
    }
}

inline std::uint32_t load32(unsigned char const* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline std::uint32_t rotl(std::uint32_t x, int s) {
    return (x << s) | (x >> (32 - s));
}

// Round functions, in forms with short dependency chains.
#define F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define G(x, y, z) (((x) & (z)) + ((y) & ~(z)))
#define H(x, y, z) ((x) ^ (y) ^ (z))
#define I(x, y, z) ((y) ^ ((x) | ~(z)))
#define STEP(f, a, b, c, d, k, s, t)           \
    a += f(b, c, d) + x[k] + std::uint32_t(t); \
    a = rotl(a, s) + b;

// One 64-byte block into the chaining value.
void transform(std::uint32_t state[4], unsigned char const* block) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load32(block + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    STEP(F, a, b, c, d, 0, 7, 0xd76aa478)
    STEP(F, d, a, b, c, 1, 12, 0xe8c7b756)
    STEP(F, c, d, a, b, 2, 17, 0x242070db)
    STEP(F, b, c, d, a, 3, 22, 0xc1bdceee)
    STEP(F, a, b, c, d, 4, 7, 0xf57c0faf)
    STEP(F, d, a, b, c, 5, 12, 0x4787c62a)
    STEP(F, c, d, a, b, 6, 17, 0xa8304613)
    STEP(F, b, c, d, a, 7, 22, 0xfd469501)
    STEP(F, a, b, c, d, 8, 7, 0x698098d8)
    STEP(F, d, a, b, c, 9, 12, 0x8b44f7af)
    STEP(F, c, d, a, b, 10, 17, 0xffff5bb1)
    STEP(F, b, c, d, a, 11, 22, 0x895cd7be)
    STEP(F, a, b, c, d, 12, 7, 0x6b901122)
    STEP(F, d, a, b, c, 13, 12, 0xfd987193)
    STEP(F, c, d, a, b, 14, 17, 0xa679438e)
    STEP(F, b, c, d, a, 15, 22, 0x49b40821)

    STEP(G, a, b, c, d, 1, 5, 0xf61e2562)
    STEP(G, d, a, b, c, 6, 9, 0xc040b340)
    STEP(G, c, d, a, b, 11, 14, 0x265e5a51)
    STEP(G, b, c, d, a, 0, 20, 0xe9b6c7aa)
    STEP(G, a, b, c, d, 5, 5, 0xd62f105d)
    STEP(G, d, a, b, c, 10, 9, 0x02441453)
    STEP(G, c, d, a, b, 15, 14, 0xd8a1e681)
    STEP(G, b, c, d, a, 4, 20, 0xe7d3fbc8)
    STEP(G, a, b, c, d, 9, 5, 0x21e1cde6)
    STEP(G, d, a, b, c, 14, 9, 0xc33707d6)
    STEP(G, c, d, a, b, 3, 14, 0xf4d50d87)
    STEP(G, b, c, d, a, 8, 20, 0x455a14ed)
    STEP(G, a, b, c, d, 13, 5, 0xa9e3e905)
    STEP(G, d, a, b, c, 2, 9, 0xfcefa3f8)
    STEP(G, c, d, a, b, 7, 14, 0x676f02d9)
    STEP(G, b, c, d, a, 12, 20, 0x8d2a4c8a)

    STEP(H, a, b, c, d, 5, 4, 0xfffa3942)
    STEP(H, d, a, b, c, 8, 11, 0x8771f681)
    STEP(H, c, d, a, b, 11, 16, 0x6d9d6122)
    STEP(H, b, c, d, a, 14, 23, 0xfde5380c)
    STEP(H, a, b, c, d, 1, 4, 0xa4beea44)
    STEP(H, d, a, b, c, 4, 11, 0x4bdecfa9)
    STEP(H, c, d, a, b, 7, 16, 0xf6bb4b60)
    STEP(H, b, c, d, a, 10, 23, 0xbebfbc70)
    STEP(H, a, b, c, d, 13, 4, 0x289b7ec6)
    STEP(H, d, a, b, c, 0, 11, 0xeaa127fa)
    STEP(H, c, d, a, b, 3, 16, 0xd4ef3085)
    STEP(H, b, c, d, a, 6, 23, 0x04881d05)
    STEP(H, a, b, c, d, 9, 4, 0xd9d4d039)
    STEP(H, d, a, b, c, 12, 11, 0xe6db99e5)
    STEP(H, c, d, a, b, 15, 16, 0x1fa27cf8)
    STEP(H, b, c, d, a, 2, 23, 0xc4ac5665)

    STEP(I, a, b, c, d, 0, 6, 0xf4292244)
    STEP(I, d, a, b, c, 7, 10, 0x432aff97)
    STEP(I, c, d, a, b, 14, 15, 0xab9423a7)
    STEP(I, b, c, d, a, 5, 21, 0xfc93a039)
    STEP(I, a, b, c, d, 12, 6, 0x655b59c3)
    STEP(I, d, a, b, c, 3, 10, 0x8f0ccc92)
    STEP(I, c, d, a, b, 10, 15, 0xffeff47d)
    STEP(I, b, c, d, a, 1, 21, 0x85845dd1)
    STEP(I, a, b, c, d, 8, 6, 0x6fa87e4f)
    STEP(I, d, a, b, c, 15, 10, 0xfe2ce6e0)
    STEP(I, c, d, a, b, 6, 15, 0xa3014314)
    STEP(I, b, c, d, a, 13, 21, 0x4e0811a1)
    STEP(I, a, b, c, d, 4, 6, 0xf7537e82)
    STEP(I, d, a, b, c, 11, 10, 0xbd3af235)
    STEP(I, c, d, a, b, 2, 15, 0x2ad7d2bb)
    STEP(I, b, c, d, a, 9, 21, 0xeb86d391)

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

#undef F
#undef G
#undef H
#undef I
#undef STEP

}  // namespace

void HashMD5_Calc::Reset() {
    buffer_.Reset();
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
}

void HashMD5_Calc::Update(void const* data, unsigned long size) {
    buffer_.Add(data, size, [this](unsigned char const* block, unsigned long blocks) {
        for (; blocks != 0; --blocks, block += 64) transform(state_, block);
    });
}

void HashMD5_Calc::FinalizeHash(HashMD5& out) {
    unsigned char length[8];
    store64le(length, buffer_.Total() * 8);  // message bits modulo 2^64
    unsigned int used = buffer_.Used();
    unsigned int padding = used < 56 ? 56 - used : 120 - used;
    Update(PADDING, padding);
    Update(length, 8);
    uint32ToByte(out.bytes_, state_, 16);
}

HashMD5::HashMD5(void const* data, unsigned long size) {
    HashMD5_Calc calc;
    calc.Update(data, size);
    calc.FinalizeHash(*this);
}

HashMD5::HashMD5(HashMD5_Calc& calc, bool inPlace) {
    Finalize(calc, inPlace, *this);
}

bool HashMD5::operator==(HashMD5 const& other) const {
    return std::memcmp(bytes_, other.bytes_, sizeof bytes_) == 0;
}
