#pragma once
// The planes the methods take and make, for tests: a picture's planes held in vectors, and a
// method's result read back whatever order it chose.

#include <cstdint>
#include <vector>

#include "base/plane.h"

// Column-major planes of width x height samples: red, green, blue, and alpha when it is not
// empty.
struct TestPlanes {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> plane[4];
    // The planes as a method reads them.
    PlaneSet set() const;
};

// Plane c of a method's result as a column-major vector.
std::vector<std::uint8_t> column_major(const ResizedPlanes& result, int c);

// A result of planes' planes, as a method would hand it over, laid out as order says.
ResizedPlanes resized_copy(const TestPlanes& planes, PlaneOrder order = PlaneOrder::by_column);
