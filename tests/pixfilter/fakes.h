// Recording stand-ins for what the pixel filter and its access node talk to
// beyond minihost's own services: the node-graph services (editor, nodes,
// inputs, outputs) and the per-sample pixel access record. They record every
// call the module makes so that tests can check what was read and written.
#pragma once

#include <minihost/host.h>

#include <host/hostapi.h>
#include <shared/nodalsample.h>

#include <array>
#include <functional>
#include <list>
#include <string>
#include <vector>

namespace fakes {

struct Node;

struct Output {
    Node* node;
    int32_t type;
    std::string name;
    NodeOutputID handle() { return reinterpret_cast<NodeOutputID>(this); }
};

struct Node {
    std::string name;
    int32_t mode = 0;
    std::list<Output> outputs;
    NodeID handle() { return reinterpret_cast<NodeID>(this); }
    Output* output(const std::string& outputName);
};

// What an input yields when evaluated: writes one or three doubles.
using Source = std::function<void(NodalSample& sample, double* out)>;

struct Input {
    int32_t type;
    std::string name;
    Source source; // connected when set
    int evaluations = 0;
    NodeInputID handle() { return reinterpret_cast<NodeInputID>(this); }
};

// A module node placed in an editor's network: render calls reach it.
struct Member {
    const NodeHandler* handler;
    Instance instance;
};

struct Editor {
    std::string name, title;
    NodeEditorInit init{};
    void* userData = nullptr;
    Node root;
    std::list<Input> inputs;
    EnvGroupID group = nullptr;
    NodeDisplayEventFunc displayEvent = nullptr;
    NodeAutosizeFunc autosize = nullptr;
    std::vector<Member> members;
    int32_t network = 0; // the network's whole state, as saved
    const char* loadResult = nullptr;
    const char* saveResult = nullptr;
    std::vector<std::string> calls; // "init 1", "newtime 3", "cleanup", "open", ...
    bool destroyed = false;

    Input* input(const std::string& inputName);
};

// Provides "NodeEditorFuncs", "NodeFuncs", "NodeInputFuncs" and
// "NodeOutputFuncs" on the host, replacing whatever it had. One at a time.
class NodeGraph {
  public:
    explicit NodeGraph(minihost::Host& host);
    ~NodeGraph();
    NodeGraph(const NodeGraph&) = delete;
    NodeGraph& operator=(const NodeGraph&) = delete;

    static NodeGraph& current();

    std::list<Editor>& editors() { return editors_; }
    Editor& lastEditor() { return editors_.back(); }
    Node& makeNode(std::string name);
    // Evaluates a module node's output as the host would for a connection.
    static void evaluateOutput(const Member& member, Output& output, NodalSample& sample,
                               double* out);
    // An input source reading a module node's output.
    static Source fromOutput(Member member, Output& output);

    void failNextCreate() { failNext_ = true; }
    // Output create answers null for outputs of this name.
    std::string failOutput;
    int setValueCalls = 0;

  private:
    friend struct NodeServices;
    std::list<Editor> editors_;
    std::list<Node> nodes_;
    bool failNext_ = false;
};

// "PanelFuncs" as minihost's, but remembering the get and set callbacks the
// module describes last, so that tests can call them with any arguments.
class PanelSpy {
  public:
    explicit PanelSpy(minihost::Host& host);
    ~PanelSpy();
    PanelSpy(const PanelSpy&) = delete;
    PanelSpy& operator=(const PanelSpy&) = delete;

    PanelGetFunc get = nullptr;
    PanelSetFunc set = nullptr;

  private:
    static int32_t describe(PanelID panel, const PanelDataDesc* data, PanelGetFunc get,
                            PanelSetFunc set);
    PanelFuncs table_;
};

// One render sample: a pixel access record over forty floats, recording the
// calls of get value and set value.
class Sample {
  public:
    struct Call {
        char kind; // 'g' get value, 's' set value
        int32_t code;
        int32_t count;
        bool operator==(const Call&) const = default;
    };

    Sample();
    ~Sample();
    Sample(const Sample&) = delete;
    Sample& operator=(const Sample&) = delete;

    PixelAccess record{};
    std::array<float, 40> values{};
    std::vector<Call> calls;

  private:
    static void getValue(int32_t code, int32_t count, float* out);
    static void setValue(int32_t code, int32_t count, const float* in);
};

} // namespace fakes
