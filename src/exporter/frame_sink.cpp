// A movie's frames into ffmpeg, and pictures on standard output.
#include "exporter/frame_sink.h"

#include <cstring>

#include "exporter/image_file.h"
#include "render/colour.h"
#include "win/atomic_write.h"

namespace quorlane {

FrameSink::Outcome MovieFrames::Take(PixelImage image, int width, int height,
                                     const std::string& /*source*/, std::string& reason) {
    if (broken_) return Outcome::Broken;
    if (pipe_ == nullptr) {
        width_ = width;
        height_ = height;
        movie_.width = EvenSide(width);
        movie_.height = EvenSide(height);
        if ((width | height) & 1) note_(PaddedNote(width, height));
        pipe_ = std::make_unique<FfmpegPipe>();
        if (!pipe_->Start(ffmpeg_, FfmpegArguments(movie_), stop_, reason)) {
            pipe_.reset();
            broken_ = true;
            return Outcome::Broken;
        }
    }
    if (width != width_ || height != height_) {
        reason = "A " + std::to_string(width) + " x " + std::to_string(height) +
                 " picture in a movie of " + std::to_string(width_) + " x " +
                 std::to_string(height_) + " pictures (--size gives them one size)";
        return Outcome::OtherSize;
    }
    const int w = movie_.width, h = movie_.height;
    bool written = true;
    if (w == width && h == height && image.pitch == width) {
        written = pipe_->Write(image.pixels, size_t(w) * size_t(h) * 4);
    } else {
        // Rows of the picture, each with one grey pixel more where the width
        // is odd, and a grey row more where the height is.
        frame_.assign(size_t(w) * size_t(h), PixelOf(kLightGrey));
        for (int y = 0; y < height; ++y)
            std::memcpy(&frame_[size_t(y) * size_t(w)], image.pixels + y * image.pitch,
                        size_t(width) * 4);
        written = pipe_->Write(frame_.data(), frame_.size() * 4);
    }
    if (!written) {
        // ffmpeg ended before taking every frame: how it ended says why.
        if (pipe_->Finish(reason) || reason.empty()) reason = "ffmpeg ended before the last frame";
        pipe_.reset();
        broken_ = true;
        return Outcome::Broken;
    }
    ++frames_;
    return Outcome::Taken;
}

bool MovieFrames::Finish(std::string& reason) {
    if (pipe_ == nullptr) return false;
    const bool ok = pipe_->Finish(reason);
    pipe_.reset();
    return ok;
}

void MovieFrames::Kill() {
    if (pipe_ != nullptr) pipe_->Kill();
    pipe_.reset();
}

namespace {

// The bytes of a PNG file, kept in memory.
class BytesSink final : public ByteSink {
  public:
    explicit BytesSink(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool Write(const uint8_t* bytes, size_t count) override {
        bytes_.insert(bytes_.end(), bytes, bytes + count);
        return true;
    }

  private:
    std::vector<uint8_t>& bytes_;
};

void PutLittle(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(uint8_t(value >> (8 * k)));
}

// A BMP file of 24-bit colour, rows bottom up, each padded to 4 bytes.
void MakeBmp(PixelImage image, int width, int height, std::vector<uint8_t>& out) {
    const uint32_t row = (uint32_t(width) * 3 + 3) & ~3u;
    const uint32_t pixels = row * uint32_t(height);
    out.clear();
    out.reserve(54 + pixels);
    out.push_back('B');
    out.push_back('M');
    PutLittle(out, 54 + pixels, 4);
    PutLittle(out, 0, 4);
    PutLittle(out, 54, 4);
    PutLittle(out, 40, 4);
    PutLittle(out, uint32_t(width), 4);
    PutLittle(out, uint32_t(height), 4);
    PutLittle(out, 1, 2);
    PutLittle(out, 24, 2);
    PutLittle(out, 0, 4);
    PutLittle(out, pixels, 4);
    PutLittle(out, 2835, 4);  // 72 dots an inch
    PutLittle(out, 2835, 4);
    PutLittle(out, 0, 4);
    PutLittle(out, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        const uint32_t* p = image.pixels + y * image.pitch;
        for (int x = 0; x < width; ++x) PutLittle(out, p[x], 3);
        out.resize(out.size() + (row - uint32_t(width) * 3), 0);
    }
}

}  // namespace

FrameSink::Outcome PictureStream::Take(PixelImage image, int width, int height,
                                       const std::string& source, std::string& reason) {
    bytes_.clear();
    if (format_ == ImageFormat::Bmp) {
        MakeBmp(image, width, height, bytes_);
    } else {
        BytesSink sink(bytes_);
        PngOptions options;
        options.strips = PngStrips(width, height);
        options.texts = ProvenanceTexts(source);
        if (!WritePng(image.pixels, image.pitch, width, height, options, sink, nullptr,
                      &scratch_)) {
            reason = "not enough memory";
            return Outcome::Broken;
        }
    }
    const HRESULT hr = WriteAll(out_, bytes_.data(), bytes_.size());
    if (FAILED(hr)) {
        reason = ErrorReason(hr);
        return Outcome::Broken;
    }
    return Outcome::Taken;
}

}  // namespace quorlane
