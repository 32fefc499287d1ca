// PNG through libpng. libpng reports errors by longjmp, which would skip C++ destructors: each
// libpng call sequence therefore runs in a function that holds nothing but plain values, and
// everything with a destructor lives in a job record that its caller owns.

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <optional>
#include <vector>

#include "image/codecs.h"
#include "image/png_chunks.h"

namespace {

// Ancillary chunks that carry nothing the tool uses. They are skipped unread, so no text or
// colour profile is ever inflated. tRNS is the one ancillary chunk kept.
constexpr png_byte kIgnoredChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0"
    "tIME\0zTXt";
constexpr int kIgnoredChunkCount = 17;

// The chunks the tool reads are small, and the ones it skips are never held; this caps
// anything else libpng might buffer for a chunk.
constexpr png_alloc_size_t kMostChunkMemory = 8u << 20;

// libpng's own memory beyond the rows: zlib's window and tables, and the chunk buffer.
constexpr std::uint64_t kCodecMemory = (1u << 20) + kMostChunkMemory;

struct Failure {
    char text[200] = {};
};

[[noreturn]] void on_error(png_structp png, png_const_charp message) {
    auto* failure = static_cast<Failure*>(png_get_error_ptr(png));
    std::snprintf(failure->text, sizeof failure->text, "%s", message);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

struct Input {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
};

void on_read(png_structp png, png_bytep out, png_size_t count) {
    auto* in = static_cast<Input*>(png_get_io_ptr(png));
    // The chunk walk found every chunk whole; libpng never reads past IEND.
    if (in->size - in->at < count) png_error(png, "the file ends early");
    std::memcpy(out, in->data + in->at, count);
    in->at += count;
}

struct ReadJob {
    Input input;
    Failure failure;
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngFacts facts;
    PlanarPicture pic;
    std::vector<png_byte> rows;  // one row, or the whole picture when interlaced
    std::vector<png_bytep> row_pointers;
    std::optional<RowsToPlanes> out;
    std::size_t row_bytes = 0;
    int channels = 0;
    int bytes_per_sample = 0;
};

void to_planes(ReadJob* job, const png_byte* src, int t) {
    std::uint8_t* dst = job->out->row(t);
    const std::size_t w = static_cast<std::size_t>(job->pic.width);
    const int ch = job->channels;
    const bool wide = job->bytes_per_sample == 2;
    const std::size_t pixel_bytes = static_cast<std::size_t>(ch * job->bytes_per_sample);
    for (std::size_t x = 0; x < w; ++x) {
        const png_byte* s = src + x * pixel_bytes;
        std::uint8_t* d = dst + 4 * x;
        for (int c = 0; c < ch; ++c)
            d[c] = wide ? sample_to_8(static_cast<std::uint32_t>(s[2 * c] << 8 | s[2 * c + 1]),
                                      65535)
                        : s[c];
        if (ch == 3) d[3] = 255;
    }
}

// The libpng calls of a read; false when libpng failed (job->failure says why).
bool read_steps(ReadJob* job) {
    if (setjmp(png_jmpbuf(job->png))) return false;
    png_structp png = job->png;
    png_infop info = job->info;
    png_set_read_fn(png, &job->input, on_read);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, kIgnoredChunkCount);
    png_set_chunk_malloc_max(png, kMostChunkMemory);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    // What libpng would pass over with a warning (a wrong Adler-32, image data left over, an
    // invalid tRNS) means the file is damaged.
    png_set_benign_errors(png, 0);
    png_read_info(png, info);

    const int colour_type = png_get_color_type(png, info);
    if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour_type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colour_type == PNG_COLOR_TYPE_GRAY || colour_type == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    job->channels = png_get_channels(png, info);
    job->bytes_per_sample = png_get_bit_depth(png, info) == 16 ? 2 : 1;
    // A tRNS chunk that libpng finds unusable (out of place, or too long) gives no alpha
    // channel: the alpha plane then stays opaque and is dropped.
    if (png_get_rowbytes(png, info) > job->row_bytes || (job->channels == 4 && !job->pic.has_alpha()))
        png_error(png, "the decoder's rows differ from the header's");

    const int h = job->pic.height;
    if (passes > 1) {
        png_read_image(png, job->row_pointers.data());
        for (int t = 0; t < h; ++t) to_planes(job, job->row_pointers[static_cast<std::size_t>(t)], t);
    } else {
        for (int t = 0; t < h; ++t) {
            png_read_row(png, job->rows.data(), nullptr);
            to_planes(job, job->rows.data(), t);
        }
    }
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

Status decode_png(const unsigned char* data, std::size_t size, const std::string& display_name,
                  const DecodeLimits& limits, PlanarPicture* out) {
    ReadJob job{};
    job.input = Input{data, size, 0};
    Status st = check_png_chunks(data, size, display_name, &job.facts);
    if (!st.ok()) return st;
    const PngFacts& f = job.facts;
    // After the transformations: red, green, blue and perhaps alpha, of 8 or 16 bits.
    const bool alpha = f.transparency;
    const int bytes_per_sample = f.bit_depth == 16 ? 2 : 1;
    job.row_bytes = static_cast<std::size_t>(f.width) * static_cast<std::size_t>((alpha ? 4 : 3) * bytes_per_sample);
    const std::uint64_t row_count = f.interlaced ? f.height : 1;
    const std::uint64_t working = size + kCodecMemory + 3 * std::uint64_t{job.row_bytes} +
                                  row_count * (job.row_bytes + sizeof(png_bytep)) +
                                  RowsToPlanes::working_bytes(f.width, f.height);
    st = check_decode_size(display_name, f.width, f.height, alpha, working, limits);
    if (!st.ok()) return st;

    take_planes(static_cast<int>(f.width), static_cast<int>(f.height), alpha, &job.pic);
    job.out.emplace(&job.pic);
    job.rows.resize(static_cast<std::size_t>(row_count) * job.row_bytes);
    if (f.interlaced)
        for (std::size_t t = 0; t < f.height; ++t) job.row_pointers.push_back(job.rows.data() + t * job.row_bytes);

    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job.failure, on_error, on_warning);
    if (job.png != nullptr) job.info = png_create_info_struct(job.png);
    if (job.info == nullptr) {
        png_destroy_read_struct(&job.png, nullptr, nullptr);
        die_no_memory("png");
    }
    const bool read = read_steps(&job);
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    if (!read)
        return Status::failure(StatusCode::damaged, "'" + display_name +
                                                        "' is damaged: " + job.failure.text);
    job.out->finish();
    *out = std::move(job.pic);
    return Status::success();
}

bool picture_codecs_built() { return true; }
