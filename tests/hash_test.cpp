// The three algorithms against reference digests, and the framework that names them.
#include "hash/hash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "algorithms/gost34_11_2012_internal.h"
#include "test_util.h"

namespace {

using Factory = std::unique_ptr<IHashFactory>;

// The lower-case text of a digest, which is then freed.
std::string hex(IHash* digest, bool withTag = false) {
    return std::unique_ptr<IHash>(digest)->ToStr(false, withTag);
}

// The message a row of digest_vectors.txt describes, from its third field on.
std::string message(std::vector<std::string> const& row) {
    std::string const &kind = row[2], &arg = row[3];
    if (kind == "text") return arg;
    if (kind == "repeat") return std::string(std::stoul(arg), row[4][0]);
    if (kind == "pattern") return testutil::patternMessage(std::stoul(arg));
    std::string bytes;  // a number: its bytes, least significant first
    for (std::size_t i = arg.size(); i >= 2; i -= 2)
        bytes += char(std::stoi(arg.substr(i - 2, 2), nullptr, 16));
    return bytes;
}

TEST(Digests, ReproduceTheReferenceVectors) {
    auto const rows = testutil::readRows("digest_vectors.txt");
    for (auto const& row : rows) {
        std::string const m = message(row);
        char text[65];
        if (Factory f{createHashFactory(row[0])}) {
            EXPECT_EQ(hex(f->createHash(m.data(), m.size())), row[1]) << row[0] << " " << row[3];
        } else if (row[0] == "gost94-text") {
            EXPECT_STREQ(HashGOST3411::calc(m.c_str(), text), row[1].c_str()) << row[3];
        } else {  // gost2012-N: the one-shot function, which writes nothing past the digest
            std::string out(72, '\xaa');
            gost_34_11_2012(m.data(), m.size(), out.data(), std::stoi(row[0].substr(9)));
            EXPECT_EQ(testutil::toHex(out.data(), 72),
                      row[1] + std::string(144 - row[1].size(), 'a'))
                << row[0];
        }
    }
}

// How a message is cut: pieces of one size (0: random sizes below 150, empty ones among them), and
// whether each piece goes with a null pointer, in turn for each message (no data for it alone).
std::pair<std::size_t, bool> const kSplits[] = {
    {7, true}, {1, false}, {63, false}, {0, false}, {65, false}};

// For each algorithm number, a calculator given a message in pieces by UpdatePair, each with a
// piece of a second message for another calculator (of the same algorithm for the first and the
// fourth cut, else of another): a copy finalized after each piece gives the digest so far and
// leaves the calculator running; the other ends with the digest of the second message. Only two
// distinct GOST R 34.11-2012 calculators take their pieces together, where the path has the step.
TEST(EveryAlgorithm, AnyPiecesGiveTheDigestOfTheirConcatenation) {
    bool const pairStep = gost34_11_2012_internal::available(gost34_11_2012_internal::Path::Avx512);
    std::mt19937 rng(42);
    for (int alg = 0; alg < 3; ++alg) {
        Factory const f{createHashFactory(HashFileChecker::Alg(alg))};
        for (std::size_t size : {0, 1, 31, 32, 33, 63, 64, 65, 127, 129, 1000, 4099}) {
            std::string const m = testutil::patternMessage(size), m2(m.rbegin(), m.rend());
            for (int cut = 0; cut < 5; ++cut) {
                auto const [split, nulls] = kSplits[cut];
                Factory const f2{createHashFactory(HashFileChecker::Alg((alg + cut) % 3))};
                std::unique_ptr<IHash_Calc> calc(f->createHashCalc()), other(f2->createHashCalc());
                EXPECT_EQ(calc->PairsWith(*other), pairStep && alg == 2 && cut % 3 == 0);
                EXPECT_FALSE(calc->PairsWith(*calc));
                for (std::size_t pos = 0, piece; pos < size; pos += piece) {
                    piece = std::min(split ? split : rng() % 150, size - pos);
                    calc->UpdatePair(*other, m.data() + pos, nulls ? nullptr : m2.data() + pos,
                                     piece);
                    if (nulls) calc->UpdatePair(*other, nullptr, m2.data() + pos, piece);
                    ASSERT_EQ(hex(f->createHash(*calc, false)),
                              hex(f->createHash(m.data(), pos + piece)));
                }
                EXPECT_EQ(hex(f->createHash(*calc, true)), hex(f->createHash(m.data(), size)))
                    << alg << ": " << size << " in " << split;
                EXPECT_EQ(hex(f2->createHash(*other, true)), hex(f2->createHash(m2.data(), size)))
                    << alg << " with the other of cut " << cut << ": " << size;
            }
        }
    }
}

// Each row of digest_lifecycle.txt on a calculator from its algorithm's factory.
TEST(EveryAlgorithm, LifecycleFollowsTheTable) {
    auto const rows = testutil::readRows("digest_lifecycle.txt");
    for (auto const& row : rows) {
        Factory const f{createHashFactory(row[0])};
        std::unique_ptr<IHash_Calc> calc(f->createHashCalc());
        std::string const m = testutil::patternMessage(2000);
        std::size_t pos = 0;
        std::string before;
        for (auto step = row.begin() + 1; step != row.end(); ++step) {
            if ((*step)[0] == '+') {
                calc->Update(m.data() + pos, std::stoul(step->substr(1)));
                pos += std::stoul(step->substr(1));
            } else if (*step == "r") {  // MD5 or GOST R 34.11-94, the algorithms with a Reset
                auto* md5 = dynamic_cast<Hash_Calc<HashMD5_Calc>*>(calc.get());
                md5 ? md5->calc.Reset()
                    : dynamic_cast<Hash_Calc<HashGOST3411_Calc>&>(*calc).calc.Reset();
                pos = 0;
            } else {
                std::string const got = hex(f->createHash(*calc, (*step)[0] == 'f'));
                EXPECT_TRUE(*step == "f!" ? got != before : got == step->substr(2))
                    << *step << " " << got;
                before = got;
            }
        }
    }
}

// Check of the MD5 digest of "abc", the tag of the algorithm a stored text selects, and the
// factory's choices by number.
TEST(HashText, CheckAndFactoryChoiceFollowTheTable) {
    Factory const md5(createHashFactory(HashFileChecker::MD5));  // outlives its digests
    std::unique_ptr<IHash> const abc(md5->createHash("abc", 3));
    EXPECT_EQ(testutil::toHex(abc->Digest(), abc->GetHashSize()),
              "900150983cd24fb0d6963f7d28e17f72");
    for (auto const& row : testutil::readRows("digest_texts.txt")) {
        if (row[0] == "check") {
            EXPECT_EQ(abc->Check(row[1], false), row[2][0] == '1') << row[1];
            EXPECT_EQ(abc->Check(row[1], true), row[2][1] == '1') << row[1];
            continue;
        }
        Factory const f(createHashFactory(row[1]));
        std::string const tagged = f ? hex(f->createHash("", 0), true) : "";
        EXPECT_EQ(tagged.substr(0, tagged.find(':') + 1), row[2]) << row[1];
    }
    EXPECT_EQ(createHashFactory(HashFileChecker::Alg(3)), nullptr);
    EXPECT_EQ(createHashFactory(HashFileChecker::Alg(-1)), nullptr);
    std::unique_ptr<IHash_Calc> other(GOST_3411_2012HashFactory().createHashCalc());
    EXPECT_THROW(hex(md5->createHash(*other, true)), std::bad_cast);  // another algorithm's
}

}  // namespace
