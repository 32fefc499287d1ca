// JPEG files for the Windows tests through the imaging component's own encoder and decoder.

#include <gtest/gtest.h>

#include <vector>

#include "image/wic.h"
#include "tests/support/jpeg_maker.h"

namespace {

// What failed, for the test's message.
std::vector<std::uint8_t> refused(const char* step, HRESULT hr) {
    ADD_FAILURE() << "the imaging component's JPEG " << step << " failed: " << wic_error_text(hr);
    return {};
}

}  // namespace

std::vector<std::uint8_t> make_jpeg(const TestPicture& pic, const JpegLayout& layout) {
    // No progression here; CMYK only where the encoder takes it.
    if (layout.progressive) return refused("encoder (progressive)", E_NOTIMPL);
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    WicEncoding e;
    VARIANT quality;
    VariantInit(&quality);
    quality.vt = VT_R4;
    quality.fltVal = static_cast<float>(layout.quality) / 100.0f;
    HRESULT hr = wic_factory(&factory);
    if (SUCCEEDED(hr))
        hr = wic_begin_frame(factory.get(), GUID_ContainerFormatJpeg, L"ImageQuality", quality,
                             static_cast<UINT>(pic.width), static_cast<UINT>(pic.height),
                             layout.grey   ? GUID_WICPixelFormat8bppGray
                             : layout.cmyk ? GUID_WICPixelFormat32bppCMYK
                                         : GUID_WICPixelFormat24bppBGR,
                             &e);
    if (FAILED(hr)) return layout.cmyk ? std::vector<std::uint8_t>{} : refused("encoder", hr);
    const UINT channels = layout.grey ? 1 : layout.cmyk ? 4 : 3;
    const UINT stride = channels * static_cast<UINT>(pic.width);
    std::vector<BYTE> rows(static_cast<std::size_t>(stride) * static_cast<std::size_t>(pic.height));
    for (int y = 0; y < pic.height; ++y)
        for (int x = 0; x < pic.width; ++x) {
            const Rgb p = pic.at(x, y);
            BYTE* d = rows.data() + static_cast<std::size_t>(y) * stride + channels * static_cast<UINT>(x);
            if (layout.grey) {
                d[0] = p.r;
            } else if (layout.cmyk) {
                d[0] = p.r, d[1] = p.g, d[2] = p.b, d[3] = 0;
            } else {
                d[0] = p.b, d[1] = p.g, d[2] = p.r;
            }
        }
    hr = e.frame->WritePixels(static_cast<UINT>(pic.height), stride, static_cast<UINT>(rows.size()),
                              rows.data());
    std::vector<std::uint8_t> out;
    bool taken = false;
    if (SUCCEEDED(hr))
        hr = wic_end_frame(&e,
                           [&out](const unsigned char* bytes, std::size_t n) {
                               out.assign(bytes, bytes + n);
                               return true;
                           },
                           &taken);
    if (FAILED(hr)) return refused("encoder", hr);
    return out;
}

TestPicture plain_jpeg_samples(const std::vector<std::uint8_t>& file) {
    TestPicture pic;
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> bgr;
    HRESULT hr = wic_factory(&factory);
    if (SUCCEEDED(hr)) hr = factory->CreateStream(stream.put());
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromMemory(const_cast<BYTE*>(file.data()), static_cast<DWORD>(file.size()));
    if (SUCCEEDED(hr))
        hr = factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.put());
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.put());
    // Blue, green, red and an unused byte: the format every decoder converts to.
    if (SUCCEEDED(hr)) hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.get(), bgr.put());
    UINT w = 0, h = 0;
    if (SUCCEEDED(hr)) hr = bgr->GetSize(&w, &h);
    std::vector<BYTE> rows(4u * w * h);
    if (SUCCEEDED(hr)) hr = bgr->CopyPixels(nullptr, 4 * w, static_cast<UINT>(rows.size()), rows.data());
    if (FAILED(hr)) {
        refused("decoder", hr);
        return pic;
    }
    pic.width = static_cast<int>(w);
    pic.height = static_cast<int>(h);
    for (std::size_t i = 0; i < rows.size(); i += 4) pic.pixels.push_back({rows[i + 2], rows[i + 1], rows[i]});
    return pic;
}

bool progressive_jpeg_supported() { return false; }
