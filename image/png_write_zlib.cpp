// The Linux PNG writer: the file laid out here chunk by chunk, its image data coded by the
// tool's own deflate of Huffman codes alone (image/zlib_stream.h); zlib gives the checksums.
// Photographs and their enlargements have few exact repeats, so after the Sub filter (each
// byte less the same byte of the pixel to its left) entropy coding alone keeps what zlib's
// fastest matching saves: a 3840 x 2160 enlargement comes to 56 per cent of its samples, in a
// third of the time zlib's own Huffman-only coding takes and a quarter of libdeflate's level 1
// (docs/PERFORMANCE.md, bench/png_bench.cpp).
//
// With no matches, no block depends on the bytes before it, so bands of rows are compressed on
// all cores at once, each ending byte-aligned (a sync flush) and the last one final, and their
// deflate data joined in order make the one stream; its Adler-32 is the bands' combined.

#include <zlib.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "base/parallel.h"
#include "image/codecs.h"
#include "image/png_chunks.h"
#include "image/zlib_stream.h"

namespace {

constexpr int kSubFilter = 1;

// Rows per band: about kBandBytes of samples (45 rows of a 3840-pixel RGB picture), at least
// one row, so that each band's Huffman codes are fitted to enough bytes to pay for their
// headers and the bands of a round stay a few MB whatever the picture's shape.
constexpr std::size_t kBandBytes = 512u << 10;
std::size_t band_rows(std::size_t stride) {
    return kBandBytes / stride < 1 ? 1 : kBandBytes / stride;
}

struct Planes {
    int width, height;
    const std::uint8_t* planes[4];
    int channels;
    PlaneOrder order;
};

struct Band {
    std::vector<std::uint8_t> deflated;
    std::uint32_t adler = 1;
    std::size_t filtered_bytes = 0;
};

// Rows t0 .. t0 + count - 1 filtered and compressed into *band, the last band of the picture
// final. rows and filtered are the caller's buffers of count rows.
void compress_band(const Planes& p, std::size_t t0, std::size_t count, bool last,
                   std::vector<std::uint8_t>* rows, std::vector<std::uint8_t>* filtered,
                   Band* band) {
    const std::size_t ch = static_cast<std::size_t>(p.channels);
    const std::size_t stride = static_cast<std::size_t>(p.width) * ch;
    interleave_rows(p.planes, p.channels, p.width, p.height, p.order, t0, count, rows->data(),
                    static_cast<std::ptrdiff_t>(stride));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* r = rows->data() + i * stride;
        std::uint8_t* f = filtered->data() + i * (stride + 1);
        f[0] = kSubFilter;
        ++f;
        for (std::size_t k = 0; k < ch; ++k) f[k] = r[k];
        for (std::size_t k = ch; k < stride; ++k)
            f[k] = static_cast<std::uint8_t>(r[k] - r[k - ch]);
    }
    band->filtered_bytes = count * (stride + 1);
    band->adler = static_cast<std::uint32_t>(
        adler32(1, filtered->data(), static_cast<uInt>(band->filtered_bytes)));
    band->deflated.clear();
    deflate_huffman_only(filtered->data(), band->filtered_bytes, last, &band->deflated);
}

// Bands begin .. end - 1 of a round, on one thread.
void compress_bands(const Planes& p, std::size_t first_row, std::size_t begin, std::size_t end,
                    Band* bands) {
    const std::size_t h = static_cast<std::size_t>(p.height);
    const std::size_t stride =
        static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.channels);
    const std::size_t band = band_rows(stride);
    std::vector<std::uint8_t> rows(band * stride), filtered(band * (stride + 1));
    for (std::size_t b = begin; b < end; ++b) {
        const std::size_t t0 = first_row + b * band;
        const std::size_t count = std::min(band, h - t0);
        compress_band(p, t0, count, t0 + count == h, &rows, &filtered, &bands[b]);
    }
}

struct Piece {
    const std::uint8_t* bytes;
    std::size_t size;
};

class ChunkWriter {
   public:
    explicit ChunkWriter(const ByteSink& sink) : sink_(sink) {}
    // A chunk whose body is the pieces one after another.
    bool chunk(const char* type, std::initializer_list<Piece> body) {
        std::size_t size = 0;
        for (const Piece& b : body) size += b.size;
        std::uint8_t head[8];
        put_be32(static_cast<std::uint32_t>(size), head);
        std::copy(type, type + 4, head + 4);
        uLong crc = crc32(0, head + 4, 4);
        bool kept = sink_(head, 8);
        for (const Piece& b : body)
            if (b.size > 0) {
                crc = crc32(crc, b.bytes, static_cast<uInt>(b.size));
                kept = kept && sink_(b.bytes, b.size);
            }
        std::uint8_t tail[4];
        put_be32(static_cast<std::uint32_t>(crc), tail);
        return kept && sink_(tail, 4);
    }
    bool raw(const std::uint8_t* bytes, std::size_t size) { return sink_(bytes, size); }

   private:
    static void put_be32(std::uint32_t v, std::uint8_t* at) {
        for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    }
    const ByteSink& sink_;
};

Status failed(const std::string& name, const char* why) {
    return Status::failure(StatusCode::write_failed, "cannot write '" + name + "': " + why);
}

}  // namespace

Status encode_png(const std::string& display_name, int width, int height, const std::uint8_t* red,
                  const std::uint8_t* green, const std::uint8_t* blue, const std::uint8_t* alpha,
                  PlaneOrder order, const ByteSink& sink, const PictureMeta* colour) {
    const Planes p{width, height, {red, green, blue, alpha}, alpha != nullptr ? 4 : 3, order};
    ChunkWriter out(sink);
    const char* lost = "the data could not be stored";
    std::uint8_t ihdr[13] = {static_cast<std::uint8_t>(width >> 24),
                             static_cast<std::uint8_t>(width >> 16),
                             static_cast<std::uint8_t>(width >> 8),
                             static_cast<std::uint8_t>(width),
                             static_cast<std::uint8_t>(height >> 24),
                             static_cast<std::uint8_t>(height >> 16),
                             static_cast<std::uint8_t>(height >> 8),
                             static_cast<std::uint8_t>(height),
                             8,
                             static_cast<std::uint8_t>(alpha != nullptr ? kPngRgba : kPngRgb),
                             0,
                             0,
                             0};
    if (!out.raw(kPngSignature, sizeof kPngSignature) || !out.chunk("IHDR", {{ihdr, sizeof ihdr}}))
        return failed(display_name, lost);
    if (colour != nullptr) {
        const std::vector<std::uint8_t> chunks = png_colour_chunks(*colour);
        if (!chunks.empty() && !out.raw(chunks.data(), chunks.size()))
            return failed(display_name, lost);
    }

    // Rounds of a few bands per thread, written in order as each round ends, so that only a
    // round's compressed data are ever held.
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t per_round = 4 * static_cast<std::size_t>(worker_count());
    std::vector<Band> bands(per_round);
    std::uint32_t adler = 1;
    const std::uint8_t zlib_header[2] = {0x78, 0x01};  // deflate, 32 KiB window, fastest
    const std::size_t rows =
        band_rows(static_cast<std::size_t>(width) * static_cast<std::size_t>(p.channels));
    for (std::size_t row = 0; row < h; row += per_round * rows) {
        const std::size_t count = std::min(per_round, (h - row + rows - 1) / rows);
        parallel_for(count, 1, [&](std::size_t b, std::size_t e) {
            compress_bands(p, row, b, e, bands.data());
        });
        for (std::size_t b = 0; b < count; ++b) {
            const Band& band = bands[b];
            adler = static_cast<std::uint32_t>(
                adler32_combine(adler, band.adler, static_cast<z_off_t>(band.filtered_bytes)));
            // The stream's header before the first band, its checksum after the last.
            const bool first = row == 0 && b == 0;
            const bool last = row + (b + 1) * rows >= h;
            std::uint8_t check[4];
            for (int i = 0; i < 4; ++i) check[i] = static_cast<std::uint8_t>(adler >> (24 - 8 * i));
            if (!out.chunk("IDAT", {{zlib_header, first ? 2u : 0u},
                                    {band.deflated.data(), band.deflated.size()},
                                    {check, last ? 4u : 0u}}))
                return failed(display_name, lost);
        }
    }
    if (!out.chunk("IEND", {})) return failed(display_name, lost);
    return Status::success();
}
