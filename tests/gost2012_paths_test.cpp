// Every compression path against the portable table-driven one, on the same inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "algorithms/gost34_11_2012_internal.h"
#include "test_util.h"

namespace {

namespace internal = gost34_11_2012_internal;
using internal::Path;
using testutil::toHex;

// The digest of the first n bytes of m.
std::string oneShot(Path path, std::string const& m, std::size_t n, int bits) {
    unsigned char out[64];
    internal::digest(path, m.data(), n, out, bits);
    return toHex(out, bits / 8);
}

// Every length up to 300 bytes, and a long message (many blocks in one call); then states that no
// message of a realistic length reaches, N and sigma carrying across words: the AVX-512 block
// function, on one message and on two at once, against the portable one.
TEST(Avx512Path, AgreesWithPortable) {
    // AVX-512 F, BW and VBMI with GFNI, and a build with the path.
    if (!internal::available(Path::Avx512)) GTEST_SKIP() << "no AVX-512 path here";
    std::mt19937 rng{2012};  // random bytes from a fixed seed, so failures repeat
    std::string m(1 << 20, '\0');
    for (auto& c : m) c = static_cast<char>(rng());
    for (std::size_t n = 0; n <= 300; ++n)
        for (int bits : {256, 512})
            ASSERT_EQ(oneShot(Path::Avx512, m, n, bits), oneShot(Path::Portable, m, n, bits)) << n;
    EXPECT_EQ(oneShot(Path::Avx512, m, m.size(), 256), oneShot(Path::Portable, m, m.size(), 256));
    for (int trial = 0; trial < 64; ++trial) {
        std::size_t const blocks = trial % 8;
        std::string const raw = m.substr(1000 * trial, 6 * 64 + 2 * 64 * blocks);
        UInt512 s[3][6];  // h, N, sigma of a, then of b: portable, AVX-512, AVX-512 pair
        std::memcpy(s[0], raw.data(), sizeof s[0]);
        // N of a or b carries to word 7 after 1 to 3 blocks; in half the trials, a sigma does too.
        for (int i = 0; i < 7; ++i) s[0][1 + 3 * (trial / 8 % 2)].w[i] = ~0ull;
        s[0][1 + 3 * (trial / 8 % 2)].w[0] -= 512 * (trial % 3);
        if (trial < 32) std::memset(&s[0][2 + 3 * (trial / 16)], 0xff, 64);
        for (int k : {1, 2}) std::memcpy(s[k], s[0], sizeof s[0]);
        auto const* data = reinterpret_cast<unsigned char const*>(raw.data()) + sizeof s[0];
        for (int k : {0, 1})      // portable, AVX-512
            for (int i : {0, 3})  // a, b
                internal::compressBlocks(k ? Path::Avx512 : Path::Portable, s[k][i], s[k][i + 1],
                                         s[k][i + 2], data + 64 * blocks * (i / 3), blocks);
        internal::compressBlocksPair(Path::Avx512, s[2][0], s[2][1], s[2][2], data, s[2][3],
                                     s[2][4], s[2][5], data + 64 * blocks, blocks);
        for (int k = 1; k < 3; ++k)
            EXPECT_EQ(toHex(s[k], sizeof s[k]), toHex(s[0], sizeof s[0])) << trial << " " << k;
    }
}

}  // namespace
