// The three algorithms against reference digests, and the framework that names them.
#include "hash/hash.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "test_util.h"

namespace {

using Factory = std::unique_ptr<IHashFactory>;

std::string hex(IHash* digest) {
    return std::unique_ptr<IHash>(digest)->ToStr(false, false);
}

// The message a row of digest_vectors.txt describes, from its third field on.
std::string message(std::vector<std::string> const& row) {
    std::string const &kind = row[2], &arg = row[3];
    if (kind == "text") return arg;
    if (kind == "repeat") return std::string(std::stoul(arg), row[4][0]);
    if (kind == "pattern") return testutil::patternMessage(std::stoul(arg));
    std::string bytes;  // a number: its bytes, least significant first
    for (std::size_t i = arg.size(); i >= 2; i -= 2)
        bytes += static_cast<char>(std::stoi(arg.substr(i - 2, 2), nullptr, 16));
    return bytes;
}

TEST(Digests, ReproduceTheReferenceVectors) {
    auto const rows = testutil::readRows("digest_vectors.txt");
    for (auto const& row : rows) {
        std::string const m = message(row);
        std::string digest;
        char text[65];
        unsigned char bytes[64];
        if (Factory f{createHashFactory(row[0])}) {
            digest = hex(f->createHash(m.data(), m.size()));
        } else if (row[0] == "gost94-text") {
            digest = HashGOST3411::calc(m.c_str(), text);
        } else {  // gost2012-N: the one-shot function
            int const bits = std::stoi(row[0].substr(9));
            gost_34_11_2012(m.data(), m.size(), bytes, bits);
            digest = testutil::toHex(bytes, bits / 8);
        }
        EXPECT_EQ(digest, row[1]) << row[0] << " " << row[2] << " " << row[3].substr(0, 40);
    }
    EXPECT_EQ(rows.size(), 51u);
}

struct Algorithm {
    HashFileChecker::Alg alg;
    unsigned size;
} const kAlgorithms[] = {{HashFileChecker::GOST_RFC4357, 32},
                         {HashFileChecker::MD5, 16},
                         {HashFileChecker::GOST_3411_2012, 32}};

class EveryAlgorithm : public ::testing::TestWithParam<Algorithm> {
protected:
    Factory f{createHashFactory(GetParam().alg)};
};

// How a message is cut into pieces for Update: pieces of one size (0: random sizes below 150,
// empty ones among them), or with a null pointer and a size after each piece (no data).
struct Split {
    std::size_t piece;
    bool nullAfterEach;
} const kSplits[] = {{1, false}, {63, false}, {65, false}, {0, false}, {7, true}};

// A copy finalized after each piece gives the digest so far and leaves the calculator running.
TEST_P(EveryAlgorithm, AnyPiecesGiveTheDigestOfTheirConcatenation) {
    std::mt19937 rng(42);
    for (std::size_t size : {0, 1, 31, 32, 33, 63, 64, 65, 127, 129, 1000, 4099}) {
        std::string const m = testutil::patternMessage(size);
        for (Split const& split : kSplits) {
            std::unique_ptr<IHash_Calc> calc(f->createHashCalc());
            for (std::size_t pos = 0; pos < size;) {
                std::size_t const piece =
                    std::min(split.piece ? split.piece : rng() % 150, size - pos);
                calc->Update(m.data() + pos, piece);
                if (split.nullAfterEach) calc->Update(nullptr, 64);
                pos += piece;
                ASSERT_EQ(hex(f->createHash(*calc, false)), hex(f->createHash(m.data(), pos)));
            }
            EXPECT_EQ(hex(f->createHash(*calc, true)), hex(f->createHash(m.data(), size)))
                << size << " bytes in pieces of " << split.piece;
        }
    }
}

// A digest's tagged text names it, with '$' too, and selects its algorithm again.
TEST_P(EveryAlgorithm, DigestTextsRoundTrip) {
    std::unique_ptr<IHash> h(f->createHash("abc", 3));
    std::string const text = h->ToStr(true, true);
    EXPECT_EQ(h->GetHashSize(), GetParam().size);
    EXPECT_EQ(testutil::toHex(h->Digest(), GetParam().size), h->ToStr(false, false));
    EXPECT_TRUE(h->Check("$" + text.substr(1), true)) << text;
    EXPECT_EQ(hex(Factory(createHashFactory(text))->createHash("abc", 3)), h->ToStr(false, false));
}

INSTANTIATE_TEST_SUITE_P(Hash, EveryAlgorithm, ::testing::ValuesIn(kAlgorithms));

TEST(HashText, CheckAndFactoryChoiceFollowTheTable) {
    Factory const md5(createHashFactory(HashFileChecker::MD5));  // outlives its digests
    std::unique_ptr<IHash> const abc(md5->createHash("abc", 3));
    for (auto const& row : testutil::readRows("digest_texts.txt")) {
        if (row[0] == "check") {
            EXPECT_EQ(abc->Check(row[1], false), row[2] == "1") << row[1];
            EXPECT_EQ(abc->Check(row[1], true), row[3] == "1") << row[1];
            continue;
        }
        Factory const f(createHashFactory(row[1]));
        std::string const tagged =
            f ? std::unique_ptr<IHash>(f->createHash("", 0))->ToStr(false, true) : "";
        EXPECT_EQ(tagged.substr(0, tagged.find(':') + 1), row[2]) << row[1];
    }
    EXPECT_EQ(createHashFactory(static_cast<HashFileChecker::Alg>(3)), nullptr);
    EXPECT_EQ(createHashFactory(static_cast<HashFileChecker::Alg>(-1)), nullptr);
}

TEST(HashFactory, CalculatorOfAnotherAlgorithmIsRefusedWithBadCast) {
    Factory md5(createHashFactory(HashFileChecker::MD5)),
        gost(createHashFactory(HashFileChecker::GOST_3411_2012));
    std::unique_ptr<IHash_Calc> calc(gost->createHashCalc());
    calc->Update("abc", 3);
    EXPECT_THROW(hex(md5->createHash(*calc, true)), std::bad_cast);
    EXPECT_EQ(hex(gost->createHash(*calc, true)), hex(gost->createHash("abc", 3)));
}

}  // namespace
