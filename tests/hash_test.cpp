// The three algorithms against reference digests, and the framework that names them.
#include "hash/hash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

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
    EXPECT_EQ(rows.size(), 52u);
}

// How a message is cut for Update: pieces of one size (0: random sizes below 150, empty ones
// among them), and whether each piece is followed by a null pointer with a size (no data).
std::pair<std::size_t, bool> const kSplits[] = {
    {1, false}, {63, false}, {65, false}, {0, false}, {7, true}};

// For each algorithm number, a copy finalized after each piece gives the digest so far and leaves
// the calculator running.
TEST(EveryAlgorithm, AnyPiecesGiveTheDigestOfTheirConcatenation) {
    std::mt19937 rng(42);
    for (int alg = 0; alg < 3; ++alg) {
        Factory const f{createHashFactory(HashFileChecker::Alg(alg))};
        for (std::size_t size : {0, 1, 31, 32, 33, 63, 64, 65, 127, 129, 1000, 4099}) {
            std::string const m = testutil::patternMessage(size);
            for (auto const& [split, nulls] : kSplits) {
                std::unique_ptr<IHash_Calc> calc(f->createHashCalc());
                for (std::size_t pos = 0, piece; pos < size; pos += piece) {
                    piece = std::min(split ? split : rng() % 150, size - pos);
                    calc->Update(m.data() + pos, piece);
                    if (nulls) calc->Update(nullptr, 64);
                    ASSERT_EQ(hex(f->createHash(*calc, false)),
                              hex(f->createHash(m.data(), pos + piece)));
                }
                EXPECT_EQ(hex(f->createHash(*calc, true)), hex(f->createHash(m.data(), size)))
                    << alg << ": " << size << " in " << split;
            }
        }
    }
}

// Check of the MD5 digest of "abc", the tag of the algorithm a stored text selects, and the
// factory's choices by number.
TEST(HashText, CheckAndFactoryChoiceFollowTheTable) {
    Factory const md5(createHashFactory(HashFileChecker::MD5));  // outlives its digests
    std::unique_ptr<IHash> const abc(md5->createHash("abc", 3));
    EXPECT_EQ(testutil::toHex(abc->Digest(), abc->GetHashSize()), abc->ToStr(false, false));
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
