#pragma once
// The Windows Imaging Component, for the codecs (codecs_wic.cpp) and the Windows tests that
// make pictures with it: COM for the length of a call, a factory, and an owning pointer.
// Windows only.

#include <windows.h>
// Defines the component's GUIDs here rather than needing a library for them.
#include <initguid.h>
#include <wincodec.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// COM on this thread for as long as it lives. A thread that already has COM in another
// apartment (the Win32 window's) keeps it, and that is enough for the imaging component.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

// Owns one reference to a COM object.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    // For a call that hands out a new reference: releases the one held.
    T** put() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_ != nullptr) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// A new imaging factory, or a failed result.
inline HRESULT wic_factory(ComPtr<IWICImagingFactory>* out) {
    return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IWICImagingFactory, reinterpret_cast<void**>(out->put()));
}

// An HRESULT as words for a message: the imaging component's common failures by name, others
// as hexadecimal.
std::string wic_error_text(HRESULT hr);

// One frame being encoded into memory.
struct WicEncoding {
    ComPtr<IStream> memory;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
};

// Starts encoding a width x height frame of exactly the given pixel format into a container
// (GUID_ContainerFormatPng, ...), with one encoder option set (an option the encoder does not
// know is passed over). The frame then takes WritePixels.
HRESULT wic_begin_frame(IWICImagingFactory* factory, const GUID& container,
                        const wchar_t* option_name, const VARIANT& option, UINT width,
                        UINT height, const WICPixelFormatGUID& format, WicEncoding* e);

// Commits the frame and the file, then hands the file's bytes to take; *taken tells what take
// returned.
HRESULT wic_end_frame(WicEncoding* e,
                      const std::function<bool(const unsigned char*, std::size_t)>& take,
                      bool* taken);
