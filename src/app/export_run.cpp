// The exporter's run: the inputs and their outputs checked first, then the
// load, draw and encode steps, one after another or overlapping.
#include "app/export_run.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "app/client_picture.h"
#include "app/handoff.h"
#include "app/image_file.h"
#include "common/worker_pool.h"
#include "data/grid.h"
#include "data/inputs.h"
#include "render/field_row.h"

namespace {

const char kProgram[] = "quorlane-export";

// The off-screen pictures of a run may take this much memory together;
// a larger picture is drawn only while no other is held.
constexpr size_t kPictureBudget = size_t(1) << 30;

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
struct Slot {
    OffscreenPicture picture{PictureSizing::Exact};
    size_t index = 0;
    int width = 0, height = 0;
};

class ExportRun {
  public:
    ExportRun(const ExportOptions& options, const ExportTuning& tuning, Console& console)
        : options_(options), tuning_(tuning), console_(console) {}

    // The outputs of every input; a usage error's text when one is unknown
    // or two inputs would write one file.
    std::string Prepare();
    // Every input in order; true when all were written.
    bool OneByOne();
    bool Pipelined();

  private:
    // Loads input k, reading its grid text into `text`, which the loading
    // thread keeps from one input to the next.
    void Load(size_t k, Loaded& into, GridTextBuffer& text);
    // The client size of a loaded input; false (reported) when it has none
    // or it is too large.
    bool SizeOf(const Loaded& loaded, int& width, int& height);
    bool Draw(const Loaded& loaded, int width, int height, Slot& slot);
    void Encode(Slot& slot, ImageFileWriter& writer);
    void Fail(size_t k, const std::string& message);
    void Written(size_t k, int width, int height);

    const ExportOptions& options_;
    const ExportTuning& tuning_;
    Console& console_;
    WorkerPool pool_{WorkerPool::CoreThreads()};
    std::vector<Input> inputs_;
    std::mutex reports_;  // the two below
    size_t done_ = 0;
    bool failed_ = false;
};

std::string ExportRun::Prepare() {
    std::vector<std::string> keys;
    for (size_t k = 0; k < options_.paths.size(); ++k) {
        Input in;
        in.path = options_.paths[k];
        const StartupResult r = ResolveArgument(in.path, in.files);
        if (r.ok) {
            in.output = ExpandOutputPattern(options_.pattern, in.files.stem, k + 1);
            if (FormatOfPath(in.output) == ImageFormat::Unknown)
                return "\"" + in.output +
                       "\": unknown picture format (name it .png, .bmp, .tif or .tiff)";
        } else {
            in.failure = r.message;
        }
        std::error_code ec;
        const std::filesystem::path full =
            std::filesystem::absolute(std::filesystem::u8path(in.output), ec);
        keys.push_back(in.output.empty() ? std::string() : ec ? in.output : full.u8string());
        inputs_.push_back(std::move(in));
    }
    size_t a = 0, b = 0;
    if (FindSharedOutput(keys, a, b))
        return "\"" + inputs_[a].path + "\" and \"" + inputs_[b].path + "\" would both write \"" +
               inputs_[b].output + "\"";
    return std::string();
}

void ExportRun::Fail(size_t k, const std::string& message) {
    std::lock_guard<std::mutex> lock(reports_);
    ++done_;
    failed_ = true;
    console_.Err(std::string(kProgram) + ": " + inputs_[k].path + ": " + message);
}

void ExportRun::Written(size_t k, int width, int height) {
    std::lock_guard<std::mutex> lock(reports_);
    ++done_;
    if (!options_.quiet)
        console_.Out(
            ProgressLine(done_, inputs_.size(), inputs_[k].path, inputs_[k].output, width, height));
}

void ExportRun::Load(size_t k, Loaded& into, GridTextBuffer& text) {
    const Input& in = inputs_[k];
    into.index = k;
    into.failure = in.failure;
    if (!into.failure.empty()) return;
    if (!options_.overwrite &&
        GetFileAttributesW(Utf16(in.output).c_str()) != INVALID_FILE_ATTRIBUTES) {
        into.failure = "\"" + in.output + "\" exists (--overwrite replaces it)";
        return;
    }
    into.settings = DisplaySettings();
    GridLoadOptions options;
    options.buffer = &text;
    const StartupResult r = LoadInputs(in.files, pool_, into.grid, into.settings, options);
    if (!r.ok) into.failure = r.message;
}

bool ExportRun::SizeOf(const Loaded& loaded, int& width, int& height) {
    width = options_.width;
    height = options_.height;
    if (!options_.sizeGiven) DefaultClientSize(loaded.settings, width, height);
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
    return true;
}

bool ExportRun::Draw(const Loaded& loaded, int width, int height, Slot& slot) {
    const FieldRowPainter painter(loaded.settings);
    if (!DrawClientPicture(slot.picture, nullptr, loaded.grid, painter, pool_, width, height)) {
        Fail(loaded.index, "Not enough memory for a " + std::to_string(width) + " x " +
                               std::to_string(height) + " picture");
        return false;
    }
    GdiFlush();  // the texts are in the bits before another thread reads them
    slot.index = loaded.index;
    slot.width = width;
    slot.height = height;
    return true;
}

void ExportRun::Encode(Slot& slot, ImageFileWriter& writer) {
    const Input& in = inputs_[slot.index];
    std::string reason;
    switch (writer.Write(slot.picture.image(), slot.width, slot.height, FormatOfPath(in.output),
                         in.output, options_.overwrite, reason)) {
    case ImageFileWriter::Outcome::Written:
        Written(slot.index, slot.width, slot.height);
        break;
    case ImageFileWriter::Outcome::Exists:
        Fail(slot.index, "\"" + in.output + "\" exists (--overwrite replaces it)");
        break;
    case ImageFileWriter::Outcome::Failed:
        Fail(slot.index, "Cannot write \"" + in.output + "\": " + reason);
        break;
    }
}

bool ExportRun::OneByOne() {
    ImageFileWriter writer;
    writer.SetPngFilter(tuning_.pngFilter);
    Loaded loaded;
    Slot slot;
    GridTextBuffer text;
    for (size_t k = 0; k < inputs_.size(); ++k) {
        Load(k, loaded, text);
        int w = 0, h = 0;
        if (!loaded.failure.empty())
            Fail(k, loaded.failure);
        else if (SizeOf(loaded, w, h) && Draw(loaded, w, h, slot))
            Encode(slot, writer);
        loaded.grid = Grid();
    }
    return !failed_;
}

bool ExportRun::Pipelined() {
    unsigned encoders = tuning_.encoders != 0 ? tuning_.encoders : std::min(4u, pool_.Threads());
    encoders = unsigned(std::max<size_t>(1, std::min<size_t>(encoders, inputs_.size())));
    // Two loaded inputs (one drawn while the next loads) and a picture for
    // each encoder and one more to draw into.
    Loaded loadedInputs[2];
    std::vector<Slot> slots(encoders + 1);
    Handoff<Loaded> freeLoaded, loaded;
    Handoff<Slot> freeSlots, drawn;
    for (Loaded& l : loadedInputs) freeLoaded.Push(&l);
    for (Slot& s : slots) freeSlots.Push(&s);

    std::thread loader([&] {
        GridTextBuffer text;
        for (size_t k = 0; k < inputs_.size(); ++k) {
            Loaded* into = freeLoaded.Pop();
            Load(k, *into, text);
            loaded.Push(into);
        }
        loaded.Close();
    });
    std::vector<std::thread> encoding;
    for (unsigned e = 0; e < encoders; ++e)
        encoding.emplace_back([&] {
            ImageFileWriter writer;
            writer.SetPngFilter(tuning_.pngFilter);
            while (Slot* slot = drawn.Pop()) {
                Encode(*slot, writer);
                freeSlots.Push(slot);
            }
        });

    while (Loaded* in = loaded.Pop()) {
        int w = 0, h = 0;
        if (!in->failure.empty()) {
            Fail(in->index, in->failure);
        } else if (SizeOf(*in, w, h)) {
            Slot* slot = freeSlots.Pop();
            if (size_t(w) * size_t(h) * sizeof(uint32_t) > kPictureBudget / slots.size()) {
                // A large picture: drawn only while no other is held.
                freeSlots.WaitFor(slots.size() - 1);
                for (Slot* idle : freeSlots.Peek()) idle->picture.Release();
            }
            if (Draw(*in, w, h, *slot))
                drawn.Push(slot);
            else
                freeSlots.Push(slot);
        }
        in->grid = Grid();
        freeLoaded.Push(in);
    }
    drawn.Close();
    for (std::thread& t : encoding) t.join();
    loader.join();
    return !failed_;
}

}  // namespace

Console::Console() : out_(GetStdHandle(STD_OUTPUT_HANDLE)), err_(GetStdHandle(STD_ERROR_HANDLE)) {}

void Console::Write(HANDLE handle, const std::string& line) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    const std::string text = line.empty() || line.back() != '\n' ? line + "\n" : line;
    std::lock_guard<std::mutex> lock(mutex_);
    DWORD mode = 0, n = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Utf16(text);
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &n, nullptr);
    } else {
        WriteFile(handle, text.data(), DWORD(text.size()), &n, nullptr);
    }
}

int UsageError(Console& console, const std::string& message) {
    console.Err(std::string(kProgram) + ": " + message + "\nTry \"" + kProgram + " --help\".");
    return 2;
}

void DefaultClientSize(const DisplaySettings& settings, int& width, int& height) {
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0);
    // The window is made with these sizes as ints, as CreateWindowExA takes them.
    const long long w = static_cast<int>(settings.windowWidth) - (frame.right - frame.left);
    const long long h = static_cast<int>(settings.windowHeight) - (frame.bottom - frame.top);
    width = int(std::max(0LL, w));
    height = int(std::max(0LL, h));
}

int RunExport(const ExportOptions& options, const ExportTuning& tuning, Console& console) {
    ExportRun run(options, tuning, console);
    const std::string error = run.Prepare();
    if (!error.empty()) return UsageError(console, error);
    const bool all = tuning.pipelined ? run.Pipelined() : run.OneByOne();
    return all ? 0 : 1;
}
