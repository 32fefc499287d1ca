#pragma once
// The DCT resize: each colour plane enlarged by zero insertion in the DCT domain
// (dft_interpolate.h), written as "%s_dct.bmp" beside the picture.
//
// The method only enlarges: each output side runs from the picture's side up to
// kMaxDftResizeSide (4096). Other sizes are refused before anything is allocated or printed.

#include <cstdint>
#include <string>

#include "base/progress.h"
#include "base/status.h"

// Whether the method takes W x H to W2 x H2: W, H >= 1, W <= W2 <= 4096, H <= H2 <= 4096.
bool dft_resize_size_ok(int W, int H, int W2, int H2);

// Prints "RED START", "GREEN START" and "BLUE START" on standard output, each before its
// plane, enlarges the three W x H planes (column-major) to W2 x H2 and writes the result.
// Returns StatusCode::bad_size for sizes outside the method's range (nothing printed, no
// file), or write_result_bmp's status. Allocation failures end the process
// ("RUPOUT no memory!!", ...). progress (may be null) counts the units of
// dft_interpolate_with for the three planes; after a stop no further plane starts, no file is
// written and the status is StatusCode::stopped.
Status dft_resize_image(const std::string& path, int W, int H, int W2, int H2,
                        const std::uint8_t* red, const std::uint8_t* green,
                        const std::uint8_t* blue, RunProgress* progress = nullptr);

// Bytes of memory dft_resize_image takes at its peak beside its input planes; 0 for sizes it
// refuses (it refuses them without taking any).
std::uint64_t dft_resize_memory_needed(int W, int H, int W2, int H2);
