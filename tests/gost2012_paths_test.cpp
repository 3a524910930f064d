// Every compression path against the portable table-driven one, on the same inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "algorithms/gost34_11_2012_i.h"
#include "algorithms/gost34_11_2012_internal.h"
#include "test_util.h"

namespace {

namespace internal = gost34_11_2012_internal;
using internal::Path;

std::string oneShot(Path path, std::string const& message, int bits) {
    internal::force(path);
    unsigned char out[64];
    gost_34_11_2012(message.data(), message.size(), out, bits);
    internal::force(Path::Best);
    return testutil::toHex(out, bits / 8);
}

// Random bytes from a fixed seed, so failures repeat.
std::string randomBytes(std::mt19937& rng, std::size_t size) {
    std::string s(size, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

class Avx512Path : public ::testing::Test {
protected:
    void SetUp() override {
        // AVX-512 F, BW and VBMI with GFNI, and a build with the path.
        if (!internal::available(Path::Avx512)) GTEST_SKIP() << "no AVX-512 path here";
    }
    std::mt19937 rng{2012};
};

// Every length up to 300 bytes, and a long message: many blocks in one call.
TEST_F(Avx512Path, AgreesWithPortableOnEveryLengthUpTo300AndOnALongMessage) {
    std::string const m = randomBytes(rng, 1 << 20);
    for (std::size_t n = 0; n <= 300; ++n)
        for (int bits : {256, 512})
            ASSERT_EQ(oneShot(Path::Avx512, m.substr(0, n), bits),
                      oneShot(Path::Portable, m.substr(0, n), bits))
                << n;
    EXPECT_EQ(oneShot(Path::Avx512, m, 256), oneShot(Path::Portable, m, 256));
}

// States that no message of a realistic length reaches: carries through every word of the
// length counter and of the control sum.
TEST_F(Avx512Path, BlockFunctionAgreesOnArbitraryStates) {
    for (int trial = 0; trial < 64; ++trial) {
        UInt512 s[2][3];  // h, N, sigma for each path
        std::string const raw = randomBytes(rng, 3 * 64), data = randomBytes(rng, 64 * 7);
        std::memcpy(s[0], raw.data(), sizeof s[0]);
        if (trial % 2 == 0) {
            std::fill(s[0][1].w, s[0][1].w + 7, ~0ull);  // the next +512 carries to word 7
            s[0][1].w[0] -= 511 + 64ull * (trial % 3);
        }
        if (trial % 4 == 0) std::memset(s[0][2].w, 0xff, 64);
        std::memcpy(s[1], s[0], sizeof s[0]);
        auto const* p = reinterpret_cast<unsigned char const*>(data.data());
        internal::compressBlocks(Path::Portable, s[0][0], s[0][1], s[0][2], p, 1 + trial % 7);
        internal::compressBlocks(Path::Avx512, s[1][0], s[1][1], s[1][2], p, 1 + trial % 7);
        EXPECT_EQ(testutil::toHex(s[1], sizeof s[1]), testutil::toHex(s[0], sizeof s[0])) << trial;
    }
}

}  // namespace

// Two messages at once against one after the other: block functions whose N and
// sigma carry across words, and calculators whose pending parts differ.
TEST_F(Avx512Path, BlockPairsAgreeWithSingleBlocks) {
    for (int trial = 0; trial < 24; ++trial) {
        std::size_t const blocks = trial % 6;
        std::string const raw = randomBytes(rng, 6 * 64 + 2 * 64 * blocks);
        UInt512 s[6], t[6];  // h, N, sigma of a, then of b
        std::memcpy(s, raw.data(), sizeof s);
        for (int i = 0; i < 7; ++i) s[1 + 3 * (trial % 2)].w[i] = ~0ull;  // N carries to word 7
        s[1 + 3 * (trial % 2)].w[0] -= 512 * (trial % 3);                 // after 1 to 3 blocks
        if (trial % 3 != 2) std::memset(&s[2 + 3 * (trial / 2 % 2)], 0xff, 64);
        std::memcpy(t, s, sizeof s);
        auto const* a = reinterpret_cast<unsigned char const*>(raw.data()) + sizeof s;
        internal::compressBlocksPair(Path::Avx512, s[0], s[1], s[2], a, s[3], s[4], s[5],
                                     a + 64 * blocks, blocks);
        internal::compressBlocks(Path::Avx512, t[0], t[1], t[2], a, blocks);
        internal::compressBlocks(Path::Avx512, t[3], t[4], t[5], a + 64 * blocks, blocks);
        EXPECT_EQ(testutil::toHex(s, sizeof s), testutil::toHex(t, sizeof t)) << "trial " << trial;
    }
    for (Path path : {Path::Portable, Path::Avx512}) {
        internal::force(path);
        for (int trial = 0; trial < 40; ++trial) {
            Hash_Calc_GOST_34_11_2012 calc[4];  // a and b by UpdatePair, then by Update
            for (int k = 0; k < 2; ++k) {
                std::string const head = randomBytes(rng, rng() % 100);
                calc[k].Update(head.data(), head.size());
                calc[k + 2].Update(head.data(), head.size());
            }
            std::size_t const size = rng() % 600;
            std::string const a = randomBytes(rng, size), b = randomBytes(rng, size);
            Hash_Calc_GOST_34_11_2012::UpdatePair(calc[0], a.data(), calc[1], b.data(), size);
            calc[2].Update(a.data(), size);
            calc[3].Update(b.data(), size);
            for (int k = 0; k < 2; ++k)
                EXPECT_EQ(testutil::toHex(Hash_GOST_34_11_2012(calc[k], true).Bytes(), 32),
                          testutil::toHex(Hash_GOST_34_11_2012(calc[k + 2], true).Bytes(), 32))
                    << "trial " << trial << ", message " << k;
        }
    }
    internal::force(Path::Best);
}
