#pragma once
// The DCT resize: each plane of a picture enlarged by zero insertion in the DCT domain
// (dft_interpolate.h), one after the other.
//
// The method only enlarges: each output side runs from the picture's side up to
// kMaxDftResizeSide (67108864, far beyond any memory; dft_resize_memory_needed tells what a size
// takes). Other sizes are refused before anything is allocated or printed.

#include <cstdint>

#include "base/plane.h"
#include "base/progress.h"
#include "base/status.h"

// Whether the method takes W x H to W2 x H2: W, H >= 1, W <= W2 <= kMaxDftResizeSide,
// H <= H2 <= kMaxDftResizeSide.
bool dft_resize_size_ok(int W, int H, int W2, int H2);

// Prints "RED START", "GREEN START" and "BLUE START" on standard output, each before its
// plane, and enlarges in's three W x H planes to W2 x H2 into out's (by column). When in has
// alpha, it first prints "ALPHA START" and enlarges the alpha plane the same way, keeping its
// values, and then enlarges the colours weighted by it (base/plane.h): each weighted colour
// plane the same way, every value unweighted by alpha's value of that sample before it is
// clamped. Returns StatusCode::bad_size for sizes outside the method's range (nothing printed,
// nothing made). Allocation failures end the process ("RUPOUT no memory!!", ...). progress
// (may be null) counts the units of dft_interpolate_with for every plane; after a stop no
// further plane starts, out is incomplete and the status is StatusCode::stopped.
Status dft_resize_image(const PlaneSet& in, int W2, int H2, ResizedPlanes* out,
                        RunProgress* progress = nullptr);

// Bytes of memory dft_resize_image takes at its peak beside its input planes, its result planes
// included, with an alpha plane when alpha is set; 0 for sizes it refuses (it refuses them
// without taking any).
std::uint64_t dft_resize_memory_needed(int W, int H, int W2, int H2, bool alpha = false);
