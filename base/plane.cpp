#include "base/plane.h"

#include <cstddef>

#include "base/parallel.h"

WeightedColours weight_by_alpha(const PlaneSet& in) {
    const std::size_t n = to_size(in.width) * to_size(in.height);
    const char* names[3] = {"weighted red", "weighted green", "weighted blue"};
    WeightedColours w;
    for (int c = 0; c < 3; ++c) w.plane[c] = HeapArray<std::uint16_t>(n, names[c]);
    const std::uint8_t* alpha = in.plane[3];
    parallel_for(n, 1 << 16, [&](std::size_t i0, std::size_t i1) {
        for (int c = 0; c < 3; ++c) {
            const std::uint8_t* colour = in.plane[c];
            std::uint16_t* to = w.plane[c].get();
            for (std::size_t i = i0; i < i1; ++i)
                to[i] = static_cast<std::uint16_t>(colour[i] * alpha[i]);
        }
    });
    return w;
}
