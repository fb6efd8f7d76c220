// Network evaluation speed: one input evaluate, as a filter makes it for
// every pixel, through one built-in node and through a chain of five.
#include <minihost/host.h>
#include <minihost/nodes/node_editor.h>

#include <benchmark/benchmark.h>

namespace {

using minihost::ValueType;

// An editor whose root input is fed by a chain of `length` nodes of `type`,
// each taking the previous one's result as its input "A".
struct Chain {
    Chain(const char* type, ValueType rootType, int length) {
        auto& editor = host.nodeEditors().create("Bench", "Bench", nullptr, nullptr);
        input = editor.addRootInput(rootType, "In").handle();
        auto& net = editor.network();
        std::string previous;
        for (int i = 0; i < length; ++i) {
            const std::string name = net.addBuiltin(type).name();
            net.setDefault(name, "B", {1.0, 2.0, 3.0});
            if (!previous.empty())
                net.connect(previous, "Result", name, "A");
            previous = name;
        }
        net.connect(previous, "Result", "Root", "In");
        funcs = static_cast<const NodeInputFuncs*>(minihost::Host::lookup(SERVICE_NODE_INPUT, 0));
    }

    minihost::Host host;
    NodeInputID input = nullptr;
    const NodeInputFuncs* funcs = nullptr;
};

void evaluateChain(benchmark::State& state, const char* type, ValueType rootType) {
    const int length = static_cast<int>(state.range(0));
    Chain chain(type, rootType, length);
    NodalSample sample{};
    double out[3] = {};
    for (auto _ : state) {
        chain.funcs->evaluate(chain.input, &sample, out);
        benchmark::DoNotOptimize(out);
    }
    // Time per node evaluated, besides the time per input evaluate.
    state.counters["per_node"] = benchmark::Counter(
        length, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ScalarAdd(benchmark::State& state) {
    evaluateChain(state, "add", ValueType::Scalar);
}
void BM_ColorAdd(benchmark::State& state) {
    evaluateChain(state, "color_add", ValueType::Color);
}
// A colour chain read by a scalar input: luminance conversion at the root.
void BM_ColorAddIntoScalar(benchmark::State& state) {
    evaluateChain(state, "color_add", ValueType::Scalar);
}

BENCHMARK(BM_ScalarAdd)->Arg(1)->Arg(5);
BENCHMARK(BM_ColorAdd)->Arg(1)->Arg(5);
BENCHMARK(BM_ColorAddIntoScalar)->Arg(1)->Arg(5);

} // namespace

BENCHMARK_MAIN();
