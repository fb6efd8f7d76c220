#include "host.h"

#include "instance_updates.h"
#include "node_services.h"
#include "nodes/node_editor.h"
#include "panels.h"
#include "ring.h"
#include "scene.h"

#include <shared/servernames.h>

namespace minihost {

namespace {
Host* gCurrent = nullptr;
} // namespace

// Everything an activation filled, at stable addresses for the module to keep.
struct Host::Activated {
    InstanceFuncs inst{};
    ItemFuncs item{};
    RenderFuncs rend{};
    ImageFilterHandler image{};
    PixelFilterHandler pixel{};
    NodeHandler node{};
};

Host::Host()
    : ring_(std::make_unique<Ring>()), panels_(std::make_unique<Panels>()),
      scene_(std::make_unique<Scene>()), updates_(std::make_unique<InstanceUpdates>()),
      nodeEditors_(std::make_unique<NodeEditors>()) {
    if (gCurrent)
        throw HostError("a minihost Host already exists in this process");
    gCurrent = this;
    provide(SERVICE_RING, const_cast<RingFuncs*>(&Ring::table));
    provide(SERVICE_PANELS, const_cast<PanelFuncs*>(&Panels::table));
    provide(SERVICE_INSTANCE_UPDATE, reinterpret_cast<void*>(&InstanceUpdates::update));
    provide(SERVICE_TIME_INFO, &scene_->timeInfo());
    provide(SERVICE_SCENE_INFO, &scene_->sceneInfo());
    provide(SERVICE_ITEM_INFO, const_cast<ItemInfo*>(&Scene::itemTable));
    provide(SERVICE_ENVELOPES, const_cast<EnvelopeFuncs*>(&Scene::envelopeTable));
    provideNodeServices(*this);
}

Host::~Host() {
    // Instances must be gone before the module unloads; owners of instances
    // (filters, editors) are destroyed by their users before the Host.
    // Editors still alive hold module node instances: they go while the
    // module and the services their destroy callbacks call are still here.
    nodeEditors_->clear();
    activated_.clear();
    module_.reset();
    gCurrent = nullptr;
}

Host& Host::current() {
    if (!gCurrent)
        throw HostError("no minihost Host exists");
    return *gCurrent;
}

Host* Host::tryCurrent() noexcept {
    return gCurrent;
}

void* Host::lookup(const char* name, int) {
    if (!gCurrent || !name)
        return nullptr;
    return gCurrent->service(name);
}

void Host::provide(std::string name, void* table) {
    services_[std::move(name)] = table;
}

void Host::withhold(std::string name) {
    withheld_.insert(std::move(name));
}

void Host::restore(const std::string& name) {
    withheld_.erase(name);
}

void* Host::service(std::string_view name) const {
    if (withheld_.find(name) != withheld_.end())
        return nullptr;
    auto it = services_.find(name);
    return it == services_.end() ? nullptr : it->second;
}

void Host::loadModule(const std::filesystem::path& file) {
    activated_.clear();
    module_.reset();
    module_.emplace(Module::load(file));
}

const Module& Host::module() const {
    if (!module_)
        throw HostError("no module loaded");
    return *module_;
}

Host::Activated& Host::activate(std::string_view className, std::string_view server, int version) {
    std::string key = std::string(className) + "/" + std::string(server);
    if (auto it = activated_.find(key); it != activated_.end())
        return *it->second;
    auto record = std::make_unique<Activated>();
    void* local = nullptr;
    if (className == CLASS_IMAGE_FILTER_HANDLER) {
        record->image = {&record->inst, &record->item, nullptr, nullptr};
        local = &record->image;
    } else if (className == CLASS_PIXEL_FILTER_HANDLER) {
        record->pixel = {&record->inst, &record->item, &record->rend, nullptr, nullptr};
        local = &record->pixel;
    } else {
        record->node = {&record->inst, nullptr, &record->rend, nullptr};
        local = &record->node;
    }
    const int code = module().activate(className, server, version, &Host::lookup, local);
    if (code != ACTIVATE_OK)
        throw HostError(std::string(className) + " \"" + std::string(server) +
                        "\" refused activation with code " + std::to_string(code));
    return *activated_.emplace(std::move(key), std::move(record)).first->second;
}

const ImageFilterHandler& Host::imageFilterHandler(std::string_view server) {
    return activate(CLASS_IMAGE_FILTER_HANDLER, server, kFilterHandlerVersion).image;
}

const PixelFilterHandler& Host::pixelFilterHandler(std::string_view server) {
    return activate(CLASS_PIXEL_FILTER_HANDLER, server, kFilterHandlerVersion).pixel;
}

const NodeHandler& Host::nodeHandler(std::string_view server) {
    return activate(CLASS_NODE_HANDLER, server, kNodeHandlerVersion).node;
}

int Host::activateInterface(std::string_view className, std::string_view server,
                            InterfaceRecord& record, int version) {
    return module().activate(className, server, version, &Host::lookup, &record);
}

} // namespace minihost
