#pragma once
// The names of the exporter's output files, as text rules that ask neither the
// file system nor the platform. The output pattern holds {name} (the input's
// stem: a folder's last component, a grid file's name without its extension),
// {n} (the input's 1-based position on the command line, zero-padded to four
// digits) and {n:K} (padded to K digits); {{ and }} stand for braces. The
// picture format follows the output file's extension.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/paths.h"

namespace quorlane {

// What is wrong with an output pattern: an empty pattern, a field other than
// {name}, {n} and {n:K} (K from 1 to 9), or a brace left open. Empty when
// it is usable.
std::string CheckOutputPattern(const std::string& pattern);

// The output path of the input at 1-based `position` whose stem is `stem`,
// for a pattern that CheckOutputPattern accepts.
std::string ExpandOutputPattern(const std::string& pattern, const std::string& stem,
                                size_t position);

enum class ImageFormat { Unknown, Png, Bmp, Tiff };

// The format an output path asks for by its extension, in any case: .png,
// .bmp, .tif or .tiff.
ImageFormat FormatOfPath(const std::string& path, PathStyle style = kSystemPathStyle);

// What is wrong with an output's name: an extension that is not one of a
// picture format, or (on Windows) a file name that is a reserved device
// name. Empty when it is usable.
std::string CheckOutputName(const std::string& path, PathStyle style = kSystemPathStyle);

// The device that a Windows file name stands for, in capitals ("NUL" for
// "nul.png", "COM1" for "Com1 .txt. "): CON, PRN, AUX, NUL, COM1 to COM9
// or LPT1 to LPT9 before the first dot, trailing spaces left out. Empty
// for a file name of a file.
std::string ReservedDeviceName(const std::string& path, PathStyle style = kSystemPathStyle);

// Two output paths that name the same file on this system give the same key:
// "." components and repeated separators are left out, ".." is taken
// lexically and on Windows either separator is one and names are folded
// with `fold`.
std::string OutputKey(const std::string& path, PathStyle style = kSystemPathStyle,
                      const CaseFold& fold = FoldAsciiCase);

// The first two outputs that name one file, as positions into `outputs`
// (first < second), skipping the empty ones (inputs that name nothing).
// False when every output is a file of its own.
bool FindSharedOutput(const std::vector<std::string>& outputs, size_t& first, size_t& second,
                      PathStyle style = kSystemPathStyle, const CaseFold& fold = FoldAsciiCase);

// The k-th temporary name for writing `output` in process `process`:
// "~qx-PROCESS-K.tmp" in the output's folder. Its length does not depend on
// the output's name, so that every name the system takes can be written.
std::string TemporaryOutputPath(const std::string& output, unsigned long process, unsigned k,
                                PathStyle style = kSystemPathStyle);

// The longest file name the common file systems hold: 255 UTF-16 units
// (Windows) or 255 bytes of UTF-8 (Linux, which a Windows program under Wine
// writes to). A name of at most 255 UTF-8 bytes has at most 255 UTF-16 units.
constexpr size_t kLongestFileName = 255;

// Whether the file name of `path` (UTF-8) is longer than kLongestFileName
// bytes: a name that some file system where the file may land cannot hold.
bool FileNameTooLong(const std::string& path, PathStyle style = kSystemPathStyle);

// What the file system says of a path, for finding one file under two
// names: the file's size, quick to ask, and which file the path opens (the
// volume and the file's index on it), slower to ask. Neither for a path that
// names no file.
using FileIdentity = std::pair<uint64_t, uint64_t>;
struct FileQueries {
    std::function<std::optional<uint64_t>(const std::string& path)> size;
    std::function<std::optional<FileIdentity>(const std::string& path)> identity;
};

// The first output that is a file of an input (its grid or its settings
// file): its position in `outputs` and the first input whose `inputFiles`
// hold it. Empty outputs are skipped; the inputs' files are asked about only
// when some output exists, and their identity only when an output has their
// size. False when no output is an input's file.
bool FindOutputOfAnInput(const std::vector<std::string>& outputs,
                         const std::vector<std::vector<std::string>>& inputFiles,
                         const FileQueries& ask, size_t& output, size_t& input);

}  // namespace quorlane
