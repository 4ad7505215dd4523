#pragma once
// A movie output of the exporter, as text rules that ask neither the file
// system nor the platform: which outputs are movies, the size of their frames,
// the ffmpeg command line that encodes them from raw pixels on its standard
// input, where ffmpeg is looked for, and the words of its usage errors.
#include <functional>
#include <string>
#include <vector>

#include "common/paths.h"

namespace quorlane {

enum class MovieFormat { None, Mp4, Webm };

// The movie format an output path asks for by its extension, in any case:
// .mp4 (H.264) or .webm (VP9).
MovieFormat MovieFormatOfPath(const std::string& path, PathStyle style = kSystemPathStyle);

// The frame rate without --fps, and the highest --fps takes.
constexpr int kDefaultFps = 25;
constexpr int kHighestFps = 240;

// The encoders' constant quality without --quality (lower is better; 0 to
// 51 for H.264, 0 to 63 for VP9): chosen on the examples and dense fields
// at small sizes, where the texts and the band's edges are the sharpest part
// of a frame, for at least 40 dB of PSNR against the pictures
// (docs/performance.md).
constexpr int kDefaultMp4Quality = 18;
constexpr int kDefaultWebmQuality = 28;
int DefaultQuality(MovieFormat format);
int HighestQuality(MovieFormat format);

// The frame of a picture: each side made even (the H.264 encoder takes no
// odd side in yuv420p), one column or row more where it is odd.
int EvenSide(int side);

// What ffmpeg is asked to encode.
struct MovieEncoding {
    MovieFormat format = MovieFormat::Mp4;
    int width = 0, height = 0;  // of each frame, both even
    int fps = kDefaultFps;
    int quality = kDefaultMp4Quality;
    std::string output;  // the file ffmpeg writes (its name need not say the format)
};

// The arguments (without the program's name) that make ffmpeg read raw
// 32-bit frames (bytes B, G, R, unused) from its standard input and write
// them as `movie`: yuv420p, the format named (the output may be a temporary
// name), an MP4 file with its index at the front, only errors on standard
// error.
std::vector<std::string> FfmpegArguments(const MovieEncoding& movie);

// Where ffmpeg is, in this order: `given` (--ffmpeg) when it is not empty,
// as it is; else "ffmpeg.exe" in `programFolder`, the folder of
// quorlane-export.exe; else the first folder of `pathVariable` (the PATH:
// folders separated by ';', each perhaps in double quotes, empty ones
// skipped) that holds "ffmpeg.exe". `isFile` says whether a path names a
// file. Empty when none is found (or `given` names no file).
std::string FindFfmpeg(const std::string& given, const std::string& programFolder,
                       const std::string& pathVariable,
                       const std::function<bool(const std::string& path)>& isFile,
                       PathStyle style = kSystemPathStyle);

// The usage error of a movie output without ffmpeg.
std::string NeedsFfmpeg(const std::string& output);

// The line said once on standard error when a picture's side is odd.
std::string PaddedNote(int width, int height);

// The line at the end of a movie: "240 frames in 9.6 s (25.0 frames a
// second)".
std::string FramesLine(size_t frames, double seconds);

}  // namespace quorlane
