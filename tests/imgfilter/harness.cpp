#include "harness.h"

#include <cstring>
#include <stdexcept>

namespace harness {

namespace {
Frame* gFrame = nullptr;

void logCall(const std::string& text) {
    fake::Graph::current().log.push_back(text);
}
} // namespace

Frame::Frame(int32_t width, int32_t height)
    : width_(width), height_(height),
      rgb_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, -7.0f),
      alpha_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), -7.0f),
      rgbWrites_(alpha_.size(), 0), alphaWrites_(alpha_.size(), 0) {
    if (gFrame)
        throw std::logic_error("one frame at a time");
    gFrame = this;
    monitor_ = {this, monitorInit, monitorStep, monitorDone};
    access_.width = width;
    access_.height = height;
    access_.getLine = getLine;
    access_.setRGB = setRGB;
    access_.setAlpha = setAlpha;
    access_.monitor = &monitor_;
}

Frame::~Frame() {
    gFrame = nullptr;
}

void Frame::fill(int32_t code, const std::function<float(int32_t, int32_t)>& value) {
    std::vector<float>& buffer = buffers_[code];
    buffer.assign(alpha_.size(), 0.0f);
    for (int32_t y = 0; y < height_; ++y)
        for (int32_t x = 0; x < width_; ++x)
            buffer[index(x, y)] = value(x, y);
}

void Frame::fillFinalImage() {
    for (int32_t c = 0; c < 4; ++c)
        fill(BUFFER_RED + c, [=](int32_t x, int32_t y) { return 0.01f * x + 0.1f * y + c; });
}

FilterAccess Frame::accessWithoutMonitor() const {
    FilterAccess a = access_;
    a.monitor = nullptr;
    return a;
}

float Frame::buffer(int32_t code, int32_t x, int32_t y) const {
    return buffers_.at(code).at(index(x, y));
}

int Frame::totalWrites() const {
    int total = 0;
    for (std::size_t i = 0; i < alpha_.size(); ++i)
        total += rgbWrites_[i] + alphaWrites_[i];
    return total;
}

float* Frame::getLine(int32_t code, int32_t row) noexcept {
    if (!gFrame)
        return nullptr;
    gFrame->lineRequests.push_back(code);
    auto it = gFrame->buffers_.find(code);
    if (it == gFrame->buffers_.end() || row < 0 || row >= gFrame->height_)
        return nullptr;
    return it->second.data() + gFrame->index(0, row);
}

void Frame::setRGB(int32_t x, int32_t y, const float rgb[3]) noexcept {
    if (!gFrame || x < 0 || y < 0 || x >= gFrame->width_ || y >= gFrame->height_) {
        ADD_FAILURE() << "set RGB outside the frame at " << x << "," << y;
        return;
    }
    std::memcpy(&gFrame->rgb_[gFrame->index(x, y) * 3], rgb, 3 * sizeof(float));
    gFrame->rgbWrites_[gFrame->index(x, y)]++;
}

void Frame::setAlpha(int32_t x, int32_t y, float alpha) noexcept {
    if (!gFrame || x < 0 || y < 0 || x >= gFrame->width_ || y >= gFrame->height_) {
        ADD_FAILURE() << "set alpha outside the frame at " << x << "," << y;
        return;
    }
    gFrame->alpha_[gFrame->index(x, y)] = alpha;
    gFrame->alphaWrites_[gFrame->index(x, y)]++;
}

void Frame::monitorInit(void* data, uint32_t total) noexcept {
    const std::string text = "monitorInit " + std::to_string(total);
    static_cast<Frame*>(data)->monitorLog.push_back(text);
    logCall(text);
}

int32_t Frame::monitorStep(void* data, uint32_t increment) noexcept {
    Frame* frame = static_cast<Frame*>(data);
    const std::string text = "monitorStep " + std::to_string(increment);
    frame->monitorLog.push_back(text);
    logCall(text);
    return ++frame->steps_ == frame->abortOnStep ? 1 : 0;
}

void Frame::monitorDone(void* data) noexcept {
    static_cast<Frame*>(data)->monitorLog.push_back("monitorDone");
    logCall("monitorDone");
}

NodalSample sampleAt(int32_t x, int32_t y) {
    NodalSample s{};
    s.pixelX = x;
    s.pixelY = y;
    return s;
}

AccessNode::AccessNode(const std::string& name)
    : handler_(minihost::Host::current().nodeHandler(SERVER_IMAGE_NODE)),
      node_(fake::Graph::current().newNode(name)),
      instance_(*handler_.inst, node_, SERVER_IMAGE_NODE) {}

NodeOutputID AccessNode::output(const std::string& name) const {
    for (fake::Output& out : fake::Graph::current().outputs)
        if (out.node == node_ && out.name == name && !out.destroyed)
            return reinterpret_cast<NodeOutputID>(&out);
    throw std::logic_error("no output " + name);
}

fake::Input& AccessNode::input(const std::string& name) const {
    for (fake::Input& in : fake::Graph::current().inputs)
        if (in.node == node_ && in.name == name)
            return in;
    throw std::logic_error("no input " + name);
}

fake::Value AccessNode::evaluate(const std::string& output, const NodalSample& sample) const {
    return evaluate(this->output(output), sample);
}

fake::Value AccessNode::evaluate(NodeOutputID output, const NodalSample& sample) const {
    fake::Value value;
    NodalSample copy = sample;
    handler_.evaluate(get(), &copy, output, reinterpret_cast<NodeValue>(&value));
    return value;
}

void handOver(const FilterAccess& access) {
    AccessMessage message{&access, nullptr};
    minihost::Host::current().ring().message(RING_TOPIC_IMAGE, RING_FILTER_ACCESS, &message);
}

uint32_t gatherFlags(uint32_t start) {
    FlagQuery query{0, start};
    minihost::Host::current().ring().message(RING_TOPIC_IMAGE, RING_GATHER_FLAGS, &query);
    return query.flags;
}

} // namespace harness
