// GOST R 34.11-2012 compression with AVX-512 (F, BW, VBMI) and GFNI.
// Built with those instruction sets enabled for this file only; the core
// calls it only on processors that have them.
//
// The 64-byte state lives in one vector, in the field basis of
// gost34_11_2012_gf.h. LPS is then: pi by two 128-entry table lookups and a
// select; P and L together as eight products by constant bytes, moved into
// place and XORed. The byte layout alternates between rounds, so P costs
// nothing: from the transposed layout (word j holding byte j of every word)
// L stays inside each 64-bit lane and its products are moved by lane
// rotations; from the standard layout it gathers across lanes, by lane
// alignment, and leaves the transposed layout behind.
//
// A single message is a chain of dependent steps, so the code is arranged for
// latency: products are formed before they are moved, and the key and
// constant additions ride in the XOR trees that end each step. Two messages
// of the same length can go through together, in step, so that each chain's
// waits are filled with the other's work. The multiplies and every shuffle
// that crosses 128-bit lanes share two units on AMD Zen 5, which one message
// keeps half busy already: two reach about 1.5 times the bytes per second.
#include "algorithms/gost34_11_2012_avx512.h"

// GCC 12's AVX-512 intrinsics start some results from a self-initialised
// "undefined" vector, which it then reports as used uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "algorithms/gost34_11_2012_const.h"
#include "algorithms/gost34_11_2012_gf.h"

namespace {

namespace gf = gost34_11_2012_gf;

struct alignas(64) Bytes64 {
    std::uint8_t b[64];
};

// Transposed to standard, term r: the product is rotated left by r bytes in
// its lane afterwards, so byte q is multiplied by the coefficient of output
// byte q + r for input byte q.
constexpr Bytes64 rotationCoefficients(int r) {
    Bytes64 v{};
    for (int lane = 0; lane < 8; ++lane)
        for (int q = 0; q < 8; ++q) v.b[8 * lane + q] = gf::coefficients.c[(q + r) & 7][q];
    return v;
}

// Standard to transposed, term r: the product is moved down by r lanes
// afterwards, so lane q is multiplied by the coefficient of output byte q - r
// for input word q.
constexpr Bytes64 alignmentCoefficients(int r) {
    Bytes64 v{};
    for (int q = 0; q < 8; ++q)
        for (int j = 0; j < 8; ++j) v.b[8 * q + j] = gf::coefficients.c[(q - r + 8) & 7][q];
    return v;
}

constexpr Bytes64 piQuarter(int q) {
    Bytes64 v{};
    for (int i = 0; i < 64; ++i) v.b[i] = gf::pi.v[64 * q + i];
    return v;
}

// Iteration constant i in the field basis, in the standard or transposed layout.
constexpr Bytes64 fieldConstant(int i, bool transposed) {
    Bytes64 v{};
    for (int w = 0; w < 8; ++w)
        for (int b = 0; b < 8; ++b) {
            auto byte = static_cast<std::uint8_t>(gost34_11_2012_const::C.w[i][w] >> (8 * b));
            v.b[transposed ? 8 * b + w : 8 * w + b] = gf::apply(gf::basis.phi, byte);
        }
    return v;
}

constexpr Bytes64 transposeIndex() {
    Bytes64 v{};
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) v.b[8 * j + i] = static_cast<std::uint8_t>(8 * i + j);
    return v;
}

struct Tables {
    Bytes64 pi[4];
    Bytes64 rot[8];
    Bytes64 align[8];
    Bytes64 c[2][12];  // c[t][i]: C(i+1) in the layout of K(i+1) when h starts in layout t
    Bytes64 transpose;
};

constexpr Tables makeTables() {
    Tables t{};
    for (int q = 0; q < 4; ++q) t.pi[q] = piQuarter(q);
    for (int r = 0; r < 8; ++r) {
        t.rot[r] = rotationCoefficients(r);
        t.align[r] = alignmentCoefficients(r);
    }
    for (int i = 0; i < 12; ++i) {
        t.c[0][i] = fieldConstant(i, i % 2 == 0);
        t.c[1][i] = fieldConstant(i, i % 2 == 1);
    }
    t.transpose = transposeIndex();
    return t;
}

alignas(64) constexpr Tables kTables = makeTables();

constexpr std::uint64_t kPhi = gf::affineOperand(gf::basis.phi);
constexpr std::uint64_t kPhiInv = gf::affineOperand(gf::basis.phiInv);
constexpr std::uint64_t kBit7 = 0x8080808080808080ull;  // every output bit = input bit 7

inline __m512i load(Bytes64 const& v) {
    return _mm512_load_si512(v.b);
}

inline __m512i xor3(__m512i a, __m512i b, __m512i c) {
    return _mm512_ternarylogic_epi64(a, b, c, 0x96);
}

inline __m512i affine(__m512i x, std::uint64_t matrix) {
    return _mm512_gf2p8affine_epi64_epi8(x, _mm512_set1_epi64(static_cast<long long>(matrix)), 0);
}

// The eight products of one LPS, each already moved to its output place.
struct Products {
    __m512i p[8];
    // XOR of the products and one more value: LPS(x) ^ extra.
    __m512i sum(__m512i extra) const {
        return xor3(xor3(p[0], p[1], p[2]), xor3(p[3], p[4], p[5]), xor3(p[6], p[7], extra));
    }
};

// The constant vectors, held in registers across a run of blocks.
struct Registers {
    __m512i pi0 = load(kTables.pi[0]), pi1 = load(kTables.pi[1]);
    __m512i pi2 = load(kTables.pi[2]), pi3 = load(kTables.pi[3]);
    __m512i transpose = load(kTables.transpose);

    // pi on every byte: entries 0..127 and 128..255 looked up apart, selected by bit 7.
    __m512i substitute(__m512i x) const {
        __m512i lo = _mm512_permutex2var_epi8(pi0, x, pi1);
        __m512i hi = _mm512_permutex2var_epi8(pi2, x, pi3);
        return _mm512_ternarylogic_epi64(affine(x, kBit7), hi, lo, 0xca);
    }
    // The same with the select on a mask register: a little slower, but it
    // leaves the units that multiply and shuffle to the other work.
    __m512i substituteOffPath(__m512i x) const {
        __m512i lo = _mm512_permutex2var_epi8(pi0, x, pi1);
        __m512i hi = _mm512_permutex2var_epi8(pi2, x, pi3);
        return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
    }

    // Product r of L.P from the transposed layout, rotated r bytes within its lane.
    template <int r>
    static __m512i rotatedProduct(__m512i s) {
        __m512i p = _mm512_gf2p8mul_epi8(s, load(kTables.rot[r]));
        if constexpr (r == 0) return p;
        // A rotation by half a lane is a dword swap, which runs beside the multiplies.
        if constexpr (r == 4) return _mm512_shuffle_epi32(p, _MM_PERM_CDAB);
        if constexpr (r != 0 && r != 4) return _mm512_rol_epi64(p, 8 * r);
    }

    // Product r of L.P from the standard layout, moved down r lanes.
    template <int r>
    static __m512i alignedProduct(__m512i s) {
        __m512i p = _mm512_gf2p8mul_epi8(s, load(kTables.align[r]));
        if constexpr (r == 0) return p;
        if constexpr (r != 0) return _mm512_alignr_epi64(p, p, r);
    }

    // L.P of a substituted state from the transposed layout to the standard one.
    template <int... r>
    static Products fromTransposed(__m512i s, std::integer_sequence<int, r...>) {
        return Products{{rotatedProduct<r>(s)...}};
    }

    // L.P of a substituted state from the standard layout to the transposed one.
    template <int... r>
    static Products fromStandard(__m512i s, std::integer_sequence<int, r...>) {
        return Products{{alignedProduct<r>(s)...}};
    }

    template <bool fromTransposedLayout>
    Products linear(__m512i s) const {
        if constexpr (fromTransposedLayout)
            return fromTransposed(s, std::make_integer_sequence<int, 8>());
        else
            return fromStandard(s, std::make_integer_sequence<int, 8>());
    }

    // One round of E, i from 1: with y = the message state and kc = K(i) ^ C(i),
    // y becomes LPS(y) ^ K(i+1) and kc becomes K(i+1) ^ C(i+1), K(i+1) = LPS(kc).
    // L is linear, so LPS(y) ^ K(i+1) is taken as one L of S(y) ^ S(kc).
    template <bool fromTransposedLayout, int startLayout>
    void round(int i, __m512i& y, __m512i& kc) const {
        // Rounds from the standard layout crowd the shared units with alignments,
        // so there the message takes the mask-register select as well.
        __m512i sk = substituteOffPath(kc);
        __m512i sy = fromTransposedLayout ? substitute(y) : substituteOffPath(y);
        if (i < 12) kc = linear<fromTransposedLayout>(sk).sum(load(kTables.c[startLayout][i]));
        y = linear<fromTransposedLayout>(_mm512_xor_si512(sy, sk)).sum(_mm512_setzero_si512());
    }

    // g_N(h, m) = E(LPS(h ^ N), m) ^ h ^ m in the field basis. h and hn = h ^ N
    // are in layout startLayout (0 standard, 1 transposed); mt is m in the other
    // layout, which is also the layout of the result. Alternating the layout
    // from block to block spares a transposition on the chain between blocks.
    template <int startLayout>
    __m512i compress(__m512i h, __m512i hn, __m512i mt) const {
        constexpr bool t = startLayout == 1;
        Products k1 = linear<t>(substitute(hn));  // K1, in the other layout
        __m512i kc = k1.sum(load(kTables.c[startLayout][0]));
        __m512i y = k1.sum(mt);
        // Twelve rounds, the key schedule beside the message, layouts alternating.
        for (int i = 1; i <= 12; i += 2) {
            round<!t, startLayout>(i, y, kc);
            round<t, startLayout>(i + 1, y, kc);
        }
        return xor3(_mm512_permutexvar_epi8(transpose, h), mt, y);
    }

    // round on two messages at once, each step for both before the next
    // (interleaving single products, or taking whole rounds in turn, is slower).
    template <bool fromTransposedLayout, int startLayout>
    void roundPair(int i, __m512i& ya, __m512i& kca, __m512i& yb, __m512i& kcb) const {
        __m512i ska = substituteOffPath(kca);
        __m512i skb = substituteOffPath(kcb);
        __m512i sya = fromTransposedLayout ? substitute(ya) : substituteOffPath(ya);
        __m512i syb = fromTransposedLayout ? substitute(yb) : substituteOffPath(yb);
        if (i < 12) {
            kca = linear<fromTransposedLayout>(ska).sum(load(kTables.c[startLayout][i]));
            kcb = linear<fromTransposedLayout>(skb).sum(load(kTables.c[startLayout][i]));
        }
        ya = linear<fromTransposedLayout>(_mm512_xor_si512(sya, ska)).sum(_mm512_setzero_si512());
        yb = linear<fromTransposedLayout>(_mm512_xor_si512(syb, skb)).sum(_mm512_setzero_si512());
    }

    // compress on two messages a and b at once, in the layouts of compress.
    template <int startLayout>
    void compressPair(__m512i& ha, __m512i hna, __m512i mta, __m512i& hb, __m512i hnb,
                      __m512i mtb) const {
        constexpr bool t = startLayout == 1;
        Products k1a = linear<t>(substitute(hna));
        Products k1b = linear<t>(substitute(hnb));
        __m512i kca = k1a.sum(load(kTables.c[startLayout][0])), ya = k1a.sum(mta);
        __m512i kcb = k1b.sum(load(kTables.c[startLayout][0])), yb = k1b.sum(mtb);
        for (int i = 1; i <= 12; i += 2) {
            roundPair<!t, startLayout>(i, ya, kca, yb, kcb);
            roundPair<t, startLayout>(i + 1, ya, kca, yb, kcb);
        }
        ha = xor3(_mm512_permutexvar_epi8(transpose, ha), mta, ya);
        hb = xor3(_mm512_permutexvar_epi8(transpose, hb), mtb, yb);
    }
};

inline __m512i loadWords(UInt512 const& v) {
    return _mm512_loadu_si512(v.w);
}

// sigma = (sigma + block) mod 2^512, word by word with carries, the block
// read straight from the message.
inline void addBlock(UInt512& sigma, unsigned char const* block) {
    unsigned char carry = 0;
    for (int i = 0; i < 8; ++i) {
        unsigned long long word, sum;
        std::memcpy(&word, block + 8 * i, 8);
        carry = _addcarry_u64(carry, sigma.w[i], word, &sum);
        sigma.w[i] = sum;
    }
}

// sigma += the sum of `blocks` blocks from data (at most 2^32), gathered as
// the low and the high 32 bits of each word apart.
void addBlocksToSum(UInt512& sigma, unsigned char const* data, std::size_t blocks) {
    __m512i low = _mm512_setzero_si512(), high = _mm512_setzero_si512();
    for (std::size_t i = 0; i < blocks; ++i) {
        __m512i m = _mm512_loadu_si512(data + 64 * i);
        low = _mm512_add_epi64(low, _mm512_and_si512(m, _mm512_set1_epi64(0xffffffff)));
        high = _mm512_add_epi64(high, _mm512_srli_epi64(m, 32));
    }
    // Word i of the sum is low[i] + 2^32 high[i]; the upper half of the latter
    // belongs to word i + 1.
    alignas(64) unsigned char words[3][64];
    _mm512_store_si512(words[0], low);
    _mm512_store_si512(words[1], _mm512_slli_epi64(high, 32));
    _mm512_store_si512(words[2],
                       _mm512_alignr_epi64(_mm512_srli_epi64(high, 32), _mm512_setzero_si512(), 7));
    for (auto const& w : words) addBlock(sigma, w);
}

// Additions of 512 to N up to the one that carries out of word 0.
inline std::uint64_t blocksUntilCarry(UInt512 const& N) {
    return (~N.w[0] >> 9) + 1;
}

// h = g_N(h, m) over a run of blocks of two messages, with N moved along in
// vector registers only (it must not carry out of word 0 before the last
// block); the caller brings N and the control sums up to date after the run.
// Two chains keep the vector units busy enough that scalar bookkeeping
// between the blocks would hold them up.
void compressRunPair(UInt512& ha, UInt512 const& Na, unsigned char const* dataa, UInt512& hb,
                     UInt512 const& Nb, unsigned char const* datab, std::size_t blocks) {
    Registers const r;
    __m512i const step = _mm512_maskz_set1_epi64(1, 512);
    __m512i a = affine(loadWords(ha), kPhi), b = affine(loadWords(hb), kPhi);
    __m512i na = loadWords(Na), nb = loadWords(Nb);
    auto block = [](unsigned char const* data, std::size_t at) {
        return affine(_mm512_loadu_si512(data + 64 * at), kPhi);
    };
    // One block of each from h in the standard layout; h comes back transposed.
    auto fromStandardLayout = [&](std::size_t at) {
        __m512i mta = _mm512_permutexvar_epi8(r.transpose, block(dataa, at));
        __m512i mtb = _mm512_permutexvar_epi8(r.transpose, block(datab, at));
        r.compressPair<0>(a, _mm512_xor_si512(a, affine(na, kPhi)), mta, b,
                          _mm512_xor_si512(b, affine(nb, kPhi)), mtb);
        na = _mm512_add_epi64(na, step);
        nb = _mm512_add_epi64(nb, step);
    };
    std::size_t at = 0;
    for (; at + 2 <= blocks; at += 2) {
        fromStandardLayout(at);
        __m512i nta = _mm512_permutexvar_epi8(r.transpose, affine(na, kPhi));
        __m512i ntb = _mm512_permutexvar_epi8(r.transpose, affine(nb, kPhi));
        r.compressPair<1>(a, _mm512_xor_si512(a, nta), block(dataa, at + 1), b,
                          _mm512_xor_si512(b, ntb), block(datab, at + 1));
        na = _mm512_add_epi64(na, step);
        nb = _mm512_add_epi64(nb, step);
    }
    if (at != blocks) {
        fromStandardLayout(at);
        a = _mm512_permutexvar_epi8(r.transpose, a);
        b = _mm512_permutexvar_epi8(r.transpose, b);
    }
    _mm512_storeu_si512(ha.w, affine(a, kPhiInv));
    _mm512_storeu_si512(hb.w, affine(b, kPhiInv));
}

}  // namespace

namespace gost34_11_2012_avx512 {

void compress(UInt512& h, UInt512 const& N, UInt512 const& m) {
    Registers const r;
    __m512i hf = affine(loadWords(h), kPhi), mf = affine(loadWords(m), kPhi);
    __m512i hn = _mm512_xor_si512(hf, affine(loadWords(N), kPhi));
    __m512i result = r.compress<0>(hf, hn, _mm512_permutexvar_epi8(r.transpose, mf));
    _mm512_storeu_si512(h.w, affine(_mm512_permutexvar_epi8(r.transpose, result), kPhiInv));
}

void compressBlocks(UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                    std::size_t blocks) {
    Registers const r;
    __m512i hf = affine(loadWords(h), kPhi);
    __m512i n = loadWords(N);
    // N += 512; the vector copy follows word 0 unless a carry moves further.
    auto advance = [&] {
        N.w[0] += 512;
        if (N.w[0] < 512) {
            for (int i = 1; i < 8 && ++N.w[i] == 0; ++i) {
            }
            n = loadWords(N);
        } else {
            n = _mm512_mask_set1_epi64(n, 1, static_cast<long long>(N.w[0]));
        }
    };
    // One block from h in the standard layout; h comes back transposed.
    auto fromStandardLayout = [&](unsigned char const* block) {
        __m512i mf = affine(_mm512_loadu_si512(block), kPhi);
        hf = r.compress<0>(hf, _mm512_xor_si512(hf, affine(n, kPhi)),
                           _mm512_permutexvar_epi8(r.transpose, mf));
        advance();
        addBlock(sigma, block);
    };
    // Blocks in pairs: h goes from the standard layout to the transposed one and back.
    for (; blocks >= 2; blocks -= 2, data += 128) {
        fromStandardLayout(data);
        __m512i nt = _mm512_permutexvar_epi8(r.transpose, affine(n, kPhi));
        hf = r.compress<1>(hf, _mm512_xor_si512(hf, nt),
                           affine(_mm512_loadu_si512(data + 64), kPhi));
        advance();
        addBlock(sigma, data + 64);
    }
    if (blocks != 0) {
        fromStandardLayout(data);
        hf = _mm512_permutexvar_epi8(r.transpose, hf);
    }
    _mm512_storeu_si512(h.w, affine(hf, kPhiInv));
}

void compressBlocksPair(UInt512& ha, UInt512& Na, UInt512& sigmaa, unsigned char const* dataa,
                        UInt512& hb, UInt512& Nb, UInt512& sigmab, unsigned char const* datab,
                        std::size_t blocks) {
    while (blocks != 0) {
        // A run ends with the block after which either length carries out of
        // word 0, and is short enough for addBlocksToSum.
        std::uint64_t const run = std::min<std::uint64_t>(
            {blocks, std::uint64_t(1) << 32, blocksUntilCarry(Na), blocksUntilCarry(Nb)});
        compressRunPair(ha, Na, dataa, hb, Nb, datab, run);
        std::uint64_t const bits[8] = {512 * run};
        addBlock(Na, reinterpret_cast<unsigned char const*>(bits));
        addBlock(Nb, reinterpret_cast<unsigned char const*>(bits));
        addBlocksToSum(sigmaa, dataa, run);
        addBlocksToSum(sigmab, datab, run);
        blocks -= run;
        dataa += 64 * run;
        datab += 64 * run;
    }
}

}  // namespace gost34_11_2012_avx512
