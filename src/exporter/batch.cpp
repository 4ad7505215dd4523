// The exporter's batch: the inputs and their outputs checked first, then the
// load, draw and encode steps of each input, and the run that takes the
// inputs one by one (batch_pipeline.cpp overlaps the steps).
#include "exporter/batch.h"

#include "common/failure.h"
#include "data/inputs.h"
#include "exporter/batch_run.h"
#include "gdi/client_picture.h"
#include "gdi/main_window_frame.h"
#include "render/field_row.h"
#include "win/file_facts.h"

namespace quorlane {

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
    if (sink_ != nullptr) {
        EncodeIntoSink(picture);
        return;
    }
    const BatchInput& in = inputs_[picture.index];
    std::string reason;
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

bool Batch::Stopped(std::string& report) {
    if (!StopAsked() || done_ == inputs_.size()) return false;
    report = std::string(kExporterCommand) + ": stopped after " + std::to_string(done_) + " of " +
             std::to_string(inputs_.size());
    return true;
}

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
