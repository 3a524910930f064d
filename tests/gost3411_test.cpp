#include "algorithms/gost3411.h"

#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

namespace {

std::string gost94Hex(std::string const& message) {
    char text[65];
    HashGOST3411(message.data(), message.size()).ToCSTR(text, false);
    return text;
}

TEST(Gost3411, ReproducesCryptoProReferenceDigests) {
    struct {
        std::string message;
        char const* digest;
    } const cases[] = {
        {"", "981e5f3ca30c841487830f84fb433e13ac1101569b9c13584ac483234cd656c0"},
        {"abc", "b285056dbf18d7392d7677369524dd14747459ed8143997e163b2986f92fd42c"},
        {"This is message, length=32 bytes",
         "2cefc2f7b7bdc514e18ea57fa74ff357e7fa17d652c75f69cb1be7893ede48eb"},
        {"Suppose the original message has length = 50 bytes",
         "c3730c5cbccacf915ac292676f21e8bd4ef75331d9405e5f1a61dc3130a65011"},
        {std::string(1000000, 'a'),
         "8693287aa62f9478f7cb312ec0866b6c4e4a0f11160441e8f4ffcd2715dd554f"},
    };
    for (auto const& c : cases)
        EXPECT_EQ(gost94Hex(c.message), c.digest) << c.message.substr(0, 60);
}

// References computed with rhash --gost94-cryptopro over the same bytes.
TEST(Gost3411, MatchesIndependentDigestsAroundBlockBoundaries) {
    struct {
        std::string message;
        char const* digest;
    } const cases[] = {
        {testutil::patternMessage(31),
         "3a6097202ac091e497018acd1d5a0c5c1a2ec236c73c506c0af818896a63c57d"},
        {testutil::patternMessage(32),
         "dcff7e3f7bb03cc0e39c6716f4a40f80de7cfc78ab2088c43002be514b036dc5"},
        {testutil::patternMessage(33),
         "cf41b5fcd601b6ff96eade345b0d947774b3954b7c955983852c19a5a18c90ac"},
        {std::string(64, 'a'), "351e9effed44763b11597bc3286b0d0e06bc62dfffea7ee0d3d3a892d33c88a7"},
        {testutil::patternMessage(1000),
         "eb0be27423cd3b2a3fae4bfc140a90a0208e15ac9d33d50455f36b4fa39a94b4"},
        {testutil::patternMessage(65537),
         "e2c9940f2efa84ccb4604df13064a2401ab30b5fe2985b1b1125312bb58c4a0e"},
    };
    for (auto const& c : cases) EXPECT_EQ(gost94Hex(c.message), c.digest) << c.message.size();
}

TEST(Gost3411, CalcHashesShortTextsAsOneZeroPaddedBlock) {
    struct {
        char const* text;
        char const* digest;
    } const cases[] = {
        {"abc", "B28164608A820D1FF37933D2102D17314A1664569A53FD9E2C9175B9C414508A"},
        {"", "A2AA9EEB75935F9B338FC28697FCBBF3DB2E4B2E10421D4114FEB6D667DA2E1D"},
        {nullptr, "A2AA9EEB75935F9B338FC28697FCBBF3DB2E4B2E10421D4114FEB6D667DA2E1D"},
        {"This is message, length=32 bytes",
         "2CEFC2F7B7BDC514E18EA57FA74FF357E7FA17D652C75F69CB1BE7893EDE48EB"},
    };
    for (auto const& c : cases) {
        char out[65];
        EXPECT_EQ(HashGOST3411::calc(c.text, out), out);
        EXPECT_STREQ(out, c.digest) << (c.text ? c.text : "(null)");
    }
}

TEST(Gost3411, FinalizingInPlaceSpendsTheCalculator) {
    HashGOST3411_Calc calc;
    calc.Reset();
    calc.Update("abc", 3);
    HashGOST3411 first(calc, true);
    HashGOST3411 second(calc, true);
    EXPECT_TRUE(first == HashGOST3411("abc", 3));
    EXPECT_FALSE(second == first);
}

TEST(Gost3411, NullAddressIsIgnoredWhateverTheLength) {
    HashGOST3411_Calc calc;
    calc.Reset();
    calc.Update(nullptr, 5);
    calc.Update("abc", 3);
    EXPECT_TRUE(HashGOST3411(calc, true) == HashGOST3411("abc", 3));
}

}  // namespace
