#include "tests/support/jpeg_maker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

std::vector<std::uint8_t> make_jpeg(const TestPicture& pic, const JpegLayout& layout) {
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(pic.width);
    c.image_height = static_cast<JDIMENSION>(pic.height);
    c.input_components = layout.grey ? 1 : layout.cmyk ? 4 : 3;
    c.in_color_space = layout.grey ? JCS_GRAYSCALE : layout.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, layout.quality, TRUE);
    if (layout.progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(pic.width * c.input_components));
    for (int y = 0; y < pic.height; ++y) {
        for (int x = 0; x < pic.width; ++x) {
            const Rgb p = pic.at(x, y);
            JSAMPLE* s = row.data() + x * c.input_components;
            s[0] = p.r;
            if (!layout.grey) {
                s[1] = p.g;
                s[2] = p.b;
            }
            if (layout.cmyk) s[3] = 0;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

TestPicture plain_jpeg_samples(const std::vector<std::uint8_t>& file) {
    jpeg_decompress_struct d;
    jpeg_error_mgr errors;
    d.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    TestPicture pic;
    pic.width = static_cast<int>(d.output_width);
    pic.height = static_cast<int>(d.output_height);
    std::vector<JSAMPLE> row(3 * d.output_width);
    while (d.output_scanline < d.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&d, rows, 1);
        for (int x = 0; x < pic.width; ++x)
            pic.pixels.push_back({row[static_cast<std::size_t>(3 * x)], row[static_cast<std::size_t>(3 * x + 1)],
                                  row[static_cast<std::size_t>(3 * x + 2)]});
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return pic;
}

bool progressive_jpeg_supported() { return true; }
