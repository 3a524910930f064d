// The three algorithms against reference digests, and the framework that names them.
#include "hash/hash.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include "test_util.h"

namespace {

using Alg = HashFileChecker::Alg;

std::string hex(IHash* digest) {
    return std::unique_ptr<IHash>(digest)->ToStr(false, false);
}

std::string digestOf(Alg alg, std::string const& m) {
    return hex(
        std::unique_ptr<IHashFactory>(createHashFactory(alg))->createHash(m.data(), m.size()));
}

// A message as the vector file describes it (see its header).
std::string message(std::istream& row) {
    std::string kind, arg, c;
    row >> kind;
    if (kind == "text") return std::getline(row, arg) ? arg.substr(1) : "";
    row >> arg;
    if (kind == "pattern") return testutil::patternMessage(std::stoul(arg));
    if (kind == "repeat") return std::string(std::stoul(arg), (row >> c, c[0]));
    std::string bytes;
    for (std::size_t i = arg.size(); i >= 2; i -= 2)
        bytes += char(std::stoi(arg.substr(i - 2, 2), nullptr, 16));
    return bytes;
}

TEST(Digests, ReproduceTheReferenceVectors) {
    std::ifstream in(ICV_TEST_DATA_DIR "/digest_vectors.txt");
    int rows = 0;
    for (std::string line, alg, want; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream row(line);
        row >> alg >> want;
        std::string const m = message(row);
        std::string digest;
        if (alg == "md5") digest = digestOf(HashFileChecker::MD5, m);
        if (alg == "gost94") digest = digestOf(HashFileChecker::GOST_RFC4357, m);
        if (alg == "gost2012") digest = digestOf(HashFileChecker::GOST_3411_2012, m);
        if (alg == "gost94-text") {
            char out[65];
            digest = HashGOST3411::calc(m.c_str(), out);
        }
        if (alg.rfind("gost2012-", 0) == 0) {  // the one-shot function, of the size named
            int const bits = std::stoi(alg.substr(9));
            unsigned char out[64];
            gost_34_11_2012(m.data(), m.size(), out, bits);
            digest = testutil::toHex(out, bits == 512 ? 64 : 32);
        }
        EXPECT_EQ(digest, want) << line.substr(0, 100);
        ++rows;
    }
    EXPECT_EQ(rows, 51);
}

// The algorithms in the order of their numbers, with their tags.
struct Algorithm {
    Alg alg;
    char const* tag;
    unsigned size;
};
Algorithm const kAlgorithms[] = {{HashFileChecker::GOST_RFC4357, "#GOST3411_RFC4357:", 32},
                                 {HashFileChecker::MD5, "#MD5:", 16},
                                 {HashFileChecker::GOST_3411_2012, "#GOST3411_256_2012:", 32}};

class EveryAlgorithm : public ::testing::TestWithParam<Algorithm> {
protected:
    std::unique_ptr<IHashFactory> f{createHashFactory(GetParam().alg)};
};

// How a message is cut into pieces for Update: pieces of one size (0: random sizes up to 149,
// empty ones among them), or with a null pointer and a size after each piece.
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

// The text of a digest names it again through the factory, in either case and tag form.
TEST_P(EveryAlgorithm, DigestTextsRoundTrip) {
    std::unique_ptr<IHash> h(f->createHash("abc", 3));
    EXPECT_EQ(h->GetHashSize(), GetParam().size);
    EXPECT_EQ(testutil::toHex(h->Digest(), GetParam().size), h->ToStr(false, false));
    for (bool upper : {false, true}) {
        std::string const bare = h->ToStr(upper, false), tagged = h->ToStr(upper, true);
        EXPECT_EQ(tagged, GetParam().tag + bare);
        std::string const dollar = "$" + tagged.substr(1);
        std::string wrong = bare;
        wrong.back() = wrong.back() == '0' ? '1' : '0';
        std::pair<std::string, bool> const texts[] = {{bare, true},        {tagged, true},
                                                      {dollar, true},      {wrong, false},
                                                      {bare + "0", false}, {bare.substr(1), false}};
        for (auto const& [text, named] : texts) EXPECT_EQ(h->Check(text, upper), named) << text;
        std::unique_ptr<IHashFactory> again(createHashFactory(dollar));
        EXPECT_EQ(hex(again->createHash("abc", 3)), h->ToStr(false, false));
    }
}

INSTANTIATE_TEST_SUITE_P(Hash, EveryAlgorithm, ::testing::ValuesIn(kAlgorithms));

TEST(HashText, CheckAcceptsExactlyOneCaseWithEitherTagForm) {
    std::unique_ptr<IHashFactory> f(createHashFactory(HashFileChecker::MD5));  // outlives h
    std::unique_ptr<IHash> h(f->createHash("abc", 3));
    std::string const d = "900150983cd24fb0d6963f7d28e17f72",
                      D = "900150983CD24FB0D6963F7D28E17F72";
    struct {
        std::string text;
        bool lower, upper;
    } const cases[] = {
        {"$MD5:" + D, false, true},
        {"#MD5:", false, false},
        {"#MD5" + d, false, false},                 // tag without its colon
        {"#md5:" + d, false, false},                // tag in lower case
        {"#GOST3411_256_2012:" + d, false, false},  // another algorithm's tag
        {"#MD5:" + d + "\r", false, false},
        {"900150983cd24fb0D6963F7D28E17F72", false, false},  // mixed case
        {"MD5:" + d, false, false},                          // compared whole, untagged
        {"#" + d, false, false},
        {d + std::string(1, '\0') + "tail", true, false},  // the text ends at its NUL
    };
    for (auto const& c : cases) {
        EXPECT_EQ(h->Check(c.text, false), c.lower) << '"' << c.text << '"';
        EXPECT_EQ(h->Check(c.text, true), c.upper) << '"' << c.text << '"';
    }
}

// The tag of the factory a stored text selects, or "" for none.
std::string tagFor(std::string const& text) {
    std::unique_ptr<IHashFactory> f(createHashFactory(text));
    if (!f) return "";
    std::string const s = std::unique_ptr<IHash>(f->createHash("", 0))->ToStr(false, true);
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
        {"$GOST3411_256_2012:" + d64, "#GOST3411_256_2012:"},
        {"#GOST3411_256_2012", ""},
        {"#gost3411_256_2012:" + d64, ""},
        {"#md5:" + d32, ""},
        {"", ""},
        {"#", ""},
        {"abcd", ""},
        {d32, "#MD5:"},
        {std::string(32, 'z'), "#MD5:"},  // any 32 characters, digits or not
        {d64, "#GOST3411_256_2012:"},
        {std::string(33, '0'), ""},
        {std::string(63, '0'), ""},
        {"#" + std::string(31, '0'), ""},
    };
    for (auto const& c : cases) EXPECT_EQ(tagFor(c.text), c.tag) << '"' << c.text << '"';
    EXPECT_EQ(createHashFactory(static_cast<Alg>(3)), nullptr);
    EXPECT_EQ(createHashFactory(static_cast<Alg>(-1)), nullptr);
}

TEST(HashFactory, CalculatorOfAnotherAlgorithmIsRefusedWithBadCast) {
    std::unique_ptr<IHashFactory> md5(createHashFactory(HashFileChecker::MD5)),
        gost(createHashFactory(HashFileChecker::GOST_3411_2012));
    std::unique_ptr<IHash_Calc> calc(gost->createHashCalc());
    calc->Update("abc", 3);
    EXPECT_THROW(hex(md5->createHash(*calc, true)), std::bad_cast);
    EXPECT_EQ(hex(gost->createHash(*calc, true)), digestOf(HashFileChecker::GOST_3411_2012, "abc"));
}

}  // namespace
