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

// The steps of a row of digest_lifecycle.txt on one calculator of class C; reset is null for an
// algorithm without Reset.
template <class H, class C>
void runLifecycle(std::vector<std::string> const& row, void (C::*reset)()) {
    std::string const m = row[1] == "a" ? std::string(2000, 'a') : testutil::patternMessage(2000);
    C calc;
    std::size_t pos = 0;
    std::string before;
    for (auto step = row.begin() + 2; step != row.end(); ++step) {
        if ((*step)[0] == '+') {
            std::size_t const n = std::stoul(step->substr(1));
            calc.Update(m.data() + pos, n);
            pos += n;
        } else if (*step == "r") {
            ASSERT_NE(reset, nullptr);
            (calc.*reset)();
            pos = 0;
        } else {
            H const digest(calc, (*step)[0] == 'f');
            std::string const got = testutil::toHex(digest.Bytes(), H::Size);
            if (*step == "f!")
                EXPECT_NE(got, before);
            else
                EXPECT_EQ(got, step->substr(2)) << *step;
            before = got;
        }
    }
}

TEST(EveryAlgorithm, LifecycleFollowsTheTable) {
    auto const rows = testutil::readRows("digest_lifecycle.txt");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        if (rows[i][0] == "$MD5:")
            runLifecycle<HashMD5>(rows[i], &HashMD5_Calc::Reset);
        else if (rows[i][0] == "$GOST3411_RFC4357:")
            runLifecycle<HashGOST3411>(rows[i], &HashGOST3411_Calc::Reset);
        else
            runLifecycle<Hash_GOST_34_11_2012, Hash_Calc_GOST_34_11_2012>(rows[i], nullptr);
    }
    EXPECT_EQ(rows.size(), 8u);
}

// Two calculators given their pieces at once, whatever their algorithms, or one given both: each
// gets its own pieces, a null pointer being no data for its message only. Only two distinct
// GOST R 34.11-2012 calculators take them together, where the processor has the step.
TEST(EveryAlgorithm, UpdatePairGivesEachItsOwnPieces) {
    bool const pairStep = gost34_11_2012_internal::available(gost34_11_2012_internal::Path::Avx512);
    std::mt19937 rng(7);
    for (int algA = 0; algA < 3; ++algA) {
        for (int algB = 0; algB < 4; ++algB) {  // 3: a itself
            Factory const fa{createHashFactory(HashFileChecker::Alg(algA))},
                fb{createHashFactory(HashFileChecker::Alg(algB % 3))};
            std::unique_ptr<IHash_Calc> a(fa->createHashCalc()), b(fb->createHashCalc());
            IHash_Calc& other = algB == 3 ? *a : *b;
            EXPECT_EQ(a->PairsWith(other), pairStep && algA == 2 && algB == 2) << algA << algB;
            std::string ma, mb;  // what each has been given
            for (int piece = 0; piece < 8; ++piece) {
                std::string const da = testutil::patternMessage(rng() % 300),
                                  db(da.size(), char(rng()));
                bool const nullA = piece == 3, nullB = piece == 5;
                a->UpdatePair(other, nullA ? nullptr : da.data(), nullB ? nullptr : db.data(),
                              da.size());
                ma += nullA ? "" : da;
                (algB == 3 ? ma : mb) += nullB ? "" : db;
            }
            EXPECT_EQ(hex(fa->createHash(*a, true)), hex(fa->createHash(ma.data(), ma.size())))
                << algA << algB;
            EXPECT_EQ(hex(fb->createHash(*b, true)), hex(fb->createHash(mb.data(), mb.size())))
                << algA << algB;
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
    EXPECT_EQ(abc->ToStr(true, true), "#MD5:900150983CD24FB0D6963F7D28E17F72");
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
