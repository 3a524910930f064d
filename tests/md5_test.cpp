#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "algorithms/_md5.h"
#include "test_util.h"

namespace {

std::string md5Hex(std::string const& message) {
    char text[33];
    HashMD5(message.data(), message.size()).ToCSTR(text, false);
    return text;
}

TEST(Md5, ReproducesRfc1321TestSuite) {
    struct {
        char const* message;
        char const* digest;
    } const cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (auto const& c : cases) EXPECT_EQ(md5Hex(c.message), c.digest) << '"' << c.message << '"';
}

// References computed with coreutils md5sum over the same bytes.
TEST(Md5, MatchesIndependentDigestsAroundPaddingBoundaries) {
    struct {
        std::string message;
        char const* digest;
    } const cases[] = {
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},  // one padding byte
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},  // length spills into a block
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
        {testutil::patternMessage(127), "886a64f47659d525b55b12fac127c4a1"},
        {testutil::patternMessage(128), "154b8c17cfb174384edd9557e3e64e2b"},
        {testutil::patternMessage(1000), "0b8ae90ded6089334e353eb2669ab5e6"},
        {testutil::patternMessage(65537), "c86dd3c51b98fec34b50253fd260235a"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (auto const& c : cases)
        EXPECT_EQ(md5Hex(c.message), c.digest) << c.message.size() << " bytes";
}

TEST(Md5, NullAddressIsIgnoredWhateverTheLength) {
    HashMD5_Calc calc;
    calc.Reset();
    calc.Update("ab", 2);
    calc.Update(nullptr, 1000);
    calc.Update("c", 0);
    calc.Update("c", 1);
    EXPECT_TRUE(HashMD5(calc, true) == HashMD5("abc", 3));
}

TEST(Md5, FinalizingInPlaceSpendsTheCalculator) {
    HashMD5_Calc calc;
    calc.Reset();
    calc.Update("abc", 3);
    HashMD5 first(calc, true);
    HashMD5 second(calc, true);
    EXPECT_TRUE(first == HashMD5("abc", 3));
    EXPECT_FALSE(second == first);
}

TEST(Md5, ToCstrWritesExactlyTheDigitsAndNul) {
    char text[40];
    std::memset(text, '#', sizeof text);
    HashMD5("abc", 3).ToCSTR(text, true);
    EXPECT_STREQ(text, "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(text[33], '#');
}

}  // namespace
