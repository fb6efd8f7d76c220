// Nodes served by the loaded module ("NodeHandler" servers): the host node
// holds the module's instance and calls its callbacks; the module creates the
// node's inputs and outputs through the node services.
#pragma once

#include "node.h"

#include <host/handlers.h>
#include <host/streams.h>

namespace minihost {

class Panel;

// The value handle the host passes to a module node's evaluate callback:
// output set value writes into it. It lives on the evaluating caller's stack.
struct ValueSlot {
    explicit ValueSlot(ValueType type) : count(componentCount(type)) {}
    ~ValueSlot() { tag = 0; }
    ValueSlot(const ValueSlot&) = delete;
    ValueSlot& operator=(const ValueSlot&) = delete;

    NodeValue handle() { return reinterpret_cast<NodeValue>(this); }
    static ValueSlot* fromHandle(NodeValue handle) noexcept {
        auto* slot = reinterpret_cast<ValueSlot*>(handle);
        return slot && slot->tag == kTag ? slot : nullptr;
    }

    static constexpr uint32_t kTag = 0x56414C55; // "VALU"
    uint32_t tag = kTag;
    int count;                    // doubles that set value copies: 1 or 3
    double values[3] = {0, 0, 0}; // zeros until the module sets a value
};

class ModuleNode final : public Node {
  public:
    // Activates the server (the host keeps activations) and calls create with
    // this node's handle; the module then adds its inputs and outputs. Throws
    // HostError when activation is refused or create returns null, with the
    // module's error text.
    ModuleNode(Network& network, std::string server, std::string name);
    // Calls the module's destroy callback while the node and its ports still
    // exist.
    ~ModuleNode() override;

    Instance instance() const { return instance_; }
    const NodeHandler& handler() const { return *handler_; }

    // Render table callbacks; results are the module's error texts (or null).
    const char* init(int32_t mode) const;
    const char* newTime(int32_t frame, double time) const;
    void cleanup() const;

    // Instance table callbacks: null, or the module's error text.
    const char* load(const LoadState& state) const;
    const char* save(const SaveState& state) const;
    const char* copyFrom(const ModuleNode& source) const;

    // The node's panel, through the module's "NodeInterface" server with this
    // instance; null when the module offers no interface, refuses it, or
    // gives no panel.
    Panel* panel() const;

    // Calls the module's evaluate with a zeroed value slot; what the module
    // sets through output set value is the result, zeros when it sets none.
    void evaluate(const Output& output, const NodalSample& sample,
                  double* out) const noexcept override;

  private:
    const NodeHandler* handler_;
    Instance instance_ = nullptr;
};

} // namespace minihost
