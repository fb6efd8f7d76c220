// Node editors: each owns one network and what its creator set on it (user
// data, display-event and autosize functions, envelope group, root-node panel
// function). Editors are headless: opening one only counts.
#pragma once

#include "network.h"

#include <host/nodeservices.h>

#include <cstddef>
#include <list>
#include <memory>
#include <optional>
#include <string>

namespace minihost {

class Panel;

class NodeEditor {
  public:
    // init may be null (no root-node panel function).
    NodeEditor(std::string name, std::string title, const NodeEditorInit* init, void* userData);
    NodeEditor(const NodeEditor&) = delete;
    NodeEditor& operator=(const NodeEditor&) = delete;

    const std::string& name() const { return name_; }
    const std::string& title() const { return title_; }
    void* userData() const { return userData_; }
    Network& network() { return network_; }
    const Network& network() const { return network_; }

    // Adds an input to the root node (node-editor add root input).
    Input& addRootInput(ValueType type, std::string name);

    void setDisplayEvent(NodeDisplayEventFunc func) { displayEvent_ = func; }
    NodeDisplayEventFunc displayEventFunc() const { return displayEvent_; }
    // Calls the display-event function, if any, with the root node.
    void displayEvent() const;
    std::size_t displayEvents() const { return displayEvents_; }

    void setAutosize(NodeAutosizeFunc func) { autosize_ = func; }
    NodeAutosizeFunc autosizeFunc() const { return autosize_; }
    // Calls the autosize function with the six doubles it fills; its result,
    // or nothing when none was set.
    std::optional<int32_t> autosize(double* sixDoubles) const;

    void setEnvelopeGroup(EnvGroupID group) { envelopeGroup_ = group; }
    EnvGroupID envelopeGroup() const { return envelopeGroup_; }

    // Node-editor open: a headless host only counts the requests.
    void open() { ++opened_; }
    std::size_t openCount() const { return opened_; }

    // The root node's panel: the init record's function called with the root
    // node, as a panel of this host; null when there is no function or it
    // gives no panel.
    Panel* rootPanel() const;

    // What went wrong in the last save, load or copy made through the
    // services (they can only return constant texts); empty after success.
    const std::string& lastError() const { return lastError_; }
    void setLastError(std::string text) { lastError_ = std::move(text); }

    NodeEditorID handle() const {
        return reinterpret_cast<NodeEditorID>(const_cast<NodeEditor*>(this));
    }

  private:
    std::string name_;
    std::string title_;
    RootNodePanelFunc rootPanel_ = nullptr;
    void* userData_;
    NodeDisplayEventFunc displayEvent_ = nullptr;
    NodeAutosizeFunc autosize_ = nullptr;
    EnvGroupID envelopeGroup_ = nullptr;
    std::size_t opened_ = 0;
    mutable std::size_t displayEvents_ = 0;
    std::string lastError_;
    Network network_; // last: its nodes may call back into the editor as they go
};

// The live editors of a host.
class NodeEditors {
  public:
    NodeEditors() = default;
    ~NodeEditors();
    NodeEditors(const NodeEditors&) = delete;
    NodeEditors& operator=(const NodeEditors&) = delete;

    // Throws HostError when the failure hook is armed.
    NodeEditor& create(std::string name, std::string title, const NodeEditorInit* init,
                       void* userData);
    // Destroys the editor and its network; false for an unknown handle.
    bool destroy(NodeEditorID handle);
    // Destroys every editor, newest first.
    void clear();

    // The editor behind a handle, or null when it is not a live editor.
    NodeEditor* find(NodeEditorID handle) const;
    // The editor created with this user data (the first one), or null.
    NodeEditor* findByUserData(const void* userData) const;
    std::size_t live() const { return editors_.size(); }
    const std::list<std::unique_ptr<NodeEditor>>& all() const { return editors_; }

    // The next create fails, as a host out of resources would.
    void failNextCreate() { failNext_ = true; }

  private:
    std::list<std::unique_ptr<NodeEditor>> editors_;
    bool failNext_ = false;
};

} // namespace minihost
