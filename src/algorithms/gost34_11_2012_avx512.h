// The AVX-512 + GFNI compression path of GOST R 34.11-2012; callable only on
// processors with AVX512F, AVX512BW, AVX512VBMI and GFNI.
#pragma once

#include <cstddef>

#include "algorithms/gost34_11_2012.h"

namespace gost34_11_2012_avx512 {

// h = g_N(h, m).
void compress(UInt512& h, UInt512 const& N, UInt512 const& m);
// For each block in turn: h = g_N(h, m); N += 512; sigma += m.
void compressBlocks(UInt512& h, UInt512& N, UInt512& sigma, unsigned char const* data,
                    std::size_t blocks);
// compressBlocks on two messages a and b of the same number of blocks at once
// (their states distinct), for about one and a half times the bytes per second.
void compressBlocksPair(UInt512& ha, UInt512& Na, UInt512& sigmaa, unsigned char const* dataa,
                        UInt512& hb, UInt512& Nb, UInt512& sigmab, unsigned char const* datab,
                        std::size_t blocks);

}  // namespace gost34_11_2012_avx512
