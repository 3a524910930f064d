// Internals of the GOST R 34.11-2012 core that its tests and benchmarks reach.
#pragma once

#include <cstddef>

#include "algorithms/gost34_11_2012.h"

namespace gost34_11_2012_internal {

// The compression paths. Chosen is the one every core uses, fixed at the first
// block: the fastest that the processor runs, unless choose asked for another.
// The functions below take any available path, for tests and benchmarks that
// compare the paths on the same inputs within one process.
enum class Path { Chosen, Portable, Avx512 };
bool available(Path path);
// Fixes the path every core uses (an available one); to be called before
// anything is hashed, on one thread. False if the path was fixed before to
// another: then nothing changes.
bool choose(Path path);
// The block function of one path: for each block, h = g_N(h, m), N += 512,
// sigma += m (the path must be available).
void compressBlocks(Path path, UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                    std::size_t blocks);
// compressBlocks on two messages of the same number of blocks (states
// distinct): the AVX-512 path takes them together, the portable one in turn.
// The path must be available.
void compressBlocksPair(Path path, UInt512& ha, UInt512& Na, UInt512& sigmaa,
                        unsigned char const* dataa, UInt512& hb, UInt512& Nb, UInt512& sigmab,
                        unsigned char const* datab, std::size_t blocks);

// gost_34_11_2012 on one path: hashSize 512 writes 64 bytes, any other 32.
void digest(Path path, void const* data, std::size_t size, void* out, int hashSize);

}  // namespace gost34_11_2012_internal
