#include "module_node.h"

#include "../host.h"
#include "../panels.h"

#include <shared/servernames.h>

namespace minihost {

namespace {

// The server's handler record; a server the module does not offer is a
// HostError like a refused activation.
const NodeHandler& activateNodeServer(const std::string& server) {
    try {
        return Host::current().nodeHandler(server);
    } catch (const ModuleError& e) {
        throw HostError(e.what());
    }
}

} // namespace

ModuleNode::ModuleNode(Network& network, std::string server, std::string name)
    : Node(network, NodeKind::Module, std::move(name), server),
      handler_(&activateNodeServer(server)) {
    const InstanceFuncs* inst = handler_->inst;
    if (!inst || !inst->create)
        throw HostError("node server \"" + server + "\" has no create callback");
    const char* error = nullptr;
    instance_ = inst->create(inst->priv, handle(), &error);
    if (!instance_)
        throw HostError("node server \"" + server + "\" could not create node \"" + this->name() +
                        "\": " + (error ? error : "no reason given"));
}

ModuleNode::~ModuleNode() {
    if (instance_ && handler_->inst && handler_->inst->destroy)
        handler_->inst->destroy(instance_);
}

const char* ModuleNode::init(int32_t mode) const {
    const RenderFuncs* rend = handler_->rend;
    return rend && rend->init ? rend->init(instance_, mode) : nullptr;
}

const char* ModuleNode::newTime(int32_t frame, double time) const {
    const RenderFuncs* rend = handler_->rend;
    return rend && rend->newTime ? rend->newTime(instance_, frame, time) : nullptr;
}

void ModuleNode::cleanup() const {
    const RenderFuncs* rend = handler_->rend;
    if (rend && rend->cleanup)
        rend->cleanup(instance_);
}

const char* ModuleNode::load(const LoadState& state) const {
    const InstanceFuncs* inst = handler_->inst;
    return inst && inst->load ? inst->load(instance_, &state) : nullptr;
}

const char* ModuleNode::save(const SaveState& state) const {
    const InstanceFuncs* inst = handler_->inst;
    return inst && inst->save ? inst->save(instance_, &state) : nullptr;
}

const char* ModuleNode::copyFrom(const ModuleNode& source) const {
    const InstanceFuncs* inst = handler_->inst;
    return inst && inst->copy ? inst->copy(instance_, source.instance_) : nullptr;
}

Panel* ModuleNode::panel() const {
    Host& host = Host::current();
    if (!host.module().find(CLASS_NODE_INTERFACE, type()))
        return nullptr;
    InterfaceRecord record{instance_, nullptr, nullptr, nullptr};
    if (host.activateInterface(CLASS_NODE_INTERFACE, type(), record) != ACTIVATE_OK)
        return nullptr;
    return host.panels().find(record.panel);
}

void ModuleNode::evaluate(const Output& output, const NodalSample& sample,
                          double* out) const noexcept {
    ValueSlot slot(output.type());
    if (handler_->evaluate)
        handler_->evaluate(instance_, const_cast<NodalSample*>(&sample), output.handle(),
                           slot.handle());
    out[0] = slot.values[0];
    if (slot.count == 3) {
        out[1] = slot.values[1];
        out[2] = slot.values[2];
    }
}

} // namespace minihost
