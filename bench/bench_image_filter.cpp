// The node image filter's speed over a 1920 x 1080 frame through minihost's
// node editor and render stand-in, single thread:
//   (a) nothing connected: the rendered colour and alpha pass through;
//   (b) Color fed straight from an image access node's Color;
//   (c) five nodes: access node, colour multiply, a ramp driven by depth, a
//       mix of the two, root;
// and (c)'s result computed by a hand-written loop on the same buffers, the
// floor that the network's overhead is measured against. Each reports
// megapixels per second ("Mpix/s"); (c) also checks that it matches the
// hand-written result and counts pixels that differ ("mismatches").
#include <minihost/filters.h>
#include <minihost/host.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/panels.h>
#include <minihost/render/frame_buffers.h>
#include <shared/servernames.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

using namespace minihost;

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr double kPixels = double(kWidth) * kHeight;

// (c)'s settings, shared with the hand-written loop.
constexpr double kTint[3] = {0.9, 0.8, 0.7};
constexpr double kRampEnd = 10.0; // depth at which the ramp reaches its last key
constexpr Value kNear{0.0, 0.0, 0.2};
constexpr Value kFar{1.0, 1.0, 1.0};
constexpr double kMixFactor = 0.25;

// A frame with final colour, alpha and depth holding smooth, varied values.
FrameBuffers makeFrame() {
    BufferCodeSet codes;
    for (int32_t code : {12, 32, 33, 34, 35})
        codes.set(code);
    FrameBuffers frame(kWidth, kHeight, codes);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            const float u = float(x) / kWidth, v = float(y) / kHeight;
            frame.row(32, y)[x] = u;
            frame.row(33, y)[x] = v;
            frame.row(34, y)[x] = 0.5f * (u + v);
            frame.row(35, y)[x] = 1.0f - 0.25f * u;
            frame.row(12, y)[x] = 12.0f * u * v; // crosses the ramp's end
        }
    }
    return frame;
}

enum class Form { NothingConnected, AccessColor, FiveNodes };

// A host with the module, one filter and its network in the given form.
struct Setup {
    explicit Setup(Form form) {
        host.loadModule(TAVI_MODULE_FILE);
        filter = std::make_unique<ImageFilter>();
        Network& net = host.nodeEditors().findByUserData(filter->get())->network();
        if (form == Form::NothingConnected)
            return;
        ModuleNode& access = net.addModule(SERVER_IMAGE_NODE, "access");
        access.panel()->set(0x800C, 1); // Depth
        if (form == Form::AccessColor) {
            net.connect("access", "Color", "Root", "Color");
            return;
        }
        net.addBuiltin("color_multiply", "tint");
        net.setDefault("tint", "B", {kTint[0], kTint[1], kTint[2]});
        net.connect("access", "Color", "tint", "A");
        net.addBuiltin("ramp", "fog");
        net.setRampKeys("fog", {{0.0, kNear}, {kRampEnd, kFar}});
        net.connect("access", "Depth", "fog", "Position");
        net.addBuiltin("color_mix", "blend");
        net.setDefault("blend", "Factor", {kMixFactor, 0.0, 0.0});
        net.connect("tint", "Result", "blend", "A");
        net.connect("fog", "Color", "blend", "B");
        net.connect("blend", "Result", "Root", "Color");
    }
    ~Setup() { filter.reset(); }

    Host host;
    std::unique_ptr<ImageFilter> filter;
};

// The image filter access record over a frame, as the render stand-in's
// pass builds it, minus the pass's reset of the output image to the rendered
// colour: that copy is the host's work before a pass, not the filter's, and
// would otherwise take a third of the time measured for (a). Its functions
// carry no context, so they find the frame through one pointer.
class DirectPass {
  public:
    explicit DirectPass(FrameBuffers& frame) {
        current = &frame;
        access_.width = frame.width();
        access_.height = frame.height();
        access_.getLine = getLine;
        access_.setRGB = setRGB;
        access_.setAlpha = setAlpha;
    }
    ~DirectPass() { current = nullptr; }
    DirectPass(const DirectPass&) = delete;
    DirectPass& operator=(const DirectPass&) = delete;
    const FilterAccess& access() const { return access_; }

  private:
    static float* getLine(int32_t code, int32_t row) noexcept { return current->row(code, row); }
    static void setRGB(int32_t x, int32_t y, const float rgb[3]) noexcept {
        if (float* pixel = current->output().pixel(x, y)) {
            pixel[0] = rgb[0];
            pixel[1] = rgb[1];
            pixel[2] = rgb[2];
        }
    }
    static void setAlpha(int32_t x, int32_t y, float alpha) noexcept {
        if (float* pixel = current->output().pixel(x, y))
            pixel[3] = alpha;
    }
    static inline FrameBuffers* current = nullptr;
    FilterAccess access_{};
};

double mix(double a, double b, double f) {
    return a + (b - a) * f;
}

// (c) without the network: the same arithmetic straight on the buffers.
void handWrittenFiveNodes(FrameBuffers& frame) {
    RgbaImage& out = frame.output();
    for (int32_t y = 0; y < kHeight; ++y) {
        const float* rgb[3] = {frame.row(32, y), frame.row(33, y), frame.row(34, y)};
        const float* alpha = frame.row(35, y);
        const float* depth = frame.row(12, y);
        for (int32_t x = 0; x < kWidth; ++x) {
            const double d = depth[x];
            Value fog;
            if (!(d > 0.0))
                fog = kNear;
            else if (!(d < kRampEnd))
                fog = kFar;
            else
                for (int c = 0; c < 3; ++c)
                    fog[c] = mix(kNear[c], kFar[c], d / kRampEnd);
            float* pixel = out.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                pixel[c] = float(mix(double(rgb[c][x]) * kTint[c], fog[c], kMixFactor));
            pixel[3] = alpha[x];
        }
    }
}

void reportRate(benchmark::State& state) {
    state.counters["Mpix/s"] =
        benchmark::Counter(kPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void runForm(benchmark::State& state, Form form) {
    Setup setup(form);
    FrameBuffers frame = makeFrame();
    const DirectPass pass(frame);
    for (auto _ : state) {
        setup.filter->process(pass.access());
        benchmark::ClobberMemory();
    }
    reportRate(state);
    if (form == Form::FiveNodes) {
        const std::vector<float> network(frame.output().data().begin(),
                                         frame.output().data().end());
        handWrittenFiveNodes(frame);
        double mismatches = 0;
        for (std::size_t i = 0; i < network.size(); ++i)
            mismatches += network[i] != frame.output().data()[i];
        state.counters["mismatches"] = mismatches;
    }
}

void BM_NothingConnected(benchmark::State& state) {
    runForm(state, Form::NothingConnected);
}
void BM_AccessColor(benchmark::State& state) {
    runForm(state, Form::AccessColor);
}
void BM_FiveNodes(benchmark::State& state) {
    runForm(state, Form::FiveNodes);
}
void BM_FiveNodesHandWritten(benchmark::State& state) {
    FrameBuffers frame = makeFrame();
    for (auto _ : state) {
        handWrittenFiveNodes(frame);
        benchmark::ClobberMemory();
    }
    reportRate(state);
}

BENCHMARK(BM_NothingConnected)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_AccessColor)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FiveNodes)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FiveNodesHandWritten)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
