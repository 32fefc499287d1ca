#include "tests/support/planes.h"

#include <cstddef>

PlaneSet TestPlanes::set() const {
    PlaneSet s{width, height, {}};
    for (int c = 0; c < 4; ++c) s.plane[c] = plane[c].empty() ? nullptr : plane[c].data();
    return s;
}

namespace {

std::size_t index_of(int x, int y, int width, int height, PlaneOrder order) {
    return order == PlaneOrder::by_row
               ? static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)
               : static_cast<std::size_t>(x) * static_cast<std::size_t>(height) +
                     static_cast<std::size_t>(y);
}

}  // namespace

std::vector<std::uint8_t> column_major(const ResizedPlanes& result, int c) {
    std::vector<std::uint8_t> out;
    const std::uint8_t* p = result.plane[c].get();
    if (p == nullptr) return out;
    for (int x = 0; x < result.width; ++x)
        for (int y = 0; y < result.height; ++y)
            out.push_back(p[index_of(x, y, result.width, result.height, result.order)]);
    return out;
}

ResizedPlanes resized_copy(const TestPlanes& planes, PlaneOrder order) {
    const char* names[4] = {"red", "green", "blue", "alpha"};
    ResizedPlanes r;
    r.make(planes.width, planes.height, planes.plane[3].empty() ? 3 : 4, order, names);
    for (int c = 0; c < 4; ++c) {
        if (planes.plane[c].empty()) continue;
        std::size_t i = 0;
        for (int x = 0; x < planes.width; ++x)
            for (int y = 0; y < planes.height; ++y)
                r.plane[c][index_of(x, y, planes.width, planes.height, order)] =
                    planes.plane[c][i++];
    }
    return r;
}
