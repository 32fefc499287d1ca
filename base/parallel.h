#pragma once
// Splits independent work over the processor's cores. Every loop handed to parallel_for
// computes each index on its own and writes only that index's outputs, so the results are the
// same bytes whatever the number of threads and however the range is split.

#include <cstddef>
#include <functional>

// Worker threads to use: the hardware's count, at least 1, at most 64. ENLARGE3_THREADS=n in
// the environment overrides it (1 runs everything on the calling thread).
int worker_count();

// Calls fn(begin, end) on contiguous chunks covering [0, count), at most one chunk per worker,
// none smaller than min_chunk (except the last); the calling thread runs the first chunk and
// returns when all are done.
void parallel_for(std::size_t count, std::size_t min_chunk,
                  const std::function<void(std::size_t, std::size_t)>& fn);
