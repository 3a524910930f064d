// Internals of the GOST R 34.11-2012 core that its tests and benchmarks reach.
#pragma once

#include <cstddef>
#include <cstdint>

#include "algorithms/gost34_11_2012.h"

namespace gost34_11_2012_internal {

// The merged LPS tables the portable path reads.
std::uint64_t const (&premult())[8][256];

// LPS(x) by the portable path.
UInt512 lps(UInt512 const& x);

// The compression paths. Best is the one chosen from the processor's features.
enum class Path { Best, Portable, Avx512 };
bool available(Path path);
// Makes every core use the path from now on (Best restores the choice); for
// tests and benchmarks, which compare the paths on the same inputs.
void force(Path path);
// The block function of one path: for each block, h = g_N(h, m), N += 512,
// sigma += m (the path must be available).
void compressBlocks(Path path, UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                    std::size_t blocks);
// compressBlocks on two messages of the same number of blocks (states
// distinct): the AVX-512 path takes them together, the portable one in turn.
// Best is the path in use, forced or chosen; the others must be available.
void compressBlocksPair(Path path, UInt512& ha, UInt512& Na, UInt512& sigmaa,
                        unsigned char const* dataa, UInt512& hb, UInt512& Nb, UInt512& sigmab,
                        unsigned char const* datab, std::size_t blocks);

}  // namespace gost34_11_2012_internal
