#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "algorithms/gost34_11_2012_internal.h"
#include "hash/hash.h"

namespace {

void hashBuffer(benchmark::State& state, HashFileChecker::Alg alg) {
    std::unique_ptr<IHashFactory> factory(createHashFactory(alg));
    std::vector<unsigned char> buffer(state.range(0));
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(i * 131);
    for (auto _ : state) {
        std::unique_ptr<IHash_Calc> calc(factory->createHashCalc());
        calc->Update(buffer.data(), buffer.size());
        std::unique_ptr<IHash> digest(factory->createHash(*calc, true));
        benchmark::DoNotOptimize(digest->Digest());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buffer.size()));
}

void BM_MD5(benchmark::State& s) {
    hashBuffer(s, HashFileChecker::MD5);
}
void BM_GOST3411_94(benchmark::State& s) {
    hashBuffer(s, HashFileChecker::GOST_RFC4357);
}
void BM_GOST3411_2012(benchmark::State& s) {
    hashBuffer(s, HashFileChecker::GOST_3411_2012);
}

// Two GOST R 34.11-2012 messages of the same length through the interface, as
// the file reader gives them (the bytes of both counted): at once where the
// path has a two-message step.
void BM_GOST3411_2012_Pair(benchmark::State& state) {
    std::unique_ptr<IHashFactory> factory(createHashFactory(HashFileChecker::GOST_3411_2012));
    std::vector<unsigned char> a(state.range(0)), b(state.range(0));
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<unsigned char>(i * 131);
        b[i] = static_cast<unsigned char>(i * 137 + 1);
    }
    for (auto _ : state) {
        std::unique_ptr<IHash_Calc> ca(factory->createHashCalc()), cb(factory->createHashCalc());
        if (ca->PairsWith(*cb)) {
            ca->UpdatePair(*cb, a.data(), b.data(), a.size());
        } else {
            ca->Update(a.data(), a.size());
            cb->Update(b.data(), b.size());
        }
        std::unique_ptr<IHash> da(factory->createHash(*ca, true)),
            db(factory->createHash(*cb, true));
        benchmark::DoNotOptimize(da->Digest());
        benchmark::DoNotOptimize(db->Digest());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(a.size()) * 2);
}

namespace internal = gost34_11_2012_internal;

// Input of `size` bytes for the block functions of one path.
std::vector<unsigned char> pathInput(benchmark::State& state, internal::Path path, std::size_t size,
                                     unsigned seed) {
    if (!internal::available(path)) state.SkipWithError("path not available on this processor");
    std::vector<unsigned char> v(size);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<unsigned char>(i * seed + 1);
    return v;
}

// GOST R 34.11-2012 of one buffer on one compression path (the one-shot function).
void gost2012Path(benchmark::State& state, internal::Path path) {
    std::vector<unsigned char> const buffer = pathInput(state, path, state.range(0), 131);
    unsigned char out[32];
    for (auto _ : state) {
        internal::digest(path, buffer.data(), buffer.size(), out, 256);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buffer.size()));
}
void BM_GOST3411_2012_Portable(benchmark::State& s) {
    gost2012Path(s, internal::Path::Portable);
}
void BM_GOST3411_2012_Avx512(benchmark::State& s) {
    gost2012Path(s, internal::Path::Avx512);
}

// The block function of one path alone on 64-byte blocks: one message, or two
// of the same length at once (the bytes of both counted).
void gost2012Blocks(benchmark::State& state, internal::Path path, bool pair) {
    std::size_t const size = static_cast<std::size_t>(state.range(0)) / 64 * 64;
    std::vector<unsigned char> const a = pathInput(state, path, size, 131),
                                     b = pathInput(state, path, size, 137);
    std::size_t const blocks = size / 64;
    UInt512 h[2] = {}, n[2] = {}, sigma[2] = {};
    for (auto _ : state) {
        if (pair)
            internal::compressBlocksPair(path, h[0], n[0], sigma[0], a.data(), h[1], n[1], sigma[1],
                                         b.data(), blocks);
        else
            internal::compressBlocks(path, h[0], n[0], sigma[0], a.data(), blocks);
        benchmark::DoNotOptimize(h);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(a.size()) *
                            (pair ? 2 : 1));
}
void BM_GOST3411_2012_Portable_Blocks(benchmark::State& s) {
    gost2012Blocks(s, internal::Path::Portable, false);
}
void BM_GOST3411_2012_Portable_BlocksPair(benchmark::State& s) {
    gost2012Blocks(s, internal::Path::Portable, true);
}
void BM_GOST3411_2012_Avx512_Blocks(benchmark::State& s) {
    gost2012Blocks(s, internal::Path::Avx512, false);
}
void BM_GOST3411_2012_Avx512_BlocksPair(benchmark::State& s) {
    gost2012Blocks(s, internal::Path::Avx512, true);
}

BENCHMARK(BM_MD5)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_94)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012_Pair)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012_Portable)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012_Avx512)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012_Portable_Blocks)->Arg(64 << 10);
BENCHMARK(BM_GOST3411_2012_Portable_BlocksPair)->Arg(64 << 10);
BENCHMARK(BM_GOST3411_2012_Avx512_Blocks)->Arg(64 << 10);
BENCHMARK(BM_GOST3411_2012_Avx512_BlocksPair)->Arg(64 << 10);

}  // namespace

BENCHMARK_MAIN();
