#pragma once
// Colour planes, the one picture layout every method and every file format meets in.
//
// A plane is column-major unless said otherwise: the sample of column x and row t (0 = top row)
// of a picture of height h is at index x * h + t, so each column is one contiguous run of h
// bytes, which is what the methods' column passes read.

#include <cstdint>

#include "base/alloc.h"

// How a plane's samples lie in memory. Planes are column-major everywhere in the tool; a
// method whose last pass runs along rows may hand its result over row-major instead, which
// spares two transpositions on the way to the file's rows.
enum class PlaneOrder {
    by_column,  // sample (x, y) at x * height + y
    by_row,     // sample (x, y) at y * width + x
};

// A picture split into its three colour planes, each width * height samples, and an alpha
// plane (0 transparent to 255 opaque) of the same size when the picture has transparency; a
// picture without any (every 24-bit BMP among them) leaves alpha empty.
struct PlanarPicture {
    int width = 0;
    int height = 0;
    HeapArray<std::uint8_t> red;
    HeapArray<std::uint8_t> green;
    HeapArray<std::uint8_t> blue;
    HeapArray<std::uint8_t> alpha;
    bool has_alpha() const { return alpha.get() != nullptr; }
};
