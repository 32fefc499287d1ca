#pragma once
// Colour planes, the one picture layout every method and every file format meets in.
//
// A plane is column-major unless said otherwise: the sample of column x and row t (0 = top row)
// of a picture of height h is at index x * h + t, so each column is one contiguous run of h
// bytes, which is what the methods' column passes read.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/alloc.h"
#include "base/numeric.h"
#include "base/progress.h"

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
    // A line for the user about how the file was read when it was not quite well formed (a
    // JPEG's stray bytes were skipped), or empty.
    std::string notice;
    bool has_alpha() const { return alpha.get() != nullptr; }
};

// The planes a method reads: red, green and blue, then alpha when the picture has transparency
// (null when it has none), each width x height samples, column-major. Only a view: the caller
// owns the planes and keeps them while the method runs.
struct PlaneSet {
    int width = 0;
    int height = 0;
    const std::uint8_t* plane[4] = {nullptr, nullptr, nullptr, nullptr};
    bool has_alpha() const { return plane[3] != nullptr; }
    int count() const { return has_alpha() ? 4 : 3; }
};

// A picture's planes as a method reads them.
inline PlaneSet planes_of(const PlanarPicture& picture) {
    return PlaneSet{
        picture.width,
        picture.height,
        {picture.red.get(), picture.green.get(), picture.blue.get(), picture.alpha.get()}};
}

// Transparency is enlarged weighted by alpha, so that a colour counts as much as it shows:
// every colour sample c of alpha a enters a method as the exact product c * a (at most
// 255 * 255 = 65025, exact in 16 bits and in double), the method enlarges these products and
// the alpha plane with its own unchanged arithmetic, and each result colour is the enlarged
// product divided by the enlarged alpha of the same sample, both unclamped (unweighted). The
// scale 255 cancels and nothing is rounded before that last division: a colour under any
// alpha keeps its level, and a colour under alpha 0 weighs nothing. The alpha plane itself is
// enlarged as the method enlarges any plane (the Hybrid switching it with the colours). A
// picture without alpha is enlarged unweighted.

// The colour planes of a picture with alpha, weighted by it: sample c * a at the index of c.
struct WeightedColours {
    HeapArray<std::uint16_t> plane[3];
};

// in's red, green and blue weighted by its alpha plane, which in must have.
WeightedColours weight_by_alpha(const PlaneSet& in);

// Bytes weight_by_alpha takes for a width x height picture.
inline std::uint64_t weighted_colours_bytes(int width, int height) {
    return 3 * sizeof(std::uint16_t) * static_cast<std::uint64_t>(width) *
           static_cast<std::uint64_t>(height);
}

// A result sample's colour, before it becomes a byte, from its enlarged weighted colour p and
// its enlarged alpha a, both unclamped: p / a, or 0 where the enlarged alpha's byte is 0 (a
// below 1, or NaN), since a pixel that shows nothing has no colour to keep. The quotient is
// formed either way, so that loops of it run in vector lanes.
inline double unweighted(double p, double a) {
    const double q = p / a;
    return a >= 1.0 ? q : 0.0;
}

// The planes a method makes: as many as it read, in the same order, each width x height
// samples laid out as order says. The method's caller owns them and writes them.
struct ResizedPlanes {
    int width = 0;
    int height = 0;
    PlaneOrder order = PlaneOrder::by_column;
    HeapArray<std::uint8_t> plane[4];  // alpha stays empty when the input had none

    // Takes count (3 or 4) planes of width x height samples, in order, each named by names[c]
    // in the message of a failed allocation.
    void make(int w, int h, int count, PlaneOrder o, const char* const names[4]) {
        width = w;
        height = h;
        order = o;
        const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        for (int c = 0; c < count; ++c) plane[c] = HeapArray<std::uint8_t>(n, names[c]);
    }
};

// The loop of a method that enlarges each plane by itself: step(c) for c = 0 .. count - 1, red
// first and alpha last, none started once a stop was asked for. Returns false when a stop was
// asked for before the last plane ended; the planes made are then incomplete.
template <class Step>
bool for_each_plane(int count, const RunProgress* progress, Step step) {
    for (int c = 0; c < count; ++c) {
        if (stop_requested(progress)) return false;
        step(c);
    }
    return !stop_requested(progress);
}
