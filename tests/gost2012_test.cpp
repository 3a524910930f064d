#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "algorithms/byte_order.h"
#include "algorithms/gost34_11_2012.h"
#include "algorithms/gost34_11_2012_const.h"
#include "algorithms/gost34_11_2012_i.h"
#include "algorithms/gost34_11_2012_internal.h"
#include "test_util.h"

namespace {

using testutil::fromHexNumber;
using testutil::toHex;

// The standard's examples, written there as numbers: the message is the bytes
// from the least significant one.
std::string const M1 = [] {
    auto b = fromHexNumber(
        "323130393837363534333231303938373635343332313039383736353433323130393837363534333231303938"
        "373635343332313039383736353433323130");
    return std::string(b.begin(), b.end());
}();
std::string const M2 = [] {
    auto b = fromHexNumber(
        "fbe2e5f0eee3c820fbeafaebef20fffbf0e1e0f0f520e0ed20e8ece0ebe5f0f2f120fff0eeec20f120faf2fee5"
        "e2"
        "202ce8f6f3ede220e8e6eee1e8f0f2d1202ce8f0f2e5e220e5d1");
    return std::string(b.begin(), b.end());
}();

struct Vector {
    std::string message;
    char const* digest256;
    char const* digest512;
};

// The standard's examples and results; the pattern messages' references were
// computed with rhash --gost12-256 / --gost12-512 over the same bytes.
Vector const kVectors[] = {
    {"", "3f539a213e97c802cc229d474c6aa32a825a360b2a933a949fd925208d9ce1bb",
     "8e945da209aa869f0455928529bcae4679e9873ab707b55315f56ceb98bef0a7362f715528356ee83cda5f2aac4c"
     "6ad2ba3a715c1bcd81cb8e9f90bf4c1c1a8a"},
    {M1, "9d151eefd8590b89daa6ba6cb74af9275dd051026bb149a452fd84e5e57b5500",
     "1b54d01a4af5b9d5cc3d86d68d285462b19abc2475222f35c085122be4ba1ffa00ad30f8767b3a82384c6574f024"
     "c311e2a481332b08ef7f41797891c1646f48"},
    {M2, "9dd2fe4e90409e5da87f53976d7405b0c0cac628fc669a741d50063c557e8f50",
     "1e88e62226bfca6f9994f1f2d51569e0daf8475a3b0fe61a5300eee46d961376035fe83549ada2b8620fcd7c496c"
     "e5b33f0cb9dddc2b6460143b03dabac9fb28"},
    {std::string(63, 'a'), "c2d359777ece1107df6c6899247fc4cd5492d0e3a60065965acb5a5bf8807dd2",
     "ab13de67195abaa49dfecd8fbd152c9058bc85fc5d5bb6436b1e91bb2ea1fa4244efc3b2ab308dbe2d78fb46b4c6"
     "304e8e5fc7bc3bfde8e8f277c2407d845448"},
    {std::string(64, 'a'), "c2ce0969b6e468445ecfaed89f614178f89cc37ab59523528a58745007f33ab2",
     "613852076ca11156cf7d00f4feef0d5e3198e638f8e20eb02da2f5f7dca5b62dd9fb88e22e825f727ed6f25e4145"
     "dc868d0ef41e3e451e34b780e5547ade0d43"},
    {std::string(65, 'a'), "eed69dade400108a57e054f03dd694ab128207cefaae4c56159e13442e3f03f9",
     "42baf8f1711d47b6de63559743d09f5e11c9a348bea73b8bb3fe11be0ec0f6029856d70b936a00f7414b5f1ebd8e"
     "2bdaa74f3a893b90978da9cadcb72ae50338"},
    {testutil::patternMessage(128),
     "128901c37e35b3d33e67db3c826104bc7c62b91aa7d7f4ffa71dd9e63526074c",
     "1332bc9aa12e13fcdb6c666f6993a01148382bedaa139065ec49ea2c1d8584fa44be078d2b03a455640097fa2633"
     "27a2769b5217c8bb7b8647216f7e2bb30d63"},
    {testutil::patternMessage(129),
     "f8a15d4c529def89a3b5e66b726887a4e09c828d2a391ed58990c11df76fd681",
     "d6a558680f9cf184bb2f4ff393e9f2532a232b5ba9d4a24e798dc530dad8b4434aec118842c17cea60f1d03c9ad3"
     "b5f086e20ca7f4f2d1e8e39820e8b5ff1e2e"},
    {testutil::patternMessage(65537),
     "2099885761308e1cba05f08a3157d1ad7c208768d9bff46e3c9a77e2a694d834",
     "6e5b268f7eff78904c12f26312567a6e7fcf40ac3606c4dc0e52ad915b8833ef2a265071638b55d7713c54838730"
     "670e8f1067166cc5da42dbfead352f360080"},
};

// Feeds the core as its users do: whole blocks one by one, then the rest.
std::string coreHex(std::string const& message, int hashSize) {
    GOST34_11_2012 core(hashSize);
    std::size_t whole = message.size() / 64 * 64;
    for (std::size_t i = 0; i < whole; i += 64) core.addPortion(message.data() + i, 64);
    if (message.size() != whole) core.addPortion(message.data() + whole, message.size() - whole);
    return toHex(core.getHash(), hashSize == 512 ? 64 : 32);
}

TEST(Gost2012, CoreReproducesReferenceDigestsInBothSizes) {
    for (auto const& v : kVectors) {
        EXPECT_EQ(coreHex(v.message, 256), v.digest256) << v.message.size() << " bytes";
        EXPECT_EQ(coreHex(v.message, 512), v.digest512) << v.message.size() << " bytes";
    }
}

// The table-driven path is the reference for the others, whichever the processor picks.
TEST(Gost2012, PortablePathReproducesReferenceDigests) {
    gost34_11_2012_internal::force(gost34_11_2012_internal::Path::Portable);
    for (auto const& v : kVectors) {
        EXPECT_EQ(coreHex(v.message, 256), v.digest256) << v.message.size() << " bytes";
        EXPECT_EQ(coreHex(v.message, 512), v.digest512) << v.message.size() << " bytes";
    }
    gost34_11_2012_internal::force(gost34_11_2012_internal::Path::Best);
}

TEST(Gost2012, OneShotAndDigestTypeReproduceReferenceDigests) {
    for (auto const& v : kVectors) {
        unsigned char out[64];
        gost_34_11_2012(v.message.data(), v.message.size(), out, 256);
        EXPECT_EQ(toHex(out, 32), v.digest256) << v.message.size() << " bytes";
        gost_34_11_2012(v.message.data(), v.message.size(), out, 512);
        EXPECT_EQ(toHex(out, 64), v.digest512) << v.message.size() << " bytes";

        char text[65];
        Hash_GOST_34_11_2012(v.message.data(), v.message.size()).ToCSTR(text, false);
        EXPECT_EQ(std::string(text), v.digest256) << v.message.size() << " bytes";
    }
}

TEST(Gost2012, MillionLettersMatchIndependentDigest) {  // reference: rhash --gost12-256
    std::string const message(1000000, 'a');
    unsigned char out[32];
    gost_34_11_2012(message.data(), message.size(), out, 256);
    EXPECT_EQ(toHex(out, 32), "841af1a0b2f92a800fb1b7e4aabc8e48763153c448a0fc57c90ba830e130f152");
}

TEST(Gost2012, EveryHashSizeButFiveHundredTwelveIsTheShortVariant) {
    for (int size : {0, 128, 257, -1}) EXPECT_EQ(coreHex(M1, size), kVectors[1].digest256) << size;
}

TEST(Gost2012, GetHashFinishesOnceAndThenRepeats) {
    GOST34_11_2012 core(256);
    std::string first = toHex(core.getHash(), 32);
    EXPECT_EQ(first, kVectors[0].digest256);
    EXPECT_EQ(toHex(core.getHash(), 32), first);
}

TEST(Gost2012, DigestOfACopyLeavesTheCalculatorRunning) {
    Hash_Calc_GOST_34_11_2012 calc;
    calc.Update(M2.data(), 40);
    char text[65];
    Hash_GOST_34_11_2012(calc, false).ToCSTR(text, false);
    EXPECT_STREQ(text, "4c4a796c3b52f24fcf42831f2146085b9be2a6a992b3c9f0187552c39f1cbb1f");
    calc.Update(M2.data() + 40, 32);
    Hash_GOST_34_11_2012 whole(calc, true);
    whole.ToCSTR(text, false);
    EXPECT_STREQ(text, kVectors[2].digest256);
    // A finished calculator finalized again gives the same digest.
    Hash_GOST_34_11_2012(calc, true).ToCSTR(text, false);
    EXPECT_STREQ(text, kVectors[2].digest256);
}

UInt512 toUInt512(std::string const& hexNumber) {
    auto bytes = fromHexNumber(hexNumber);
    UInt512 v;
    for (int i = 0; i < 8; ++i) v.w[i] = load64le(bytes.data() + 8 * i);
    return v;
}

// Intermediate values that the standard's examples list for single LPS steps.
TEST(Gost2012Tables, LpsReproducesTheStandardsIntermediateValues) {
    std::ifstream in(ICV_TEST_DATA_DIR "/gost2012_lps_vectors.txt");
    ASSERT_TRUE(in) << "missing test data";
    std::string x, k, y;
    int count = 0;
    while (in >> x) {
        if (x[0] == '#') {
            std::getline(in, x);
            continue;
        }
        in >> k >> y;
        UInt512 arg = toUInt512(x), key = toUInt512(k);
        for (int i = 0; i < 8; ++i) arg.w[i] ^= key.w[i];
        UInt512 r = gost34_11_2012_internal::lps(arg);
        EXPECT_EQ(toHex(r.w, 64), toHex(toUInt512(y).w, 64)) << "vector " << count;
        ++count;
    }
    EXPECT_EQ(count, 52);
}

// Each table entry is l(pi(b) in byte i); l is recomputed here column by column.
TEST(Gost2012Tables, PremultEqualsLinearMapOfSubstitutedBytes) {
    namespace K = gost34_11_2012_const;
    auto const& T = gost34_11_2012_internal::premult();
    EXPECT_EQ(T[0][0], 0xd01f715b5c7ef8e6ull);

    std::uint64_t column[64] = {};  // bit i of column k: bit k of the row for argument bit i
    for (int k = 0; k < 64; ++k)
        for (int i = 0; i < 64; ++i) column[k] |= ((K::A[63 - i] >> k) & 1) << i;
    int mismatches = 0;
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 256; ++b) {
            std::uint64_t x = std::uint64_t(K::Pi[b]) << (8 * i), expected = 0;
            for (int k = 0; k < 64; ++k)
                expected |= std::uint64_t(__builtin_parityll(x & column[k])) << k;
            mismatches += T[i][b] != expected;
        }
    EXPECT_EQ(mismatches, 0);

    bool seen[256] = {};
    for (unsigned char v : K::Pi) seen[v] = true;
    for (int b = 0; b < 256; ++b) EXPECT_TRUE(seen[b]) << "pi is not a permutation at " << b;
}

}  // namespace
