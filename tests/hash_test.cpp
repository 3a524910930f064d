#include "hash/hash.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <typeinfo>

#include "test_util.h"

namespace {

using FactoryPtr = std::unique_ptr<IHashFactory>;
using HashPtr = std::unique_ptr<IHash>;
using CalcPtr = std::unique_ptr<IHash_Calc>;

FactoryPtr factory(HashFileChecker::Alg alg) {
    return FactoryPtr(createHashFactory(alg));
}

std::string const kAbcMd5 = "900150983cd24fb0d6963f7d28e17f72";

TEST(HashText, ToStrGivesDigitsInEitherCaseWithOrWithoutTag) {
    auto f = factory(HashFileChecker::MD5);
    HashPtr h(f->createHash("abc", 3));
    EXPECT_EQ(h->ToStr(false, false), kAbcMd5);
    EXPECT_EQ(h->ToStr(true, false), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(h->ToStr(false, true), "#MD5:" + kAbcMd5);
    EXPECT_EQ(h->ToStr(true, true), "#MD5:900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(h->ToStr(false, true), h->ToStr(false, true));
}

TEST(HashText, CheckAcceptsExactlyOneCaseWithEitherTagForm) {
    auto f = factory(HashFileChecker::MD5);
    HashPtr h(f->createHash("abc", 3));
    std::string const upper = "900150983CD24FB0D6963F7D28E17F72";
    struct {
        std::string text;
        bool lower, upper;
    } const cases[] = {
        {kAbcMd5, true, false},
        {"#MD5:" + kAbcMd5, true, false},
        {"$MD5:" + kAbcMd5, true, false},
        {upper, false, true},
        {"$MD5:" + upper, false, true},
        {"", false, false},
        {"#MD5:", false, false},
        {"#MD5" + kAbcMd5, false, false},                 // tag without its colon
        {"#md5:" + kAbcMd5, false, false},                // tag in lower case
        {"#GOST3411_256_2012:" + kAbcMd5, false, false},  // another algorithm's tag
        {"#MD5:" + kAbcMd5 + "\n", false, false},
        {"#MD5:" + kAbcMd5 + " ", false, false},
        {"#MD5:" + kAbcMd5 + "\r", false, false},
        {kAbcMd5.substr(0, 31), false, false},
        {"900150983cd24fb0D6963F7D28E17F72", false, false},  // mixed case
        {"MD5:" + kAbcMd5, false, false},                    // compared whole, untagged
        {"#" + kAbcMd5, false, false},
        {kAbcMd5 + std::string(1, '\0') + "tail", true, false},  // the text ends at its NUL
    };
    for (auto const& c : cases) {
        EXPECT_EQ(h->Check(c.text, false), c.lower) << '"' << c.text << '"';
        EXPECT_EQ(h->Check(c.text, true), c.upper) << '"' << c.text << '"';
    }
}

TEST(HashText, GostDigestAcceptsDollarTagAndRefusesTheOtherGostTag) {
    auto f = factory(HashFileChecker::GOST_3411_2012);
    HashPtr h(f->createHash("", 0));
    std::string const digits = "3f539a213e97c802cc229d474c6aa32a825a360b2a933a949fd925208d9ce1bb";
    EXPECT_TRUE(h->Check("$GOST3411_256_2012:" + digits, false));
    EXPECT_FALSE(h->Check("#GOST3411_RFC4357:" + digits, false));
    EXPECT_EQ(h->ToStr(false, true), "#GOST3411_256_2012:" + digits);
}

TEST(HashText, DigestSizeAndBytesFollowTheAlgorithm) {
    struct {
        HashFileChecker::Alg alg;
        unsigned size;
    } const cases[] = {{HashFileChecker::MD5, 16},
                       {HashFileChecker::GOST_RFC4357, 32},
                       {HashFileChecker::GOST_3411_2012, 32}};
    for (auto const& c : cases) {
        auto f = factory(c.alg);
        HashPtr h(f->createHash("abc", 3));
        EXPECT_EQ(h->GetHashSize(), c.size);
        EXPECT_EQ(testutil::toHex(h->Digest(), c.size), h->ToStr(false, false));
    }
}

TEST(HashFactory, AlgorithmNumbersSelectTheirFactoriesAndOthersNone) {
    EXPECT_EQ(
        HashPtr(factory(HashFileChecker::GOST_RFC4357)->createHash("", 0))->ToStr(false, true),
        "#GOST3411_RFC4357:981e5f3ca30c841487830f84fb433e13ac1101569b9c13584ac483234cd656c0");
    EXPECT_EQ(HashPtr(factory(HashFileChecker::MD5)->createHash("", 0))->ToStr(false, true),
              "#MD5:d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(
        HashPtr(factory(HashFileChecker::GOST_3411_2012)->createHash("", 0))->ToStr(false, true),
        "#GOST3411_256_2012:3f539a213e97c802cc229d474c6aa32a825a360b2a933a949fd925208d9ce1bb");
    EXPECT_EQ(createHashFactory(static_cast<HashFileChecker::Alg>(3)), nullptr);
    EXPECT_EQ(createHashFactory(static_cast<HashFileChecker::Alg>(-1)), nullptr);
}

// The tag a factory writes, or "" for no factory.
std::string tagFor(std::string const& text) {
    FactoryPtr f(createHashFactory(text));
    if (!f) return "";
    std::string s = HashPtr(f->createHash("", 0))->ToStr(false, true);
    return s.substr(0, s.find(':') + 1);
}

TEST(HashFactory, StoredTextSelectsByTagOrUntaggedLength) {
    std::string const d32(32, '0'), d64(64, 'f');
    struct {
        std::string text;
        char const* tag;
    } const cases[] = {
        {"#MD5:", "#MD5:"},
        {"$MD5:anything", "#MD5:"},
        {"#GOST3411_RFC4357:" + d64, "#GOST3411_RFC4357:"},
        {"$GOST3411_RFC4357:", "#GOST3411_RFC4357:"},
        {"#GOST3411_RFC4357", ""},  // no colon, begins with '#'
        {"#GOST3411_256_2012:" + d64, "#GOST3411_256_2012:"},
        {"$GOST3411_256_2012:" + d64, "#GOST3411_256_2012:"},
        {"#GOST3411_256_2012", ""},
        {"#gost3411_256_2012:" + d64, ""},
        {"#md5:" + d32, ""},
        {"", ""},
        {"#", ""},
        {"a", ""},
        {"abcd", ""},
        {d32, "#MD5:"},
        {std::string(32, 'z'), "#MD5:"},  // any 32 characters, digits or not
        {d64, "#GOST3411_256_2012:"},
        {std::string(33, '0'), ""},
        {std::string(63, '0'), ""},
        {"#" + std::string(31, '0'), ""},
    };
    for (auto const& c : cases) EXPECT_EQ(tagFor(c.text), c.tag) << '"' << c.text << '"';
}

TEST(HashFactory, CalculatorOfAnotherAlgorithmIsRefusedWithBadCast) {
    auto md5 = factory(HashFileChecker::MD5);
    auto gost = factory(HashFileChecker::GOST_3411_2012);
    CalcPtr calc(gost->createHashCalc());
    calc->Update("abc", 3);
    EXPECT_THROW(HashPtr(md5->createHash(*calc, true)), std::bad_cast);
    // The refused calculator is untouched.
    EXPECT_EQ(HashPtr(gost->createHash(*calc, true))->ToStr(false, false),
              HashPtr(gost->createHash("abc", 3))->ToStr(false, false));
}

// Properties every algorithm must have, run for all three.
class EveryAlgorithm : public ::testing::TestWithParam<HashFileChecker::Alg> {
protected:
    FactoryPtr f = factory(GetParam());
    std::string digestOf(std::string const& m) const {
        return HashPtr(f->createHash(m.data(), m.size()))->ToStr(false, false);
    }
};

TEST_P(EveryAlgorithm, AnySplitIntoUpdatesGivesTheOneShotDigest) {
    std::mt19937 rng(42);
    for (std::size_t size : {0, 1, 31, 32, 33, 63, 64, 65, 127, 129, 200, 1000, 4099}) {
        std::string const m = testutil::patternMessage(size);
        std::string const expected = digestOf(m);
        // Single bytes, alternating 63/65 pieces, and random pieces with empty ones.
        for (int mode = 0; mode < 3; ++mode) {
            CalcPtr calc(f->createHashCalc());
            std::size_t pos = 0, n = 0;
            while (pos < size) {
                std::size_t piece = mode == 0 ? 1 : mode == 1 ? (n++ % 2 ? 65 : 63) : rng() % 150;
                piece = std::min(piece, size - pos);
                calc->Update(m.data() + pos, piece);
                pos += piece;
            }
            EXPECT_EQ(HashPtr(f->createHash(*calc, true))->ToStr(false, false), expected)
                << size << " bytes, mode " << mode;
        }
    }
}

TEST_P(EveryAlgorithm, DigestOfACopyLeavesTheCalculatorRunning) {
    CalcPtr calc(f->createHashCalc());
    calc->Update("abc", 3);
    HashPtr first(f->createHash(*calc, false)), second(f->createHash(*calc, false));
    EXPECT_EQ(first->ToStr(false, false), digestOf("abc"));
    EXPECT_EQ(second->ToStr(false, false), digestOf("abc"));
    calc->Update("def", 3);
    EXPECT_EQ(HashPtr(f->createHash(*calc, true))->ToStr(false, false), digestOf("abcdef"));
}

TEST_P(EveryAlgorithm, DigestCheckRefusesOtherCaseLongerAndShorterTexts) {
    HashPtr h(f->createHash("abc", 3));
    std::string const lower = h->ToStr(false, false), upper = h->ToStr(true, false);
    EXPECT_TRUE(h->Check(lower, false));
    EXPECT_TRUE(h->Check(upper, true));
    EXPECT_FALSE(h->Check(upper, false));
    EXPECT_FALSE(h->Check(lower, true));
    EXPECT_FALSE(h->Check(lower + "0", false));
    EXPECT_FALSE(h->Check(lower.substr(0, lower.size() - 1), false));
    // A wrong last digit is noticed.
    std::string wrong = lower;
    wrong.back() = wrong.back() == '0' ? '1' : '0';
    EXPECT_FALSE(h->Check(wrong, false));
}

INSTANTIATE_TEST_SUITE_P(Hash, EveryAlgorithm,
                         ::testing::Values(HashFileChecker::GOST_RFC4357, HashFileChecker::MD5,
                                           HashFileChecker::GOST_3411_2012));

}  // namespace
