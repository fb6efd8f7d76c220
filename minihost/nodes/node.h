// Nodes of a network and their ports. The host hands the module plain
// pointers to these objects as node, input and output handles; each object
// carries a tag so that a handle of the wrong kind (or a null one) is turned
// away by the service functions instead of being used.
#pragma once

#include "value.h"

#include <shared/nodalsample.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace minihost {

class Network;
class Node;
class Input;

enum class NodeKind { Root, Builtin, Module };

class Output {
  public:
    Output(Node& node, std::string name, ValueType type, int slot);
    // Leaves every input it fed unconnected.
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    Node& node() const { return *node_; }
    const std::string& name() const { return name_; }
    ValueType type() const { return type_; }
    // Position among the node's outputs when it was made; built-in nodes use
    // it to pick what to compute.
    int slot() const { return slot_; }
    // The inputs this output feeds, in the order they were connected.
    const std::vector<Input*>& targets() const { return targets_; }

    NodeOutputID handle() const {
        return reinterpret_cast<NodeOutputID>(const_cast<Output*>(this));
    }
    // The output behind a handle, or null when the handle is not a live output.
    static Output* fromHandle(NodeOutputID handle) noexcept {
        auto* output = reinterpret_cast<Output*>(handle);
        return output && output->tag_ == kTag ? output : nullptr;
    }

  private:
    friend void linkPorts(Output& from, Input& to);
    friend void unlinkInput(Input& input) noexcept;

    static constexpr uint32_t kTag = 0x4F555450; // "OUTP"
    uint32_t tag_ = kTag;
    Node* node_;
    std::string name_;
    ValueType type_;
    int slot_;
    std::vector<Input*> targets_;
};

class Input {
  public:
    Input(Node& node, std::string name, ValueType type, const Value& defaultValue);
    // Leaves the output that fed it.
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    Node& node() const { return *node_; }
    const std::string& name() const { return name_; }
    ValueType type() const { return type_; }
    const Value& defaultValue() const { return default_; }
    // A scalar input keeps one number: the other two components are zero,
    // so that what is saved reads back the same.
    void setDefaultValue(const Value& value) { default_ = storedDefault(type_, value); }

    // The output that feeds this input, or null.
    Output* source() const { return source_; }
    bool connected() const { return source_ != nullptr; }

    // The network's value at this input for the sample: the upstream output
    // converted to this input's type, or the default when nothing feeds it.
    // Writes one double for a scalar input, three for a colour input.
    // Allocates nothing.
    void evaluate(const NodalSample& sample, double* out) const noexcept;

    NodeInputID handle() const { return reinterpret_cast<NodeInputID>(const_cast<Input*>(this)); }
    static Input* fromHandle(NodeInputID handle) noexcept {
        auto* input = reinterpret_cast<Input*>(handle);
        return input && input->tag_ == kTag ? input : nullptr;
    }

  private:
    static Value storedDefault(ValueType type, Value value) {
        if (type == ValueType::Scalar)
            value[1] = value[2] = 0.0;
        return value;
    }

    friend class Output; // leaves its targets unconnected when it goes
    friend void linkPorts(Output& from, Input& to);
    friend void unlinkInput(Input& input) noexcept;

    static constexpr uint32_t kTag = 0x494E5054; // "INPT"
    uint32_t tag_ = kTag;
    Node* node_;
    std::string name_;
    ValueType type_;
    Value default_;
    Output* source_ = nullptr;
};

// Connects an output to an input, replacing the input's connection. Throws
// HostError naming both ends when the link would make a cycle.
void linkPorts(Output& from, Input& to);
void unlinkInput(Input& input) noexcept;

class Node {
  public:
    Node(Network& network, NodeKind kind, std::string name, std::string type);
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    Network& network() const { return *network_; }
    NodeKind kind() const { return kind_; }
    // Unique within the network; what scene files and tools name it by, and
    // what node name answers.
    const std::string& name() const { return name_; }
    // The server name of a module node, the type name of a built-in node.
    const std::string& type() const { return type_; }
    // The last mode the module set through node set mode (0 when never set).
    int32_t mode() const { return mode_; }
    void setMode(int32_t mode) { mode_ = mode; }

    const std::vector<std::unique_ptr<Input>>& inputs() const { return inputs_; }
    const std::vector<std::unique_ptr<Output>>& outputs() const { return outputs_; }
    Input* input(std::string_view name) const;
    Output* output(std::string_view name) const;

    // Adds a port. Throws HostError when the node already has a port of that
    // direction with that name: connections name ports.
    Input& addInput(std::string name, ValueType type, const Value& defaultValue = {});
    Output& addOutput(std::string name, ValueType type);
    // Removes an output and the connections it fed.
    void removeOutput(Output& output);

    // Computes one of this node's outputs for the sample; writes one double
    // for a scalar output, three for a colour output. Allocates nothing.
    virtual void evaluate(const Output& output, const NodalSample& sample,
                          double* out) const noexcept = 0;

    // A node's handle is the address of its tag record, not of the node: a
    // node is polymorphic, so a handle of another kind (an input, say) must
    // never be read as one. The record starts with a tag word, as inputs,
    // outputs and value slots do, and points back at its node.
    NodeID handle() const { return reinterpret_cast<NodeID>(const_cast<HandleTag*>(&handle_)); }
    static Node* fromHandle(NodeID handle) noexcept {
        auto* tag = reinterpret_cast<HandleTag*>(handle);
        return tag && tag->tag == kTag ? tag->node : nullptr;
    }

  private:
    friend class Network;
    static constexpr uint32_t kTag = 0x4E4F4445; // "NODE"
    struct HandleTag {
        uint32_t tag;
        Node* node;
    };
    HandleTag handle_{kTag, this};
    Network* network_;
    NodeKind kind_;
    std::string name_;
    std::string type_;
    int32_t mode_ = 0;
    int nextOutputSlot_ = 0;
    std::vector<std::unique_ptr<Input>> inputs_;
    std::vector<std::unique_ptr<Output>> outputs_;
};

// The root node: the network's root inputs, no outputs.
class RootNode final : public Node {
  public:
    static constexpr const char* kName = "Root";
    static constexpr const char* kType = "root";
    explicit RootNode(Network& network) : Node(network, NodeKind::Root, kName, kType) {}
    void evaluate(const Output&, const NodalSample&, double* out) const noexcept override {
        out[0] = out[1] = out[2] = 0.0;
    }
};

} // namespace minihost
