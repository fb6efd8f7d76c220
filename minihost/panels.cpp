#include "panels.h"

#include "host.h"

namespace minihost {

namespace {
// Lists are read up to this many rows; a longer one is taken as unterminated.
constexpr int kMaxRows = 4096;
} // namespace

// The C functions of "PanelFuncs". None lets an exception reach the module.
struct PanelService {
    static Panel* panel(PanelID handle) {
        Host* host = Host::tryCurrent();
        return host ? host->panels().find(handle) : nullptr;
    }

    static PanelID create(int32_t, const PanelControl* controls) {
        Host* host = Host::tryCurrent();
        if (!host)
            return nullptr;
        Panels& panels = host->panels();
        if (panels.failNext_) {
            panels.failNext_ = false;
            return nullptr;
        }
        try {
            Panel& p = panels.panels_.emplace_back();
            for (int i = 0; controls && i < kMaxRows && controls[i].id; ++i)
                p.controls_.push_back({controls[i].id, controls[i].label ? controls[i].label : "",
                                       controls[i].type ? controls[i].type : "", "", ""});
            ++panels.created_;
            return p.handle();
        } catch (...) {
            return nullptr;
        }
    }

    static void destroy(PanelID handle) {
        Host* host = Host::tryCurrent();
        if (!host)
            return;
        host->panels().panels_.remove_if([&](Panel& p) { return p.handle() == handle; });
    }

    static int32_t describe(PanelID handle, const PanelDataDesc* data, PanelGetFunc get,
                            PanelSetFunc set) {
        Panel* p = panel(handle);
        if (!p)
            return 0;
        p->get_ = get;
        p->set_ = set;
        for (int i = 0; data && i < kMaxRows && data[i].id; ++i)
            for (auto& c : p->controls_)
                if (c.id == data[i].id) {
                    c.valueName = data[i].name ? data[i].name : "";
                    c.valueType = data[i].type ? data[i].type : "";
                }
        return 1;
    }

    static void hint(PanelID handle, uint32_t, const PanelHint* hints) {
        Panel* p = panel(handle);
        if (!p || !hints)
            return;
        for (int i = 0; i < kMaxRows && hints[i] != PANEL_HINT_END;) {
            if (hints[i] == PANEL_HINT_CHANGE_NOTIFY) {
                p->notify_ = reinterpret_cast<PanelChangeNotifyFunc>(hints[i + 1]);
                i += 2;
            } else if (hints[i] == PANEL_HINT_LABEL) {
                const auto id = static_cast<uint32_t>(hints[i + 1]);
                const char* text = reinterpret_cast<const char*>(hints[i + 2]);
                if (id == 0)
                    p->label_ = text ? text : "";
                else
                    for (auto& c : p->controls_)
                        if (c.id == id)
                            c.label = text ? text : "";
                i += 3;
            } else {
                return; // an unknown hint: its length is unknown, so stop reading
            }
        }
    }

    static int32_t changeRefresh(PanelID handle, int32_t) {
        Panel* p = panel(handle);
        if (!p)
            return 0;
        ++p->refreshes_;
        return 1;
    }

    static void bindUserData(PanelID handle, uint32_t, void* userData) {
        if (Panel* p = panel(handle))
            p->userData_ = userData;
    }

    static void bindInstance(PanelID handle, void* instance) {
        if (Panel* p = panel(handle))
            p->instance_ = instance;
    }
};

const PanelFuncs Panels::table = {
    {},
    PanelService::create,
    PanelService::destroy,
    PanelService::describe,
    PanelService::hint,
    PanelService::changeRefresh,
    PanelService::bindUserData,
    {},
    PanelService::bindInstance,
};

Panel* Panels::find(PanelID handle) {
    for (Panel& p : panels_)
        if (p.handle() == handle)
            return &p;
    return nullptr;
}

const PanelControlInfo* Panel::control(uint32_t id) const {
    for (const auto& c : controls_)
        if (c.id == id)
            return &c;
    return nullptr;
}

const PanelControlInfo* Panel::controlNamed(const std::string& name) const {
    for (const auto& c : controls_)
        if (c.label == name || c.valueName == name)
            return &c;
    return nullptr;
}

int32_t Panel::get(uint32_t id) const {
    if (!get_)
        throw HostError("panel \"" + label_ + "\" was never described");
    const auto* value = static_cast<const int32_t*>(get_(instance_, id));
    if (!value)
        throw HostError("panel \"" + label_ + "\" has no value for control " + std::to_string(id));
    return *value;
}

int32_t Panel::set(uint32_t id, int32_t value) {
    if (!set_)
        throw HostError("panel \"" + label_ + "\" was never described");
    const int32_t result = set_(instance_, id, &value);
    if (notify_)
        notify_(handle(), nullptr, userData_);
    return result;
}

} // namespace minihost
