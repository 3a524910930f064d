// Internals of the GOST R 34.11-2012 core that its tests and benchmarks reach.
#pragma once

#include <cstdint>

#include "algorithms/gost34_11_2012.h"

namespace gost34_11_2012_internal {

// The merged LPS tables the portable path reads.
std::uint64_t const (&premult())[8][256];

// LPS(x) by the portable path.
UInt512 lps(UInt512 const& x);

}  // namespace gost34_11_2012_internal
