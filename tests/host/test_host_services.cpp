// Service lookup, withholding, and the scene records the module reads.
#include <minihost/host.h>
#include <minihost/instance_updates.h>
#include <minihost/scene.h>

#include <gtest/gtest.h>

namespace {

using minihost::Host;

TEST(HostServices, EveryServiceIsFoundByNameAndCanBeWithheld) {
    Host host;
    for (const char* name : {"NodeEditorFuncs", "NodeFuncs", "NodeInputFuncs", "NodeOutputFuncs",
                             "Communication Ring", "Animation Envelopes", "Instance Update",
                             "Time Info", "Scene Info 4", "Item Info 4", "PanelFuncs"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(Host::lookup(name, 0), nullptr);
        host.withhold(name);
        EXPECT_EQ(Host::lookup(name, 0), nullptr);
        host.restore(name);
        EXPECT_NE(Host::lookup(name, 0), nullptr);
    }
    EXPECT_EQ(Host::lookup("No Such Service", 0), nullptr);
    EXPECT_EQ(Host::lookup(nullptr, 0), nullptr);
}

TEST(HostServices, OneHostAtATime) {
    {
        Host host;
        EXPECT_THROW(Host second, minihost::HostError);
        EXPECT_EQ(&Host::current(), &host);
    }
    EXPECT_EQ(Host::tryCurrent(), nullptr);
    EXPECT_EQ(Host::lookup("Time Info", 0), nullptr); // no host: nothing to find
}

TEST(HostServices, TimeSceneAndItemRecordsFollowTheScene) {
    Host host;
    auto& time = *static_cast<TimeInfo*>(Host::lookup("Time Info", 0));
    auto& scene = *static_cast<SceneInfo*>(Host::lookup("Scene Info 4", 0));
    auto& items = *static_cast<ItemInfo*>(Host::lookup("Item Info 4", 0));

    host.scene().setFrame(12, 24.0);
    EXPECT_EQ(time.frame, 12);
    EXPECT_DOUBLE_EQ(time.time, 0.5);
    host.scene().setFrameSize(640, 480);
    EXPECT_EQ(scene.frameWidth, 640);
    EXPECT_EQ(scene.frameHeight, 480);

    EXPECT_EQ(scene.renderCamera(0.0), nullptr); // no camera yet
    minihost::CameraItem camera;
    camera.position = [](double t) { return minihost::Vec3{3, 4, t}; };
    camera.activeFrom = 0.0;
    camera.activeTo = 1.0;
    host.scene().setCamera(camera);
    EXPECT_EQ(scene.renderCamera(2.0), nullptr); // outside the camera's time range
    ItemID item = scene.renderCamera(0.5);
    ASSERT_NE(item, nullptr);
    double position[3] = {};
    EXPECT_EQ(items.param(item, ITEM_PARAM_POSITION, 0.25, position), 1);
    EXPECT_EQ(position[0], 3.0);
    EXPECT_EQ(position[1], 4.0);
    EXPECT_EQ(position[2], 0.25);
    double other[3] = {9, 9, 9};
    EXPECT_EQ(items.param(reinterpret_cast<ItemID>(&host), ITEM_PARAM_POSITION, 0, other), 0);
    EXPECT_EQ(other[0], 9.0); // an unknown item leaves the output alone
}

TEST(HostServices, InstanceUpdatesAndEnvelopeGroupsAreRecorded) {
    Host host;
    auto update = reinterpret_cast<InstanceUpdateFunc>(Host::lookup("Instance Update", 0));
    int instance = 0;
    update("NodeHandler", &instance);
    update("NodeHandler", &instance);
    EXPECT_EQ(host.updates().count("NodeHandler", &instance), 2u);
    auto& envelopes = *static_cast<EnvelopeFuncs*>(Host::lookup("Animation Envelopes", 0));
    EXPECT_NE(envelopes.createGroup(nullptr, "NodeImageFilter"), nullptr);
    EXPECT_EQ(host.scene().envelopeGroups().front(), "NodeImageFilter");
}

} // namespace
