#include "scene.h"

#include "host.h"

namespace minihost {

namespace {

ItemID renderCameraService(double time) {
    Host* host = Host::tryCurrent();
    return host ? host->scene().renderCamera(time) : nullptr;
}

int32_t itemParamService(ItemID item, int32_t code, double time, double* out) {
    Host* host = Host::tryCurrent();
    if (!host || !out)
        return 0;
    try {
        return host->scene().itemParam(item, code, time, out) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

EnvGroupID createGroupService(EnvGroupID parent, const char* name) {
    Host* host = Host::tryCurrent();
    if (!host)
        return nullptr;
    try {
        return host->scene().createEnvelopeGroup(parent, name);
    } catch (...) {
        return nullptr;
    }
}

} // namespace

const ItemInfo Scene::itemTable = {{}, itemParamService};
const EnvelopeFuncs Scene::envelopeTable = {{}, createGroupService};

Scene::Scene() {
    info_.renderCamera = renderCameraService;
}

void Scene::setTime(int32_t frame, double time) {
    time_.frame = frame;
    time_.time = time;
}

void Scene::setFrame(int32_t frame, double framesPerSecond) {
    setTime(frame, framesPerSecond > 0 ? frame / framesPerSecond : 0.0);
}

void Scene::setFrameSize(int32_t width, int32_t height) {
    info_.frameWidth = width;
    info_.frameHeight = height;
}

void Scene::setCamera(CameraItem camera) {
    camera_ = std::make_unique<CameraItem>(std::move(camera));
}

void Scene::clearCamera() {
    camera_.reset();
}

ItemID Scene::renderCamera(double time) const {
    if (!camera_ || time < camera_->activeFrom || time > camera_->activeTo)
        return nullptr;
    return reinterpret_cast<ItemID>(camera_.get());
}

bool Scene::itemParam(ItemID item, int32_t code, double time, double out[3]) const {
    if (!camera_ || item != reinterpret_cast<ItemID>(camera_.get()))
        return false;
    Vec3 value{0, 0, 0};
    if (code == ITEM_PARAM_POSITION)
        value = camera_->position(time);
    out[0] = value[0];
    out[1] = value[1];
    out[2] = value[2];
    return true;
}

EnvGroupID Scene::createEnvelopeGroup(EnvGroupID, const char* name) {
    envelopeGroups_.emplace_back(name ? name : "");
    return reinterpret_cast<EnvGroupID>(&envelopeGroups_.back());
}

} // namespace minihost
