// A node network: the root node with its root inputs, the built-in and
// module nodes, and the connections between them. The C++ API below is what
// tools and scene files edit networks with; each edit through it is reported
// to the owning editor's display-event function.
#pragma once

#include "builtin_nodes.h"
#include "module_node.h"
#include "node.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace minihost {

class NodeEditor;

struct InputInfo {
    std::string name;
    ValueType type;
    Value defaultValue;
    bool connected = false;
    std::string sourceNode;   // empty when not connected
    std::string sourceOutput; // empty when not connected
};

struct OutputInfo {
    std::string name;
    ValueType type;
};

struct NodeInfo {
    std::string name;
    std::string type;
    NodeKind kind;
    std::vector<InputInfo> inputs;
    std::vector<OutputInfo> outputs;
};

struct Connection {
    std::string fromNode, fromOutput, toNode, toInput;
    bool operator==(const Connection&) const = default;
};

// Nodes built for a network but not yet part of it (a load in progress),
// with what the root inputs are to receive when they are swapped in.
struct StagedNodes {
    std::vector<std::unique_ptr<Node>> nodes;
    std::vector<std::pair<Input*, Output*>> rootLinks; // root input <- staged output
    std::vector<std::pair<Input*, Value>> rootDefaults;
};

class Network {
  public:
    explicit Network(NodeEditor& editor);
    // Destroys every node, module instances through their destroy callbacks.
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    NodeEditor& editor() const { return *editor_; }
    RootNode& root() const { return *root_; }
    // The nodes besides the root, in the order they were added.
    const std::vector<std::unique_ptr<Node>>& nodes() const { return nodes_; }

    // The node of that name (the root included), or null.
    Node* find(std::string_view name) const;
    // The same, throwing HostError for an unknown name.
    Node& get(std::string_view name) const;
    ModuleNode& getModule(std::string_view name) const;
    BuiltinNode& getBuiltin(std::string_view name) const;

    // Adds a node. Without a name the node is named after its type with the
    // smallest free number ("add1", "add2"). Throws HostError for an unknown
    // type, a refused module server, or a name that is taken or invalid.
    BuiltinNode& addBuiltin(std::string_view type, std::string name = {});
    ModuleNode& addModule(std::string_view server, std::string name = {});
    // Removes a node and its connections. The root cannot be removed.
    void remove(std::string_view name);
    void rename(std::string_view name, std::string newName);

    // Connects an output to an input by node and port names, replacing the
    // input's connection. Throws HostError for unknown nodes or ports and for
    // a connection that would make a cycle (naming both ends).
    void connect(std::string_view fromNode, std::string_view output, std::string_view toNode,
                 std::string_view input);
    void disconnect(std::string_view toNode, std::string_view input);
    void setDefault(std::string_view node, std::string_view input, const Value& value);
    void setRampKeys(std::string_view node, std::vector<RampKey> keys);

    // The value at an input for a sample (one double for a scalar input).
    Value evaluate(std::string_view node, std::string_view input, const NodalSample& sample) const;

    std::vector<NodeInfo> describe() const;
    std::vector<Connection> connections() const;

    // Render state, passed to every module node's render callbacks.
    void init(int32_t mode) const;
    void newTime(int32_t frame, double time) const;
    void cleanup() const;

    // A name is valid when it is not empty, holds no '.' (tools write
    // "node.port") and no control character.
    static bool validName(std::string_view name);
    // The type followed by the smallest number that no node has.
    std::string freeName(std::string_view type) const;

    // Swaps a network's nodes for staged ones: the old nodes go (module
    // instances destroyed), the staged ones come in, and the root inputs take
    // the staged links and defaults. The root node and its inputs stay.
    void replaceNodes(StagedNodes staged);

  private:
    Input& inputOf(std::string_view node, std::string_view input) const;
    std::string checkedName(std::string name, std::string_view type) const;
    void edited() const;

    NodeEditor* editor_;
    std::unique_ptr<RootNode> root_;
    std::vector<std::unique_ptr<Node>> nodes_;
};

} // namespace minihost
