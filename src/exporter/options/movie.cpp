// A movie output's rules: its format, its frames' size, the ffmpeg command
// line, where ffmpeg is looked for, and the words the exporter says of it.
#include "exporter/options/movie.h"

#include <cstdio>

#include "common/names.h"
#include "common/text.h"

namespace quorlane {

MovieFormat MovieFormatOfPath(const std::string& path, PathStyle style) {
    const std::string ext = LowerExtension(path, style);
    if (ext == "mp4") return MovieFormat::Mp4;
    if (ext == "webm") return MovieFormat::Webm;
    return MovieFormat::None;
}

int DefaultQuality(MovieFormat format) {
    return format == MovieFormat::Webm ? kDefaultWebmQuality : kDefaultMp4Quality;
}

int HighestQuality(MovieFormat format) {
    return format == MovieFormat::Webm ? 63 : 51;
}

int EvenSide(int side) {
    return side + (side & 1);
}

std::vector<std::string> FfmpegArguments(const MovieEncoding& movie) {
    std::vector<std::string> args = {
        "-hide_banner",
        "-loglevel",
        "error",
        "-f",
        "rawvideo",
        "-pix_fmt",
        "bgra",
        "-s",
        std::to_string(movie.width) + "x" + std::to_string(movie.height),
        "-r",
        std::to_string(movie.fps),
        "-i",
        "-",
        "-an"};
    const std::string crf = std::to_string(movie.quality);
    if (movie.format == MovieFormat::Webm) {
        // Constant quality in VP9 needs the bit rate left open; "good" at
        // speed 4 with row threads keeps pace with the drawing.
        args.insert(args.end(),
                    {"-c:v", "libvpx-vp9", "-crf", crf, "-b:v", "0", "-deadline", "good",
                     "-cpu-used", "4", "-row-mt", "1", "-pix_fmt", "yuv420p", "-f", "webm"});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", crf, "-pix_fmt",
                                 "yuv420p", "-movflags", "+faststart", "-f", "mp4"});
    }
    args.insert(args.end(), {"-y", movie.output});
    return args;
}

std::string FindFfmpeg(const std::string& given, const std::string& programFolder,
                       const std::string& pathVariable,
                       const std::function<bool(const std::string& path)>& isFile,
                       PathStyle style) {
    if (!given.empty()) return isFile(given) ? given : std::string();
    const std::string name = "ffmpeg.exe";
    if (!programFolder.empty()) {
        std::string beside = JoinPath(programFolder, name, style);
        if (isFile(beside)) return beside;
    }
    for (size_t start = 0; start <= pathVariable.size();) {
        size_t end = pathVariable.find(';', start);
        if (end == std::string::npos) end = pathVariable.size();
        std::string folder = pathVariable.substr(start, end - start);
        start = end + 1;
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
            folder = folder.substr(1, folder.size() - 2);
        if (folder.empty()) continue;
        std::string there = JoinPath(folder, name, style);
        if (isFile(there)) return there;
    }
    return std::string();
}

std::string NeedsFfmpeg(const std::string& output) {
    return "writing " + Quoted(output) + " needs ffmpeg: put ffmpeg.exe beside " +
           kExporterCommand + ".exe or on the PATH, or name it with --ffmpeg";
}

std::string PaddedNote(int width, int height) {
    return std::string(kExporterCommand) + ": a " + std::to_string(width) + " x " +
           std::to_string(height) + " picture is padded to " + std::to_string(EvenSide(width)) +
           " x " + std::to_string(EvenSide(height)) +
           " with the window's grey (a movie's sides are even)";
}

std::string FramesLine(size_t frames, double seconds) {
    char text[96];
    std::snprintf(text, sizeof text, "%zu frame%s in %.1f s (%.1f frames a second)", frames,
                  frames == 1 ? "" : "s", seconds, seconds > 0 ? double(frames) / seconds : 0.0);
    return text;
}

}  // namespace quorlane
