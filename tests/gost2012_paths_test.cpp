// Every compression path against the portable table-driven one, on the same inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "algorithms/gost34_11_2012_i.h"
#include "algorithms/gost34_11_2012_internal.h"
#include "test_util.h"

namespace {

namespace internal = gost34_11_2012_internal;
using internal::Path;

// Forces a path for one test and restores the processor's choice afterwards.
class ForcedPath {
public:
    explicit ForcedPath(Path path) { internal::force(path); }
    ~ForcedPath() { internal::force(Path::Best); }
};

std::string oneShot(Path path, std::string const& message, int bits) {
    ForcedPath forced(path);
    unsigned char out[64];
    gost_34_11_2012(message.data(), message.size(), out, bits);
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
        if (!internal::available(Path::Avx512))
            GTEST_SKIP() << "this processor lacks AVX-512 (F, BW, VBMI) with GFNI, or the build "
                            "has no such path";
    }
    std::mt19937 rng{2012};
};

TEST_F(Avx512Path, AgreesWithPortableOnEveryLengthUpTo300) {
    std::string const message = randomBytes(rng, 300);
    for (std::size_t n = 0; n <= 300; ++n) {
        std::string m = message.substr(0, n);
        for (int bits : {256, 512})
            ASSERT_EQ(oneShot(Path::Avx512, m, bits), oneShot(Path::Portable, m, bits))
                << n << " bytes, " << bits << " bits";
    }
}

TEST_F(Avx512Path, AgreesWithPortableOnLongMessagesInRandomPieces) {
    for (int trial = 0; trial < 12; ++trial) {
        std::size_t size = rng() % (1u << 20) + 1;
        std::string const m = randomBytes(rng, size);
        std::string const expected = oneShot(Path::Portable, m, 256);

        ForcedPath forced(Path::Avx512);
        Hash_Calc_GOST_34_11_2012 calc;
        for (std::size_t pos = 0; pos < size;) {
            std::size_t piece = std::min<std::size_t>(rng() % 5000, size - pos);
            calc.Update(m.data() + pos, piece);
            pos += piece;
        }
        EXPECT_EQ(testutil::toHex(Hash_GOST_34_11_2012(calc, true).Bytes(), 32), expected)
            << size << " bytes";
    }
}

// States that no message of a realistic length reaches: carries through every
// word of the length counter and of the control sum.
TEST_F(Avx512Path, BlockFunctionAgreesOnArbitraryStates) {
    for (int trial = 0; trial < 64; ++trial) {
        UInt512 h, n, sigma;
        std::string const raw = randomBytes(rng, 3 * 64);
        std::memcpy(&h, raw.data(), 64);
        std::memcpy(&n, raw.data() + 64, 64);
        std::memcpy(&sigma, raw.data() + 128, 64);
        if (trial % 2 == 0) {
            for (int i = 0; i < 7; ++i) n.w[i] = ~0ull;  // the next +512 carries to word 7
            n.w[0] -= 511 + 64ull * (trial % 3);
        }
        if (trial % 4 == 0) std::memset(sigma.w, 0xff, 64);
        std::size_t blocks = 1 + trial % 7;
        std::string const data = randomBytes(rng, 64 * blocks);

        UInt512 h1 = h, n1 = n, s1 = sigma, h2 = h, n2 = n, s2 = sigma;
        auto const* p = reinterpret_cast<unsigned char const*>(data.data());
        internal::compressBlocks(Path::Portable, h1, n1, s1, p, blocks);
        internal::compressBlocks(Path::Avx512, h2, n2, s2, p, blocks);
        EXPECT_EQ(testutil::toHex(h2.w, 64), testutil::toHex(h1.w, 64)) << "trial " << trial;
        EXPECT_EQ(testutil::toHex(n2.w, 64), testutil::toHex(n1.w, 64)) << "trial " << trial;
        EXPECT_EQ(testutil::toHex(s2.w, 64), testutil::toHex(s1.w, 64)) << "trial " << trial;
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
        ForcedPath forced(path);
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
}
