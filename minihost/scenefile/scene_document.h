// Scene files: a hand-editable JSON description of a scene's filters and
// their networks, with the frame to render. Every module setting goes in and
// out through the module's own callbacks (panel get and set, or the load and
// save streams), never by touching its memory.
//
//   {
//     "tavi": 1,
//     "frame": {"width": 640, "height": 360, "frame": 1, "fps": 24, "samples": 4},
//     "camera": {"position": [0, 2, 7]},
//     "channels": {"Depth": "depth.V"},
//     "pixelFilters": [ FILTER, ... ],
//     "imageFilters": [ FILTER, ... ]
//   }
//
//   FILTER  = {"type": "Tavi_NodeImageFilter", "settings": {LABEL: VALUE},
//              "network": {"nodes": [NODE, ...], "connections": [LINK, ...]},
//              "blocks": [BLOCK, ...]}
//   NODE    = {"name": "access", "type": "Tavi_ImageFilterAccessNode" | "multiply" | ...,
//              "settings": {LABEL: VALUE}, "inputs": {INPUT: NUMBER | [R, G, B]},
//              "keys": [[POSITION, [R, G, B]], ...], "blocks": [BLOCK, ...]}
//   LINK    = {"from": "node.Output", "to": "node.Input"}   ("Root" is the root node)
//
// "settings" are panel controls by label or value name (true/false or an
// integer); "blocks" are raw saved blocks handed to the server's load
// callback, for servers without a panel. Loading refuses anything it does not
// understand with the file and the place in it, and keeps nothing of a scene
// that failed to load.
#pragma once

#include "../filters.h"
#include "../scene.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace minihost {

class Network;

// A scene file that cannot be read; the message is "file: place: problem".
class SceneError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct FrameSettings {
    int32_t width = 640;
    int32_t height = 360;
    int32_t frame = 1;
    double framesPerSecond = 24.0;
    int32_t samplesPerPixel = 4;
    std::optional<Vec3> cameraPosition;
};

// A loaded scene. It owns its filters (and through them their networks):
// destroying it destroys them, so it must go before the Host does.
class SceneDocument {
  public:
    FrameSettings frame;
    // EXR channel names by channel name, overriding the default mapping.
    std::map<std::string, std::string> channelOverrides;
    std::vector<std::unique_ptr<PixelFilter>> pixelFilters;
    std::vector<std::unique_ptr<ImageFilter>> imageFilters;
};

// The network a filter instance owns (found through its editor's user data).
Network& networkOf(Instance filter);

// Reads a scene file; throws SceneError naming the file and the place.
SceneDocument loadScene(const std::filesystem::path& file);
// The same from a scene file's content; `source` names it in messages.
SceneDocument sceneFromText(const std::string& content, const std::string& source);
// The same from parsed JSON; `source` names it in messages.
SceneDocument sceneFromJson(const nlohmann::json& json, const std::string& source);
nlohmann::json sceneToJson(const SceneDocument& scene);
// Writes the scene as indented JSON under a temporary name, then renames it.
void saveScene(const SceneDocument& scene, const std::filesystem::path& file);

} // namespace minihost
