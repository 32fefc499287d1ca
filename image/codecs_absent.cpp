// A build without libpng and libjpeg (ENLARGE3_CODECS=OFF, or AUTO on a machine without them):
// the kinds are still told apart, so such a picture gets a reason a user can act on rather
// than a claim that the file is damaged.

#include "image/codecs.h"

namespace {

Status not_in_this_build(const std::string& what) {
    return Status::failure(StatusCode::unsupported,
                           what + ": this build of enlarge3 reads and writes BMP only (it was "
                                  "built without libpng and libjpeg)");
}

}  // namespace

bool picture_codecs_built() { return false; }

Status decode_png(const unsigned char*, std::size_t, const std::string& display_name,
                  const DecodeLimits&, PlanarPicture*) {
    return not_in_this_build("'" + display_name + "' is a PNG picture");
}

Status decode_jpeg(const unsigned char*, std::size_t, const std::string& display_name,
                   const DecodeLimits&, PlanarPicture*) {
    return not_in_this_build("'" + display_name + "' is a JPEG picture");
}

Status encode_png(const std::string& display_name, int, int, const std::uint8_t*,
                  const std::uint8_t*, const std::uint8_t*, const std::uint8_t*, PlaneOrder,
                  const ByteSink&, const PictureMeta*) {
    return not_in_this_build("cannot write '" + display_name + "'");
}
