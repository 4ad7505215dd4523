#pragma once
// Where the pictures of a movie or of a picture stream go, one after another
// in the inputs' order: frames into ffmpeg through a pipe (MovieFrames), or
// PNG or BMP files one after another on standard output (PictureStream).
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exporter/ffmpeg_pipe.h"
#include "exporter/options/movie.h"
#include "exporter/options/output_names.h"
#include "png_writer/png_writer.h"
#include "render/paint.h"

namespace quorlane {

class FrameSink {
  public:
    enum class Outcome {
        Taken,
        OtherSize,  // the picture's size is not the first one's: left out
        Broken,     // the sink takes nothing more; `reason` says why
    };
    virtual ~FrameSink() = default;
    // The top-left width × height pixels of `image` (0x00RRGGBB) as the next
    // picture; `source` is the input as given.
    virtual Outcome Take(PixelImage image, int width, int height, const std::string& source,
                         std::string& reason) = 0;
};

// A movie's frames: ffmpeg is started for the first picture, whose size every
// frame then has (each side made even with the window's grey).
class MovieFrames final : public FrameSink {
  public:
    // `movie` gives the format, rate, quality and file; its sides are taken
    // from the first picture. `note` is told once of a padded picture.
    MovieFrames(const std::string& ffmpeg, const MovieEncoding& movie,
                const std::atomic<bool>* stop, std::function<void(const std::string&)> note)
        : ffmpeg_(ffmpeg), movie_(movie), stop_(stop), note_(std::move(note)) {}
    Outcome Take(PixelImage image, int width, int height, const std::string& source,
                 std::string& reason) override;
    size_t Frames() const { return frames_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Ends the movie: ffmpeg has every frame and ends; true when it ended
    // well, else `reason` says why. False without a frame.
    bool Finish(std::string& reason);
    // Ends ffmpeg at once (a stop, or a failure beside it).
    void Kill();

  private:
    std::string ffmpeg_;
    MovieEncoding movie_;
    const std::atomic<bool>* stop_;
    std::function<void(const std::string&)> note_;
    std::unique_ptr<FfmpegPipe> pipe_;
    int width_ = 0, height_ = 0;  // of the pictures (the frames are even)
    size_t frames_ = 0;
    bool broken_ = false;          // ffmpeg could not start or ended early
    std::vector<uint32_t> frame_;  // a padded frame
};

// Pictures as PNG or BMP files one after another on standard output.
class PictureStream final : public FrameSink {
  public:
    explicit PictureStream(ImageFormat format) : format_(format) {}
    Outcome Take(PixelImage image, int width, int height, const std::string& source,
                 std::string& reason) override;

  private:
    ImageFormat format_;
    HANDLE out_ = GetStdHandle(STD_OUTPUT_HANDLE);
    PngScratch scratch_;
    std::vector<uint8_t> bytes_;
};

}  // namespace quorlane
