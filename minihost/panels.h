// Headless panels: the host records what the module describes (controls,
// values, hints, bound instance) and drives values through the module's own
// get and set callbacks, calling change notify after a set as a user's click
// would.
#pragma once

#include <host/panels.h>

#include <cstddef>
#include <list>
#include <string>
#include <vector>

namespace minihost {

struct PanelControlInfo {
    uint32_t id = 0;
    std::string label;     // from the control list, or a hint
    std::string type;      // control type, e.g. "iBoolean"
    std::string valueName; // from the data description
    std::string valueType; // e.g. "integer"
};

class Panel {
  public:
    const std::vector<PanelControlInfo>& controls() const { return controls_; }
    const PanelControlInfo* control(uint32_t id) const;
    // The control whose label or value name is this text, or null.
    const PanelControlInfo* controlNamed(const std::string& name) const;
    // The panel's own label (hint on control 0); empty when none was given.
    const std::string& label() const { return label_; }

    void* instance() const { return instance_; }
    void* userData() const { return userData_; }
    bool described() const { return get_ != nullptr; }

    // Reads a value through the module's get callback; throws HostError when
    // the callback returns no address.
    int32_t get(uint32_t id) const;
    // Stores through the module's set callback, then calls change notify.
    // Returns what set returned.
    int32_t set(uint32_t id, int32_t value);
    std::size_t refreshCount() const { return refreshes_; }

  private:
    friend class Panels;
    friend struct PanelService;
    PanelID handle() { return reinterpret_cast<PanelID>(this); }

    std::vector<PanelControlInfo> controls_;
    std::string label_;
    PanelGetFunc get_ = nullptr;
    PanelSetFunc set_ = nullptr;
    PanelChangeNotifyFunc notify_ = nullptr;
    void* instance_ = nullptr;
    void* userData_ = nullptr;
    std::size_t refreshes_ = 0;
};

class Panels {
  public:
    // "PanelFuncs" as the module sees it.
    static const PanelFuncs table;

    // The panel behind a handle the module returned; null for an unknown one.
    Panel* find(PanelID handle);
    std::size_t live() const { return panels_.size(); }
    std::size_t created() const { return created_; }
    // The next panel create answers null, as a host out of resources would.
    void failNextCreate() { failNext_ = true; }

  private:
    friend struct PanelService;
    std::list<Panel> panels_; // a list: handles are element addresses
    std::size_t created_ = 0;
    bool failNext_ = false;
};

} // namespace minihost
