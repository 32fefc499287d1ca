// The lane kernels for processors with AVX-512F, chosen at run time (line_batch.cpp). Only the
// code below the pragma is compiled for AVX-512F; nothing it defines is shared with the other
// translation units.
#include "dft_resize/lane_kernels.h"

#ifdef ENLARGE3_HAVE_X86_LANES
#pragma GCC target("avx512f")
#define ENLARGE3_LANE_NS lanes_avx512
#define ENLARGE3_LANE_PARTS 1
#include "dft_resize/lane_kernels.inc"
#endif
