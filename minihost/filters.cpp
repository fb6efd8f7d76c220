#include "filters.h"

namespace minihost {

ServerInstance::ServerInstance(const InstanceFuncs& funcs, void* context, std::string what)
    : funcs_(&funcs) {
    if (!funcs.create)
        throw HostError(what + ": the server has no create callback");
    const char* error = nullptr;
    instance_ = funcs.create(funcs.priv, context, &error);
    if (!instance_)
        throw HostError(what + ": create failed: " + (error ? error : "no reason given"));
}

ServerInstance::~ServerInstance() {
    if (instance_ && funcs_->destroy)
        funcs_->destroy(instance_);
}

const char* ServerInstance::load(const LoadState& state) const {
    return funcs_->load ? funcs_->load(instance_, &state) : nullptr;
}

const char* ServerInstance::save(const SaveState& state) const {
    return funcs_->save ? funcs_->save(instance_, &state) : nullptr;
}

const char* ServerInstance::copyFrom(const ServerInstance& source) const {
    return funcs_->copy ? funcs_->copy(instance_, source.instance_) : nullptr;
}

std::string ServerInstance::describe() const {
    const char* text = funcs_->describe ? funcs_->describe(instance_) : nullptr;
    return text ? text : "";
}

ImageFilter::ImageFilter(const int32_t* context, std::string_view server)
    : handler_(Host::current().imageFilterHandler(server)), server_(server),
      instance_(*handler_.inst, const_cast<int32_t*>(context), server_) {}

uint32_t ImageFilter::flags() const {
    return handler_.flags ? handler_.flags(get()) : 0;
}

void ImageFilter::process(const FilterAccess& access) const {
    if (handler_.process)
        handler_.process(get(), &access);
}

int ImageFilter::openInterface(InterfaceRecord& record, int version) const {
    record = {get(), nullptr, nullptr, nullptr};
    return Host::current().activateInterface(CLASS_IMAGE_FILTER_INTERFACE, server_, record,
                                             version);
}

PixelFilter::PixelFilter(std::string_view server)
    : handler_(Host::current().pixelFilterHandler(server)), server_(server),
      instance_(*handler_.inst, nullptr, server_) {}

uint32_t PixelFilter::flags() const {
    return handler_.flags ? handler_.flags(get()) : 0;
}

void PixelFilter::init(int32_t mode) const {
    if (handler_.rend && handler_.rend->init)
        handler_.rend->init(get(), mode);
}

void PixelFilter::newTime(int32_t frame, double time) const {
    if (handler_.rend && handler_.rend->newTime)
        handler_.rend->newTime(get(), frame, time);
}

void PixelFilter::cleanup() const {
    if (handler_.rend && handler_.rend->cleanup)
        handler_.rend->cleanup(get());
}

void PixelFilter::evaluate(const PixelAccess& access) const {
    if (handler_.evaluate)
        handler_.evaluate(get(), &access);
}

int PixelFilter::openInterface(InterfaceRecord& record, int version) const {
    record = {get(), nullptr, nullptr, nullptr};
    return Host::current().activateInterface(CLASS_PIXEL_FILTER_INTERFACE, server_, record,
                                             version);
}

} // namespace minihost
