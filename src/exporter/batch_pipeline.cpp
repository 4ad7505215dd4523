// The pipelined run: a loading thread, the drawing on the main thread and the
// encoding threads, each step handing its slots on to the next.
#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "exporter/batch_run.h"
#include "exporter/handoff.h"

namespace quorlane {

namespace {

// The off-screen pictures of a run may take this much memory together;
// a larger picture is drawn only while no other is held.
constexpr size_t kPictureBudget = size_t(1) << 30;

}  // namespace

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

}  // namespace quorlane
