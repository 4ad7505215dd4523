#pragma once
// The exporter's run inside ExportAll: the inputs and their outputs, the load,
// draw and encode steps of one input, and the runs made of them. The steps
// and the one-by-one run are in batch.cpp, the pipelined run in
// batch_pipeline.cpp, a movie and a picture stream in batch_movie.cpp.
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "common/names.h"
#include "common/worker_pool.h"
#include "data/grid.h"
#include "data/settings.h"
#include "exporter/batch.h"
#include "exporter/batch_inputs.h"
#include "exporter/frame_sink.h"
#include "exporter/image_file.h"
#include "gdi/offscreen_picture.h"

namespace quorlane {

// The report of an output that exists and is not to be replaced.
inline std::string ExistsReport(const std::string& output) {
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

struct Pipeline;

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
    // A picture handed to the movie or the stream.
    void EncodeIntoSink(const DrawnPicture& picture);
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

}  // namespace quorlane
