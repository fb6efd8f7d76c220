// The built-in renderer's speed: a 320 x 240 frame at 4 samples per pixel
// should take well under a second, with only the final image and with every
// render pass, and with a pixel filter that reads and writes each sample.
#include <minihost/render/renderer.h>

#include <benchmark/benchmark.h>

namespace {

using namespace minihost;

// Reads colour and writes it back, as a pass-through pixel filter does.
class PassThrough final : public SampleFilter {
  public:
    uint32_t flags() const override { return 0; }
    void init(int32_t) override {}
    void newTime(int32_t, double) override {}
    void evaluate(const PixelAccess& access) override {
        float rgb[3];
        access.getValue(kBufferFinalRed, 3, rgb);
        access.setValue(kBufferFinalRed, 3, rgb);
    }
    void cleanup() override {}
};

void renderDefaultFrame(benchmark::State& state) {
    RenderJob job;
    job.imageFilterFlags = static_cast<uint32_t>(state.range(0));
    PassThrough filter;
    if (state.range(1))
        job.pixelFilters.push_back(&filter);
    for (auto _ : state)
        benchmark::DoNotOptimize(renderFrame(job));
    state.SetItemsProcessed(state.iterations() * 320 * 240 * 4);
}

} // namespace

// Args: need flags of the image filters, whether a pixel filter runs.
BENCHMARK(renderDefaultFrame)
    ->Args({0, 0})
    ->Args({0xFFFFE, 0})
    ->Args({0xFFFFE, 1})
    ->Unit(benchmark::kMillisecond);
