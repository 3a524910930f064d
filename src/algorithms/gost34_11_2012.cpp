#include "algorithms/gost34_11_2012.h"

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

using PairFunction = void (*)(UInt512& ha, UInt512& Na, UInt512& sigmaa, unsigned char const* dataa,
                              UInt512& hb, UInt512& Nb, UInt512& sigmab, unsigned char const* datab,
                              std::size_t blocks);

// The block functions of one compression path.
struct BlockFunctions {
    // h = g_N(h, m): the padded last block and the two closing steps.
    void (*compress)(UInt512& h, UInt512 const& N, UInt512 const& m);
    // Whole blocks of one message: for each, h = g_N(h, m), N += 512, sigma += m.
    void (*compressBlocks)(UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                           std::size_t blocks);
    // The same on two messages at once; null where the path has no such step.
    PairFunction compressBlocksPair;
};

constexpr BlockFunctions kPortable = {g, compressBlocksPortable, nullptr};

#ifdef ICV_GOST2012_AVX512
constexpr BlockFunctions kAvx512 = {gost34_11_2012_avx512::compress,
                                    gost34_11_2012_avx512::compressBlocks,
                                    gost34_11_2012_avx512::compressBlocksPair};

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

// The fastest path this processor runs, asked of the processor once.
BlockFunctions const& fastest() {
    static BlockFunctions const& table = []() -> BlockFunctions const& {
#ifdef ICV_GOST2012_AVX512
        if (cpuHasAvx512Gfni()) return kAvx512;
#endif
        return kPortable;
    }();
    return table;
}

// The path that gost34_11_2012_internal::choose asks for, if it was called.
BlockFunctions const* requested = nullptr;

// The table every core uses, fixed once, at the first block: the fastest path
// unless another was asked for before. Nothing else is read per call.
BlockFunctions const& chosen() {
    static BlockFunctions const& table = requested != nullptr ? *requested : fastest();
    return table;
}

// The final portion of `size` bytes (0..63) on path f: padded into `block`
// with 0x01 and zero bytes, then the length and the control sum folded in.
void finish(BlockFunctions const& f, UInt512& h, UInt512& N, UInt512& sigma, unsigned char* block,
            void const* data, unsigned long size) {
    if (size != 0) std::memcpy(block, data, size);
    std::memcpy(block + size, vector_0_1, 64 - size);
    UInt512 m = load(block);
    f.compress(h, N, m);
    UInt512 bits = {{std::uint64_t(size) * 8}};
    add512(N, bits);
    add512(sigma, m);
    f.compress(h, vector_0, N);
    f.compress(h, vector_0, sigma);
}

// Whole blocks of two messages on path f: together where it can, else in turn.
void compressBlocksPairOn(BlockFunctions const& f, UInt512& ha, UInt512& Na, UInt512& sigmaa,
                          unsigned char const* dataa, UInt512& hb, UInt512& Nb, UInt512& sigmab,
                          unsigned char const* datab, std::size_t blocks) {
    if (f.compressBlocksPair != nullptr) {
        f.compressBlocksPair(ha, Na, sigmaa, dataa, hb, Nb, sigmab, datab, blocks);
    } else {
        f.compressBlocks(ha, Na, sigmaa, dataa, blocks);
        f.compressBlocks(hb, Nb, sigmab, datab, blocks);
    }
}

}  // namespace

GOST34_11_2012::GOST34_11_2012(int hashSize)
    : h_(hashSize == 512 ? vector_0 : vector_1),
      N_(vector_0),
      sigma_(vector_0),
      lastBlock_(),
      result_(),
      hashSize_(hashSize),
      finished_(false) {}

void GOST34_11_2012::addBlocks(void const* data, unsigned long blocks) {
    if (blocks == 0) return;
    auto const* in = static_cast<unsigned char const*>(data);
    chosen().compressBlocks(h_, N_, sigma_, in, blocks);
    std::memcpy(lastBlock_, in + 64 * (blocks - 1), 64);
}

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
    compressBlocksPairOn(chosen(), a.h_, a.N_, a.sigma_, ina, b.h_, b.N_, b.sigma_, inb, blocks);
    std::memcpy(a.lastBlock_, ina + 64 * (blocks - 1), 64);
    std::memcpy(b.lastBlock_, inb + 64 * (blocks - 1), 64);
}

bool GOST34_11_2012::pairsBlocks() {
    return chosen().compressBlocksPair != nullptr;
}

void GOST34_11_2012::addPortion(void const* data, unsigned long size) {
    if (size == 64) {
        addBlocks(data, 1);
        return;
    }
    finish(chosen(), h_, N_, sigma_, lastBlock_, data, size);
    finished_ = true;
}

unsigned char const* GOST34_11_2012::getHash() {
    if (!finished_) addPortion(nullptr, 0);
    for (int i = 0; i < 8; ++i) store64le(result_ + 8 * i, h_.w[i]);
    return hashSize_ == 512 ? result_ : result_ + 32;
}

namespace gost34_11_2012_internal {

namespace {

// The block functions of a path; Chosen is the table in use.
BlockFunctions const& functionsFor(Path path) {
#ifdef ICV_GOST2012_AVX512
    if (path == Path::Avx512 && &fastest() == &kAvx512) return kAvx512;
#endif
    return path == Path::Chosen ? chosen() : kPortable;
}

}  // namespace

bool available(Path path) {
    return path != Path::Avx512 || &functionsFor(path) != &kPortable;
}

bool choose(Path path) {
    requested = &functionsFor(path);
    return &chosen() == requested;
}

void compressBlocks(Path path, UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                    std::size_t blocks) {
    functionsFor(path).compressBlocks(h, N, sigma, data, blocks);
}

void compressBlocksPair(Path path, UInt512& ha, UInt512& Na, UInt512& sigmaa,
                        unsigned char const* dataa, UInt512& hb, UInt512& Nb, UInt512& sigmab,
                        unsigned char const* datab, std::size_t blocks) {
    compressBlocksPairOn(functionsFor(path), ha, Na, sigmaa, dataa, hb, Nb, sigmab, datab, blocks);
}

void digest(Path path, void const* data, std::size_t size, void* out, int hashSize) {
    BlockFunctions const& f = functionsFor(path);
    UInt512 h = hashSize == 512 ? vector_0 : vector_1, N = vector_0, sigma = vector_0;
    auto const* in = static_cast<unsigned char const*>(data);
    f.compressBlocks(h, N, sigma, in, size / 64);
    unsigned char block[64], bytes[64];
    finish(f, h, N, sigma, block, in + size / 64 * 64, size % 64);
    for (int i = 0; i < 8; ++i) store64le(bytes + 8 * i, h.w[i]);
    std::memcpy(out, hashSize == 512 ? bytes : bytes + 32, hashSize == 512 ? 64 : 32);
}

}  // namespace gost34_11_2012_internal
