#include "network.h"

#include "../host.h"
#include "node_editor.h"

#include <algorithm>

namespace minihost {

namespace {

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

Network::Network(NodeEditor& editor) : editor_(&editor), root_(std::make_unique<RootNode>(*this)) {}

Network::~Network() {
    // Newest first, so that module nodes go in the reverse order of creation.
    while (!nodes_.empty())
        nodes_.pop_back();
}

Node* Network::find(std::string_view name) const {
    if (name == root_->name())
        return root_.get();
    for (const auto& node : nodes_)
        if (node->name() == name)
            return node.get();
    return nullptr;
}

Node& Network::get(std::string_view name) const {
    if (Node* node = find(name))
        return *node;
    throw HostError("the network has no node " + inQuotes(name));
}

ModuleNode& Network::getModule(std::string_view name) const {
    Node& node = get(name);
    if (node.kind() != NodeKind::Module)
        throw HostError("node " + inQuotes(name) + " is not a module node");
    return static_cast<ModuleNode&>(node);
}

BuiltinNode& Network::getBuiltin(std::string_view name) const {
    Node& node = get(name);
    if (node.kind() != NodeKind::Builtin)
        throw HostError("node " + inQuotes(name) + " is not a built-in node");
    return static_cast<BuiltinNode&>(node);
}

bool Network::validName(std::string_view name) {
    if (name.empty())
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '.' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

std::string Network::freeName(std::string_view type) const {
    for (int n = 1;; ++n) {
        std::string name = std::string(type) + std::to_string(n);
        if (!find(name))
            return name;
    }
}

std::string Network::checkedName(std::string name, std::string_view type) const {
    if (name.empty())
        return freeName(type);
    if (!validName(name))
        throw HostError("node name " + inQuotes(name) +
                        " is not valid: it must not be empty or hold '.' or control characters");
    if (find(name))
        throw HostError("the network already has a node " + inQuotes(name));
    return name;
}

BuiltinNode& Network::addBuiltin(std::string_view type, std::string name) {
    const BuiltinType* builtin = findBuiltinType(type);
    if (!builtin)
        throw HostError("there is no built-in node type " + inQuotes(type));
    auto node = std::make_unique<BuiltinNode>(*this, *builtin, checkedName(std::move(name), type));
    BuiltinNode& added = *node;
    nodes_.push_back(std::move(node));
    edited();
    return added;
}

ModuleNode& Network::addModule(std::string_view server, std::string name) {
    auto node = std::make_unique<ModuleNode>(*this, std::string(server),
                                             checkedName(std::move(name), server));
    ModuleNode& added = *node;
    nodes_.push_back(std::move(node));
    edited();
    return added;
}

void Network::remove(std::string_view name) {
    Node& node = get(name);
    if (&node == root_.get())
        throw HostError("the root node cannot be removed");
    auto it =
        std::find_if(nodes_.begin(), nodes_.end(), [&](const auto& n) { return n.get() == &node; });
    nodes_.erase(it); // destroying the node unlinks its ports
    edited();
}

void Network::rename(std::string_view name, std::string newName) {
    Node& node = get(name);
    if (&node == root_.get())
        throw HostError("the root node cannot be renamed");
    if (newName == node.name())
        return;
    node.name_ = checkedName(std::move(newName), node.type());
    edited();
}

Input& Network::inputOf(std::string_view node, std::string_view input) const {
    Node& n = get(node);
    if (Input* in = n.input(input))
        return *in;
    throw HostError("node " + inQuotes(node) + " has no input " + inQuotes(input));
}

void Network::connect(std::string_view fromNode, std::string_view output, std::string_view toNode,
                      std::string_view input) {
    Node& from = get(fromNode);
    Output* out = from.output(output);
    if (!out)
        throw HostError("node " + inQuotes(fromNode) + " has no output " + inQuotes(output));
    linkPorts(*out, inputOf(toNode, input));
    edited();
}

void Network::disconnect(std::string_view toNode, std::string_view input) {
    Input& in = inputOf(toNode, input);
    if (!in.connected())
        return;
    unlinkInput(in);
    edited();
}

void Network::setDefault(std::string_view node, std::string_view input, const Value& value) {
    Input& in = inputOf(node, input);
    Value stored = value;
    if (in.type() == ValueType::Scalar)
        stored[1] = stored[2] = 0.0; // a scalar keeps one number
    in.setDefaultValue(stored);
    edited();
}

void Network::setRampKeys(std::string_view node, std::vector<RampKey> keys) {
    getBuiltin(node).setRampKeys(std::move(keys));
    edited();
}

Value Network::evaluate(std::string_view node, std::string_view input,
                        const NodalSample& sample) const {
    Value value{};
    inputOf(node, input).evaluate(sample, value.data());
    return value;
}

std::vector<NodeInfo> Network::describe() const {
    std::vector<NodeInfo> infos;
    auto add = [&](const Node& node) {
        NodeInfo info{node.name(), node.type(), node.kind(), {}, {}};
        for (const auto& in : node.inputs()) {
            InputInfo i{in->name(), in->type(), in->defaultValue(), in->connected(), {}, {}};
            if (const Output* source = in->source()) {
                i.sourceNode = source->node().name();
                i.sourceOutput = source->name();
            }
            info.inputs.push_back(std::move(i));
        }
        for (const auto& out : node.outputs())
            info.outputs.push_back({out->name(), out->type()});
        infos.push_back(std::move(info));
    };
    add(*root_);
    for (const auto& node : nodes_)
        add(*node);
    return infos;
}

std::vector<Connection> Network::connections() const {
    std::vector<Connection> links;
    auto add = [&](const Node& node) {
        for (const auto& in : node.inputs())
            if (const Output* source = in->source())
                links.push_back({source->node().name(), source->name(), node.name(), in->name()});
    };
    add(*root_);
    for (const auto& node : nodes_)
        add(*node);
    return links;
}

void Network::init(int32_t mode) const {
    for (const auto& node : nodes_)
        if (node->kind() == NodeKind::Module)
            static_cast<const ModuleNode&>(*node).init(mode);
}

void Network::newTime(int32_t frame, double time) const {
    for (const auto& node : nodes_)
        if (node->kind() == NodeKind::Module)
            static_cast<const ModuleNode&>(*node).newTime(frame, time);
}

void Network::cleanup() const {
    for (const auto& node : nodes_)
        if (node->kind() == NodeKind::Module)
            static_cast<const ModuleNode&>(*node).cleanup();
}

void Network::replaceNodes(StagedNodes staged) {
    for (auto& [input, source] : staged.rootLinks)
        if (source->node().network_ != this || input->node().network_ != this)
            throw HostError("staged nodes belong to another network");
    while (!nodes_.empty())
        nodes_.pop_back(); // their outputs leave the root inputs unconnected
    nodes_ = std::move(staged.nodes);
    for (auto& [input, value] : staged.rootDefaults)
        input->setDefaultValue(value);
    for (auto& [input, source] : staged.rootLinks)
        linkPorts(*source, *input); // cannot make a cycle: the root feeds nothing
}

void Network::edited() const {
    editor_->displayEvent();
}

} // namespace minihost
