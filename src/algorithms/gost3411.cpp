#include "algorithms/gost3411.h"

#include <cstring>
#include <mutex>

#include "algorithms/byte_order.h"

namespace {

// The CryptoPro digest S-box as published: 16 rows of four bytes, row x holding
// K1(x) K2(x) | K3(x) K4(x) | K5(x) K6(x) | K7(x) K8(x), high nibble first.
constexpr unsigned char kCryptoProSBox[64] = {
    0xA5, 0x74, 0x77, 0xD1, 0x4F, 0xFA, 0x66, 0xE3, 0x54, 0xC7, 0x42, 0x4A, 0x60, 0xEC, 0xB4, 0x19,
    0x82, 0x90, 0x9D, 0x75, 0x1D, 0x4F, 0xC9, 0x0B, 0x3B, 0x12, 0x2F, 0x54, 0x79, 0x08, 0xA0, 0xAF,
    0xD1, 0x3E, 0x1A, 0x38, 0xC7, 0xB1, 0x81, 0xC6, 0xE6, 0x56, 0x05, 0x87, 0x03, 0x25, 0xEB, 0xFE,
    0x9C, 0x6D, 0xF8, 0x6D, 0x2E, 0xAB, 0xDE, 0x20, 0xBA, 0x89, 0x3C, 0x92, 0xF8, 0xD3, 0x53, 0xBC,
};

struct SBox {
    unsigned char row[8][16];  // row i substitutes the i-th nibble, least significant first
};

constexpr SBox unpackSBox() {
    SBox s{};
    for (int x = 0; x < 16; ++x)
        for (int i = 0; i < 8; ++i) {
            unsigned char b = kCryptoProSBox[4 * x + i / 2];
            s.row[i][x] = (i % 2 == 0) ? b >> 4 : b & 15;
        }
    return s;
}

constexpr SBox S = unpackSBox();

// Byte-wise substitution: SQ[t][x] replaces byte t of a word. Filled once per process.
std::uint16_t SQ[4][256];
std::once_flag sqFilled;

void fillSQ() {
    for (int t = 0; t < 4; ++t)
        for (int x = 0; x < 256; ++x)
            SQ[t][x] =
                static_cast<std::uint16_t>(S.row[2 * t + 1][x >> 4] << 4 | S.row[2 * t][x & 15]);
}

inline std::uint32_t roundFunction(std::uint32_t x) {
    x = std::uint32_t(SQ[0][x & 255]) | std::uint32_t(SQ[1][(x >> 8) & 255]) << 8 |
        std::uint32_t(SQ[2][(x >> 16) & 255]) << 16 | std::uint32_t(SQ[3][x >> 24]) << 24;
    return x << 11 | x >> 21;
}

// A(y) = (y1 ^ y2) || y4 || y3 || y2, in 64-bit parts, y1 least significant.
inline void A(std::uint64_t const in[4], std::uint64_t out[4]) {
    std::uint64_t y1 = in[0];
    out[0] = in[1];
    out[1] = in[2];
    out[2] = in[3];
    out[3] = y1 ^ in[1];
}

// P: key word m takes byte m of each 64-bit part of W, lowest part lowest.
inline void P(std::uint64_t const w[4], std::uint32_t key[8]) {
    for (int m = 0; m < 8; ++m)
        key[m] = std::uint32_t((w[0] >> (8 * m)) & 255) |
                 std::uint32_t((w[1] >> (8 * m)) & 255) << 8 |
                 std::uint32_t((w[2] >> (8 * m)) & 255) << 16 |
                 std::uint32_t((w[3] >> (8 * m)) & 255) << 24;
}

// Step function: Hout = chi(M, Hin). All values are 32 bytes, least significant first.
void f(unsigned char const* Hin, unsigned char const* M, unsigned char* Hout) {
    std::uint64_t u[4], v[4], w[4], t[4];
    for (int i = 0; i < 4; ++i) {
        u[i] = load64le(Hin + 8 * i);
        v[i] = load64le(M + 8 * i);
    }

    // Key generation; C2 = C4 = 0, C3 as below.
    std::uint64_t const C3[4] = {0xff00ff00ff00ff00ull, 0x00ff00ff00ff00ffull,
                                 0xff0000ff00ffff00ull, 0xff00ffff000000ffull};
    std::uint32_t key[4][8];
    for (int i = 0; i < 4; ++i) w[i] = u[i] ^ v[i];
    P(w, key[0]);
    for (int j = 1; j < 4; ++j) {
        A(u, t);
        for (int i = 0; i < 4; ++i) u[i] = j == 2 ? t[i] ^ C3[i] : t[i];
        A(v, t);
        A(t, v);
        for (int i = 0; i < 4; ++i) w[i] = u[i] ^ v[i];
        P(w, key[j]);
    }

    // Encryption: four independent GOST 28147-89 blocks, interleaved round by round.
    std::uint32_t a[4], b[4];
    for (int i = 0; i < 4; ++i) {
        std::uint64_t hi = load64le(Hin + 8 * i);
        a[i] = static_cast<std::uint32_t>(hi);
        b[i] = static_cast<std::uint32_t>(hi >> 32);
    }
    // clang-format off
#define ROUND(x, y, k)                           \
    y[0] ^= roundFunction(x[0] + key[0][k]);     \
    y[1] ^= roundFunction(x[1] + key[1][k]);     \
    y[2] ^= roundFunction(x[2] + key[2][k]);     \
    y[3] ^= roundFunction(x[3] + key[3][k]);
#define FORWARD8                                                                              \
    ROUND(a, b, 0) ROUND(b, a, 1) ROUND(a, b, 2) ROUND(b, a, 3) ROUND(a, b, 4) ROUND(b, a, 5) \
    ROUND(a, b, 6) ROUND(b, a, 7)
    FORWARD8 FORWARD8 FORWARD8
    ROUND(a, b, 7) ROUND(b, a, 6) ROUND(a, b, 5) ROUND(b, a, 4)
    ROUND(a, b, 3) ROUND(b, a, 2) ROUND(a, b, 1) ROUND(b, a, 0)
#undef FORWARD8
#undef ROUND

    // Mixing with the shift register psi, kept as a running window of 16-bit words:
    // one psi step appends w[k+16] = w[k]^w[k+1]^w[k+2]^w[k+3]^w[k+12]^w[k+15].
    std::uint16_t r[90];
    // clang-format on
    for (int i = 0; i < 4; ++i) {
        // The cipher's output order: N2 first, then N1.
        std::uint64_t s = std::uint64_t(b[i]) | std::uint64_t(a[i]) << 32;
        for (int q = 0; q < 4; ++q) r[4 * i + q] = static_cast<std::uint16_t>(s >> (16 * q));
    }
    auto psi = [&r](int k) {
        r[k + 16] = r[k] ^ r[k + 1] ^ r[k + 2] ^ r[k + 3] ^ r[k + 12] ^ r[k + 15];
    };
    for (int k = 0; k < 12; ++k) psi(k);
    for (int i = 0; i < 16; ++i)
        r[12 + i] ^= static_cast<std::uint16_t>(M[2 * i] | M[2 * i + 1] << 8);
    psi(12);
    for (int i = 0; i < 16; ++i)
        r[13 + i] ^= static_cast<std::uint16_t>(Hin[2 * i] | Hin[2 * i + 1] << 8);
    for (int k = 13; k < 74; ++k) psi(k);
    for (int i = 0; i < 16; ++i) {
        Hout[2 * i] = static_cast<unsigned char>(r[74 + i]);
        Hout[2 * i + 1] = static_cast<unsigned char>(r[74 + i] >> 8);
    }
}

// sum = (sum + block) mod 2^256, both little-endian.
inline void addModulo256(unsigned char* sum, unsigned char const* block) {
    unsigned carry = 0;
    for (int i = 0; i < 32; ++i) {
        carry += unsigned(sum[i]) + block[i];
        sum[i] = static_cast<unsigned char>(carry);
        carry >>= 8;
    }
}

}  // namespace

void HashGOST3411_Calc::Reset() {
    std::call_once(sqFilled, fillSQ);
    std::memset(h_, 0, sizeof h_);
    std::memset(sigma_, 0, sizeof sigma_);
    buffer_.Reset();
    before_ = 0;
}

void HashGOST3411_Calc::ProcessBlocks(unsigned char const* data, unsigned long blocks) {
    unsigned char next[32];
    for (; blocks != 0; --blocks, data += 32) {
        addModulo256(sigma_, data);
        f(h_, data, next);
        std::memcpy(h_, next, 32);
    }
}

void HashGOST3411_Calc::Update(void const* data, unsigned long size) {
    buffer_.Add(data, size, [this](unsigned char const* block, unsigned long blocks) {
        ProcessBlocks(block, blocks);
    });
}

void HashGOST3411_Calc::FinalizeHash(HashGOST3411& out) {
    // Zero-padded last block, if any bytes are pending; then no block is unfinished,
    // and the byte count stays.
    if (unsigned const used = buffer_.Used()) {
        std::memset(buffer_.Pending() + used, 0, 32 - used);
        ProcessBlocks(buffer_.Pending(), 1);
    }
    before_ += buffer_.Total();
    buffer_.Reset();
    // Length block: message bits, modulo 2^64, as a 256-bit number.
    unsigned char length[32] = {};
    store64le(length, before_ * 8);
    unsigned char next[32];
    f(h_, length, next);
    std::memcpy(h_, next, 32);
    // Control sum block; the result goes to the digest only.
    f(h_, sigma_, out.bytes_);
}

HashGOST3411::HashGOST3411(void const* data, unsigned long size) {
    HashGOST3411_Calc calc;
    calc.Update(data, size);
    calc.FinalizeHash(*this);
}

HashGOST3411::HashGOST3411(HashGOST3411_Calc& calc, bool inPlace) {
    Finalize(calc, inPlace, *this);
}

bool HashGOST3411::operator==(HashGOST3411 const& other) const {
    return std::memcmp(bytes_, other.bytes_, sizeof bytes_) == 0;
}

char* HashGOST3411::calc(char const* text, char* out) {
    if (text == nullptr) text = "";
    std::size_t len = std::strlen(text);
    HashGOST3411_Calc calc;
    if (len >= 32) {
        calc.Update(text, len);
    } else {
        unsigned char block[32] = {};
        std::memcpy(block, text, len);
        calc.Update(block, 32);
    }
    HashGOST3411 digest(calc, true);
    digest.ToCSTR(out, true);
    return out;
}
