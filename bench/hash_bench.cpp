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

// GOST R 34.11-2012 on one forced compression path.
void gost2012Path(benchmark::State& state, gost34_11_2012_internal::Path path) {
    if (!gost34_11_2012_internal::available(path)) {
        state.SkipWithError("path not available on this processor");
        return;
    }
    gost34_11_2012_internal::force(path);
    hashBuffer(state, HashFileChecker::GOST_3411_2012);
    gost34_11_2012_internal::force(gost34_11_2012_internal::Path::Best);
}
void BM_GOST3411_2012_Portable(benchmark::State& s) {
    gost2012Path(s, gost34_11_2012_internal::Path::Portable);
}
void BM_GOST3411_2012_Avx512(benchmark::State& s) {
    gost2012Path(s, gost34_11_2012_internal::Path::Avx512);
}

// The block function of one path alone on 64-byte blocks: one message, or two
// of the same length at once (the bytes of both counted). The path is forced
// and called as Best, so no call asks the processor for its features.
void gost2012Blocks(benchmark::State& state, gost34_11_2012_internal::Path path, bool pair) {
    namespace internal = gost34_11_2012_internal;
    if (!internal::available(path)) {
        state.SkipWithError("path not available on this processor");
        return;
    }
    std::size_t const blocks = static_cast<std::size_t>(state.range(0)) / 64;
    std::vector<unsigned char> a(64 * blocks), b(64 * blocks);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<unsigned char>(i * 131);
        b[i] = static_cast<unsigned char>(i * 137 + 1);
    }
    UInt512 h[2] = {}, n[2] = {}, sigma[2] = {};
    internal::force(path);
    for (auto _ : state) {
        if (pair)
            internal::compressBlocksPair(internal::Path::Best, h[0], n[0], sigma[0], a.data(), h[1],
                                         n[1], sigma[1], b.data(), blocks);
        else
            internal::compressBlocks(internal::Path::Best, h[0], n[0], sigma[0], a.data(), blocks);
        benchmark::DoNotOptimize(h);
    }
    internal::force(internal::Path::Best);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(a.size()) *
                            (pair ? 2 : 1));
}
void BM_GOST3411_2012_Portable_Blocks(benchmark::State& s) {
    gost2012Blocks(s, gost34_11_2012_internal::Path::Portable, false);
}
void BM_GOST3411_2012_Portable_BlocksPair(benchmark::State& s) {
    gost2012Blocks(s, gost34_11_2012_internal::Path::Portable, true);
}
void BM_GOST3411_2012_Avx512_Blocks(benchmark::State& s) {
    gost2012Blocks(s, gost34_11_2012_internal::Path::Avx512, false);
}
void BM_GOST3411_2012_Avx512_BlocksPair(benchmark::State& s) {
    gost2012Blocks(s, gost34_11_2012_internal::Path::Avx512, true);
}

BENCHMARK(BM_MD5)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_94)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012_Portable)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012_Avx512)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_GOST3411_2012_Portable_Blocks)->Arg(64 << 10);
BENCHMARK(BM_GOST3411_2012_Portable_BlocksPair)->Arg(64 << 10);
BENCHMARK(BM_GOST3411_2012_Avx512_Blocks)->Arg(64 << 10);
BENCHMARK(BM_GOST3411_2012_Avx512_BlocksPair)->Arg(64 << 10);

}  // namespace

BENCHMARK_MAIN();
