// A picture encoded into a file written whole: PNG by the project's own
// writer, the other formats through the imaging component.
#include "exporter/image_file.h"

#include "common/names.h"
#include "quorlane_version.h"
#include "win/atomic_write.h"
#include "win/system_error.h"

namespace quorlane {

namespace {

// The temporary file as the PNG writer's sink. It keeps the first failure.
class FileSink final : public ByteSink {
  public:
    explicit FileSink(HANDLE file) : file_(file) {}
    HRESULT failure = S_OK;

    bool Write(const uint8_t* bytes, size_t count) override {
        failure = WriteAll(file_, bytes, count);
        return SUCCEEDED(failure);
    }

  private:
    HANDLE file_;
};

}  // namespace

std::string ErrorReason(HRESULT error) {
    switch (ErrorCodeOf(error)) {
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

std::vector<std::pair<std::string, std::string>> ProvenanceTexts(const std::string& source) {
    return {{"Source", source},
            {"Software", std::string(kProgramName) + " " QUORLANE_VERSION_TEXT}};
}

HRESULT ImageFileWriter::EncodePng(PixelImage image, int width, int height, HANDLE file,
                                   const std::string& source, WorkerPool* pool) {
    FileSink sink(file);
    PngOptions options;
    options.filter = png_.filter;
    options.level = png_.level;
    options.strips = PngStrips(width, height);
    options.texts = ProvenanceTexts(source);
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
    if (!ownPng && (!WicEncoder::Encodes(format) || !wic_.Ready())) {
        reason = WicEncoder::Encodes(format) ? "the Windows Imaging Component is missing"
                                             : "unknown picture format";
        return Outcome::Failed;
    }
    AtomicWrite how;
    how.path = path;
    how.replace = replace;
    how.temporaryPath = [&](unsigned k) {
        return TemporaryOutputPath(path, GetCurrentProcessId(), k);
    };
    how.nameTooLong = FileNameTooLong(path);
    HRESULT error = S_OK;
    switch (WriteAtomically(
        how,
        [&](HANDLE file) {
            return ownPng ? EncodePng(image, width, height, file, source, pool)
                          : wic_.Encode(image, width, height, format, file, png_.wicFilter, stop_);
        },
        error)) {
    case AtomicWriteOutcome::Written:
        return Outcome::Written;
    case AtomicWriteOutcome::Exists:
        return Outcome::Exists;
    case AtomicWriteOutcome::Stopped:
        return Outcome::Stopped;
    case AtomicWriteOutcome::NameTooLong:
        reason = "the name is too long";
        return Outcome::Failed;
    case AtomicWriteOutcome::Failed:
        break;
    }
    reason = ErrorReason(error);
    return Outcome::Failed;
}

}  // namespace quorlane
