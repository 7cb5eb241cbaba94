#pragma once
// Pair-distance histograms for the pair correlation function: pure kernels over the particle
// array, no I/O, no program state.
#include <cstdint>
#include <vector>

#include "sim/particle.h"

namespace qv {

// For every pair i < j of the first n records, with d their distance, bin k = floor(d / binWidth)
// gains 2 (the pair counts once for each of its members) when k < bins; pairs at bins * binWidth
// or further apart are dropped. Returns `bins` counts; all zero when binWidth is not above 0.
std::vector<std::int64_t> pairHistogramReference(const Particle* particles, int n, double binWidth,
                                                 int bins);

// The same counts, exactly (integers, and every pair is binned by the same arithmetic), with the
// rows of pairs shared out over the program's threads, each block filling a histogram of its own.
std::vector<std::int64_t> pairHistogramParallel(const Particle* particles, int n, double binWidth,
                                                int bins);

}  // namespace qv
