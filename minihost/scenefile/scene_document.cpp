#include "scene_document.h"

#include "../host.h"
#include "../nodes/node_editor.h"
#include "../panels.h"
#include "../streams.h"

#include <shared/servernames.h>

#include <cmath>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <system_error>
#include <type_traits>

namespace minihost {

namespace {

using nlohmann::json;

constexpr int kFormatVersion = 1;
constexpr int32_t kMaxFrameSide = 65536;

// Where in the file a value sits, for messages: "imageFilters[0].network".
class Place {
  public:
    Place(const std::string& source, std::string path = {})
        : source_(&source), path_(std::move(path)) {}
    Place operator/(const std::string& key) const {
        return Place(*source_, path_.empty() ? key : path_ + "." + key);
    }
    Place operator[](std::size_t index) const {
        return Place(*source_, path_ + "[" + std::to_string(index) + "]");
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw SceneError(*source_ + ": " + (path_.empty() ? "" : path_ + ": ") + what);
    }

  private:
    const std::string* source_;
    std::string path_;
};

void onlyKeys(const json& object, const Place& at, std::initializer_list<const char*> keys) {
    if (!object.is_object())
        at.fail("must be an object");
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (const char* k : keys)
            known = known || key == k;
        if (!known) {
            std::string list;
            for (const char* k : keys)
                list += std::string(list.empty() ? "" : ", ") + k;
            at.fail("unknown key \"" + key + "\" (expected " + list + ")");
        }
    }
}

const json* optional(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

double number(const json& value, const Place& at) {
    if (!value.is_number())
        at.fail("must be a number");
    const double v = value.get<double>();
    if (!std::isfinite(v))
        at.fail("must be a finite number");
    return v;
}

int32_t integer(const json& value, const Place& at, int32_t lowest, int32_t highest) {
    if (!value.is_number_integer())
        at.fail("must be a whole number");
    const auto v = value.get<int64_t>();
    if (v < lowest || v > highest)
        at.fail("must be from " + std::to_string(lowest) + " to " + std::to_string(highest));
    return static_cast<int32_t>(v);
}

std::string text(const json& value, const Place& at) {
    if (!value.is_string())
        at.fail("must be a text");
    return value.get<std::string>();
}

Vec3 triple(const json& value, const Place& at) {
    if (!value.is_array() || value.size() != 3)
        at.fail("must be an array of three numbers");
    return {number(value[0], at[0]), number(value[1], at[1]), number(value[2], at[2])};
}

json tripleJson(const double* v) {
    return json::array({v[0], v[1], v[2]});
}

// A panel setting: true/false or a 32-bit integer.
int32_t settingValue(const json& value, const Place& at) {
    if (value.is_boolean())
        return value.get<bool>() ? 1 : 0;
    if (value.is_number_integer())
        return integer(value, at, INT32_MIN, INT32_MAX);
    at.fail("must be true, false or a whole number");
}

void applySettings(Panel* panel, const json& settings, const Place& at, const std::string& owner) {
    if (!settings.is_object())
        at.fail("must be an object of control names and values");
    if (!panel)
        at.fail(owner + " has no settings panel");
    for (const auto& [name, value] : settings.items()) {
        const PanelControlInfo* control = panel->controlNamed(name);
        if (!control) {
            std::string known;
            for (const auto& c : panel->controls())
                known += std::string(known.empty() ? "" : ", ") + "\"" + c.label + "\"";
            at.fail("unknown setting \"" + name + "\" of " + owner + " (known: " + known + ")");
        }
        panel->set(control->id, settingValue(value, at / name));
    }
}

json settingsJson(Panel* panel) {
    json settings = json::object();
    if (!panel)
        return settings;
    for (const auto& c : panel->controls()) {
        const int32_t v = panel->get(c.id);
        if (c.type == "iBoolean")
            settings[c.label] = v != 0;
        else
            settings[c.label] = v;
    }
    return settings;
}

// Feeds saved blocks to a load callback.
template <typename Load> void loadBlocks(const json& blocks, const Place& at, Load&& load) {
    if (!blocks.is_array())
        at.fail("must be an array of blocks");
    Block root;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        try {
            root.children.push_back(blockFromJson(blocks[i], "block"));
        } catch (const std::invalid_argument& e) {
            at[i].fail(e.what());
        }
    }
    LoadStream stream(root);
    if (const char* error = load(stream.state()))
        at.fail(std::string("the server refused its blocks: ") + error);
}

Value inputValue(const Input& input, const json& value, const Place& at) {
    if (input.type() == ValueType::Scalar)
        return {number(value, at), 0.0, 0.0};
    return triple(value, at);
}

json inputJson(const Input& input) {
    const Value& v = input.defaultValue();
    return input.type() == ValueType::Scalar ? json(v[0]) : tripleJson(v.data());
}

std::vector<RampKey> rampKeys(const json& keys, const Place& at) {
    if (!keys.is_array() || keys.empty())
        at.fail("must be a non-empty array of [position, [r, g, b]] keys");
    std::vector<RampKey> result;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const json& key = keys[i];
        if (!key.is_array() || key.size() != 2)
            at[i].fail("a key is [position, [r, g, b]]");
        result.push_back({number(key[0], at[i][0]), triple(key[1], at[i][1])});
    }
    return result;
}

void loadNode(Network& network, const json& node, const Place& at) {
    onlyKeys(node, at, {"name", "type", "settings", "inputs", "keys", "blocks"});
    const json* typeJson = optional(node, "type");
    if (!typeJson)
        at.fail("a node needs a \"type\"");
    const std::string type = text(*typeJson, at / "type");
    std::string name;
    if (const json* n = optional(node, "name")) {
        name = text(*n, at / "name");
        if (!Network::validName(name))
            (at / "name").fail("\"" + name + "\" is not a valid node name (empty, or holds '.')");
        if (network.find(name))
            (at / "name").fail("a node named \"" + name + "\" already exists");
    }

    Node* created = nullptr;
    const bool builtin = findBuiltinType(type) != nullptr;
    try {
        if (builtin) {
            created = &network.addBuiltin(type, name);
        } else {
            const Module& module = Host::current().module();
            if (!module.find(CLASS_NODE_HANDLER, type)) {
                std::string known;
                for (const auto& t : builtinTypes())
                    known += std::string(known.empty() ? "" : ", ") + std::string(t.name);
                for (const auto& s : module.servers())
                    if (s.className == CLASS_NODE_HANDLER)
                        known += ", " + s.name;
                (at / "type").fail("unknown node type \"" + type + "\" (known: " + known + ")");
            }
            created = &network.addModule(type, name);
        }
    } catch (const HostError& e) {
        at.fail(e.what());
    }

    if (const json* settings = optional(node, "settings")) {
        auto* module = dynamic_cast<ModuleNode*>(created);
        applySettings(module ? module->panel() : nullptr, *settings, at / "settings",
                      "node \"" + created->name() + "\"");
    }
    if (const json* inputs = optional(node, "inputs")) {
        if (!inputs->is_object())
            (at / "inputs").fail("must be an object of input names and values");
        for (const auto& [inputName, value] : inputs->items()) {
            const Input* input = created->input(inputName);
            if (!input)
                (at / "inputs")
                    .fail("node \"" + created->name() + "\" has no input \"" + inputName + "\"");
            network.setDefault(created->name(), inputName,
                               inputValue(*input, value, at / "inputs" / inputName));
        }
    }
    if (const json* keys = optional(node, "keys")) {
        auto* ramp = dynamic_cast<BuiltinNode*>(created);
        if (!ramp || !ramp->builtinType().hasRamp)
            (at / "keys").fail("node \"" + created->name() + "\" is not a ramp");
        network.setRampKeys(created->name(), rampKeys(*keys, at / "keys"));
    }
    if (const json* blocks = optional(node, "blocks")) {
        auto* module = dynamic_cast<ModuleNode*>(created);
        if (!module)
            (at / "blocks").fail("only module nodes have saved blocks");
        loadBlocks(*blocks, at / "blocks", [&](const LoadState& s) { return module->load(s); });
    }
}

// "node.port", split at the first '.' (node names hold no '.').
std::pair<std::string, std::string> endpoint(const json& value, const Place& at) {
    const std::string s = text(value, at);
    const auto dot = s.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == s.size())
        at.fail("\"" + s + "\" must be \"node.port\"");
    return {s.substr(0, dot), s.substr(dot + 1)};
}

void loadNetwork(Network& network, const json& description, const Place& at) {
    onlyKeys(description, at, {"nodes", "connections"});
    if (const json* nodes = optional(description, "nodes")) {
        if (!nodes->is_array())
            (at / "nodes").fail("must be an array of nodes");
        for (std::size_t i = 0; i < nodes->size(); ++i)
            loadNode(network, (*nodes)[i], (at / "nodes")[i]);
    }
    if (const json* links = optional(description, "connections")) {
        if (!links->is_array())
            (at / "connections").fail("must be an array of {\"from\", \"to\"} objects");
        for (std::size_t i = 0; i < links->size(); ++i) {
            const Place here = (at / "connections")[i];
            const json& link = (*links)[i];
            onlyKeys(link, here, {"from", "to"});
            if (!optional(link, "from") || !optional(link, "to"))
                here.fail("a connection needs \"from\" and \"to\"");
            const auto [fromNode, output] = endpoint(link["from"], here / "from");
            const auto [toNode, input] = endpoint(link["to"], here / "to");
            try {
                network.connect(fromNode, output, toNode, input);
            } catch (const HostError& e) {
                here.fail(e.what());
            }
        }
    }
}

template <typename Filter>
void loadFilterBody(Filter& filter, const json& description, const Place& at) {
    if (const json* blocks = optional(description, "blocks"))
        loadBlocks(*blocks, at / "blocks",
                   [&](const LoadState& s) { return filter.instance().load(s); });
    Network& network = networkOf(filter.get());
    if (const json* settings = optional(description, "settings"))
        applySettings(network.editor().rootPanel(), *settings, at / "settings",
                      "filter \"" + filter.server() + "\"");
    if (const json* net = optional(description, "network"))
        loadNetwork(network, *net, at / "network");
}

template <typename Filter>
std::unique_ptr<Filter> loadFilter(const json& description, const Place& at,
                                   const char* handlerClass) {
    onlyKeys(description, at, {"type", "settings", "network", "blocks"});
    const json* typeJson = optional(description, "type");
    if (!typeJson)
        at.fail("a filter needs a \"type\"");
    const std::string type = text(*typeJson, at / "type");
    if (!Host::current().module().find(handlerClass, type))
        (at / "type")
            .fail("the module offers no " + std::string(handlerClass) + " \"" + type + "\"");
    std::unique_ptr<Filter> filter;
    try {
        if constexpr (std::is_same_v<Filter, ImageFilter>)
            filter = std::make_unique<ImageFilter>(nullptr, type);
        else
            filter = std::make_unique<PixelFilter>(type);
    } catch (const HostError& e) {
        at.fail(e.what());
    }
    loadFilterBody(*filter, description, at);
    return filter;
}

void loadFrame(SceneDocument& scene, const json& frame, const Place& at) {
    onlyKeys(frame, at, {"width", "height", "frame", "fps", "samples"});
    if (const json* v = optional(frame, "width"))
        scene.frame.width = integer(*v, at / "width", 1, kMaxFrameSide);
    if (const json* v = optional(frame, "height"))
        scene.frame.height = integer(*v, at / "height", 1, kMaxFrameSide);
    if (const json* v = optional(frame, "frame"))
        scene.frame.frame = integer(*v, at / "frame", -1000000, 1000000);
    if (const json* v = optional(frame, "fps")) {
        scene.frame.framesPerSecond = number(*v, at / "fps");
        if (scene.frame.framesPerSecond <= 0)
            (at / "fps").fail("must be above 0");
    }
    if (const json* v = optional(frame, "samples"))
        scene.frame.samplesPerPixel = integer(*v, at / "samples", 1, 1024);
}

json networkJson(const Network& network) {
    json nodes = json::array();
    for (const auto& node : network.nodes()) {
        json n = {{"name", node->name()}, {"type", node->type()}};
        if (auto* module = dynamic_cast<const ModuleNode*>(node.get())) {
            if (Panel* panel = module->panel())
                n["settings"] = settingsJson(panel);
        }
        json inputs = json::object();
        for (const auto& input : node->inputs())
            inputs[input->name()] = inputJson(*input);
        if (!inputs.empty())
            n["inputs"] = inputs;
        if (auto* builtin = dynamic_cast<const BuiltinNode*>(node.get());
            builtin && builtin->builtinType().hasRamp) {
            json keys = json::array();
            for (const RampKey& k : builtin->rampKeys())
                keys.push_back(json::array({k.position, tripleJson(k.color.data())}));
            n["keys"] = keys;
        }
        nodes.push_back(std::move(n));
    }
    json links = json::array();
    for (const Connection& c : network.connections())
        links.push_back(
            {{"from", c.fromNode + "." + c.fromOutput}, {"to", c.toNode + "." + c.toInput}});
    return {{"nodes", nodes}, {"connections", links}};
}

template <typename Filter> json filterJson(const Filter& filter) {
    Network& network = networkOf(filter.get());
    json result = {{"type", filter.server()}};
    if (Panel* panel = network.editor().rootPanel())
        result["settings"] = settingsJson(panel);
    result["network"] = networkJson(network);
    return result;
}

// "line L, column C" of a byte offset in the text.
std::string lineAndColumn(const std::string& content, std::size_t byte) {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < byte && i < content.size(); ++i) {
        if (content[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

} // namespace

Network& networkOf(Instance filter) {
    NodeEditor* editor = Host::current().nodeEditors().findByUserData(filter);
    if (!editor)
        throw HostError("the filter instance owns no node editor");
    return editor->network();
}

SceneDocument sceneFromJson(const json& document, const std::string& source) {
    const Place top(source);
    onlyKeys(document, top,
             {"tavi", "frame", "camera", "channels", "pixelFilters", "imageFilters"});
    if (const json* version = optional(document, "tavi"))
        if (integer(*version, top / "tavi", 0, INT32_MAX) != kFormatVersion)
            (top / "tavi")
                .fail("this is format version " + version->dump() + "; this tavi reads version " +
                      std::to_string(kFormatVersion));
    SceneDocument scene;
    if (const json* frame = optional(document, "frame"))
        loadFrame(scene, *frame, top / "frame");
    if (const json* camera = optional(document, "camera")) {
        onlyKeys(*camera, top / "camera", {"position"});
        if (const json* p = optional(*camera, "position"))
            scene.frame.cameraPosition = triple(*p, top / "camera" / "position");
    }
    if (const json* channels = optional(document, "channels")) {
        if (!channels->is_object())
            (top / "channels").fail("must map channel names to EXR channel names");
        for (const auto& [name, value] : channels->items())
            scene.channelOverrides[name] = text(value, top / "channels" / name);
    }
    if (const json* filters = optional(document, "pixelFilters")) {
        if (!filters->is_array())
            (top / "pixelFilters").fail("must be an array of filters");
        for (std::size_t i = 0; i < filters->size(); ++i)
            scene.pixelFilters.push_back(loadFilter<PixelFilter>(
                (*filters)[i], (top / "pixelFilters")[i], CLASS_PIXEL_FILTER_HANDLER));
    }
    if (const json* filters = optional(document, "imageFilters")) {
        if (!filters->is_array())
            (top / "imageFilters").fail("must be an array of filters");
        for (std::size_t i = 0; i < filters->size(); ++i)
            scene.imageFilters.push_back(loadFilter<ImageFilter>(
                (*filters)[i], (top / "imageFilters")[i], CLASS_IMAGE_FILTER_HANDLER));
    }
    return scene;
}

SceneDocument loadScene(const std::filesystem::path& file) {
    const std::string source = file.string();
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw SceneError(source + ": cannot open the scene file");
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        throw SceneError(source + ": cannot read the scene file");
    return sceneFromText(content.str(), source);
}

SceneDocument sceneFromText(const std::string& textContent, const std::string& source) {
    json document;
    try {
        document = json::parse(textContent);
    } catch (const json::parse_error& e) {
        std::string what = e.what();
        // Drop the library's "[json.exception.parse_error.101] parse error at ..." prefix.
        if (auto colon = what.find(": "); colon != std::string::npos)
            what = what.substr(colon + 2);
        throw SceneError(source + ": " + lineAndColumn(textContent, e.byte ? e.byte - 1 : 0) +
                         ": not valid JSON: " + what);
    } catch (const json::exception& e) {
        // A number too large for a double ("1e400") is reported as out of
        // range rather than as a parse error: a bad file all the same.
        std::string what = e.what();
        if (auto bracket = what.find("] "); bracket != std::string::npos)
            what = what.substr(bracket + 2);
        throw SceneError(source + ": not valid JSON: " + what);
    }
    return sceneFromJson(document, source);
}

json sceneToJson(const SceneDocument& scene) {
    json document = {{"tavi", kFormatVersion}};
    document["frame"] = {{"width", scene.frame.width},
                         {"height", scene.frame.height},
                         {"frame", scene.frame.frame},
                         {"fps", scene.frame.framesPerSecond},
                         {"samples", scene.frame.samplesPerPixel}};
    if (scene.frame.cameraPosition)
        document["camera"] = {{"position", tripleJson(scene.frame.cameraPosition->data())}};
    if (!scene.channelOverrides.empty())
        document["channels"] = scene.channelOverrides;
    json pixel = json::array(), image = json::array();
    for (const auto& f : scene.pixelFilters)
        pixel.push_back(filterJson(*f));
    for (const auto& f : scene.imageFilters)
        image.push_back(filterJson(*f));
    document["pixelFilters"] = pixel;
    document["imageFilters"] = image;
    return document;
}

void saveScene(const SceneDocument& scene, const std::filesystem::path& file) {
    const std::string text = sceneToJson(scene).dump(2) + "\n";
    auto temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw SceneError(file.string() + ": cannot write the scene file");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        throw SceneError(file.string() + ": cannot write the scene file: " + ec.message());
    }
}

} // namespace minihost
