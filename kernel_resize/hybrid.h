#pragma once
// The hybrid resize: the Lanczos-3 resize of lanczos3.h, switched per output sample to two-tap
// linear interpolation wherever an edge mask marks the input sample at the source position.
// Edges ring under Lanczos-3; linear interpolation does not ring.
//
// Two masks, each from all three colours at once, so an edge in one colour switches all three:
// the row mask from horizontal neighbour differences of the picture steers the row pass; the
// column mask from vertical neighbour differences of the row-pass results steers the column
// pass. A difference of 13 or more is an edge; each mask is then widened by two samples along
// its pass. Away from the masks every sample is computed by the very same code as the Lanczos3
// resize, so a picture without edges gives byte-identical results.
//
// A picture with alpha is enlarged weighted by it (base/plane.h), and its masks come from the
// colours as the picture shows them, so that an edge of transparency is an edge and a colour
// hidden under alpha 0 makes none: a colour c of alpha a shows c a / 255 over black and
// c a / 255 + 255 - a over white, and neighbours are an edge in that colour when they differ
// by 13 or more over either. In the weighted colours w = c a that is |w1 - w2| >= 13 * 255 or
// |255 (a1 - a2) - (w1 - w2)| >= 13 * 255: in integers for the row mask, on the row-pass
// doubles of the weighted colours and of alpha for the column mask (where, the threshold being
// whole, truncating first changes nothing). Where alpha is 255 the row mask is the rule above
// exactly, and the column mask is up to the rounding of the row pass. Alpha is switched by the
// same masks as the colours, so that a colour and the alpha it is divided by always undergo the
// same operations.

#include <cstdint>

#include "base/alloc.h"
#include "base/plane.h"
#include "base/progress.h"
#include "base/status.h"

constexpr int kEdgeThreshold = 13;

enum class MaskDirection { along_rows, along_columns };

// Flags (0 or 1) over a width x height grid, flag (x, y) at x * height + y.
struct EdgeMask {
    int width = 0;
    int height = 0;
    HeapArray<std::uint8_t> channel[3];  // red, green, blue: an edge in that colour
    HeapArray<std::uint8_t> combined;    // an edge in any colour
    HeapArray<std::uint8_t> widened;     // combined, widened by two samples along the pass

    // Without keep_channels the three channel grids stay empty (null) and the mask builders
    // fill only the combined grid, which is all the resize needs.
    EdgeMask(int w, int h, bool keep_channels = true);
};

// Row mask of the W x H picture: pixel (x, y) compares its left and right neighbours (mirrored
// at the ends, so the first and last columns compare a column with itself and are never
// flagged by their own difference). Fills mask->channel and mask->combined.
void row_edge_mask(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                   int W, int H, EdgeMask* mask);

// The row mask of a picture with alpha by the weighted rule, from its weighted colours
// (base/plane.h) and its alpha plane; the same neighbours.
void row_edge_mask(const std::uint16_t* red, const std::uint16_t* green, const std::uint16_t* blue,
                   const std::uint8_t* alpha, int W, int H, EdgeMask* mask);

// column_edge_mask, hybrid_rows and hybrid_columns are the definition's steps over whole planes.
// The resize does not call them: it builds the column mask and runs both passes band by band
// of output columns (kernel_resize/passes.h), each flag and sample by the same operations; the
// tests hold it to them.

// Column mask of the W2 x H row-pass results: sample (x, y) compares rows y + 1 and y - 1
// (mirrored likewise); the difference of the unclamped doubles is truncated toward zero before
// it is compared, so 12.9 is no edge and -13.4 is. With alpha's row-pass results (alpha, laid
// out alike), the colours are the weighted colours' row-pass results and the weighted rule
// applies. Fills mask->channel and mask->combined.
void column_edge_mask(const double* red, const double* green, const double* blue, int W2, int H,
                      EdgeMask* mask, const double* alpha = nullptr);

// mask->widened = mask->combined with the two samples before and after every flagged sample
// along the direction also set. Only the combined flags spread, so the widening is exactly two.
void dilate_mask(EdgeMask* mask, MaskDirection direction);

// The row pass of lanczos3_rows over an 8-bit plane of lines rows, N to M samples, with every
// output sample whose truncated source position t has flag (t, row) set in mask (N x lines)
// replaced by the linear interpolation. out is M * lines doubles, unclamped.
void hybrid_rows(int lines, int N, int M, const std::uint8_t* in, const std::uint8_t* mask,
                 double* out);

// The column pass of lanczos3_columns over lines columns of N doubles (column l at
// in[l * N]), N to M samples, with every output sample k of column l whose truncated source
// position t has flag (l, t) set in mask (lines x N, flag (l, i) at l * N + i) replaced by the
// linear interpolation; results clamped by clamp_to_byte into out, a lines x M plane (column l
// at out[l * M]).
void hybrid_columns(int lines, int N, int M, const double* in, const std::uint8_t* mask,
                    std::uint8_t* out);

// The whole picture: in's planes into out's, W2 x H2 samples by row. Same limits as
// lanczos3_resize. With alpha, the weighted colours and alpha go through the two passes, all
// switched by the two masks of the weighted rule, and each colour sample is unweighted by
// alpha's column-pass value of that sample before the clamp.
// progress (may be null) counts W2 units, the output columns, all planes of a column
// together; after a stop it returns StatusCode::stopped and out is incomplete.
Status hybrid_resize(const PlaneSet& in, int W2, int H2, ResizedPlanes* out,
                     RunProgress* progress = nullptr);

// Bytes of memory hybrid_resize takes at its peak beside its input planes, its result planes
// included, with an alpha plane when alpha is set.
std::uint64_t hybrid_memory_needed(int W, int H, int W2, int H2, bool alpha = false);
