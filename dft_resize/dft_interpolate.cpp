#include "dft_resize/dft_interpolate.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "base/alloc.h"
#include "base/numeric.h"
#include "base/parallel.h"
#include "base/plane.h"
#include "fft/complex_fft.h"
#include "fft/line_batch.h"

// The method is defined line by line: a chirp-z plan per line, FFT tables rebuilt per pass,
// full 2W2 x 2H2 grids for the zero insertion. This schedule computes the same values with
// less work, and every shortcut keeps every bit:
// - A line transform's chirp, kernel spectrum, rotation factors and FFT tables depend only on
//   its length: one LinePlan per length, built by the very routines a per-line plan uses.
// - Lines are independent: kLanes of them run in vector lanes with exactly the scalar
//   operations of each line, and groups of lines are shared out among the cores.
// - Rows Y and 2H - 1 - Y of the mirrored grid are the same input, so the forward row pass
//   transforms rows 0 .. H - 1 only and the column pass reads the mirror of that.
// - The zero insertion and the Nyquist split are not stored: each inverse row is gathered
//   from the forward spectrum with the zeros and halvings applied on the way, the same
//   products in the same order as the split performs them on the full grid.
// - Rows that are all zero after the insertion transform to zeros (of either sign: products
//   with a zero are zero and a sum with an exact zero is exact, so the sign of a zero never
//   reaches a nonzero value, and a zero becomes the byte 0 either way). They are neither
//   transformed nor stored; the column pass reads them as zeros.
// - Columns at or beyond W2 of the last pass and rows at or beyond H2 of its result are never
//   used, so only W2 columns are transformed and kept, and the inverse transforms compute
//   only the outputs that are kept.
// Between the passes the grids live in tiles of kTile x kTile values, and each pass frees the
// tiles of its input as soon as no later line needs them: the spectrum takes the place of the
// forward rows' result as it grows, and the inverse rows' result takes the spectrum's tiles
// from a pool as the spectrum is read, so at most the largest of the three grids is held
// instead of two at once.

namespace {

// The mirror of the DCT grid repeats the edge sample: 0 .. n-1 then n-1 .. 0.
int mirror_repeat(int i, int n) {
    return i < n ? i : 2 * n - 1 - i;
}

void stage(const char* line) {
    std::fputs(line, stderr);
}

// Runs body(group, buffer) for groups 0 .. count - 1 on all workers, worker i with lane
// buffer i. Groups are handed out one at a time, so a core slowed by other work takes fewer.
// Each group done reports units to progress; after a stop no group starts.
template <class Body>
void for_line_groups(int count, std::vector<BigArray>& buffers, RunProgress* progress,
                     std::uint64_t units, const Body& body) {
    if (count <= 0) return;
    std::atomic<int> next{0};
    const std::size_t workers = std::min(buffers.size(), static_cast<std::size_t>(count));
    parallel_for(workers, 1, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            double* buf = buffers[i].get();
            for (int g = next.fetch_add(1); g < count && !stop_requested(progress);
                 g = next.fetch_add(1)) {
                body(g, buf);
                add_units(progress, units);
            }
        }
    });
}

int group_count(int lines) {
    return (lines + kLanes - 1) / kLanes;
}

std::uint64_t to_units(int n) {
    return static_cast<std::uint64_t>(n);
}

// A tile holds kTile columns of kTile values of a grid: value (x, y), x and y counted from the
// tile's corner, has its real part at x * kTile + y and its imaginary part kTile * kTile
// later. A group of kLanes lines fills one band of tiles.
constexpr int kTile = kLanes;
constexpr std::size_t kTileDoubles = 2 * kTile * kTile;
constexpr std::size_t kTileIm = kTile * kTile;
// Tiles per slab the pool takes from the heap: 4 MiB.
constexpr std::size_t kSlabTiles = 4096;

std::size_t tile_at(int x, int y) {
    return to_size(x % kTile * kTile + y % kTile);
}

// Holds off other threads for the few instructions of a pool operation.
class SpinLock {
   public:
    void lock() {
        while (flag_.test_and_set(std::memory_order_acquire)) {
        }
    }
    void unlock() { flag_.clear(std::memory_order_release); }

   private:
    std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

class Locked {
   public:
    explicit Locked(SpinLock& l) : l_(l) { l_.lock(); }
    ~Locked() { l_.unlock(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

   private:
    SpinLock& l_;
};

// Tiles for the inverse rows' result: the spectrum's, given back as they are read, and slabs of
// its own, taken from the heap and kept for the next plane. A tile given back is the next one
// taken, so memory that was touched is used again first.
class TilePool {
   public:
    // Makes room for count tiles in all, so that the passes need no allocation of their own.
    void reserve(std::size_t count) {
        while (slabs_.size() * kSlabTiles < count) add_slab();
    }

    void take(std::size_t count, double** out) {
        Locked hold(lock_);
        while (free_.size() < count) add_slab();
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = free_.back();
            free_.pop_back();
        }
    }

    void give(double* const* tiles, std::size_t count) {
        Locked hold(lock_);
        for (std::size_t i = count; i-- > 0;) free_.push_back(tiles[i]);
    }

    // Forgets the tiles given that are not its own, keeping all of its slabs' free.
    void reset() {
        free_.clear();
        for (std::size_t s = slabs_.size(); s-- > 0;)
            for (std::size_t i = kSlabTiles; i-- > 0;)
                free_.push_back(slabs_[s].get() + i * kTileDoubles);
    }

   private:
    void add_slab() {
        slabs_.emplace_back(kSlabTiles * kTileDoubles, "tiles");
        // Pushed last to first, so the slab is handed out from its start.
        for (std::size_t i = kSlabTiles; i-- > 0;)
            free_.push_back(slabs_.back().get() + i * kTileDoubles);
    }

    SpinLock lock_;
    std::vector<BigArray> slabs_;
    std::vector<double*> free_;
};

// The forward rows' result and the spectrum, in one block of tiles laid out row band after row
// band: tile (c, r) of either, column band c (columns c kTile ..) and row band r, is tile
// r * col_bands + c. The spectrum's first row bands take the place of the forward rows' as
// the column pass goes: its group c reads column band c of the forward rows whole before it
// writes column band c of the spectrum, and no other group reads that column band. Each row
// band of the spectrum then lies in one piece, as the inverse row pass reads it.
struct RowBandTiles {
    int col_bands = 0, row_bands = 0;
    BigArray block;
    double* base = nullptr;

    void shape(int cols, int rows) {
        col_bands = (cols + kTile - 1) / kTile;
        row_bands = (rows + kTile - 1) / kTile;
        block = BigArray(to_size(col_bands) * to_size(row_bands) * kTileDoubles, "tiles");
        base = block.get();
    }
    double* at(int c, int r) const {
        return base + (to_size(r) * to_size(col_bands) + to_size(c)) * kTileDoubles;
    }
    // The tile that holds (x, y).
    double* of(int x, int y) const { return at(x / kTile, y / kTile); }
    // Writes a zero into every page of row band r, if there is one. The column pass writes all
    // row bands in its first group; the bands the forward rows do not write are touched one a
    // group beforehand, so that the system's clearing of their fresh pages is spread over that
    // pass rather than holding up one group (and a stop) for all of them. The column pass
    // overwrites the zeros before anything reads them.
    void touch_band(int r) const {
        if (r >= row_bands) return;
        constexpr std::size_t kPageDoubles = 4096 / sizeof(double);
        double* band = at(0, r);
        const std::size_t doubles = to_size(col_bands) * kTileDoubles;
        for (std::size_t i = 0; i < doubles; i += kPageDoubles) band[i] = 0.0;
    }
};

// A grid of complex values in tiles from the pool: the tile of column band c and row band r at
// tiles[c * row_bands + r], null while the grid does not hold it.
struct TiledGrid {
    int col_bands = 0, row_bands = 0;
    std::vector<double*> tiles;

    void shape(int cols, int rows) {
        col_bands = (cols + kTile - 1) / kTile;
        row_bands = (rows + kTile - 1) / kTile;
        tiles.assign(to_size(col_bands) * to_size(row_bands), nullptr);
    }
    std::size_t count() const { return tiles.size(); }
    double*& at(int c, int r) { return tiles[to_size(c) * to_size(row_bands) + to_size(r)]; }
    // The tile that holds (x, y).
    double* of(int x, int y) const {
        return tiles[to_size(x / kTile) * to_size(row_bands) + to_size(y / kTile)];
    }
};

}  // namespace

struct DftPlaneWork::Impl {
    int W, H, W2, H2, dx, dy;
    // Rows of the stuffed spectrum that are not all zero, in the order they are transformed
    // (row H of a grown spectrum last); R of them.
    std::vector<int> rows;
    // For each row Y of the stuffed spectrum, its index in rows, or -1 for a zero row.
    std::vector<int> compact;
    // Plans by use: forward rows (2W), forward columns (2H), inverse rows (2W2), inverse
    // columns (2H2); equal lengths share one plan.
    std::vector<LinePlan> plans;
    const LinePlan* fwd_rows;
    const LinePlan* fwd_cols;
    const LinePlan* inv_rows;
    const LinePlan* inv_cols;
    // The forward row pass's result (H rows of 2W), then the spectrum (2H rows of 2W).
    RowBandTiles spectrum;
    // The inverse row pass's result (the R rows of `rows`, W2 wide: columns from W2 on are
    // never used), in tiles of the spectrum given back and, where those do not suffice, of
    // the pool's own.
    TilePool pool;
    TiledGrid rows_inv;
    // For each row band of the spectrum, how many row bands of the inverse row pass read it;
    // the pass counts them down and gives the band back at zero.
    std::vector<int> spectrum_readers;
    std::vector<int> readers_left;
    SpinLock readers_lock;
    // One lane buffer per worker, for the longest line.
    std::vector<BigArray> buffers;
    // Where the plane being enlarged reports; may be null.
    RunProgress* progress = nullptr;
};

namespace {

using Impl = DftPlaneWork::Impl;

// Index in the forward spectrum (n wide, n = W or H) of index i of the stuffed spectrum grown
// by d (n + 2d wide), or -1 inside the band of zeros: i < n keeps its place, the band
// n .. n + 2d - 1 is zero, and the upper half moves up by 2d (the Nyquist index n to n + 2d).
int stuffed_source(int i, int n, int d) {
    return i < n ? i : i < n + 2 * d ? -1 : i - 2 * d;
}

// The band of zeros of a line of the stuffed spectrum, n + 1 .. n + 2d - 1 (the Nyquist
// index n + 2d, and index n where its half is copied, hold values).
KnownZeros stuffed_zeros(int n, int d) {
    KnownZeros z;
    if (d > 0) {
        z.from = n + 1;
        z.to = n + 2 * d;
    }
    return z;
}

// The spectrum rows that stuffed row Y reads: its real parts from row fr, after the Nyquist
// row's copy into row H, and its imaginary parts from row fi (-1: none, all zero).
void stuffed_row_sources(const Impl& m, int Y, int* fr, int* fi) {
    const int y = Y == m.H ? m.H + 2 * m.dy : Y;
    *fr = stuffed_source(y, m.H, m.dy);
    *fi = stuffed_source(Y, m.H, m.dy);
}

// The spectrum's row bands that row band b of the inverse rows reads, each once. Only these:
// the last band, which holds row H of a grown spectrum, reads bands far apart, and the bands
// between them belong to other readers.
std::vector<int> spectrum_bands_read(const Impl& m, int b) {
    const int first = b * kTile;
    const int last = std::min(first + kTile, static_cast<int>(m.rows.size()));
    std::vector<int> bands;
    for (int r = first; r < last; ++r) {
        int fr, fi;
        stuffed_row_sources(m, m.rows[to_size(r)], &fr, &fi);
        for (int f : {fr, fi})
            if (f >= 0) bands.push_back(f / kTile);
    }
    std::sort(bands.begin(), bands.end());
    bands.erase(std::unique(bands.begin(), bands.end()), bands.end());
    return bands;
}

// Spectrum tiles that no longer have a reader go back to the pool: row band b of the inverse
// rows has gathered its input.
void release_spectrum_rows(Impl& m, int b) {
    const std::vector<int> bands = spectrum_bands_read(m, b);
    std::vector<double*> done;
    {
        Locked hold(m.readers_lock);
        for (int sb : bands) {
            if (--m.readers_left[to_size(sb)] != 0) continue;
            for (int c = 0; c < m.spectrum.col_bands; ++c) done.push_back(m.spectrum.at(c, sb));
        }
    }
    m.pool.give(done.data(), done.size());
}

}  // namespace

DftPlaneWork::DftPlaneWork(int W, int H, int W2, int H2) : impl_(new Impl) {
    Impl& m = *impl_;
    m.W = W;
    m.H = H;
    m.W2 = W2;
    m.H2 = H2;
    m.dx = W2 - W;
    m.dy = H2 - H;
    // Rows 0 .. H - 1 and H + 2dy .. 2H2 - 1 carry the spectrum; row H also carries the
    // Nyquist row's copy when dy > 0 (with dy = 0 it is the Nyquist row itself). Row H of a
    // grown spectrum goes last, so that every other row's index is the index of the spectrum
    // row it reads, and a group of lines reads whole row bands of the spectrum.
    m.compact.assign(to_size(2 * H2), -1);
    const auto keep = [&m](int Y) {
        m.compact[to_size(Y)] = static_cast<int>(m.rows.size());
        m.rows.push_back(Y);
    };
    for (int Y = 0; Y < H; ++Y) keep(Y);
    for (int Y = H + 2 * m.dy; Y < 2 * H2; ++Y) keep(Y);
    if (m.dy > 0) keep(H);
    const int lengths[4] = {2 * W, 2 * H, 2 * W2, 2 * H2};
    m.plans.reserve(4);
    const LinePlan* chosen[4];
    for (int i = 0; i < 4; ++i) {
        chosen[i] = nullptr;
        for (const LinePlan& p : m.plans)
            if (p.n == lengths[i]) chosen[i] = &p;
        if (chosen[i] == nullptr) {
            m.plans.emplace_back();
            line_plan_build(&m.plans.back(), lengths[i]);
            chosen[i] = &m.plans.back();
        }
    }
    m.fwd_rows = chosen[0];
    m.fwd_cols = chosen[1];
    m.inv_rows = chosen[2];
    m.inv_cols = chosen[3];
    const int R = static_cast<int>(m.rows.size());
    // Taken here, before any thread starts, so that a lack of memory ends the process from this
    // thread.
    m.spectrum.shape(2 * W, 2 * H);
    m.rows_inv.shape(W2, R);
    m.spectrum_readers.assign(to_size(m.spectrum.row_bands), 0);
    for (int b = 0; b < m.rows_inv.row_bands; ++b)
        for (int sb : spectrum_bands_read(m, b)) ++m.spectrum_readers[to_size(sb)];
    // The pool holds what the inverse rows' result needs beyond the spectrum's tiles, and
    // room for the groups in flight, whose tiles may be taken before the spectrum's row bands
    // they follow are given back.
    const std::size_t spectrum_tiles =
        to_size(m.spectrum.col_bands) * to_size(m.spectrum.row_bands);
    const std::size_t in_flight =
        to_size(worker_count() + 2) * to_size(std::max(m.spectrum.col_bands, m.rows_inv.col_bands));
    m.pool.reserve(m.rows_inv.count() - std::min(m.rows_inv.count(), spectrum_tiles) + in_flight);
    int longest = 0;
    for (const LinePlan& p : m.plans) longest = std::max(longest, p.L);
    for (int i = 0; i < worker_count(); ++i)
        m.buffers.push_back(lane_buffer(longest, "line buffer"));
}

DftPlaneWork::~DftPlaneWork() = default;

namespace {

// The loops below take the lane buffer's layout as a FixedLanes (line_batch.h), its width a
// constant, chosen once per group.

// Point j of the lanes of buf from one row of a tile, t pointing at its column 0: lane l from
// column l; lanes past cnt repeat column cnt - 1, the last of a grid's partial band.
template <class Lanes>
void put_tile_row(const Lanes& lanes, double* buf, int j, const double* t, int cnt) {
    if (cnt == kLanes) {
        lanes.put(buf, j, t, t + kTileIm, kTile);
        return;
    }
    double re[kLanes], im[kLanes];
    for (int l = 0; l < kLanes; ++l) {
        const std::size_t at = to_size(std::min(l, cnt - 1) * kTile);
        re[l] = t[at];
        im[l] = t[kTileIm + at];
    }
    lanes.put(buf, j, re, im, 1);
}

// Forward row pass: rows 0 .. H - 1 of the mirrored plane (row 2H - 1 - Y is row Y again),
// 2W long with imaginary parts 0, transformed into the first row bands of m.spectrum. Group g
// is its row band g.
template <class Sample>
void forward_rows(Impl& m, const Sample* in) {
    const int W = m.W, H = m.H;
    const LaneLayout lay = lane_layout(m.fwd_rows->L);
    for_line_groups(group_count(H), m.buffers, m.progress, to_units(m.fwd_rows->n),
                    [&](int g, double* buf) {
                        with_fixed_lanes(lay, [&](const auto& lanes) {
                            const int y0 = g * kLanes, cnt = std::min(kLanes, H - y0);
                            for (int X = 0; X < 2 * W; ++X) {
                                const Sample* src =
                                    in + to_size(mirror_repeat(X, W)) * to_size(H) + to_size(y0);
                                double re[kLanes];
                                for (int l = 0; l < kLanes; ++l)
                                    re[l] = l < cnt ? static_cast<double>(src[l]) : 0.0;
                                lanes.put_real(buf, X, re);
                            }
                            KnownZeros real;
                            real.real = true;
                            lanes_forward(*m.fwd_rows, real, buf);
                            for (int X = 0; X < 2 * W; ++X) {
                                // Rows past H in the last band are never read.
                                double* t = m.spectrum.of(X, y0) + tile_at(X, 0);
                                lanes.get(buf, X, t, t + kTileIm, 1);
                            }
                        });
                        m.spectrum.touch_band(group_count(H) + g);
                    });
}

// Forward column pass: the 2W columns of the mirrored forward rows (2H long, row Y read from
// row mirror_repeat(Y, H)) transformed into the spectrum. Group c is column band c; the
// spectrum's column band c takes the place of the forward rows' once that is gathered.
void forward_columns(Impl& m) {
    const int W = m.W, H = m.H;
    const LaneLayout lay = lane_layout(m.fwd_cols->L);
    for_line_groups(group_count(2 * W), m.buffers, m.progress, to_units(m.fwd_cols->n),
                    [&](int c, double* buf) {
                        with_fixed_lanes(lay, [&](const auto& lanes) {
                            const int x0 = c * kLanes, cnt = std::min(kLanes, 2 * W - x0);
                            for (int Y = 0; Y < 2 * H; ++Y) {
                                const int y = mirror_repeat(Y, H);
                                const double* t = m.spectrum.of(x0, y) + tile_at(0, y);
                                put_tile_row(lanes, buf, Y, t, cnt);
                            }
                            lanes_forward(*m.fwd_cols, KnownZeros{}, buf);
                            for (int Y = 0; Y < 2 * H; ++Y) {
                                // Columns past 2W in the last band are never read.
                                double* t = m.spectrum.of(x0, Y) + tile_at(0, Y);
                                lanes.get(buf, Y, t, t + kTileIm, kTile);
                            }
                        });
                    });
}

// Zero insertion and Nyquist split on the way into the inverse row pass: loads rows
// rows[r0 .. r0 + cnt - 1] of the stuffed 2W2 x 2H2 spectrum into the lanes of buf (lanes past
// cnt repeat the last row), reading the forward spectrum through stuffed_source.
// The split, real parts only: column nyq_col and row nyq_row halved, in this order, then
// column nyq_col copied into column W and row nyq_row into row H. So real part (X, Y) is that
// of (x, y) = (X == W ? nyq_col : X, Y == H ? nyq_row : Y) after the insertion, times 0.5 if x
// is nyq_col, then times 0.5 if y is nyq_row: the same products in the same order as the
// split on the full grid. Imaginary parts are those of the insertion alone. The band of zeros,
// stuffed_zeros(W, dx), is not written.
template <class Lanes>
void gather_stuffed_rows(const Impl& m, const Lanes& lanes, int r0, int cnt, double* buf) {
    const int W = m.W, H = m.H, W2 = m.W2;
    const int nyq_col = W + 2 * m.dx, nyq_row = H + 2 * m.dy;
    int re_row[kLanes], im_row[kLanes];
    bool halve_row[kLanes];
    // Whether the lanes read kLanes rows of one row band of the spectrum in order, real and
    // imaginary parts alike, none of them halved: then a column of a tile is a point of the
    // lanes as it stands.
    bool whole_band = cnt == kLanes;
    for (int l = 0; l < kLanes; ++l) {
        const int Y = m.rows[to_size(r0 + std::min(l, cnt - 1))];
        stuffed_row_sources(m, Y, &re_row[l], &im_row[l]);
        halve_row[l] = (Y == H ? nyq_row : Y) == nyq_row;
        whole_band = whole_band && !halve_row[l] && re_row[l] == im_row[l] &&
                     re_row[l] == re_row[0] + l && re_row[0] % kTile == 0;
    }
    // Where each lane's row meets the column band last read (null: a zero row), for the real
    // and the imaginary parts.
    const double* re_at[kLanes];
    const double* im_at[kLanes];
    int re_band = -1, im_band = -1;
    const auto band_of = [&](int c, const int* row, const double** at, std::size_t part) {
        for (int l = 0; l < kLanes; ++l)
            at[l] = row[l] < 0 ? nullptr
                               : m.spectrum.at(c, row[l] / kTile) + part + to_size(row[l] % kTile);
    };
    const KnownZeros band = stuffed_zeros(W, m.dx);
    for (int X = 0; X < 2 * W2; ++X) {
        if (X == band.from) X = band.to;
        const int x = X == W ? nyq_col : X;
        const int re_col = stuffed_source(x, W, m.dx), im_col = stuffed_source(X, W, m.dx);
        const bool halve_col = x == nyq_col;
        if (whole_band && !halve_col && re_col == im_col) {
            const double* t = m.spectrum.at(re_col / kTile, re_row[0] / kTile) + tile_at(re_col, 0);
            lanes.put(buf, X, t, t + kTileIm, 1);
            continue;
        }
        if (re_col >= 0 && re_col / kTile != re_band) {
            re_band = re_col / kTile;
            band_of(re_band, re_row, re_at, 0);
        }
        if (im_col >= 0 && im_col / kTile != im_band) {
            im_band = im_col / kTile;
            band_of(im_band, im_row, im_at, kTileIm);
        }
        const std::size_t re_off = to_size(re_col % kTile * kTile);
        const std::size_t im_off = to_size(im_col % kTile * kTile);
        double re[kLanes], im[kLanes];
        for (int l = 0; l < kLanes; ++l) {
            re[l] = re_col >= 0 && re_at[l] != nullptr ? re_at[l][re_off] : 0.0;
            if (halve_col) re[l] = re[l] * 0.5;
            if (halve_row[l]) re[l] = re[l] * 0.5;
            im[l] = im_col >= 0 && im_at[l] != nullptr ? im_at[l][im_off] : 0.0;
        }
        lanes.put(buf, X, re, im, 1);
    }
}

// Inverse row pass: the rows of the stuffed spectrum that are not all zero (m.rows), 2W2 long,
// transformed into rows_inv, of which only columns 0 .. W2 - 1 are computed and kept. Group b
// is row band b of rows_inv; the spectrum's row bands go back to the pool as their last reader
// has gathered them.
void inverse_rows(Impl& m) {
    const int W2 = m.W2, R = static_cast<int>(m.rows.size());
    const LaneLayout lay = lane_layout(m.inv_rows->L);
    m.readers_left = m.spectrum_readers;
    m.pool.reset();
    for_line_groups(group_count(R), m.buffers, m.progress, to_units(m.inv_rows->n),
                    [&](int b, double* buf) {
                        with_fixed_lanes(lay, [&](const auto& lanes) {
                            const int r0 = b * kLanes, cnt = std::min(kLanes, R - r0);
                            gather_stuffed_rows(m, lanes, r0, cnt, buf);
                            release_spectrum_rows(m, b);
                            lanes_inverse(*m.inv_rows, stuffed_zeros(m.W, m.dx), W2, buf);
                            std::vector<double*> band(to_size(m.rows_inv.col_bands));
                            m.pool.take(band.size(), band.data());
                            for (int c = 0; c < m.rows_inv.col_bands; ++c)
                                m.rows_inv.at(c, b) = band[to_size(c)];
                            for (int X = 0; X < W2; ++X) {
                                // Rows past R in the last band are never read.
                                double* t = m.rows_inv.of(X, r0) + tile_at(X, 0);
                                lanes.get(buf, X, t, t + kTileIm, 1);
                            }
                        });
                    });
}

// The conversion of the last pass: samples y = 0 .. H2 - 1 of lanes 0 .. cnt - 1 of the lane
// buffer (the columns x0 ..) times gain, clamped to 0 .. 255 and truncated (unweighted first
// for a weighted colour), into out (column length H2).
template <class Lanes>
void store_bytes(const double* buf, const Lanes& lanes, int x0, int cnt, int H2, double gain,
                 const DftResults& out) {
    for (int y = 0; y < H2; ++y) {
        double re[kLanes], im[kLanes];
        lanes.get(buf, y, re, im, 1);
        for (int l = 0; l < cnt; ++l) {
            const std::size_t i = to_size(x0 + l) * to_size(H2) + to_size(y);
            const double v = gain * re[l];
            if (out.keep != nullptr) out.keep[i] = v;
            out.bytes[i] =
                clamp_to_byte(out.unweight_by != nullptr ? unweighted(v, out.unweight_by[i]) : v);
        }
    }
}

// Inverse column pass: columns 0 .. W2 - 1 (the others are never used), 2H2 long, read from the
// kept inverse rows (the rows never stored are zeros), transformed and converted to bytes.
// Group c is column band c of rows_inv, given back once gathered.
void inverse_columns(Impl& m, const DftResults& out) {
    const int W = m.W, H = m.H, W2 = m.W2, H2 = m.H2;
    const LaneLayout lay = lane_layout(m.inv_cols->L);
    // The inverse transforms divide by the new lengths while the spectrum was taken at the
    // old ones without division; g restores the level. Order fixed: (H2 * W2) / W / H.
    const double gain = static_cast<double>(H2) * static_cast<double>(W2) / W / H;
    for_line_groups(group_count(W2), m.buffers, m.progress, to_units(m.inv_cols->n),
                    [&](int c, double* buf) {
                        with_fixed_lanes(lay, [&](const auto& lanes) {
                            const int x0 = c * kLanes, cnt = std::min(kLanes, W2 - x0);
                            for (int Y = 0; Y < 2 * H2; ++Y) {
                                // The rows never stored are the band of zeros, which is not read.
                                const int r = m.compact[to_size(Y)];
                                if (r < 0) continue;
                                const double* t = m.rows_inv.of(x0, r) + tile_at(0, r);
                                put_tile_row(lanes, buf, Y, t, cnt);
                            }
                            m.pool.give(&m.rows_inv.at(c, 0), to_size(m.rows_inv.row_bands));
                            for (int r = 0; r < m.rows_inv.row_bands; ++r)
                                m.rows_inv.at(c, r) = nullptr;
                            lanes_inverse(*m.inv_cols, stuffed_zeros(H, m.dy), H2, buf);
                            store_bytes(buf, lanes, x0, cnt, H2, gain, out);
                        });
                    });
}

template <class Sample>
void interpolate(DftPlaneWork& work, const Sample* in, const DftResults& out,
                 RunProgress* progress) {
    Impl& m = *work.impl_;
    m.progress = progress;
    stage("horizontal DFT start!!\n");
    forward_rows(m, in);
    if (stop_requested(progress)) return;
    stage("horizontal DFT end\n");
    stage("vertical DFT start!!\n");
    forward_columns(m);
    if (stop_requested(progress)) return;
    stage("vertical DFT end!!\n");
    // The stuffed spectrum is never formed: the inverse row pass reads the forward spectrum
    // through gather_stuffed_rows.
    stage("high frequency 0 staffing start!!\n");
    stage("high frequency 0 staffing end!!\n");
    stage("horizontal IDFT start!!\n");
    inverse_rows(m);
    if (stop_requested(progress)) return;
    stage("horizontal IDFT end!!\n");
    stage("vertical IDFT start!!\n");
    inverse_columns(m, out);
    if (stop_requested(progress)) return;
    stage("vertical IDFT end!!\n");
}

}  // namespace

void dft_interpolate_with(DftPlaneWork& work, const std::uint8_t* in, std::uint8_t* out,
                          RunProgress* progress) {
    DftResults results;
    results.bytes = out;
    interpolate(work, in, results, progress);
}

void dft_interpolate_with(DftPlaneWork& work, const std::uint8_t* in, const DftResults& results,
                          RunProgress* progress) {
    interpolate(work, in, results, progress);
}

void dft_interpolate_with(DftPlaneWork& work, const std::uint16_t* in, const DftResults& results,
                          RunProgress* progress) {
    interpolate(work, in, results, progress);
}

std::uint64_t dft_interpolate_units(const DftPlaneWork& work) {
    const Impl& m = *work.impl_;
    const int R = static_cast<int>(m.rows.size());
    return static_cast<std::uint64_t>(group_count(m.H)) * to_units(m.fwd_rows->n) +
           static_cast<std::uint64_t>(group_count(2 * m.W)) * to_units(m.fwd_cols->n) +
           static_cast<std::uint64_t>(group_count(R)) * to_units(m.inv_rows->n) +
           static_cast<std::uint64_t>(group_count(m.W2)) * to_units(m.inv_cols->n);
}

void dft_interpolate_plane(int W, int H, int dx, int dy, const std::uint8_t* in,
                           std::uint8_t* out) {
    DftPlaneWork work(W, H, W + dx, H + dy);
    dft_interpolate_with(work, in, out);
}

std::uint64_t dft_interpolate_memory(int W, int H, int W2, int H2) {
    const std::uint64_t w = static_cast<std::uint64_t>(W), h = static_cast<std::uint64_t>(H);
    const std::uint64_t w2 = static_cast<std::uint64_t>(W2), h2 = static_cast<std::uint64_t>(H2);
    const std::uint64_t t = kTile;
    const std::uint64_t rows = 2 * h + (h2 > h ? 1 : 0);
    const std::uint64_t d = sizeof(double);
    // Per plan, one for each length: chirp and rotation tables (6 n), kernel spectrum (2 L),
    // output order (L ints), FFT tables for 2L doubles.
    const std::uint64_t lengths[4] = {2 * w, 2 * h, 2 * w2, 2 * h2};
    std::uint64_t plans = 0, longest = 1;
    for (int i = 0; i < 4; ++i) {
        if (std::count(lengths, lengths + i, lengths[i]) != 0) continue;
        const std::uint64_t n = lengths[i];
        std::uint64_t L = 1;
        while (L < 2 * n) L *= 2;
        longest = std::max(longest, L);
        const int fft_n = static_cast<int>(2 * L);
        plans += (6 * n + 2 * L + static_cast<std::uint64_t>(fft_w_length(fft_n))) * d +
                 (L + static_cast<std::uint64_t>(fft_ip_length(fft_n))) * sizeof(int);
    }
    const std::uint64_t spectrum = (2 * w + t - 1) / t * ((2 * h + t - 1) / t);
    const std::uint64_t kept = (w2 + t - 1) / t * ((rows + t - 1) / t);
    const std::uint64_t flight =
        static_cast<std::uint64_t>(worker_count() + 2) *
        std::max((2 * w + t - 1) / t, std::max((2 * h + t - 1) / t, (w2 + t - 1) / t));
    // The spectrum's block, and the pool's slabs for what the inverse rows' result needs beyond
    // it and for the groups in flight.
    const std::uint64_t pool =
        (kept - std::min(kept, spectrum) + flight + kSlabTiles - 1) / kSlabTiles * kSlabTiles;
    const std::uint64_t tiles = spectrum + pool;
    const std::uint64_t buffers = static_cast<std::uint64_t>(worker_count()) * kLanes *
                                  lane_block_doubles(static_cast<int>(longest), 1) * d;
    return tiles * kTileDoubles * d + plans + buffers;
}
