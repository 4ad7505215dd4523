// The exporter's batch: the inputs and their outputs checked first, then the
// load, draw and encode steps, one after another or overlapping.
#include "exporter/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "common/failure.h"
#include "common/worker_pool.h"
#include "data/grid.h"
#include "data/inputs.h"
#include "data/settings.h"
#include "exporter/batch_inputs.h"
#include "exporter/frame_sink.h"
#include "exporter/handoff.h"
#include "exporter/image_file.h"
#include "gdi/client_picture.h"
#include "gdi/main_window_frame.h"
#include "render/field_row.h"
#include "win/atomic_write.h"
#include "win/file_facts.h"

namespace quorlane {

namespace {

// The off-screen pictures of a run may take this much memory together;
// a larger picture is drawn only while no other is held.
constexpr size_t kPictureBudget = size_t(1) << 30;

// The report of an output that exists and is not to be replaced.
std::string ExistsReport(const std::string& output) {
    return "\"" + output + "\" exists (--overwrite replaces it)";
}

// An input loaded and waiting to be drawn.
struct Loaded {
    size_t index = 0;
    Grid grid;
    DisplaySettings settings;
    std::string failure;  // not loaded: why
};

// A picture drawn and waiting to be encoded.
struct DrawnPicture {
    OffscreenPicture offscreen{PictureSizing::Exact};
    size_t index = 0;
    int width = 0, height = 0;
};

// The slots of a pipelined run and the queues that hand them on: two loaded
// inputs (one drawn while the next loads) and a picture for each encoder and
// one more to draw into, each free or waiting for its next step.
struct Pipeline {
    explicit Pipeline(unsigned encoders) : pictures(encoders + 1) {
        for (Loaded& l : loadedInputs) freeLoaded.Push(&l);
        for (DrawnPicture& p : pictures) freePictures.Push(&p);
    }
    Loaded loadedInputs[2];
    std::vector<DrawnPicture> pictures;
    Handoff<Loaded> freeLoaded, loaded;
    Handoff<DrawnPicture> freePictures, drawn;
};

class Batch {
  public:
    Batch(const ExportOptions& options, const ExportTuning& tuning, Console& console,
          const std::atomic<bool>* stop)
        : options_(options), tuning_(tuning), console_(console), stop_(stop) {}

    // The outputs of every input; a usage error's text when one's name is
    // refused, two inputs would write one file or an output is an input's.
    std::string Prepare() { return PrepareInputs(options_, inputs_); }
    // Every input in order; true when all were written.
    bool OneByOne();
    bool Pipelined();
    // Whether the run was stopped before every input was done; `report`
    // then says how far it got.
    bool Stopped(std::string& report);
    // Every input into one movie, or onto standard output: the exit status.
    int Movie();
    int Stream();

  private:
    bool StopAsked() const { return stop_ != nullptr && stop_->load(); }
    bool Stopping() const { return StopAsked() || abandoned_; }
    // Every input, pipelined or one by one as the tuning says.
    bool Run() { return tuning_.pipelined ? Pipelined() : OneByOne(); }
    void Report(const std::string& line) {
        console_.Err(std::string(kExporterCommand) + ": " + line);
    }
    // Loads input k, reading its grid text into `text`, which the loading
    // thread keeps from one input to the next.
    void Load(size_t k, Loaded& into, GridTextBuffer& text);
    // The client size of a loaded input; false (reported) when it has none
    // or it is too large.
    bool SizeOf(const Loaded& loaded, int& width, int& height);
    bool Draw(const Loaded& loaded, int width, int height, DrawnPicture& picture);
    void Encode(DrawnPicture& picture, ImageFileWriter& writer);
    // The steps of a pipelined run, each on a thread of its own: every input
    // loaded in turn, the loaded ones drawn, the drawn ones encoded (on as
    // many threads as the pipeline has encoders).
    unsigned EncoderCount() const;
    void LoadEach(Pipeline& pipeline);
    void DrawEach(Pipeline& pipeline);
    void DrawOne(Pipeline& pipeline, const Loaded& in, int width, int height);
    void EncodeEach(Pipeline& pipeline);
    void Fail(size_t k, const std::string& message);
    void Written(size_t k, int width, int height);

    const ExportOptions& options_;
    const ExportTuning& tuning_;
    Console& console_;
    const std::atomic<bool>* stop_;  // set (on another thread) to stop the run
    WorkerPool pool_{WorkerPool::CoreThreads()};
    std::vector<BatchInput> inputs_;
    // A movie's frames or the pictures on standard output, in the inputs'
    // order; without it, each input its own file.
    FrameSink* sink_ = nullptr;
    std::atomic<bool> abandoned_{false};  // the sink takes nothing more
    std::string sinkFailure_;             // why
    std::mutex reports_;                  // the two below
    size_t done_ = 0;
    bool failed_ = false;
};

void Batch::Fail(size_t k, const std::string& message) {
    std::lock_guard<std::mutex> lock(reports_);
    ++done_;
    failed_ = true;
    console_.Err(std::string(kExporterCommand) + ": " + inputs_[k].path + ": " + message);
}

void Batch::Written(size_t k, int width, int height) {
    std::lock_guard<std::mutex> lock(reports_);
    ++done_;
    if (options_.quiet) return;
    const std::string line =
        ProgressLine(done_, inputs_.size(), inputs_[k].path, inputs_[k].output, width, height);
    // Pictures on standard output leave it to them.
    if (options_.toStandardOutput)
        console_.Err(line);
    else
        console_.Out(line);
}

void Batch::Load(size_t k, Loaded& into, GridTextBuffer& text) {
    const BatchInput& in = inputs_[k];
    into.index = k;
    into.failure = in.failure;
    if (!into.failure.empty()) return;
    if (sink_ == nullptr && !options_.overwrite && ThereAsNamed(in.output)) {
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

bool Batch::Draw(const Loaded& loaded, int width, int height, DrawnPicture& picture) {
    bool drawn = false;
    try {
        const FieldRowPainter painter(loaded.settings);
        drawn = DrawClientPicture(picture.offscreen, nullptr, loaded.grid, painter, pool_, width,
                                  height);
    } catch (const std::bad_alloc&) {
        // reported below
    }
    if (!drawn) {
        Fail(loaded.index, "Not enough memory for a " + std::to_string(width) + " x " +
                               std::to_string(height) + " picture");
        return false;
    }
    GdiFlush();  // the texts are in the bits before another thread reads them
    picture.index = loaded.index;
    picture.width = width;
    picture.height = height;
    return true;
}

void Batch::Encode(DrawnPicture& picture, ImageFileWriter& writer) {
    const BatchInput& in = inputs_[picture.index];
    std::string reason;
    if (sink_ != nullptr) {
        FrameSink::Outcome taken = FrameSink::Outcome::Broken;
        try {
            taken = sink_->Take(picture.offscreen.image(), picture.width, picture.height, in.path,
                                reason);
        } catch (const std::exception& e) {
            reason = ExceptionReason(e);
        }
        if (taken == FrameSink::Outcome::Taken) {
            Written(picture.index, picture.width, picture.height);
        } else if (taken == FrameSink::Outcome::OtherSize) {
            Fail(picture.index, reason);
        } else if (!StopAsked()) {
            sinkFailure_ = reason;
            abandoned_ = true;
        }
        return;
    }
    // A picture alone has the pool to itself: its strips are compressed on it.
    WorkerPool* pool = inputs_.size() == 1 ? &pool_ : nullptr;
    ImageFileWriter::Outcome outcome = ImageFileWriter::Outcome::Failed;
    try {
        outcome = writer.Write(picture.offscreen.image(), picture.width, picture.height,
                               FormatOfPath(in.output), in.output, options_.overwrite, reason,
                               in.path, pool);
    } catch (const std::exception& e) {
        reason = ExceptionReason(e);
    }
    switch (outcome) {
    case ImageFileWriter::Outcome::Written:
        Written(picture.index, picture.width, picture.height);
        break;
    case ImageFileWriter::Outcome::Exists:
        Fail(picture.index, ExistsReport(in.output));
        break;
    case ImageFileWriter::Outcome::Failed:
        Fail(picture.index, "Cannot write \"" + in.output + "\": " + reason);
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
    DrawnPicture picture;
    GridTextBuffer text;
    for (size_t k = 0; k < inputs_.size() && !Stopping(); ++k) {
        Load(k, loaded, text);
        int w = 0, h = 0;
        if (!loaded.failure.empty())
            Fail(k, loaded.failure);
        else if (SizeOf(loaded, w, h) && Draw(loaded, w, h, picture))
            Encode(picture, writer);
        loaded.grid = Grid();
    }
    return !failed_;
}

unsigned Batch::EncoderCount() const {
    // A movie or a stream takes its pictures in order, from one thread.
    if (sink_ != nullptr) return 1;
    const unsigned asked = tuning_.encoders != 0 ? tuning_.encoders : std::min(4u, pool_.Threads());
    return unsigned(std::max<size_t>(1, std::min<size_t>(asked, inputs_.size())));
}

void Batch::LoadEach(Pipeline& pipeline) {
    GridTextBuffer text;
    for (size_t k = 0; k < inputs_.size(); ++k) {
        Loaded* into = pipeline.freeLoaded.Pop();
        if (Stopping()) break;
        Load(k, *into, text);
        pipeline.loaded.Push(into);
    }
    pipeline.loaded.Close();
}

void Batch::DrawOne(Pipeline& pipeline, const Loaded& in, int width, int height) {
    DrawnPicture* picture = pipeline.freePictures.Pop();
    const size_t slots = pipeline.pictures.size();
    if (size_t(width) * size_t(height) * sizeof(uint32_t) > kPictureBudget / slots) {
        // A large picture: drawn only while no other is held.
        pipeline.freePictures.WaitFor(slots - 1);
        for (DrawnPicture* idle : pipeline.freePictures.Peek()) idle->offscreen.Release();
    }
    if (!Stopping() && Draw(in, width, height, *picture))  // a stop may come while it waits
        pipeline.drawn.Push(picture);
    else
        pipeline.freePictures.Push(picture);
}

void Batch::DrawEach(Pipeline& pipeline) {
    while (Loaded* in = pipeline.loaded.Pop()) {
        int w = 0, h = 0;
        if (Stopping()) {
            // not drawn
        } else if (!in->failure.empty()) {
            Fail(in->index, in->failure);
        } else if (SizeOf(*in, w, h)) {
            DrawOne(pipeline, *in, w, h);
        }
        in->grid = Grid();
        pipeline.freeLoaded.Push(in);
    }
    pipeline.drawn.Close();
}

void Batch::EncodeEach(Pipeline& pipeline) {
    ImageFileWriter writer;
    writer.SetPngEncoding(tuning_.png);
    writer.SetStop(stop_);
    while (DrawnPicture* picture = pipeline.drawn.Pop()) {
        if (!Stopping()) Encode(*picture, writer);
        pipeline.freePictures.Push(picture);
    }
}

bool Batch::Pipelined() {
    Pipeline pipeline(EncoderCount());
    // On a stop nothing new is loaded, drawn or encoded (an encoder gives up
    // the file at hand), but every slot still goes back to its queue, so that
    // no thread waits for one that is never freed: the loader ends, the
    // drawing thread and the encoders hand back what they are given.
    std::thread loader([&] { LoadEach(pipeline); });
    std::vector<std::thread> encoding;
    for (size_t e = 1; e < pipeline.pictures.size(); ++e)
        encoding.emplace_back([&] { EncodeEach(pipeline); });
    DrawEach(pipeline);
    for (std::thread& t : encoding) t.join();
    loader.join();
    return !failed_;
}

bool Batch::Stopped(std::string& report) {
    if (!StopAsked() || done_ == inputs_.size()) return false;
    report = std::string(kExporterCommand) + ": stopped after " + std::to_string(done_) + " of " +
             std::to_string(inputs_.size());
    return true;
}

int Batch::Movie() {
    const std::string& movie = options_.pattern;
    if (!options_.overwrite && ThereAsNamed(movie)) {
        Report(ExistsReport(movie));
        return 1;
    }
    std::string temporary, reason;
    AtomicWrite how;
    how.path = movie;
    how.replace = options_.overwrite;
    how.temporaryPath = [&](unsigned k) {
        return temporary = TemporaryOutputPath(movie, GetCurrentProcessId(), k);
    };
    how.nameTooLong = FileNameTooLong(movie);
    how.shared = true;  // ffmpeg writes it by its name
    MovieEncoding encoding;
    encoding.format = options_.movie;
    encoding.fps = options_.fps;
    encoding.quality = options_.quality;
    size_t frames = 0;
    const auto start = std::chrono::steady_clock::now();
    HRESULT error = S_OK;
    const AtomicWriteOutcome outcome = WriteAtomically(
        how,
        [&](HANDLE) -> HRESULT {
            encoding.output = temporary;
            MovieFrames sink(options_.ffmpeg, encoding, stop_,
                             [&](const std::string& note) { console_.Err(note); });
            sink_ = &sink;
            Run();
            sink_ = nullptr;
            frames = sink.Frames();
            if (StopAsked() || abandoned_) {
                sink.Kill();
                reason = sinkFailure_;
                return StopAsked() ? E_ABORT : E_FAIL;
            }
            if (frames == 0) {
                reason = "no picture to make it of";
                return E_FAIL;
            }
            if (sink.Finish(reason)) return S_OK;
            return StopAsked() ? E_ABORT : E_FAIL;
        },
        error);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string report;
    switch (outcome) {
    case AtomicWriteOutcome::Written:
        if (!options_.quiet) console_.Out(FramesLine(frames, seconds));
        return failed_ ? 1 : 0;
    case AtomicWriteOutcome::Stopped:
        if (!Stopped(report))
            report = std::string(kExporterCommand) + ": stopped after " + std::to_string(done_) +
                     " of " + std::to_string(inputs_.size());
        console_.Err(report);
        return kStoppedStatus;
    case AtomicWriteOutcome::Exists:
        Report(ExistsReport(movie));
        return 1;
    case AtomicWriteOutcome::NameTooLong:
        reason = "the name is too long";
        break;
    case AtomicWriteOutcome::Failed:
        if (reason.empty()) reason = ErrorReason(error);
        break;
    }
    Report("Cannot write \"" + movie + "\": " + reason);
    return 1;
}

int Batch::Stream() {
    PictureStream sink(options_.streamFormat);
    sink_ = &sink;
    const bool all = Run();
    sink_ = nullptr;
    std::string report;
    if (Stopped(report)) {
        console_.Err(report);
        return kStoppedStatus;
    }
    if (abandoned_) {
        Report("Cannot write to standard output: " + sinkFailure_);
        return 1;
    }
    return all ? 0 : 1;
}

}  // namespace

int ExportAll(const ExportOptions& options, const ExportTuning& tuning, Console& console,
              const std::atomic<bool>* stop) {
    Batch run(options, tuning, console, stop);
    const std::string error = run.Prepare();
    if (!error.empty()) return UsageError(console, error);
    if (options.movie != MovieFormat::None) return run.Movie();
    if (options.toStandardOutput) return run.Stream();
    const bool all = tuning.pipelined ? run.Pipelined() : run.OneByOne();
    std::string report;
    if (!run.Stopped(report)) return all ? 0 : 1;
    console.Err(report);
    return kStoppedStatus;
}

}  // namespace quorlane
