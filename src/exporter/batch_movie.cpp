// A movie and a picture stream: every input's picture handed in order to one
// FrameSink, ffmpeg's input or standard output.
#include <chrono>

#include "common/failure.h"
#include "exporter/batch_run.h"
#include "win/atomic_write.h"
#include "win/file_facts.h"

namespace quorlane {

void Batch::EncodeIntoSink(const DrawnPicture& picture) {
    const BatchInput& in = inputs_[picture.index];
    std::string reason;
    FrameSink::Outcome taken = FrameSink::Outcome::Broken;
    try {
        taken =
            sink_->Take(picture.offscreen.image(), picture.width, picture.height, in.path, reason);
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

}  // namespace quorlane
