#include "node_editor.h"

#include "../host.h"
#include "../panels.h"

namespace minihost {

NodeEditor::NodeEditor(std::string name, std::string title, const NodeEditorInit* init,
                       void* userData)
    : name_(std::move(name)), title_(std::move(title)),
      rootPanel_(init ? init->rootPanel : nullptr), userData_(userData), network_(*this) {}

Input& NodeEditor::addRootInput(ValueType type, std::string name) {
    return network_.root().addInput(std::move(name), type);
}

void NodeEditor::displayEvent() const {
    ++displayEvents_;
    if (displayEvent_)
        displayEvent_(network_.root().handle());
}

std::optional<int32_t> NodeEditor::autosize(double* sixDoubles) const {
    if (!autosize_)
        return std::nullopt;
    return autosize_(nullptr, nullptr, sixDoubles);
}

Panel* NodeEditor::rootPanel() const {
    if (!rootPanel_)
        return nullptr;
    const PanelID panel = rootPanel_(network_.root().handle());
    return panel ? Host::current().panels().find(panel) : nullptr;
}

NodeEditors::~NodeEditors() {
    clear();
}

NodeEditor& NodeEditors::create(std::string name, std::string title, const NodeEditorInit* init,
                                void* userData) {
    if (failNext_) {
        failNext_ = false;
        throw HostError("node editor \"" + name + "\" could not be created (failure requested)");
    }
    editors_.push_back(
        std::make_unique<NodeEditor>(std::move(name), std::move(title), init, userData));
    return *editors_.back();
}

bool NodeEditors::destroy(NodeEditorID handle) {
    for (auto it = editors_.begin(); it != editors_.end(); ++it)
        if ((*it)->handle() == handle) {
            // Out of the registry before its nodes go, so that module
            // callbacks made while destroying cannot find a half-gone editor.
            std::unique_ptr<NodeEditor> editor = std::move(*it);
            editors_.erase(it);
            editor.reset();
            return true;
        }
    return false;
}

void NodeEditors::clear() {
    while (!editors_.empty()) {
        std::unique_ptr<NodeEditor> editor = std::move(editors_.back());
        editors_.pop_back();
        editor.reset();
    }
}

NodeEditor* NodeEditors::find(NodeEditorID handle) const {
    for (const auto& editor : editors_)
        if (editor->handle() == handle)
            return editor.get();
    return nullptr;
}

NodeEditor* NodeEditors::findByUserData(const void* userData) const {
    for (const auto& editor : editors_)
        if (editor->userData() == userData)
            return editor.get();
    return nullptr;
}

} // namespace minihost
