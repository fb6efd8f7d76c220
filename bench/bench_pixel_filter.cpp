// The node pixel filter's cost per render sample: one evaluate call with
// nothing connected, with Color fed by a pixel access node through one
// multiply, and with all seventeen root inputs fed by a pixel access node.
// Targets: at most 40, 150 and 1,500 ns per sample.
#include <fakes.h>
#include <module_file.h>

#include <minihost/filters.h>
#include <minihost/render/sample_access.h>

#include <shared/channels.h>
#include <shared/servernames.h>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace minihost;

// A host with the module, one pixel filter, one pixel access node in its
// network and one sample of made-up buffer values.
struct Bench {
    Bench() {
        host.loadModule(testing_paths::moduleFile());
        filter = std::make_unique<PixelFilter>();
        const NodeHandler& nodes = host.nodeHandler(SERVER_PIXEL_NODE);
        node =
            std::make_unique<ServerInstance>(*nodes.inst, accessNode.handle(), SERVER_PIXEL_NODE);
        for (fakes::Editor& e : graph.editors())
            if (e.userData == filter->get())
                editor = &e;
        editor->members.push_back({&nodes, node->get()});
        for (int code = 0; code < 40; ++code)
            values[static_cast<std::size_t>(code)] = 0.01f * static_cast<float>(code);
        access.setSample(12.25, 7.5, values);
        filter->init(1);
        filter->newTime(0, 0.0);
    }
    ~Bench() { filter->cleanup(); }

    fakes::Input& root(int channel) { return *editor->input(bufferChannels[channel].name); }
    fakes::Output& output(int channel) { return *accessNode.output(bufferChannels[channel].name); }
    fakes::Member member() { return {&host.nodeHandler(SERVER_PIXEL_NODE), node->get()}; }

    void run(benchmark::State& state) {
        const PixelFilterHandler& handler = host.pixelFilterHandler(SERVER_PIXEL_FILTER);
        Instance instance = filter->get();
        for (auto _ : state)
            access.run([&](const PixelAccess& record) { handler.evaluate(instance, &record); });
        state.SetItemsProcessed(state.iterations());
        benchmark::DoNotOptimize(values);
    }

    Host host;
    fakes::NodeGraph graph{host};
    fakes::Node& accessNode = graph.makeNode("Access");
    std::unique_ptr<PixelFilter> filter;
    std::unique_ptr<ServerInstance> node;
    fakes::Editor* editor = nullptr;
    SampleValues values{};
    SampleAccess access;
};

void nothingConnected(benchmark::State& state) {
    Bench bench;
    bench.run(state);
}

void colourThroughOneMultiply(benchmark::State& state) {
    Bench bench;
    const fakes::Member member = bench.member();
    fakes::Output& colour = bench.output(0);
    bench.root(0).source = [&](NodalSample& sample, double* out) {
        fakes::NodeGraph::evaluateOutput(member, colour, sample, out);
        for (int c = 0; c < 3; ++c)
            out[c] *= 0.5;
    };
    bench.run(state);
}

void allInputsConnected(benchmark::State& state) {
    Bench bench;
    const fakes::Member member = bench.member();
    for (int i = 0; i < CHANNEL_COUNT; ++i)
        bench.root(i).source = fakes::NodeGraph::fromOutput(member, bench.output(i));
    bench.run(state);
}

} // namespace

BENCHMARK(nothingConnected);
BENCHMARK(colourThroughOneMultiply);
BENCHMARK(allInputsConnected);
