// Headless panels driven through the module-facing table, the way a module
// builds its options panel, then read and set by the host as a user would.
#include <minihost/host.h>
#include <minihost/panels.h>

#include <gtest/gtest.h>

namespace {

struct Settings {
    int32_t values[2] = {1, 0};
    int notified = 0;
};

void* getValue(void* instance, uint32_t id) {
    auto* s = static_cast<Settings*>(instance);
    return (s && id >= 0x8001 && id <= 0x8002) ? &s->values[id - 0x8001] : nullptr;
}

int32_t setValue(void* instance, uint32_t id, void* value) {
    auto* s = static_cast<Settings*>(instance);
    if (!s || !value || id < 0x8001 || id > 0x8002)
        return 0;
    s->values[id - 0x8001] = *static_cast<int32_t*>(value);
    return 1;
}

const PanelFuncs* gPanels = nullptr;
Settings* gNotified = nullptr;

int32_t changeNotify(PanelID panel, void*, void*) {
    ++gNotified->notified;
    return gPanels->changeRefresh(panel, 0);
}

const PanelControl kControls[] = {{0x8001, "Evaluate every pixel", "iBoolean"},
                                  {0x8002, "Other", "iBoolean"},
                                  {0, nullptr, nullptr}};
const PanelDataDesc kData[] = {
    {0x8001, "EveryPix", "integer"}, {0x8002, "Other", "integer"}, {0, nullptr, nullptr}};

TEST(Panels, ModuleBuiltPanelListsControlsAndRoutesValuesThroughCallbacks) {
    minihost::Host host;
    gPanels = static_cast<PanelFuncs*>(minihost::Host::lookup("PanelFuncs", 0));
    Settings settings;
    gNotified = &settings;

    PanelID id = gPanels->create(1, kControls);
    ASSERT_NE(id, nullptr);
    gPanels->describe(id, kData, getValue, setValue);
    const PanelHint hints[] = {PANEL_HINT_CHANGE_NOTIFY,
                               reinterpret_cast<PanelHint>(&changeNotify),
                               PANEL_HINT_LABEL,
                               0,
                               reinterpret_cast<PanelHint>("My Node"),
                               PANEL_HINT_LABEL,
                               0x8002,
                               reinterpret_cast<PanelHint>("Relabelled"),
                               0};
    gPanels->hint(id, 0, hints);
    gPanels->bindInstance(id, &settings);
    gPanels->bindUserData(id, 0, &settings);

    minihost::Panel* panel = host.panels().find(id);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->label(), "My Node");
    ASSERT_EQ(panel->controls().size(), 2u);
    EXPECT_EQ(panel->controls()[0].label, "Evaluate every pixel");
    EXPECT_EQ(panel->controls()[0].valueName, "EveryPix");
    EXPECT_EQ(panel->controls()[1].label, "Relabelled");
    EXPECT_EQ(panel->controlNamed("EveryPix"), &panel->controls()[0]);

    EXPECT_EQ(panel->get(0x8001), 1);
    EXPECT_EQ(panel->set(0x8001, 0), 1);
    EXPECT_EQ(settings.values[0], 0);
    EXPECT_EQ(settings.notified, 1);
    EXPECT_EQ(panel->refreshCount(), 1u);
    EXPECT_THROW(panel->get(0x8003), minihost::HostError); // get answers no address

    gPanels->destroy(id);
    EXPECT_EQ(host.panels().find(id), nullptr);
    EXPECT_EQ(host.panels().live(), 0u);
}

TEST(Panels, CreateCanFailOnceAndUnknownHandlesAreIgnored) {
    minihost::Host host;
    const auto* panels = static_cast<PanelFuncs*>(minihost::Host::lookup("PanelFuncs", 0));
    host.panels().failNextCreate();
    EXPECT_EQ(panels->create(1, kControls), nullptr);
    PanelID id = panels->create(1, kControls);
    EXPECT_NE(id, nullptr);
    auto* bogus = reinterpret_cast<PanelID>(&host);
    panels->bindInstance(bogus, nullptr);
    EXPECT_EQ(panels->changeRefresh(bogus, 0), 0);
    panels->destroy(bogus);
    EXPECT_EQ(host.panels().live(), 1u);
}

} // namespace
