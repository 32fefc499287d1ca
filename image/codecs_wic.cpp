// PNG and JPEG through the Windows Imaging Component, part of every Windows: the programs stay
// single files with no codec library inside or beside them.

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/byte_order.h"
#include "image/codecs.h"
#include "image/jpeg_markers.h"
#include "image/png_chunks.h"
#include "image/wic.h"

std::string wic_error_text(HRESULT hr) {
    switch (hr) {
        case WINCODEC_ERR_BADHEADER:
            return "a bad header";
        case WINCODEC_ERR_BADIMAGE:
            return "bad image data";
        case WINCODEC_ERR_BADSTREAMDATA:
            return "bad stream data";
        case WINCODEC_ERR_STREAMREAD:
            return "data it could not read";
        case WINCODEC_ERR_COMPONENTNOTFOUND:
            return "a picture it has no codec for";
        case WINCODEC_ERR_UNKNOWNIMAGEFORMAT:
            return "an unknown picture format";
        case WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT:
            return "a pixel format it does not convert";
        case E_OUTOFMEMORY:
            return "too little memory";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(hr));
            return text;
        }
    }
}

HRESULT wic_begin_frame(IWICImagingFactory* factory, const GUID& container,
                        const wchar_t* option_name, const VARIANT& option, UINT width,
                        UINT height, const WICPixelFormatGUID& format, WicEncoding* e) {
    ComPtr<IPropertyBag2> options;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, e->memory.put());
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(container, nullptr, e->encoder.put());
    if (SUCCEEDED(hr)) hr = e->encoder->Initialize(e->memory.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = e->encoder->CreateNewFrame(e->frame.put(), options.put());
    if (SUCCEEDED(hr)) {
        PROPBAG2 name = {};
        name.pstrName = const_cast<LPOLESTR>(option_name);
        VARIANT value = option;
        options->Write(1, &name, &value);
        hr = e->frame->Initialize(options.get());
    }
    if (SUCCEEDED(hr)) hr = e->frame->SetSize(width, height);
    WICPixelFormatGUID given = format;
    if (SUCCEEDED(hr)) hr = e->frame->SetPixelFormat(&given);
    if (SUCCEEDED(hr) && !IsEqualGUID(given, format)) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    return hr;
}

HRESULT wic_end_frame(WicEncoding* e,
                      const std::function<bool(const unsigned char*, std::size_t)>& take,
                      bool* taken) {
    *taken = false;
    HRESULT hr = e->frame->Commit();
    if (SUCCEEDED(hr)) hr = e->encoder->Commit();
    HGLOBAL block = nullptr;
    STATSTG stat = {};
    if (SUCCEEDED(hr)) hr = e->memory->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(e->memory.get(), &block);
    if (FAILED(hr)) return hr;
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(block));
    if (bytes == nullptr) return E_OUTOFMEMORY;
    *taken = take(bytes, static_cast<std::size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(block);
    return S_OK;
}

namespace {

// Formats of 16 bits per sample are copied as they are and reduced by sample_to_8 here: the
// component's own conversion to 8 bits treats them as linear light and changes their values.
// Samples are little-endian 16-bit words; red, green, blue and alpha give each one's place
// among a pixel's channels (alpha -1: none).
struct WideFormat {
    const GUID* format;
    int channels;
    int red, green, blue, alpha;
};

const WideFormat kWideFormats[] = {
    {&GUID_WICPixelFormat48bppRGB, 3, 0, 1, 2, -1},
    {&GUID_WICPixelFormat48bppBGR, 3, 2, 1, 0, -1},
    {&GUID_WICPixelFormat64bppRGBA, 4, 0, 1, 2, 3},
    {&GUID_WICPixelFormat64bppBGRA, 4, 2, 1, 0, 3},
    {&GUID_WICPixelFormat16bppGray, 1, 0, 0, 0, -1},
};

// The component may hold a whole decoded frame of up to 8 bytes per pixel, besides the rows
// copied out of it in groups.
constexpr std::uint64_t kMostFrameBytesPerPixel = 8;

Status damaged(const std::string& name, HRESULT hr) {
    if (hr == E_OUTOFMEMORY)
        return Status::failure(StatusCode::too_large,
                               "'" + name +
                                   "' cannot be read: the system's decoder ran out of "
                                   "memory for it");
    return Status::failure(StatusCode::damaged,
                           "'" + name + "' is damaged: the system's decoder found " +
                               wic_error_text(hr));
}

void wide_to_rgba(const WideFormat& f, const BYTE* src, int width, std::uint8_t* dst) {
    const std::size_t channels = static_cast<std::size_t>(f.channels);
    auto sample = [src, channels](std::size_t x, int c) {
        const BYTE* s = src + 2 * (x * channels + static_cast<std::size_t>(c));
        return sample_to_8(static_cast<std::uint32_t>(s[0] | s[1] << 8), 65535);
    };
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
        std::uint8_t* d = dst + 4 * x;
        d[0] = sample(x, f.red);
        d[1] = sample(x, f.green);
        d[2] = sample(x, f.blue);
        d[3] = f.alpha < 0 ? 255 : sample(x, f.alpha);
    }
}

// Decodes data, which is the file or a copy of it held beside held_besides bytes.
Status decode_frame(const unsigned char* data, std::size_t size, const std::string& name, int width,
                    int height, bool alpha, const GUID& container, const DecodeLimits& limits,
                    PlanarPicture* out, std::uint64_t held_besides = 0) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const std::uint64_t row_bytes = kMostFrameBytesPerPixel * static_cast<std::uint64_t>(width);
    const std::uint64_t working = held_besides + size + kMostFrameBytesPerPixel * pixels +
                                  rows_per_group(height) * row_bytes +
                                  RowsToPlanes::working_bytes(width, height);
    Status st = check_decode_size(name, width, height, alpha, working, limits);
    if (!st.ok()) return st;
    // The component counts bytes in 32-bit numbers.
    if (size > MAXDWORD || rows_per_group(height) * row_bytes > UINT_MAX)
        return Status::failure(StatusCode::too_large,
                               "'" + name + "' is too large for the system's decoder");

    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = wic_factory(&factory);
    if (FAILED(hr))
        return Status::failure(StatusCode::unsupported,
                               "'" + name + "' cannot be read: the system's imaging component "
                                            "is missing (" + wic_error_text(hr) + ")");
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    GUID found_container{};
    hr = factory->CreateStream(stream.put());
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size));
    if (SUCCEEDED(hr))
        hr = factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.put());
    if (SUCCEEDED(hr)) hr = decoder->GetContainerFormat(&found_container);
    if (SUCCEEDED(hr) && !IsEqualGUID(found_container, container)) hr = WINCODEC_ERR_UNKNOWNIMAGEFORMAT;
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.put());
    UINT w = 0, h = 0;
    if (SUCCEEDED(hr)) hr = frame->GetSize(&w, &h);
    if (FAILED(hr)) return damaged(name, hr);
    if (w != static_cast<UINT>(width) || h != static_cast<UINT>(height))
        return Status::failure(StatusCode::damaged,
                               "'" + name + "' is damaged: the system's decoder sees " +
                                   std::to_string(w) + " x " + std::to_string(h) + " pixels");

    WICPixelFormatGUID format{};
    hr = frame->GetPixelFormat(&format);
    if (FAILED(hr)) return damaged(name, hr);
    const WideFormat* wide = nullptr;
    for (const WideFormat& f : kWideFormats)
        if (IsEqualGUID(format, *f.format)) wide = &f;
    IWICBitmapSource* source = frame.get();
    ComPtr<IWICBitmapSource> converted;
    if (wide == nullptr) {
        hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppRGBA, frame.get(), converted.put());
        if (FAILED(hr)) return damaged(name, hr);
        source = converted.get();
    }
    const UINT stride = static_cast<UINT>(width) * (wide != nullptr ? 2u * static_cast<UINT>(wide->channels) : 4u);

    PlanarPicture pic;
    take_planes(width, height, alpha, &pic);
    RowsToPlanes rows(&pic);
    std::vector<BYTE> group(static_cast<std::size_t>(stride) * rows_per_group(height));
    for (int t0 = 0; t0 < height; t0 += RowsToPlanes::kGroup) {
        const int count = std::min(RowsToPlanes::kGroup, height - t0);
        const WICRect rect = {0, t0, width, count};
        hr = source->CopyPixels(&rect, stride, stride * static_cast<UINT>(count), group.data());
        if (FAILED(hr)) return damaged(name, hr);
        for (int i = 0; i < count; ++i) {
            const BYTE* src = group.data() + static_cast<std::size_t>(i) * stride;
            std::uint8_t* dst = rows.row(t0 + i);
            if (wide != nullptr)
                wide_to_rgba(*wide, src, width, dst);
            else
                std::memcpy(dst, src, 4 * static_cast<std::size_t>(width));
        }
    }
    rows.finish();
    *out = std::move(pic);
    return Status::success();
}

Status write_failed(const std::string& name, const std::string& why) {
    return Status::failure(StatusCode::write_failed, "cannot write '" + name + "': " + why);
}

}  // namespace

Status decode_png(const unsigned char* data, std::size_t size, const std::string& display_name,
                  const DecodeLimits& limits, PlanarPicture* out) {
    PngFacts facts;
    Status st = check_png_chunks(data, size, display_name, &facts);
    if (!st.ok()) return st;
    if (facts.width > INT_MAX || facts.height > INT_MAX)
        return check_decode_size(display_name, facts.width, facts.height, false, 0, limits);
    return decode_frame(data, size, display_name, static_cast<int>(facts.width),
                        static_cast<int>(facts.height), facts.transparency,
                        GUID_ContainerFormatPng, limits, out);
}

Status decode_jpeg(const unsigned char* data, std::size_t size, const std::string& display_name,
                   const DecodeLimits& limits, PlanarPicture* out) {
    JpegFacts facts;
    // The component may refuse a file with bytes between its markers, which libjpeg skips; it
    // is handed the file without them, so that both platforms read the same files.
    std::vector<unsigned char> without_stray;
    Status st = check_jpeg_markers(data, size, display_name, &facts, &without_stray);
    if (!st.ok()) return st;
    if (facts.stray_bytes == 0)
        return decode_frame(data, size, display_name, facts.width, facts.height, false,
                            GUID_ContainerFormatJpeg, limits, out);
    // The copy is held beside the file.
    st = decode_frame(without_stray.data(), without_stray.size(), display_name, facts.width,
                      facts.height, false, GUID_ContainerFormatJpeg, limits, out, size);
    if (st.ok()) out->notice = jpeg_stray_bytes_notice(display_name, facts);
    return st;
}

bool picture_codecs_built() { return true; }

namespace {

// Hands the encoder's file png[0 .. size) to sink with chunks after its IHDR chunk, and
// without the encoder's own chunks of the colour encoding, which would contradict them. The
// encoder's chunks are whole, or the file is handed on as it is.
bool with_colour_chunks(const unsigned char* png, std::size_t size,
                        const std::vector<std::uint8_t>& chunks, const ByteSink& sink) {
    const std::size_t after_header = sizeof kPngSignature + 12 + 13;
    if (chunks.empty() || size < after_header) return sink(png, size);
    if (!sink(png, after_header) || !sink(chunks.data(), chunks.size())) return false;
    std::size_t at = after_header;
    while (size - at >= 12) {
        const std::size_t whole = 12 + std::size_t{get_be32(png + at)};
        if (whole > size - at) break;
        const unsigned char* type = png + at + 4;
        const bool colour = std::memcmp(type, "iCCP", 4) == 0 ||
                            std::memcmp(type, "sRGB", 4) == 0 ||
                            std::memcmp(type, "gAMA", 4) == 0 || std::memcmp(type, "cHRM", 4) == 0;
        if (!colour && !sink(png + at, whole)) return false;
        at += whole;
    }
    return at == size || sink(png + at, size - at);
}

}  // namespace

Status encode_png(const std::string& display_name, int width, int height,
                  const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                  const std::uint8_t* alpha, PlaneOrder order, const ByteSink& sink,
                  const PictureMeta* colour) {
    const int channels = alpha != nullptr ? 4 : 3;
    const std::uint64_t stride64 = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(channels);
    if (stride64 * rows_per_group(height) > UINT_MAX)
        return write_failed(display_name, "it is too wide for the system's encoder");
    const UINT stride = static_cast<UINT>(stride64);

    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    WicEncoding e;
    // The encoder always compresses, at a level of its own. The Sub filter (each byte less the
    // one a pixel to its left) makes that both faster and smaller on photographs than no
    // filter: under Wine a 3840 x 2160 result took 4.2 s and 14.0 MB with it, 7.1 s and
    // 23.6 MB without (docs/PERFORMANCE.md).
    VARIANT filter;
    VariantInit(&filter);
    filter.vt = VT_UI1;
    filter.bVal = WICPngFilterSub;
    HRESULT hr = wic_factory(&factory);
    if (SUCCEEDED(hr))
        hr = wic_begin_frame(factory.get(), GUID_ContainerFormatPng, L"FilterOption", filter,
                             static_cast<UINT>(width), static_cast<UINT>(height),
                             alpha != nullptr ? GUID_WICPixelFormat32bppBGRA
                                              : GUID_WICPixelFormat24bppBGR,
                             &e);
    // Rows in groups, blue, green, red (and alpha) per pixel.
    const std::uint8_t* planes[4] = {blue, green, red, alpha};
    const std::size_t h = static_cast<std::size_t>(height);
    std::vector<BYTE> group(static_cast<std::size_t>(stride) * rows_per_group(height));
    for (std::size_t t0 = 0; t0 < h && SUCCEEDED(hr); t0 += RowsToPlanes::kGroup) {
        const std::size_t count = std::min<std::size_t>(RowsToPlanes::kGroup, h - t0);
        interleave_rows(planes, channels, width, height, order, t0, count, group.data(),
                        static_cast<std::ptrdiff_t>(stride));
        hr = e.frame->WritePixels(static_cast<UINT>(count), stride, stride * static_cast<UINT>(count),
                                  group.data());
    }
    bool kept = false;
    // The colour chunks go in by the tool's hand rather than through the encoder's colour
    // contexts, so that they are the same bytes on every Windows and under Wine, whatever each
    // encoder supports.
    const std::vector<std::uint8_t> chunks =
        colour != nullptr ? png_colour_chunks(*colour) : std::vector<std::uint8_t>();
    if (SUCCEEDED(hr))
        hr = wic_end_frame(
            &e,
            [&](const unsigned char* png, std::size_t size) {
                return with_colour_chunks(png, size, chunks, sink);
            },
            &kept);
    if (FAILED(hr))
        return write_failed(display_name, "the system's encoder failed with " + wic_error_text(hr));
    if (!kept) return write_failed(display_name, "the data could not be stored");
    return Status::success();
}
