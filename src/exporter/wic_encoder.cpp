// The imaging component's encoders: COM loaded on first use, the file as the
// encoder's stream, and the rows converted to 24-bit colour a band at a time.
#include "exporter/wic_encoder.h"

#include <wincodec.h>

#include <algorithm>

#include "win/atomic_write.h"

namespace quorlane {

namespace {

static_assert(int(WicPngFilter::None) == WICPngFilterNone &&
                  int(WicPngFilter::Adaptive) == WICPngFilterAdaptive,
              "WicPngFilter takes the imaging component's values");

// Rows converted and handed to the encoder at once: about 1 MB of them.
constexpr size_t kConvertedBandBytes = size_t(1) << 20;

// Releases a COM interface when it goes.
template <class T>
struct ComRef {
    T* p = nullptr;
    ~ComRef() {
        if (p != nullptr) p->Release();
    }
    T* operator->() const { return p; }
    T** operator&() { return &p; }
};

const GUID* ContainerOf(ImageFormat format) {
    switch (format) {
    case ImageFormat::Png:
        return &GUID_ContainerFormatPng;
    case ImageFormat::Bmp:
        return &GUID_ContainerFormatBmp;
    case ImageFormat::Tiff:
        return &GUID_ContainerFormatTiff;
    default:
        return nullptr;
    }
}

// The file as the stream the encoder writes to. It keeps the first failure
// of a write: the encoders may report it as a generic failure, or (TIFF under
// Wine) not at all and leave the file cut short.
class FileStream : public IStream {
  public:
    explicit FileStream(HANDLE file) : file_(file) {}
    HRESULT failure = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const bool ours = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) ||
                          IsEqualIID(iid, IID_IStream);
        *out = ours ? this : nullptr;
        return ours ? S_OK : E_NOINTERFACE;
    }
    // Made on the stack and outliving the encoder: no count to keep.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE Read(void* data, ULONG size, ULONG* done) override {
        DWORD n = 0;
        const BOOL ok = ReadFile(file_, data, size, &n, nullptr);
        if (done != nullptr) *done = n;
        return !ok ? HRESULT_FROM_WIN32(GetLastError()) : n < size ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* done) override {
        const HRESULT hr = WriteAll(file_, data, size);
        if (done != nullptr) *done = SUCCEEDED(hr) ? size : 0;
        if (SUCCEEDED(failure)) failure = hr;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* at) override {
        LARGE_INTEGER now;  // STREAM_SEEK_SET, _CUR and _END are FILE_BEGIN, _CURRENT and _END
        if (!SetFilePointerEx(file_, move, &now, origin)) return HRESULT_FROM_WIN32(GetLastError());
        if (at != nullptr) at->QuadPart = ULONGLONG(now.QuadPart);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        LARGE_INTEGER now, end, zero = {};
        end.QuadPart = LONGLONG(size.QuadPart);
        const bool ok = SetFilePointerEx(file_, zero, &now, FILE_CURRENT) &&
                        SetFilePointerEx(file_, end, nullptr, FILE_BEGIN) && SetEndOfFile(file_) &&
                        SetFilePointerEx(file_, now, nullptr, FILE_BEGIN);
        return ok ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        *stat = STATSTG();
        stat->type = STGTY_STREAM;
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file_, &size)) return HRESULT_FROM_WIN32(GetLastError());
        stat->cbSize.QuadPart = ULONGLONG(size.QuadPart);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

  private:
    HANDLE file_;
};

// Writes a band of `count` rows from row y0 of `image` as 24-bit BGR into `out`.
void ConvertRows(PixelImage image, int width, int y0, int count, uint8_t* out) {
    for (int y = 0; y < count; ++y) {
        const uint32_t* in = image.pixels + (y0 + y) * image.pitch;
        for (int x = 0; x < width; ++x, out += 3) {
            const uint32_t p = in[x];
            out[0] = uint8_t(p);
            out[1] = uint8_t(p >> 8);
            out[2] = uint8_t(p >> 16);
        }
    }
}

}  // namespace

// COM, from ole32 loaded on the first picture that needs the imaging
// component: loading it starts COM's machinery, which would cost a run of PNG
// files alone about 15 ms of its start-up under Wine (docs/performance.md).
struct WicEncoder::Com {
    HMODULE ole32 = LoadLibraryW(L"ole32.dll");
    decltype(&CoInitializeEx) initialize = Function<decltype(&CoInitializeEx)>("CoInitializeEx");
    decltype(&CoUninitialize) uninitialize = Function<decltype(&CoUninitialize)>("CoUninitialize");
    decltype(&CoCreateInstance) create = Function<decltype(&CoCreateInstance)>("CoCreateInstance");
    HRESULT entered = E_FAIL;  // entering COM's multithreaded apartment
    IWICImagingFactory* factory = nullptr;

    template <class F>
    F Function(const char* name) const {
        // Through void (*)(), which any function pointer type converts to and from.
        return ole32 == nullptr
                   ? nullptr
                   : reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(ole32, name)));
    }
    bool Usable() const { return initialize && uninitialize && create; }
};

WicEncoder::WicEncoder() = default;

WicEncoder::~WicEncoder() {
    if (com_ == nullptr) return;
    if (com_->factory != nullptr) com_->factory->Release();
    if (SUCCEEDED(com_->entered)) com_->uninitialize();
}

bool WicEncoder::Encodes(ImageFormat format) {
    return ContainerOf(format) != nullptr;
}

bool WicEncoder::Ready() {
    if (com_ == nullptr) {
        com_ = std::make_unique<Com>();
        if (!com_->Usable()) return false;
        com_->entered = com_->initialize(nullptr, COINIT_MULTITHREADED);
        com_->create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     reinterpret_cast<void**>(&com_->factory));
    }
    return com_->factory != nullptr;
}

HRESULT WicEncoder::Encode(PixelImage image, int width, int height, ImageFormat format, HANDLE file,
                           WicPngFilter pngFilter, const std::atomic<bool>* stop) {
    FileStream stream(file);
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> wicFrame;
    ComRef<IPropertyBag2> options;
    HRESULT hr = com_->factory->CreateEncoder(*ContainerOf(format), nullptr, &encoder);
    if (SUCCEEDED(hr)) hr = encoder->Initialize(&stream, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&wicFrame, &options);
    if (SUCCEEDED(hr) && format == ImageFormat::Png && options.p != nullptr) {
        PROPBAG2 name = {};
        name.pstrName = const_cast<LPOLESTR>(L"FilterOption");
        VARIANT value = {};
        value.vt = VT_UI1;
        value.bVal = BYTE(pngFilter);
        hr = options->Write(1, &name, &value);
    }
    if (SUCCEEDED(hr)) hr = wicFrame->Initialize(options.p);
    if (SUCCEEDED(hr)) hr = wicFrame->SetSize(UINT(width), UINT(height));
    WICPixelFormatGUID pixelFormat = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(hr)) hr = wicFrame->SetPixelFormat(&pixelFormat);
    if (SUCCEEDED(hr) && !IsEqualGUID(pixelFormat, GUID_WICPixelFormat24bppBGR))
        hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    const size_t stride = size_t(width) * 3;
    const int band =
        int(std::max<size_t>(1, std::min<size_t>(kConvertedBandBytes / stride, size_t(height))));
    if (SUCCEEDED(hr) && rows_.size() < stride * size_t(band)) rows_.resize(stride * size_t(band));
    for (int y0 = 0; SUCCEEDED(hr) && y0 < height; y0 += band) {
        if (stop != nullptr && stop->load()) return E_ABORT;
        const int count = std::min(band, height - y0);
        ConvertRows(image, width, y0, count, rows_.data());
        hr = wicFrame->WritePixels(UINT(count), UINT(stride), UINT(stride * size_t(count)),
                                   rows_.data());
    }
    if (SUCCEEDED(hr)) hr = wicFrame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    return FAILED(stream.failure) ? stream.failure : hr;
}

}  // namespace quorlane
