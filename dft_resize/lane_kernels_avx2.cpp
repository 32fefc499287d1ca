// The lane kernels for processors with AVX2, chosen at run time (line_batch.cpp). Only the
// code below the pragma is compiled for AVX2; nothing it defines is shared with the other
// translation units.
#include "dft_resize/lane_kernels.h"

#ifdef ENLARGE3_HAVE_X86_LANES
#pragma GCC target("avx2")
#define ENLARGE3_LANE_NS lanes_avx2
#define ENLARGE3_LANE_PARTS 2
#include "dft_resize/lane_kernels.inc"
#endif
