// The scene as the module reads it: current time and frame ("Time Info"),
// frame size and render camera ("Scene Info 4"), item parameters ("Item Info
// 4"), and envelope groups ("Animation Envelopes").
#pragma once

#include <host/sceneservices.h>

#include <array>
#include <functional>
#include <limits>
#include <list>
#include <memory>
#include <string>

namespace minihost {

using Vec3 = std::array<double, 3>;

// A camera item: where it is at a time, and over which times it renders.
struct CameraItem {
    std::function<Vec3(double time)> position = [](double) { return Vec3{0, 0, 0}; };
    double activeFrom = -std::numeric_limits<double>::infinity();
    double activeTo = std::numeric_limits<double>::infinity();
};

class Scene {
  public:
    static const ItemInfo itemTable;
    static const EnvelopeFuncs envelopeTable;

    Scene();

    // The records handed out by lookup; they stay at one address.
    TimeInfo& timeInfo() { return time_; }
    SceneInfo& sceneInfo() { return info_; }

    void setTime(int32_t frame, double time);
    // Frame number and frames per second give the time.
    void setFrame(int32_t frame, double framesPerSecond);
    int32_t frame() const { return time_.frame; }
    double time() const { return time_.time; }

    void setFrameSize(int32_t width, int32_t height);
    int32_t frameWidth() const { return info_.frameWidth; }
    int32_t frameHeight() const { return info_.frameHeight; }

    // The render camera; without one the render camera function answers null.
    void setCamera(CameraItem camera);
    void clearCamera();
    ItemID renderCamera(double time) const;
    // Item parameter: code 8 is the position; other codes give zeros.
    bool itemParam(ItemID item, int32_t code, double time, double out[3]) const;

    EnvGroupID createEnvelopeGroup(EnvGroupID parent, const char* name);
    const std::list<std::string>& envelopeGroups() const { return envelopeGroups_; }

  private:
    TimeInfo time_{};
    SceneInfo info_{};
    std::unique_ptr<CameraItem> camera_;
    std::list<std::string> envelopeGroups_; // a list: handles are element addresses
};

} // namespace minihost
