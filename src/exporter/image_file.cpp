// Encoding a picture into a temporary file and renaming it into place.
#include "exporter/image_file.h"

#include <algorithm>
#include <new>

#include "gdi/system_error.h"
#include "quorlane_version.h"

using namespace quorlane;

namespace {

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

// Writes `size` bytes to `file`: S_OK, or why not (a write cut short is a
// full disk).
HRESULT WriteBytes(HANDLE file, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD part = DWORD(std::min<size_t>(size, size_t(1) << 30));
        DWORD n = 0;
        const BOOL ok = WriteFile(file, bytes, part, &n, nullptr);
        if (!ok || n != part) return HRESULT_FROM_WIN32(ok ? ERROR_DISK_FULL : GetLastError());
        bytes += n;
        size -= n;
    }
    return S_OK;
}

// Rows converted and handed to the encoder at once: about 1 MB of them.
constexpr size_t kBandBytes = size_t(1) << 20;

// The temporary file as the stream the encoder writes to. It keeps the first
// failure of a write: the encoders may report it as a generic failure, or
// (TIFF under Wine) not at all and leave the file cut short.
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
        const HRESULT hr = WriteBytes(file_, data, size);
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

// The temporary file as the PNG writer's sink. It keeps the first failure.
class FileSink final : public ByteSink {
  public:
    explicit FileSink(HANDLE file) : file_(file) {}
    HRESULT failure = S_OK;

    bool Write(const uint8_t* bytes, size_t count) override {
        failure = WriteBytes(file_, bytes, count);
        return SUCCEEDED(failure);
    }

  private:
    HANDLE file_;
};

// Whether the file `path` names is there under that name, as the folder
// lists it (in any letter case: a file replaced keeps its own on some
// systems). A folder that cannot be searched (listing not allowed) tells
// nothing, and the file is taken to be there.
bool HoldsName(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
               error != ERROR_NO_MORE_FILES && error != ERROR_INVALID_NAME &&
               error != ERROR_FILENAME_EXCED_RANGE;
    }
    FindClose(search);
    const size_t start = path.find_last_of(L"\\/:") + 1;  // npos + 1 == 0
    return CompareStringOrdinal(found.cFileName, -1, path.c_str() + start, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool OutputExists(const std::string& path) {
    const std::wstring name = Utf16(path);
    return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES && HoldsName(name);
}

std::string ErrorReason(HRESULT error) {
    DWORD code = DWORD(error);
    if (HRESULT_FACILITY(error) == FACILITY_WIN32) code = HRESULT_CODE(error);
    switch (code) {
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        return "no such folder";
    case ERROR_ACCESS_DENIED:
        return "access denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case DWORD(STG_E_MEDIUMFULL):
        return "the disk is full";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case DWORD(E_OUTOFMEMORY):
        return "not enough memory";
    }
    return SystemErrorText(error);
}

// COM, from ole32 loaded on the first file that needs the imaging component:
// loading it starts COM's machinery, which would cost a run of PNG files
// alone about 15 ms of its start-up under Wine (docs/performance.md).
struct ImageFileWriter::Com {
    HMODULE ole32 = LoadLibraryW(L"ole32.dll");
    decltype(&CoInitializeEx) initialize = Function<decltype(&CoInitializeEx)>("CoInitializeEx");
    decltype(&CoUninitialize) uninitialize = Function<decltype(&CoUninitialize)>("CoUninitialize");
    decltype(&CoCreateInstance) create = Function<decltype(&CoCreateInstance)>("CoCreateInstance");

    template <class F>
    F Function(const char* name) const {
        // Through void (*)(), which any function pointer type converts to and from.
        return ole32 == nullptr
                   ? nullptr
                   : reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(ole32, name)));
    }
    bool Usable() const { return initialize && uninitialize && create; }
};

ImageFileWriter::ImageFileWriter() = default;

ImageFileWriter::~ImageFileWriter() {
    if (factory_ != nullptr) factory_->Release();
    if (com_ != nullptr && SUCCEEDED(entered_)) com_->uninitialize();
}

IWICImagingFactory* ImageFileWriter::Factory() {
    if (com_ == nullptr) {
        com_ = std::make_unique<Com>();
        if (!com_->Usable()) return nullptr;
        entered_ = com_->initialize(nullptr, COINIT_MULTITHREADED);
        com_->create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     reinterpret_cast<void**>(&factory_));
    }
    return factory_;
}

HRESULT ImageFileWriter::Encode(PixelImage image, int width, int height, ImageFormat format,
                                HANDLE file) {
    FileStream stream(file);
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    HRESULT hr = factory_->CreateEncoder(*ContainerOf(format), nullptr, &encoder);
    if (SUCCEEDED(hr)) hr = encoder->Initialize(&stream, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, &options);
    if (SUCCEEDED(hr) && format == ImageFormat::Png && options.p != nullptr) {
        PROPBAG2 name = {};
        name.pstrName = const_cast<LPOLESTR>(L"FilterOption");
        VARIANT value = {};
        value.vt = VT_UI1;
        value.bVal = BYTE(png_.wicFilter);
        hr = options->Write(1, &name, &value);
    }
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.p);
    if (SUCCEEDED(hr)) hr = frame->SetSize(UINT(width), UINT(height));
    WICPixelFormatGUID pixelFormat = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&pixelFormat);
    if (SUCCEEDED(hr) && !IsEqualGUID(pixelFormat, GUID_WICPixelFormat24bppBGR))
        hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    const size_t stride = size_t(width) * 3;
    const int band =
        int(std::max<size_t>(1, std::min<size_t>(kBandBytes / stride, size_t(height))));
    if (SUCCEEDED(hr) && rows_.size() < stride * size_t(band)) rows_.resize(stride * size_t(band));
    for (int y0 = 0; SUCCEEDED(hr) && y0 < height; y0 += band) {
        if (stop_ != nullptr && stop_->load()) return E_ABORT;
        const int count = std::min(band, height - y0);
        for (int y = 0; y < count; ++y) {
            const uint32_t* in = image.pixels + (y0 + y) * image.pitch;
            uint8_t* out = rows_.data() + size_t(y) * stride;
            for (int x = 0; x < width; ++x, out += 3) {
                const uint32_t p = in[x];
                out[0] = uint8_t(p);
                out[1] = uint8_t(p >> 8);
                out[2] = uint8_t(p >> 16);
            }
        }
        hr = frame->WritePixels(UINT(count), UINT(stride), UINT(stride * size_t(count)),
                                rows_.data());
    }
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    return FAILED(stream.failure) ? stream.failure : hr;
}

HRESULT ImageFileWriter::EncodePng(PixelImage image, int width, int height, HANDLE file,
                                   const std::string& source, WorkerPool* pool) {
    FileSink sink(file);
    PngOptions options;
    options.filter = png_.filter;
    options.level = png_.level;
    options.strips = PngStrips(width, height);
    options.texts = {{"Source", source}, {"Software", "Quorlane " QUORLANE_VERSION_TEXT}};
    options.stop = stop_;
    if (WritePng(image.pixels, image.pitch, width, height, options, sink, pool, &pngScratch_))
        return S_OK;
    if (FAILED(sink.failure)) return sink.failure;
    return stop_ != nullptr && stop_->load() ? E_ABORT : E_OUTOFMEMORY;
}

ImageFileWriter::Outcome ImageFileWriter::Write(PixelImage image, int width, int height,
                                                ImageFormat format, const std::string& path,
                                                bool replace, std::string& reason,
                                                const std::string& source, WorkerPool* pool) {
    const bool ownPng = format == ImageFormat::Png && !png_.imagingComponent;
    if (!ownPng && (ContainerOf(format) == nullptr || Factory() == nullptr)) {
        reason = ContainerOf(format) != nullptr ? "the Windows Imaging Component is missing"
                                                : "unknown picture format";
        return Outcome::Failed;
    }
    const std::wstring target = Utf16(path);
    // A temporary name of our own beside the target, made with CREATE_NEW so
    // that no other writer, in this process or another, has it.
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned k = 0; file == INVALID_HANDLE_VALUE; ++k) {
        temp = Utf16(TemporaryOutputPath(path, GetCurrentProcessId(), k));
        file = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        if (file == INVALID_HANDLE_VALUE &&
            ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || k >= 1000)) {
            reason = ErrorReason(HRESULT_FROM_WIN32(error));
            return Outcome::Failed;
        }
    }
    HRESULT hr = E_OUTOFMEMORY;
    try {
        hr = ownPng ? EncodePng(image, width, height, file, source, pool)
                    : Encode(image, width, height, format, file);
    } catch (const std::bad_alloc&) {
        // the temporary file goes below
    }
    CloseHandle(file);
    bool renamed = false, refused = false;
    if (SUCCEEDED(hr)) {
        renamed =
            MoveFileExW(temp.c_str(), target.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0);
        refused = !renamed;
        if (refused) hr = HRESULT_FROM_WIN32(GetLastError());
    }
    // A system may cut a name it cannot hold short instead of refusing it
    // (Wine on Linux does), and then refuse another output cut to the same
    // name as existing or in use: the file must be there under the name as
    // written, and a long name refused while it is not there is too long.
    if (renamed && HoldsName(target)) return Outcome::Written;
    const bool tooLong = renamed || hr == HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) ||
                         (refused && FileNameTooLong(path) && !HoldsName(target));
    DeleteFileW(renamed ? target.c_str() : temp.c_str());  // by the name that finds it
    if (tooLong) {
        reason = "the name is too long";
        return Outcome::Failed;
    }
    if (hr == E_ABORT) return Outcome::Stopped;
    if (hr == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) ||
        hr == HRESULT_FROM_WIN32(ERROR_FILE_EXISTS))
        return Outcome::Exists;
    reason = ErrorReason(hr);
    return Outcome::Failed;
}
