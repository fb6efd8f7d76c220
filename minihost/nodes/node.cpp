#include "node.h"

#include "../host.h"

#include <algorithm>
#include <unordered_set>

namespace minihost {

std::string_view valueTypeName(ValueType type) {
    return type == ValueType::Color ? "colour" : "scalar";
}

namespace {

// The upstream walk of a cycle check: true when `target` feeds `start`,
// directly or through other nodes (or is `start` itself).
bool feeds(const Node& target, const Node& start) {
    std::vector<const Node*> pending{&start};
    std::unordered_set<const Node*> seen{&start};
    while (!pending.empty()) {
        const Node* node = pending.back();
        pending.pop_back();
        if (node == &target)
            return true;
        for (const auto& input : node->inputs())
            if (const Output* source = input->source())
                if (seen.insert(&source->node()).second)
                    pending.push_back(&source->node());
    }
    return false;
}

std::string portText(const Node& node, const std::string& port) {
    return "\"" + node.name() + "." + port + "\"";
}

} // namespace

Output::Output(Node& node, std::string name, ValueType type, int slot)
    : node_(&node), name_(std::move(name)), type_(type), slot_(slot) {}

Output::~Output() {
    for (Input* input : targets_)
        input->source_ = nullptr;
    tag_ = 0;
}

Input::Input(Node& node, std::string name, ValueType type, const Value& defaultValue)
    : node_(&node), name_(std::move(name)), type_(type),
      default_(storedDefault(type, defaultValue)) {}

Input::~Input() {
    unlinkInput(*this);
    tag_ = 0;
}

void Input::evaluate(const NodalSample& sample, double* out) const noexcept {
    if (!source_) {
        out[0] = default_[0];
        if (type_ == ValueType::Color) {
            out[1] = default_[1];
            out[2] = default_[2];
        }
        return;
    }
    if (source_->type() == type_) {
        source_->node().evaluate(*source_, sample, out);
        return;
    }
    Value upstream{};
    source_->node().evaluate(*source_, sample, upstream.data());
    convertValue(source_->type(), type_, upstream.data(), out);
}

void linkPorts(Output& from, Input& to) {
    if (&from.node().network() != &to.node().network())
        throw HostError("cannot connect " + portText(from.node(), from.name()) + " to " +
                        portText(to.node(), to.name()) + ": they belong to different networks");
    if (feeds(to.node(), from.node()))
        throw HostError("connecting " + portText(from.node(), from.name()) + " to " +
                        portText(to.node(), to.name()) + " would make a cycle");
    if (to.source_ == &from)
        return;
    from.targets_.reserve(from.targets_.size() + 1); // nothing changes if this throws
    unlinkInput(to);
    from.targets_.push_back(&to);
    to.source_ = &from;
}

void unlinkInput(Input& input) noexcept {
    if (!input.source_)
        return;
    auto& targets = input.source_->targets_;
    targets.erase(std::remove(targets.begin(), targets.end(), &input), targets.end());
    input.source_ = nullptr;
}

Node::Node(Network& network, NodeKind kind, std::string name, std::string type)
    : network_(&network), kind_(kind), name_(std::move(name)), type_(std::move(type)) {}

Node::~Node() {
    // Ports go first (their destructors unlink them) while the tag still says
    // this is a node.
    outputs_.clear();
    inputs_.clear();
    handle_.tag = 0;
}

Input* Node::input(std::string_view name) const {
    for (const auto& input : inputs_)
        if (input->name() == name)
            return input.get();
    return nullptr;
}

Output* Node::output(std::string_view name) const {
    for (const auto& output : outputs_)
        if (output->name() == name)
            return output.get();
    return nullptr;
}

Input& Node::addInput(std::string name, ValueType type, const Value& defaultValue) {
    if (input(name))
        throw HostError("node \"" + name_ + "\" already has an input \"" + name + "\"");
    return *inputs_.emplace_back(
        std::make_unique<Input>(*this, std::move(name), type, defaultValue));
}

Output& Node::addOutput(std::string name, ValueType type) {
    if (output(name))
        throw HostError("node \"" + name_ + "\" already has an output \"" + name + "\"");
    auto output = std::make_unique<Output>(*this, std::move(name), type, nextOutputSlot_);
    outputs_.push_back(std::move(output));
    ++nextOutputSlot_;
    return *outputs_.back();
}

void Node::removeOutput(Output& output) {
    auto it = std::find_if(outputs_.begin(), outputs_.end(),
                           [&](const auto& o) { return o.get() == &output; });
    if (it == outputs_.end())
        throw HostError("node \"" + name_ + "\" has no such output");
    outputs_.erase(it);
}

} // namespace minihost
