// The lane kernels for the baseline instruction set (on x86-64, SSE2).
#include "dft_resize/lane_kernels.h"

#define ENLARGE3_LANE_NS lanes_generic
#define ENLARGE3_LANE_PARTS 4
#include "dft_resize/lane_kernels.inc"
