// JPEG through libjpeg-turbo. libjpeg reports errors by longjmp, which would skip C++
// destructors: the libjpeg calls run in a function that holds nothing but plain values, and
// everything with a destructor lives in a job record that its caller owns.

#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it, and jerror.h its configuration.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <optional>
#include <vector>

#include "base/machine.h"
#include "image/codecs.h"
#include "image/jpeg_markers.h"

namespace {

// libjpeg's memory beyond the coefficient buffer and rows: tables, an MCU row of samples per
// component and the upsampling buffers, all a few rows of the picture's width.
std::uint64_t codec_memory(int width, int components) {
    return (1u << 20) + 64 * static_cast<std::uint64_t>(width + 16) * static_cast<std::uint64_t>(components);
}

// A multi-scan file keeps every coefficient of the picture: 64 two-byte coefficients per
// 8 x 8 block of each component, the blocks padded to whole MCUs of up to 32 x 32 pixels.
std::uint64_t coefficient_memory(int width, int height, int components) {
    const std::uint64_t bw = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
    const std::uint64_t bh = (static_cast<std::uint64_t>(height) + 31) / 32 * 4;
    return bw * bh * static_cast<std::uint64_t>(components) * 64 * sizeof(JCOEF);
}

// What a failure of libjpeg's is: damage, a kind the codec does not read, or too little memory.
enum class Failure { damaged, unsupported, memory };

struct Errors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
    Failure failure;
};

[[noreturn]] void stop(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<Errors*>(cinfo->err);
    std::longjmp(e->jump, 1);
}

[[noreturn]] void on_error(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<Errors*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->text);
    const int code = cinfo->err->msg_code;
    e->failure = code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY ? Failure::memory
                 : code == JERR_BAD_PRECISION || code == JERR_ARITH_NOTIMPL ||
                         code == JERR_NOT_COMPILED || code == JERR_IMAGE_TOO_BIG
                     ? Failure::unsupported
                     : Failure::damaged;
    stop(cinfo);
}

// Warnings that mean the pixels are not all there: the picture is refused as damaged rather
// than shown with grey or smeared blocks. Other warnings (bytes between markers, an unknown
// JFIF revision or Adobe transform) leave the pixels whole.
bool damages_pixels(int code) {
    switch (code) {
        case JWRN_ARITH_BAD_CODE:
        case JWRN_BOGUS_PROGRESSION:
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_JPEG_EOF:
        case JWRN_MUST_RESYNC:
        case JWRN_NOT_SEQUENTIAL:
            return true;
        default:
            return false;
    }
}

void on_message(j_common_ptr cinfo, int level) {
    if (level < 0 && damages_pixels(cinfo->err->msg_code)) {
        auto* e = reinterpret_cast<Errors*>(cinfo->err);
        (*cinfo->err->format_message)(cinfo, e->text);
        stop(cinfo);
    }
}

struct Job {
    jpeg_decompress_struct cinfo;
    Errors errors;
    const unsigned char* data;
    std::size_t size;
    std::uint64_t memory_left;  // for libjpeg's own arrays; 0: no limit
    PlanarPicture pic;
    std::optional<RowsToPlanes> out;
    std::vector<JSAMPLE> row;
};

// The libjpeg calls of a read; false when libjpeg failed (job->errors says why).
bool read_steps(Job* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    if (setjmp(job->errors.jump)) return false;
    jpeg_create_decompress(cinfo);
    if (job->memory_left != 0) cinfo->mem->max_memory_to_use = static_cast<long>(job->memory_left);
    jpeg_mem_src(cinfo, job->data, static_cast<unsigned long>(job->size));
    jpeg_read_header(cinfo, TRUE);
    // The marker walk found 1 or 3 components; a 3-component file may still say CMYK-like
    // spaces only through an Adobe marker, which libjpeg maps to RGB or YCbCr.
    cinfo->out_color_space = cinfo->num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(cinfo);
    if (static_cast<int>(cinfo->output_width) != job->pic.width ||
        static_cast<int>(cinfo->output_height) != job->pic.height) {
        std::snprintf(job->errors.text, sizeof job->errors.text, "its frames disagree on its size");
        stop(reinterpret_cast<j_common_ptr>(cinfo));
    }
    const bool grey = cinfo->output_components == 1;
    const std::size_t w = static_cast<std::size_t>(job->pic.width);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int t = static_cast<int>(cinfo->output_scanline);
        JSAMPROW rows[1] = {job->row.data()};
        jpeg_read_scanlines(cinfo, rows, 1);
        std::uint8_t* dst = job->out->row(t);
        for (std::size_t x = 0; x < w; ++x) {
            const JSAMPLE* s = job->row.data() + (grey ? x : 3 * x);
            std::uint8_t* d = dst + 4 * x;
            d[0] = s[0];
            d[1] = grey ? s[0] : s[1];
            d[2] = grey ? s[0] : s[2];
            d[3] = 255;
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

Status decode_jpeg(const unsigned char* data, std::size_t size, const std::string& display_name,
                   const DecodeLimits& limits, PlanarPicture* out) {
    JpegFacts facts;
    Status st = check_jpeg_markers(data, size, display_name, &facts);
    if (!st.ok()) return st;
    const int components = facts.components;
    std::uint64_t working = size + codec_memory(facts.width, components) +
                            3 * static_cast<std::uint64_t>(facts.width) +
                            RowsToPlanes::working_bytes(facts.width, facts.height);
    // A file of more than one scan keeps its coefficients: a progressive one, or a sequential
    // one whose components come in separate scans.
    if (facts.multi_scan) working += coefficient_memory(facts.width, facts.height, components);
    st = check_decode_size(display_name, facts.width, facts.height, false, working, limits);
    if (!st.ok()) return st;

    Job job{};
    job.data = data;
    job.size = size;
    const std::uint64_t planes = 3 * static_cast<std::uint64_t>(facts.width) * static_cast<std::uint64_t>(facts.height);
    if (limits.memory_bytes != 0) job.memory_left = limits.memory_bytes - planes - size;
    job.cinfo.err = jpeg_std_error(&job.errors.pub);
    job.errors.pub.error_exit = on_error;
    job.errors.pub.emit_message = on_message;
    take_planes(facts.width, facts.height, false, &job.pic);
    job.out.emplace(&job.pic);
    job.row.resize(3 * static_cast<std::size_t>(facts.width));

    const bool read = read_steps(&job);
    jpeg_destroy_decompress(&job.cinfo);
    if (!read) {
        const std::string name = "'" + display_name + "'";
        switch (job.errors.failure) {
            case Failure::memory:
                return Status::failure(
                    StatusCode::too_large,
                    name + " is " + std::to_string(facts.width) + " x " +
                        std::to_string(facts.height) +
                        " pixels: the JPEG decoder needs more memory for it than is left of " +
                        memory_limit_words(limits.memory_bytes, limits.memory_set));
            case Failure::unsupported:
                return Status::failure(StatusCode::unsupported,
                                       name + " cannot be read: " + job.errors.text);
            case Failure::damaged:
                break;
        }
        return Status::failure(StatusCode::damaged, name + " is damaged: " + job.errors.text);
    }
    if (facts.stray_bytes != 0) job.pic.notice = jpeg_stray_bytes_notice(display_name, facts);
    job.out->finish();
    *out = std::move(job.pic);
    return Status::success();
}
