#include "algorithms/gost34_11_2012.h"

#include <atomic>
#include <cstring>

#include "algorithms/byte_order.h"
#include "algorithms/gost34_11_2012_const.h"
#include "algorithms/gost34_11_2012_internal.h"

#ifdef ICV_GOST2012_AVX512
#include <cpuid.h>

#include "algorithms/gost34_11_2012_avx512.h"
#endif

namespace {

using gost34_11_2012_const::C;

constexpr gost34_11_2012_const::LpsTables premult = gost34_11_2012_const::buildLpsTables();

constexpr UInt512 vector_0 = {};
constexpr UInt512 vector_1 = {{0x0101010101010101ull, 0x0101010101010101ull, 0x0101010101010101ull,
                               0x0101010101010101ull, 0x0101010101010101ull, 0x0101010101010101ull,
                               0x0101010101010101ull, 0x0101010101010101ull}};
constexpr unsigned char vector_0_1[64] = {0x01};
constexpr UInt512 vector_0_512 = {{512}};

// A block of 64 bytes, least significant first, as a number.
inline UInt512 load(unsigned char const* p) {
    UInt512 v;
    for (int i = 0; i < 8; ++i) v.w[i] = load64le(p + 8 * i);
    return v;
}

// out = LPS(a ^ b): word j of the result gathers byte j (bits 8j to 8j+7) of
// every word. The bytes are taken by shifts, whatever the byte order, and in
// pairs so that loads and arithmetic share the work.
inline void lpsXor(std::uint64_t const* a, std::uint64_t const* b, std::uint64_t* out) {
    std::uint64_t x[8];
    for (int i = 0; i < 8; ++i) x[i] = a[i] ^ b[i];
    for (int j = 0; j < 8; j += 2) {
        std::uint64_t lo = 0, hi = 0;
        for (int i = 0; i < 8; ++i) {
            unsigned v = static_cast<std::uint16_t>(x[i] >> (8 * j));
            lo ^= premult.t[i][v & 255];
            hi ^= premult.t[i][v >> 8];
        }
        out[j] = lo;
        out[j + 1] = hi;
    }
}

// m = E(K, m): twelve rounds, each round key made just before it is used.
inline void EKm(UInt512& K, UInt512& m) {
    for (int i = 0; i < 12; ++i) {
        std::uint64_t t[8];
        lpsXor(m.w, K.w, t);       // LPS(X[K_i](m))
        lpsXor(K.w, C.w[i], K.w);  // K_{i+1} = LPS(K_i ^ C_i)
        std::memcpy(m.w, t, 64);
    }
    for (int i = 0; i < 8; ++i) m.w[i] ^= K.w[i];
}

// h = g_N(h, m) = E(LPS(h ^ N), m) ^ h ^ m.
inline void g(UInt512& h, UInt512 const& N, UInt512 const& m) {
    UInt512 K, e = m;
    lpsXor(h.w, N.w, K.w);
    EKm(K, e);
    for (int i = 0; i < 8; ++i) h.w[i] ^= e.w[i] ^ m.w[i];
}

// a = (a + b) mod 2^512.
inline void add512(UInt512& a, UInt512 const& b) {
    unsigned carry = 0;
    for (int i = 0; i < 8; ++i) {
        std::uint64_t s = a.w[i] + b.w[i];
        unsigned c1 = s < a.w[i];
        std::uint64_t t = s + carry;
        carry = c1 | (t < s);
        a.w[i] = t;
    }
}

// The table-driven path: the reference, and the fallback on every processor.
void compressBlocksPortable(UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                            std::size_t blocks) {
    for (; blocks != 0; --blocks, data += 64) {
        UInt512 m = load(data);
        g(h, N, m);
        add512(N, vector_0_512);
        add512(sigma, m);
    }
}

struct Compressor {
    void (*compress)(UInt512& h, UInt512 const& N, UInt512 const& m);
    void (*compressBlocks)(UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                           std::size_t blocks);
};

constexpr Compressor kPortable = {g, compressBlocksPortable};

#ifdef ICV_GOST2012_AVX512
constexpr Compressor kAvx512 = {gost34_11_2012_avx512::compress,
                                gost34_11_2012_avx512::compressBlocks};

// AVX512F, AVX512BW, AVX512VBMI and GFNI, with the vector state enabled by the system.
bool cpuHasAvx512Gfni() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 27))) return false;  // OSXSAVE
    unsigned xcr0lo, xcr0hi;
    __asm__("xgetbv" : "=a"(xcr0lo), "=d"(xcr0hi) : "c"(0));
    if ((xcr0lo & 0xe6) != 0xe6) return false;  // SSE, AVX, opmask and ZMM state
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    bool f = b & (1u << 16), bw = b & (1u << 30), vbmi = c & (1u << 1), gfni = c & (1u << 8);
    return f && bw && vbmi && gfni;
}
#endif

// The fastest path this processor runs, chosen once.
Compressor const* bestCompressor() {
    static Compressor const* const best = [] {
#ifdef ICV_GOST2012_AVX512
        if (cpuHasAvx512Gfni()) return &kAvx512;
#endif
        return &kPortable;
    }();
    return best;
}

std::atomic<Compressor const*> forced{nullptr};  // set only by tests and benchmarks

Compressor const& compressor() {
    Compressor const* f = forced.load(std::memory_order_relaxed);
    return f != nullptr ? *f : *bestCompressor();
}

}  // namespace

GOST34_11_2012::GOST34_11_2012(int hashSize)
    : h_(hashSize == 512 ? vector_0 : vector_1),
      N_(vector_0),
      sigma_(vector_0),
      block_(),
      digest_(),
      hashSize_(hashSize),
      finished_(false) {}

void GOST34_11_2012::addBlocks(void const* data, unsigned long blocks) {
    if (blocks == 0) return;
    auto const* in = static_cast<unsigned char const*>(data);
    compressor().compressBlocks(h_, N_, sigma_, in, blocks);
    std::memcpy(block_, in + 64 * (blocks - 1), 64);
}

namespace {

using PairFunction = void (*)(UInt512& ha, UInt512& Na, UInt512& sigmaa, unsigned char const* dataa,
                              UInt512& hb, UInt512& Nb, UInt512& sigmab, unsigned char const* datab,
                              std::size_t blocks);

// The two-message block function of a compressor; null where it has none.
PairFunction pairFunction(Compressor const& c) {
#ifdef ICV_GOST2012_AVX512
    if (&c == &kAvx512) return gost34_11_2012_avx512::compressBlocksPair;
#endif
    static_cast<void>(c);
    return nullptr;
}

// The block function of c on two messages: together where c can, else in turn.
void compressBlocksPairWith(Compressor const& c, UInt512& ha, UInt512& Na, UInt512& sigmaa,
                            unsigned char const* dataa, UInt512& hb, UInt512& Nb, UInt512& sigmab,
                            unsigned char const* datab, std::size_t blocks) {
    if (PairFunction pair = pairFunction(c)) {
        pair(ha, Na, sigmaa, dataa, hb, Nb, sigmab, datab, blocks);
    } else {
        c.compressBlocks(ha, Na, sigmaa, dataa, blocks);
        c.compressBlocks(hb, Nb, sigmab, datab, blocks);
    }
}

}  // namespace

void GOST34_11_2012::addBlocksPair(GOST34_11_2012& a, void const* da, GOST34_11_2012& b,
                                   void const* db, unsigned long blocks) {
    if (&a == &b) {
        a.addBlocks(da, blocks);
        a.addBlocks(db, blocks);
        return;
    }
    if (blocks == 0) return;
    auto const* ina = static_cast<unsigned char const*>(da);
    auto const* inb = static_cast<unsigned char const*>(db);
    compressBlocksPairWith(compressor(), a.h_, a.N_, a.sigma_, ina, b.h_, b.N_, b.sigma_, inb,
                           blocks);
    std::memcpy(a.block_, ina + 64 * (blocks - 1), 64);
    std::memcpy(b.block_, inb + 64 * (blocks - 1), 64);
}

void GOST34_11_2012::addPortion(void const* data, unsigned long size) {
    if (size == 64) {
        addBlocks(data, 1);
        return;
    }
    // Final portion: padded with 0x01 and zero bytes up to a whole block.
    Compressor const& c = compressor();
    if (size != 0) std::memcpy(block_, data, size);
    std::memcpy(block_ + size, vector_0_1, 64 - size);
    UInt512 m = load(block_);
    c.compress(h_, N_, m);
    UInt512 bits = {{std::uint64_t(size) * 8}};
    add512(N_, bits);
    add512(sigma_, m);
    c.compress(h_, vector_0, N_);
    c.compress(h_, vector_0, sigma_);
    finished_ = true;
}

unsigned char const* GOST34_11_2012::getHash() {
    if (!finished_) addPortion(nullptr, 0);
    for (int i = 0; i < 8; ++i) store64le(digest_ + 8 * i, h_.w[i]);
    return hashSize_ == 512 ? digest_ : digest_ + 32;
}

namespace gost34_11_2012_internal {

std::uint64_t const (&premult())[8][256] {
    return ::premult.t;
}

UInt512 lps(UInt512 const& x) {
    UInt512 r;
    lpsXor(x.w, vector_0.w, r.w);
    return r;
}

bool available(Path path) {
    switch (path) {
        case Path::Best:
        case Path::Portable:
            return true;
        case Path::Avx512:
            return bestCompressor() != &kPortable;
    }
    return false;
}

static Compressor const* compressorFor(Path path) {
    if (path == Path::Portable) return &kPortable;
#ifdef ICV_GOST2012_AVX512
    if (path == Path::Avx512 && available(path)) return &kAvx512;
#endif
    return nullptr;
}

void force(Path path) {
    forced.store(compressorFor(path), std::memory_order_relaxed);
}

void compressBlocks(Path path, UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                    std::size_t blocks) {
    Compressor const* c = compressorFor(path);
    (c != nullptr ? *c : compressor()).compressBlocks(h, N, sigma, data, blocks);
}

void compressBlocksPair(Path path, UInt512& ha, UInt512& Na, UInt512& sigmaa,
                        unsigned char const* dataa, UInt512& hb, UInt512& Nb, UInt512& sigmab,
                        unsigned char const* datab, std::size_t blocks) {
    Compressor const* c = compressorFor(path);
    compressBlocksPairWith(c != nullptr ? *c : compressor(), ha, Na, sigmaa, dataa, hb, Nb, sigmab,
                           datab, blocks);
}

}  // namespace gost34_11_2012_internal
