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
