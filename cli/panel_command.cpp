#include "panel_command.h"

#include "command_errors.h"
#include "module_path.h"

#include <minihost/host.h>
#include <minihost/nodes/network.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/panels.h>
#include <minihost/scenefile/scene_document.h>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace tavi {

namespace {

namespace fs = std::filesystem;

struct PanelOptions {
    std::string scene;
    std::string target;
    std::vector<std::string> assignments;
    std::string output;
    std::string module;
};

// One thing of the scene that may have a panel: a filter (its root node's
// panel) or a module node of a filter's network. Filters are numbered from
// 1, pixel filters first, in the scene file's order.
struct Target {
    std::string name; // "2" or "2/access"
    std::string kind; // "pixel filter", "image filter", "node"
    std::string type; // server or node type
    minihost::Panel* panel = nullptr;
};

std::vector<Target> targetsOf(const minihost::SceneDocument& scene) {
    std::vector<Target> targets;
    int number = 0;
    const auto addFilter = [&](Instance instance, const std::string& server,
                               const char* kind) {
        const std::string filter = std::to_string(++number);
        minihost::Network& network = minihost::networkOf(instance);
        targets.push_back({filter, kind, server, network.editor().rootPanel()});
        for (const auto& node : network.nodes())
            if (auto* module = dynamic_cast<minihost::ModuleNode*>(node.get()))
                targets.push_back(
                    {filter + "/" + node->name(), "node", node->type(), module->panel()});
    };
    for (const auto& filter : scene.pixelFilters)
        addFilter(filter->get(), filter->server(), "pixel filter");
    for (const auto& filter : scene.imageFilters)
        addFilter(filter->get(), filter->server(), "image filter");
    return targets;
}

// "2/access", "2", or a node name that only one filter's network has.
const Target& findTarget(const std::vector<Target>& targets, const std::string& name) {
    for (const Target& target : targets)
        if (target.name == name)
            return target;
    const Target* found = nullptr;
    for (const Target& target : targets) {
        const auto slash = target.name.find('/');
        if (slash == std::string::npos || target.name.substr(slash + 1) != name)
            continue;
        if (found)
            throw UsageError("more than one filter has a node '" + name + "'; name it as " +
                             found->name + " or " + target.name);
        found = &target;
    }
    if (!found)
        throw UsageError("the scene has no filter or node '" + name +
                         "' (run without a target to list them)");
    return *found;
}

bool isBoolean(const minihost::PanelControlInfo& control) {
    return control.type.find("Boolean") != std::string::npos;
}

std::string valueText(const minihost::PanelControlInfo& control, int32_t value) {
    if (isBoolean(control))
        return value != 0 ? "on" : "off";
    return std::to_string(value);
}

int32_t parseValue(const std::string& text, const std::string& assignment) {
    static const char* const on[] = {"on", "true", "yes"};
    static const char* const off[] = {"off", "false", "no"};
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (std::find(std::begin(on), std::end(on), lower) != std::end(on))
        return 1;
    if (std::find(std::begin(off), std::end(off), lower) != std::end(off))
        return 0;
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        throw UsageError("--set '" + assignment +
                         "': the value must be on, off, true, false or a whole number");
    return value;
}

void setControl(minihost::Panel& panel, const std::string& assignment) {
    const auto equals = assignment.find('=');
    if (equals == std::string::npos)
        throw UsageError("--set '" + assignment + "': expected NAME=VALUE");
    const std::string name = assignment.substr(0, equals);
    const minihost::PanelControlInfo* control = panel.controlNamed(name);
    if (!control)
        throw UsageError("--set '" + assignment + "': the panel has no control '" + name + "'");
    panel.set(control->id, parseValue(assignment.substr(equals + 1), assignment));
}

void printPanel(const Target& target) {
    std::cout << target.name << "  " << target.kind << "  " << target.type << "\n";
    const minihost::Panel& panel = *target.panel;
    std::size_t width = 7;
    for (const auto& control : panel.controls())
        width = std::max(width, control.label.size());
    for (const auto& control : panel.controls()) {
        std::cout << "  " << control.label << std::string(width - control.label.size() + 2, ' ')
                  << valueText(control, panel.get(control.id)) << "\n";
    }
}

void printTargets(const std::vector<Target>& targets) {
    std::size_t nameWidth = 6, kindWidth = 4;
    for (const Target& target : targets) {
        nameWidth = std::max(nameWidth, target.name.size());
        kindWidth = std::max(kindWidth, target.kind.size());
    }
    const auto pad = [](const std::string& text, std::size_t width) {
        return text + std::string(width - text.size() + 2, ' ');
    };
    std::cout << pad("TARGET", nameWidth) << pad("KIND", kindWidth) << pad("TYPE", 26) << "PANEL\n";
    for (const Target& target : targets) {
        const std::string panel =
            target.panel ? std::to_string(target.panel->controls().size()) + " controls" : "none";
        std::cout << pad(target.name, nameWidth) << pad(target.kind, kindWidth)
                  << pad(target.type, 26) << panel << "\n";
    }
}

int runPanel(const PanelOptions& options) {
    if (options.target.empty() && !options.assignments.empty())
        throw UsageError("--set needs a TARGET: a filter number or a node");
    minihost::Host host;
    host.loadModule(options.module.empty() ? defaultModulePath() : fs::path(options.module));
    const minihost::SceneDocument scene = minihost::loadScene(options.scene);
    const std::vector<Target> targets = targetsOf(scene);

    if (options.target.empty()) {
        printTargets(targets);
    } else {
        const Target& target = findTarget(targets, options.target);
        if (!target.panel)
            throw UsageError(target.name + " (" + target.type + ") has no panel");
        for (const std::string& assignment : options.assignments)
            setControl(*target.panel, assignment);
        printPanel(target);
    }
    if (!options.output.empty()) {
        minihost::saveScene(scene, options.output);
        std::cout << "saved " << options.output << "\n";
    }
    return kExitSuccess;
}

} // namespace

std::function<int()> addPanelCommand(CLI::App& app) {
    auto options = std::make_shared<PanelOptions>();
    auto* command =
        app.add_subcommand("panel", "Show or set the panel controls of a scene's filter or node");
    command->add_option("SCENE", options->scene, "Scene file (JSON)")->required();
    command->add_option("TARGET", options->target,
                        "A filter by number (1, 2 ...: pixel filters first) or a node of its "
                        "network (2/access, or just access); without it, the list of targets");
    command->add_option("--set", options->assignments,
                        "Set a control by label: NAME=on|off|NUMBER (repeatable)");
    command->add_option("-o,--output", options->output,
                        "Save the scene (with the values set) to this file; it may be SCENE");
    command->add_option("--module", options->module,
                        "Module file (default: the module built alongside tavi)");
    return [options]() -> int { return runPanel(*options); };
}

} // namespace tavi
