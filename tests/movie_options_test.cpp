// A movie output's rules: its options and usage errors, its frames' size, the
// ffmpeg command line and where ffmpeg is looked for.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "exporter/options/arguments.h"
#include "exporter/options/movie.h"

namespace quorlane {

namespace {

const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;

// Movie and stream options taken, with what they leave in the options.
TEST(MovieOptions, Arguments) {
    const struct {
        std::vector<std::string> args;
        MovieFormat movie;
        const char* pattern;
        int fps, quality;
        bool stream;
        ImageFormat streamFormat;
    } usable[] = {
        {{"--out", "run42.mp4", "a"},
         MovieFormat::Mp4,
         "run42.mp4",
         25,
         18,
         false,
         ImageFormat::Png},
        {{"--out=R.WebM", "--fps", "12", "a"},
         MovieFormat::Webm,
         "R.WebM",
         12,
         28,
         false,
         ImageFormat::Png},
        {{"--quality=0", "--fps=240", "--out", "x.mp4", "a"},
         MovieFormat::Mp4,
         "x.mp4",
         240,
         0,
         false,
         ImageFormat::Png},
        {{"--out", "x.webm", "--quality", "63", "a"},
         MovieFormat::Webm,
         "x.webm",
         25,
         63,
         false,
         ImageFormat::Png},
        {{"--out", "{{a}}.mp4", "a"}, MovieFormat::Mp4, "{a}.mp4", 25, 18, false, ImageFormat::Png},
        {{"--out", "-", "a"}, MovieFormat::None, "-", 25, -1, true, ImageFormat::Png},
        {{"--out", "-", "--format", "BMP", "a"},
         MovieFormat::None,
         "-",
         25,
         -1,
         true,
         ImageFormat::Bmp},
        {{"--format=png", "--out=-", "a"}, MovieFormat::None, "-", 25, -1, true, ImageFormat::Png},
        {{"--out", "x.mp4.png", "a"},
         MovieFormat::None,
         "x.mp4.png",
         25,
         -1,
         false,
         ImageFormat::Png},
    };
    for (const auto& c : usable) {
        const std::string joined = testing::PrintToString(c.args);
        ExportOptions o;
        ASSERT_EQ(ParseExportArguments(c.args, o), "") << joined;
        EXPECT_EQ(o.movie, c.movie) << joined;
        EXPECT_EQ(o.pattern, c.pattern) << joined;
        EXPECT_EQ(o.fps, c.fps) << joined;
        EXPECT_EQ(o.quality, c.quality) << joined;
        EXPECT_EQ(o.toStandardOutput, c.stream) << joined;
        EXPECT_EQ(o.streamFormat, c.streamFormat) << joined;
    }
    ExportOptions o;
    ASSERT_EQ(ParseExportArguments({"--ffmpeg", "C:\\f\\ffmpeg.exe", "--out", "m.mp4", "a"}, o),
              "");
    EXPECT_EQ(o.ffmpeg, "C:\\f\\ffmpeg.exe");
}

TEST(MovieOptions, UsageErrors) {
    const struct {
        std::vector<std::string> args;
        const char* error;  // the whole usage error
    } refused[] = {
        {{"--fps", "10", "a"}, "--fps is for a movie (--out NAME.mp4 or NAME.webm)"},
        {{"--quality", "10", "--out", "x.png", "a"},
         "--quality is for a movie (--out NAME.mp4 or NAME.webm)"},
        {{"--ffmpeg", "f.exe", "a"}, "--ffmpeg is for a movie (--out NAME.mp4 or NAME.webm)"},
        {{"--format", "png", "a"}, "--format is for pictures on standard output (--out -)"},
        {{"--format", "png", "--out", "x.mp4", "a"},
         "--format is for pictures on standard output (--out -)"},
        {{"--out", "-", "--format", "tif", "a"}, "--format \"tif\": png or bmp"},
        {{"--out", "-", "a", "--format"}, "--format needs png or bmp"},
        {{"--out", "x.mp4", "--fps", "0", "a"}, "--fps needs frames a second, 1 to 240"},
        {{"--out", "x.mp4", "--fps", "241", "a"}, "--fps needs frames a second, 1 to 240"},
        {{"--out", "x.mp4", "--fps", "2.5", "a"}, "--fps needs frames a second, 1 to 240"},
        {{"--out", "x.mp4", "--fps", "99999999999", "a"}, "--fps needs frames a second, 1 to 240"},
        {{"--out", "x.mp4", "a", "--fps"}, "--fps needs frames a second, 1 to 240"},
        {{"--out", "x.mp4", "--quality", "-1", "a"},
         "--quality needs the encoder's constant quality, a whole number from 0"},
        {{"--out", "x.mp4", "--quality", "52", "a"}, "--quality 52: at most 51 for this format"},
        {{"--out", "x.webm", "--quality", "64", "a"},
         "--quality needs the encoder's constant quality, a whole number from 0"},
        {{"--out", "x.mp4", "--ffmpeg=", "a"}, "--ffmpeg needs the path of ffmpeg.exe"},
        {{"--out", "{n}.mp4", "a"},
         "--out \"{n}.mp4\": a movie is one file, its name takes no {name} or {n}"},
        {{"--out", "r/{name}.webm", "a"},
         "--out \"r/{name}.webm\": a movie is one file, its name takes no {name} or {n}"},
        {{"--out", "x.mp4"}, "no input: name a folder or a grid file"},
    };
    for (const auto& c : refused) {
        ExportOptions o;
        EXPECT_EQ(ParseExportArguments(c.args, o), c.error) << testing::PrintToString(c.args);
    }
}

TEST(MovieOptions, FormatsAndSides) {
    const struct {
        const char* path;
        PathStyle style;
        MovieFormat format;
    } cases[] = {
        {"a.mp4", W, MovieFormat::Mp4},     {"C:\\r\\A.MP4", W, MovieFormat::Mp4},
        {"a.webm", P, MovieFormat::Webm},   {"a.WebM", W, MovieFormat::Webm},
        {"a.mp4\\b", W, MovieFormat::None}, {"a.mp4\\b", P, MovieFormat::None},
        {"mp4", W, MovieFormat::None},      {"a.mp4.png", W, MovieFormat::None},
        {"a.mp", W, MovieFormat::None},     {"a.mkv", W, MovieFormat::None},
    };
    for (const auto& c : cases) EXPECT_EQ(MovieFormatOfPath(c.path, c.style), c.format) << c.path;
    const int sides[][2] = {{1, 2}, {2, 2}, {3, 4}, {640, 640}, {641, 642}, {16383, 16384}};
    for (const auto& s : sides) EXPECT_EQ(EvenSide(s[0]), s[1]) << s[0];
}

// The command line for each format and option: every argument in its place.
TEST(MovieOptions, FfmpegArguments) {
    const std::vector<std::string> input = {"-hide_banner", "-loglevel", "error", "-f",
                                            "rawvideo",     "-pix_fmt",  "bgra",  "-s"};
    const struct {
        MovieFormat format;
        int width, height, fps, quality;
        const char* output;
        std::vector<std::string> rest;  // after "-s"
    } cases[] = {
        {MovieFormat::Mp4,
         640,
         480,
         25,
         18,
         "C:\\out\\~qx-1-0.tmp",
         {"640x480",    "-r",   "25",       "-i",      "-",
          "-an",        "-c:v", "libx264",  "-preset", "veryfast",
          "-crf",       "18",   "-pix_fmt", "yuv420p", "-movflags",
          "+faststart", "-f",   "mp4",      "-y",      "C:\\out\\~qx-1-0.tmp"}},
        {MovieFormat::Mp4, 2, 1080, 1, 51, "m.mp4", {"2x1080",     "-r",      "1",
                                                     "-i",         "-",       "-an",
                                                     "-c:v",       "libx264", "-preset",
                                                     "veryfast",   "-crf",    "51",
                                                     "-pix_fmt",   "yuv420p", "-movflags",
                                                     "+faststart", "-f",      "mp4",
                                                     "-y",         "m.mp4"}},
        {MovieFormat::Webm,
         1920,
         1080,
         240,
         28,
         "a b.tmp",
         {"1920x1080", "-r", "240",      "-i",      "-",         "-an",  "-c:v",      "libvpx-vp9",
          "-crf",      "28", "-b:v",     "0",       "-deadline", "good", "-cpu-used", "4",
          "-row-mt",   "1",  "-pix_fmt", "yuv420p", "-f",        "webm", "-y",        "a b.tmp"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> expected = input;
        expected.insert(expected.end(), c.rest.begin(), c.rest.end());
        MovieEncoding movie;
        movie.format = c.format;
        movie.width = c.width;
        movie.height = c.height;
        movie.fps = c.fps;
        movie.quality = c.quality;
        movie.output = c.output;
        EXPECT_EQ(FfmpegArguments(movie), expected) << c.output;
    }
}

// The search for ffmpeg over a fake file system: --ffmpeg, beside the program,
// then the PATH's folders in order.
TEST(MovieOptions, FfmpegSearch) {
    const std::set<std::string> files = {"C:\\q\\ffmpeg.exe", "C:\\tools\\ffmpeg.exe",
                                         "D:\\f f\\ffmpeg.exe", "C:\\my\\ff.exe",
                                         "/opt/ffmpeg.exe"};
    const auto isFile = [&](const std::string& p) { return files.count(p) > 0; };
    const struct {
        const char* given;
        const char* folder;
        const char* path;
        PathStyle style;
        const char* found;
    } cases[] = {
        {"", "C:\\q", "C:\\tools", W, "C:\\q\\ffmpeg.exe"},
        {"", "C:\\q\\", "C:\\tools", W, "C:\\q\\ffmpeg.exe"},
        {"", "C:\\bin", "C:\\x;C:\\tools;D:\\f f", W, "C:\\tools\\ffmpeg.exe"},
        {"", "C:\\bin", ";;\"D:\\f f\";C:\\tools", W, "D:\\f f\\ffmpeg.exe"},
        {"", "C:\\bin", "C:\\tools\\", W, "C:\\tools\\ffmpeg.exe"},
        {"", "C:\\bin", "C:\\x;C:\\y", W, ""},
        {"", "", "", W, ""},
        {"C:\\my\\ff.exe", "C:\\q", "C:\\tools", W, "C:\\my\\ff.exe"},
        {"C:\\none.exe", "C:\\q", "C:\\tools", W, ""},
        {"", "/bin", "/opt", P, "/opt/ffmpeg.exe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindFfmpeg(c.given, c.folder, c.path, isFile, c.style), c.found)
            << c.given << " | " << c.folder << " | " << c.path;
}

TEST(MovieOptions, Words) {
    EXPECT_EQ(NeedsFfmpeg("run42.mp4"),
              "writing \"run42.mp4\" needs ffmpeg: put ffmpeg.exe beside quorlane-export.exe or "
              "on the PATH, or name it with --ffmpeg");
    EXPECT_EQ(PaddedNote(641, 480),
              "quorlane-export: a 641 x 480 picture is padded to 642 x 480 with the window's grey "
              "(a movie's sides are even)");
    EXPECT_EQ(FramesLine(240, 9.6), "240 frames in 9.6 s (25.0 frames a second)");
    EXPECT_EQ(FramesLine(1, 0), "1 frame in 0.0 s (0.0 frames a second)");
}

}  // namespace

}  // namespace quorlane
