// The node pixel filter's cost per render sample, in minihost's own node
// editor: one evaluate call with nothing connected, with Color fed by a pixel
// access node through one multiply, and with all seventeen root inputs fed by
// a pixel access node. Targets: at most 40, 150 and 1,500 ns per sample.
#include <minihost/filters.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/render/sample_access.h>

#include <shared/channels.h>
#include <shared/ring.h>
#include <shared/servernames.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace minihost;

// A host with the module, one pixel filter with a pixel access node in its
// network, and one sample of made-up buffer values.
struct Bench {
    Bench() {
        host.loadModule(TAVI_MODULE_FILE);
        filter = std::make_unique<PixelFilter>();
        network = &host.nodeEditors().findByUserData(filter->get())->network();
        network->addModule(SERVER_PIXEL_NODE, "access");
        for (std::size_t code = 0; code < values.size(); ++code)
            values[code] = 0.01f * static_cast<float>(code);
        access.setSample(12.25, 7.5, values);
    }
    ~Bench() { filter.reset(); }

    void run(benchmark::State& state) {
        filter->init(1);
        filter->newTime(0, 0.0);
        const PixelFilterHandler& handler = host.pixelFilterHandler(SERVER_PIXEL_FILTER);
        Instance instance = filter->get();
        for (auto _ : state)
            access.run([&](const PixelAccess& record) { handler.evaluate(instance, &record); });
        filter->cleanup();
        state.SetItemsProcessed(state.iterations());
        benchmark::DoNotOptimize(values);
    }

    Host host;
    std::unique_ptr<PixelFilter> filter;
    Network* network = nullptr;
    SampleValues values{};
    SampleAccess access;
};

void nothingConnected(benchmark::State& state) {
    Bench bench;
    bench.run(state);
}

void colourThroughOneMultiply(benchmark::State& state) {
    Bench bench;
    bench.network->addBuiltin("color_multiply", "scale");
    bench.network->setDefault("scale", "B", {0.5, 0.5, 0.5});
    bench.network->connect("access", "Color", "scale", "A");
    bench.network->connect("scale", "Result", "Root", "Color");
    bench.run(state);
}

void allInputsConnected(benchmark::State& state) {
    Bench bench;
    for (const BufferChannel& channel : bufferChannels)
        bench.network->connect("access", channel.name, "Root", channel.name);
    bench.run(state);
}

// Not the filter: the host calls one unconnected evaluate makes (one ring
// message, seventeen connected tests, get and set of Color and Alpha), so
// the filter's own share of nothingConnected can be read off.
void hostCallsOfNothingConnected(benchmark::State& state) {
    Bench bench;
    const auto* ring = static_cast<const RingFuncs*>(Host::lookup(SERVICE_RING, 0));
    const auto* inputs = static_cast<const NodeInputFuncs*>(Host::lookup(SERVICE_NODE_INPUT, 0));
    std::vector<NodeInputID> roots;
    for (const auto& input : bench.network->root().inputs())
        roots.push_back(input->handle());
    for (auto _ : state)
        bench.access.run([&](const PixelAccess& record) {
            AccessMessage message{&record, nullptr};
            ring->message(RING_TOPIC_PIXEL, RING_SAMPLE_ACCESS, &message);
            for (NodeInputID input : roots)
                benchmark::DoNotOptimize(inputs->connected(input));
            float rgba[4];
            record.getValue(BUFFER_RED, 3, rgba);
            record.setValue(BUFFER_RED, 3, rgba);
            record.getValue(BUFFER_ALPHA, 1, rgba + 3);
            record.setValue(BUFFER_ALPHA, 1, rgba + 3);
        });
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(nothingConnected);
BENCHMARK(colourThroughOneMultiply);
BENCHMARK(allInputsConnected);
BENCHMARK(hostCallsOfNothingConnected);
