// Passes cut short over and over: image filter passes aborted at every
// point through the progress monitor, renders whose pixel filter throws in
// the middle. Each ends with the network's render state cleaned up, and the
// next full pass gives the same image as one that was never interrupted.
#include "stress.h"

#include <minihost/filters.h>
#include <minihost/nodes/network.h>
#include <minihost/panels.h>
#include <minihost/render/frame_buffers.h>
#include <minihost/render/image_filter_pass.h>
#include <minihost/render/progress_tracker.h>
#include <minihost/render/renderer.h>
#include <minihost/render/sample_filter.h>
#include <minihost/scenefile/scene_document.h>
#include <shared/servernames.h>

#include <stdexcept>

namespace {

using namespace minihost;

class PassCycles : public stress::Lifecycle {
  protected:
    // A 16 x 32 frame rendered for the image access node's needs.
    FrameBuffers frame(uint32_t flags) {
        RenderJob job;
        job.settings.width = 16;
        job.settings.height = 32;
        job.settings.samplesPerPixel = 1;
        job.imageFilterFlags = flags;
        return renderFrame(job);
    }
};

TEST_F(PassCycles, AbortedImagePassesLeaveTheFilterReadyForTheNextPass) {
    ImageFilter filter;
    Network& net = networkOf(filter.get());
    net.addModule(SERVER_IMAGE_NODE, "access").panel()->set(0x800C, 1);
    net.addBuiltin("color_multiply", "twice");
    net.setDefault("twice", "B", {2.0, 2.0, 2.0});
    net.connect("access", "Color", "twice", "A");
    net.connect("twice", "Result", "Root", "Color");

    FrameBuffers reference = frame(filter.flags());
    runImageFilter(filter, reference);
    const auto expected =
        std::vector<float>(reference.output().data().begin(), reference.output().data().end());

    for (int i = 0, n = stress::cycles(1000); i < n; ++i) {
        FrameBuffers buffers = frame(filter.flags());
        ProgressTracker progress;
        progress.abortFromStep(1 + static_cast<uint32_t>(i % 5)); // 32 rows: 4 steps
        runImageFilter(filter, buffers, progress.record());
        ASSERT_EQ(progress.aborted(), i % 5 < 4) << "cycle " << i;
        ASSERT_EQ(progress.done(), i % 5 == 4);
        ringTraffic();
        if (i % 50 == 0) {
            FrameBuffers full = frame(filter.flags());
            runImageFilter(filter, full);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), full.output().data().begin()))
                << "after abort " << i;
        }
    }
}

// Throws from a chosen sample on, as a host whose render fails would stop.
class FailingAfter final : public SampleFilter {
  public:
    FailingAfter(SampleFilter& inner, int failAt) : inner_(inner), failAt_(failAt) {}
    uint32_t flags() const override { return inner_.flags(); }
    void init(int32_t mode) override { inner_.init(mode); }
    void newTime(int32_t frame, double time) override { inner_.newTime(frame, time); }
    void evaluate(const PixelAccess& access) override {
        if (++samples_ >= failAt_)
            throw std::runtime_error("render stopped");
        inner_.evaluate(access);
    }
    void cleanup() override { inner_.cleanup(); }

  private:
    SampleFilter& inner_;
    int failAt_;
    int samples_ = 0;
};

TEST_F(PassCycles, RendersStoppedMidFrameLeaveThePixelFilterReady) {
    PixelFilter filter;
    Network& net = networkOf(filter.get());
    net.addModule(SERVER_PIXEL_NODE, "access").panel()->set(0x8003, 1);
    net.addBuiltin("multiply", "half");
    net.setDefault("half", "B", {0.5, 0.0, 0.0});
    net.connect("access", "Alpha", "half", "A");
    net.connect("half", "Result", "Root", "Alpha");
    PixelFilterAdapter adapter(filter);

    auto render = [&](SampleFilter& sampleFilter) {
        RenderJob job;
        job.settings.width = 8;
        job.settings.height = 6;
        job.settings.samplesPerPixel = 1;
        job.pixelFilters.push_back(&sampleFilter);
        return renderFrame(job);
    };
    const FrameBuffers reference = render(adapter);
    const auto expected =
        std::vector<float>(reference.output().data().begin(), reference.output().data().end());

    for (int i = 0, n = stress::cycles(1000); i < n; ++i) {
        FailingAfter failing(adapter, 1 + i % 48);
        EXPECT_THROW(render(failing), std::runtime_error);
        ringTraffic();
        if (i % 50 == 0) {
            const FrameBuffers full = render(adapter);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), full.output().data().begin()))
                << "after stop " << i;
        }
    }
}

} // namespace
