#include "image/result.h"

#include "base/durable_file.h"
#include "image/codecs.h"

ResultFormat default_result_format(PictureKind kind) {
    return kind == PictureKind::bmp ? ResultFormat::bmp : ResultFormat::png;
}

const char* result_extension(ResultFormat format) {
    return format == ResultFormat::bmp ? ".bmp" : ".png";
}

std::string method_result_name(const std::string& input_path, const char* method,
                               ResultFormat format) {
    const std::string name_format = std::string("%s_") + method + result_extension(format);
    return picture_result_name(input_path, name_format.c_str());
}

namespace {

Status write_png_file(const std::string& name, int width, int height, const std::uint8_t* red,
                      const std::uint8_t* green, const std::uint8_t* blue,
                      const std::uint8_t* alpha, PlaneOrder order, CommitBatch* batch,
                      const PictureMeta* colour) {
    if (width < 1 || height < 1)
        return Status::failure(StatusCode::bad_size, "cannot write '" + name +
                                                         "': a PNG picture has at least 1 x 1 "
                                                         "pixels, not " +
                                                         std::to_string(width) + " x " +
                                                         std::to_string(height));
    DurableFile file;
    Status created = file.create(name);
    if (!created.ok()) return created;
    bool stored = true;
    Status encoded = encode_png(name, width, height, red, green, blue, alpha, order,
                                [&file, &stored](const unsigned char* bytes, std::size_t count) {
                                    stored = file.write(bytes, count);
                                    return stored;
                                },
                                colour);
    if (!encoded.ok() && stored) {
        // The encoder itself failed; the file says nothing about why.
        file.abandon();
        return encoded;
    }
    // A failed write is reported by the commit, with the system's reason, and the temporary
    // file removed.
    return batch != nullptr ? batch->add(std::move(file)) : file.commit();
}

}  // namespace

Status write_result(const std::string& name, ResultFormat format, const ResizedPlanes& planes,
                    CommitBatch* batch, const PictureMeta* colour) {
    const std::uint8_t* red = planes.plane[0].get();
    const std::uint8_t* green = planes.plane[1].get();
    const std::uint8_t* blue = planes.plane[2].get();
    if (format == ResultFormat::bmp)
        return write_bmp_file(name, planes.width, planes.height, red, green, blue, planes.order,
                              batch);
    return write_png_file(name, planes.width, planes.height, red, green, blue,
                          planes.plane[3].get(), planes.order, batch, colour);
}
