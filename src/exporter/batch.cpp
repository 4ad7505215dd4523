// The exporter's batch: the inputs and their outputs checked first, then the
// load, draw and encode steps, one after another or overlapping.
#include "exporter/batch.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "common/failure.h"
#include "common/worker_pool.h"
#include "data/grid.h"
#include "data/inputs.h"
#include "data/settings.h"
#include "exporter/handoff.h"
#include "exporter/image_file.h"
#include "exporter/options/output_names.h"
#include "gdi/client_picture.h"
#include "gdi/main_window_frame.h"
#include "render/field_row.h"

using namespace quorlane;

namespace {

// The off-screen pictures of a run may take this much memory together;
// a larger picture is drawn only while no other is held.
constexpr size_t kPictureBudget = size_t(1) << 30;

// The report of an output that exists and is not to be replaced.
std::string ExistsReport(const std::string& output) {
    return "\"" + output + "\" exists (--overwrite replaces it)";
}

// One input of the command line and the file it is to write.
struct Input {
    std::string path;     // as given
    InputFiles files;     // valid when failure is empty
    std::string output;   // empty when the path names nothing
    std::string failure;  // why the path names nothing
};

// An input loaded and waiting to be drawn.
struct Loaded {
    size_t index = 0;
    Grid grid;
    DisplaySettings settings;
    std::string failure;  // not loaded: why
};

// A picture drawn and waiting to be encoded.
struct DrawnPicture {
    OffscreenPicture picture{PictureSizing::Exact};
    size_t index = 0;
    int width = 0, height = 0;
};

class Batch {
  public:
    Batch(const ExportOptions& options, const ExportTuning& tuning, Console& console,
          const std::atomic<bool>* stop)
        : options_(options), tuning_(tuning), console_(console), stop_(stop) {}

    // The outputs of every input; a usage error's text when one's name is
    // refused, two inputs would write one file or an output is an input's.
    std::string Prepare();
    // Every input in order; true when all were written.
    bool OneByOne();
    bool Pipelined();
    // Whether the run was stopped before every input was done; `report`
    // then says how far it got.
    bool Stopped(std::string& report);

  private:
    bool Stopping() const { return stop_ != nullptr && stop_->load(); }
    // Loads input k, reading its grid text into `text`, which the loading
    // thread keeps from one input to the next.
    void Load(size_t k, Loaded& into, GridTextBuffer& text);
    // The client size of a loaded input; false (reported) when it has none
    // or it is too large.
    bool SizeOf(const Loaded& loaded, int& width, int& height);
    bool Draw(const Loaded& loaded, int width, int height, DrawnPicture& frame);
    void Encode(DrawnPicture& frame, ImageFileWriter& writer);
    void Fail(size_t k, const std::string& message);
    void Written(size_t k, int width, int height);

    const ExportOptions& options_;
    const ExportTuning& tuning_;
    Console& console_;
    const std::atomic<bool>* stop_;  // set (on another thread) to stop the run
    WorkerPool pool_{WorkerPool::CoreThreads()};
    std::vector<Input> inputs_;
    std::mutex reports_;  // the two below
    size_t done_ = 0;
    bool failed_ = false;
};

// A name as the file system compares names: every letter in capitals.
std::string FoldFileNameCase(const std::string& name) {
    std::wstring text = Utf16(name);
    const int n = int(text.size());
    if (n == 0 || LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), n, &text[0],
                                n, nullptr, nullptr, 0) != n)
        return FoldAsciiCase(name);
    return Utf8(text.data(), text.size());
}

// The size of the file `path` names, if it names one.
std::optional<uint64_t> FileSizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Utf16(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The volume and the file index of what `path` opens, if it opens anything.
std::optional<FileIdentity> FileIdentityOf(const std::string& path) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const HANDLE file = CreateFileW(Utf16(path).c_str(), 0, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!known) return std::nullopt;
    return FileIdentity(info.dwVolumeSerialNumber,
                        (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

std::string Batch::Prepare() {
    std::vector<std::string> keys;
    std::vector<std::vector<std::string>> files;  // each input's grid and settings files
    for (size_t k = 0; k < options_.paths.size(); ++k) {
        Input in;
        in.path = options_.paths[k];
        const LoadResult r = ResolveArgument(in.path, in.files);
        // A path that names nothing is checked with its own last component.
        const std::string stem = r.ok ? in.files.stem : LastComponent(in.path, kSystemPathStyle);
        const std::string output = ExpandOutputPattern(options_.pattern, stem, k + 1);
        const std::string error = CheckOutputName(output);
        if (!error.empty()) return error;
        if (r.ok) {
            in.output = output;
            files.push_back({in.files.gridPath, in.files.settingsPath});
        } else {
            in.failure = r.message;
            files.emplace_back();
        }
        std::error_code ec;
        const std::filesystem::path full =
            std::filesystem::absolute(std::filesystem::u8path(in.output), ec);
        keys.push_back(in.output.empty() ? std::string() : ec ? in.output : full.u8string());
        inputs_.push_back(std::move(in));
    }
    size_t a = 0, b = 0;
    if (FindSharedOutput(keys, a, b, kSystemPathStyle, FoldFileNameCase))
        return "\"" + inputs_[a].path + "\" and \"" + inputs_[b].path + "\" would both write \"" +
               inputs_[b].output + "\"";
    std::vector<std::string> outputs;
    for (const Input& in : inputs_) outputs.push_back(in.output);
    if (FindOutputOfAnInput(outputs, files, {FileSizeOf, FileIdentityOf}, a, b))
        return "\"" + outputs[a] + "\" would overwrite the input \"" + inputs_[b].path + "\"";
    return std::string();
}

void Batch::Fail(size_t k, const std::string& message) {
    std::lock_guard<std::mutex> lock(reports_);
    ++done_;
    failed_ = true;
    console_.Err(std::string(kExporterName) + ": " + inputs_[k].path + ": " + message);
}

void Batch::Written(size_t k, int width, int height) {
    std::lock_guard<std::mutex> lock(reports_);
    ++done_;
    if (!options_.quiet)
        console_.Out(
            ProgressLine(done_, inputs_.size(), inputs_[k].path, inputs_[k].output, width, height));
}

void Batch::Load(size_t k, Loaded& into, GridTextBuffer& text) {
    const Input& in = inputs_[k];
    into.index = k;
    into.failure = in.failure;
    if (!into.failure.empty()) return;
    if (!options_.overwrite && OutputExists(in.output)) {
        into.failure = ExistsReport(in.output);
        return;
    }
    into.settings = DisplaySettings();
    GridLoadOptions options;
    options.buffer = &text;
    try {
        const LoadResult r = LoadInputs(in.files, pool_, into.grid, into.settings, options);
        if (!r.ok) into.failure = r.message;
    } catch (const std::exception& e) {
        into.grid = Grid();
        into.failure = ExceptionReason(e);
    }
}

bool Batch::SizeOf(const Loaded& loaded, int& width, int& height) {
    width = options_.width;
    height = options_.height;
    if (!options_.sizeGiven) MainWindowClientSize(loaded.settings, width, height);
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0) {
        Fail(loaded.index,
             "The settings' window size leaves no client area (" + size + "); --size gives one");
        return false;
    }
    if ((long long)width * height > kLargestPicturePixels) {
        Fail(loaded.index, "A " + size + " picture is larger than the largest, " +
                               std::to_string(kLargestPicturePixels) + " pixels");
        return false;
    }
    if (width > kWidestPicture) {
        Fail(loaded.index, "A " + size + " picture is wider than the widest, " +
                               std::to_string(kWidestPicture) + " pixels");
        return false;
    }
    return true;
}

bool Batch::Draw(const Loaded& loaded, int width, int height, DrawnPicture& frame) {
    bool drawn = false;
    try {
        const FieldRowPainter painter(loaded.settings);
        drawn =
            DrawClientPicture(frame.picture, nullptr, loaded.grid, painter, pool_, width, height);
    } catch (const std::bad_alloc&) {
        // reported below
    }
    if (!drawn) {
        Fail(loaded.index, "Not enough memory for a " + std::to_string(width) + " x " +
                               std::to_string(height) + " picture");
        return false;
    }
    GdiFlush();  // the texts are in the bits before another thread reads them
    frame.index = loaded.index;
    frame.width = width;
    frame.height = height;
    return true;
}

void Batch::Encode(DrawnPicture& frame, ImageFileWriter& writer) {
    const Input& in = inputs_[frame.index];
    std::string reason;
    // A picture alone has the pool to itself: its strips are compressed on it.
    WorkerPool* pool = inputs_.size() == 1 ? &pool_ : nullptr;
    ImageFileWriter::Outcome outcome = ImageFileWriter::Outcome::Failed;
    try {
        outcome =
            writer.Write(frame.picture.image(), frame.width, frame.height, FormatOfPath(in.output),
                         in.output, options_.overwrite, reason, in.path, pool);
    } catch (const std::exception& e) {
        reason = ExceptionReason(e);
    }
    switch (outcome) {
    case ImageFileWriter::Outcome::Written:
        Written(frame.index, frame.width, frame.height);
        break;
    case ImageFileWriter::Outcome::Exists:
        Fail(frame.index, ExistsReport(in.output));
        break;
    case ImageFileWriter::Outcome::Failed:
        Fail(frame.index, "Cannot write \"" + in.output + "\": " + reason);
        break;
    case ImageFileWriter::Outcome::Stopped:
        break;
    }
}

bool Batch::OneByOne() {
    ImageFileWriter writer;
    writer.SetPngEncoding(tuning_.png);
    writer.SetStop(stop_);
    Loaded loaded;
    DrawnPicture frame;
    GridTextBuffer text;
    for (size_t k = 0; k < inputs_.size() && !Stopping(); ++k) {
        Load(k, loaded, text);
        int w = 0, h = 0;
        if (!loaded.failure.empty())
            Fail(k, loaded.failure);
        else if (SizeOf(loaded, w, h) && Draw(loaded, w, h, frame))
            Encode(frame, writer);
        loaded.grid = Grid();
    }
    return !failed_;
}

bool Batch::Pipelined() {
    unsigned encoders = tuning_.encoders != 0 ? tuning_.encoders : std::min(4u, pool_.Threads());
    encoders = unsigned(std::max<size_t>(1, std::min<size_t>(encoders, inputs_.size())));
    // Two loaded inputs (one drawn while the next loads) and a picture for
    // each encoder and one more to draw into.
    Loaded loadedInputs[2];
    std::vector<DrawnPicture> pictures(encoders + 1);
    Handoff<Loaded> freeLoaded, loaded;
    Handoff<DrawnPicture> freePictures, drawn;
    for (Loaded& l : loadedInputs) freeLoaded.Push(&l);
    for (DrawnPicture& s : pictures) freePictures.Push(&s);

    // On a stop nothing new is loaded, drawn or encoded (an encoder gives up
    // the file at hand), but every slot still goes back to its queue, so that
    // no thread waits for one that is never freed: the loader ends, the
    // drawing thread and the encoders hand back what they are given.
    std::thread loader([&] {
        GridTextBuffer text;
        for (size_t k = 0; k < inputs_.size(); ++k) {
            Loaded* into = freeLoaded.Pop();
            if (Stopping()) break;
            Load(k, *into, text);
            loaded.Push(into);
        }
        loaded.Close();
    });
    std::vector<std::thread> encoding;
    for (unsigned e = 0; e < encoders; ++e)
        encoding.emplace_back([&] {
            ImageFileWriter writer;
            writer.SetPngEncoding(tuning_.png);
            writer.SetStop(stop_);
            while (DrawnPicture* frame = drawn.Pop()) {
                if (!Stopping()) Encode(*frame, writer);
                freePictures.Push(frame);
            }
        });

    while (Loaded* in = loaded.Pop()) {
        int w = 0, h = 0;
        if (Stopping()) {
            // not drawn
        } else if (!in->failure.empty()) {
            Fail(in->index, in->failure);
        } else if (SizeOf(*in, w, h)) {
            DrawnPicture* frame = freePictures.Pop();
            if (size_t(w) * size_t(h) * sizeof(uint32_t) > kPictureBudget / pictures.size()) {
                // A large picture: drawn only while no other is held.
                freePictures.WaitFor(pictures.size() - 1);
                for (DrawnPicture* idle : freePictures.Peek()) idle->picture.Release();
            }
            if (!Stopping() && Draw(*in, w, h, *frame))  // a stop may come while it waits
                drawn.Push(frame);
            else
                freePictures.Push(frame);
        }
        in->grid = Grid();
        freeLoaded.Push(in);
    }
    drawn.Close();
    for (std::thread& t : encoding) t.join();
    loader.join();
    return !failed_;
}

bool Batch::Stopped(std::string& report) {
    if (!Stopping() || done_ == inputs_.size()) return false;
    report = std::string(kExporterName) + ": stopped after " + std::to_string(done_) + " of " +
             std::to_string(inputs_.size());
    return true;
}

}  // namespace

int ExportAll(const ExportOptions& options, const ExportTuning& tuning, Console& console,
              const std::atomic<bool>* stop) {
    Batch run(options, tuning, console, stop);
    const std::string error = run.Prepare();
    if (!error.empty()) return UsageError(console, error);
    const bool all = tuning.pipelined ? run.Pipelined() : run.OneByOne();
    std::string report;
    if (!run.Stopped(report)) return all ? 0 : 1;
    console.Err(report);
    return kStoppedStatus;
}
