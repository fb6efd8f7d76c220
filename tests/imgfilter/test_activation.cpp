// Activation of the image filter and image access node servers: which
// versions they accept, which services they look up, and what they leave
// behind when they refuse.
#include "harness.h"

#include <cstring>
#include <set>

namespace {

// A lookup that records every name asked for and answers null for refused
// ones; everything else comes from the host.
std::vector<std::string> gAsked;
std::set<std::string> gRefused;

void* recordingLookup(const char* name, int useClass) {
    gAsked.emplace_back(name);
    if (gRefused.count(name))
        return nullptr;
    return minihost::Host::lookup(name, useClass);
}

class Activation : public harness::ModuleTest {
  protected:
    Activation() {
        gAsked.clear();
        gRefused.clear();
    }
    int activate(const char* cls, const char* server, int version, void* local) {
        return host.module().activate(cls, server, version, recordingLookup, local);
    }
};

// Handler records filled with a recognisable pattern, to see what changed.
template <class T> T patterned() {
    T record;
    std::memset(&record, 0x5a, sizeof record);
    return record;
}
template <class T> bool same(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(Activation, ImageFilterHandlerAcceptsAnyVersionAndFillsEverySlot) {
    for (int version : {0, 1, 7}) {
        SCOPED_TRACE(version);
        gAsked.clear();
        InstanceFuncs inst{};
        ItemFuncs item{};
        ImageFilterHandler handler{&inst, &item, nullptr, nullptr};
        ASSERT_EQ(activate(CLASS_IMAGE_FILTER_HANDLER, SERVER_IMAGE_FILTER, version, &handler),
                  ACTIVATE_OK);
        EXPECT_EQ(gAsked, (std::vector<std::string>{"NodeEditorFuncs", "NodeInputFuncs",
                                                    "NodeFuncs", "Communication Ring",
                                                    "Animation Envelopes", "Instance Update"}));
        EXPECT_EQ(inst.priv, reinterpret_cast<void*>(&recordingLookup));
        for (auto* slot :
             {(void*)inst.create, (void*)inst.destroy, (void*)inst.copy, (void*)inst.load,
              (void*)inst.save, (void*)inst.describe, (void*)item.useItems, (void*)item.changeID,
              (void*)handler.process, (void*)handler.flags})
            EXPECT_NE(slot, nullptr);
        EXPECT_STREQ(inst.describe(nullptr), "Tavi Node ImageFilter");
        EXPECT_EQ(item.useItems(nullptr), nullptr);
    }
    // The item table is optional.
    InstanceFuncs inst{};
    ImageFilterHandler handler{&inst, nullptr, nullptr, nullptr};
    EXPECT_EQ(activate(CLASS_IMAGE_FILTER_HANDLER, SERVER_IMAGE_FILTER, 1, &handler), ACTIVATE_OK);
}

TEST_F(Activation, AMissingServiceRefusesWithTwoAfterAskingForAllAndLeavesTheRecord) {
    for (const char* missing : {"NodeEditorFuncs", "Communication Ring", "Instance Update"}) {
        SCOPED_TRACE(missing);
        gAsked.clear();
        gRefused = {missing};
        auto inst = patterned<InstanceFuncs>();
        auto handler = patterned<ImageFilterHandler>();
        handler.inst = &inst;
        const auto before = handler;
        const auto instBefore = inst;
        EXPECT_EQ(activate(CLASS_IMAGE_FILTER_HANDLER, SERVER_IMAGE_FILTER, 1, &handler),
                  ACTIVATE_MISSING_SERVICE);
        EXPECT_EQ(gAsked.size(), 6u);
        EXPECT_TRUE(same(handler, before));
        EXPECT_TRUE(same(inst, instBefore));
    }
    gRefused = {"NodeOutputFuncs"}; // the filter does not need it
    InstanceFuncs inst{};
    ImageFilterHandler handler{&inst, nullptr, nullptr, nullptr};
    EXPECT_EQ(activate(CLASS_IMAGE_FILTER_HANDLER, SERVER_IMAGE_FILTER, 1, &handler), ACTIVATE_OK);
}

TEST_F(Activation, AccessNodeHandlerWantsVersionOneAndFiveServices) {
    InstanceFuncs inst{};
    RenderFuncs rend{};
    void* hostWord = &rend;
    NodeHandler handler{&inst, hostWord, &rend, nullptr};
    for (int version : {0, 2}) {
        EXPECT_EQ(activate(CLASS_NODE_HANDLER, SERVER_IMAGE_NODE, version, &handler),
                  ACTIVATE_BAD_VERSION);
        EXPECT_TRUE(gAsked.empty());
        EXPECT_EQ(inst.create, nullptr);
    }
    ASSERT_EQ(activate(CLASS_NODE_HANDLER, SERVER_IMAGE_NODE, 1, &handler), ACTIVATE_OK);
    EXPECT_EQ(gAsked, (std::vector<std::string>{"NodeInputFuncs", "NodeOutputFuncs", "NodeFuncs",
                                                "Communication Ring", "Instance Update"}));
    EXPECT_EQ(inst.priv, reinterpret_cast<void*>(&recordingLookup));
    for (auto* slot : {(void*)inst.create, (void*)inst.destroy, (void*)inst.copy, (void*)inst.load,
                       (void*)inst.save, (void*)rend.init, (void*)rend.cleanup, (void*)rend.newTime,
                       (void*)handler.evaluate})
        EXPECT_NE(slot, nullptr);
    EXPECT_EQ(inst.describe, nullptr); // a node has no describe
    EXPECT_EQ(handler.hostWord, hostWord);

    // Instance Update is required although the node never calls it.
    gAsked.clear();
    gRefused = {"Instance Update"};
    auto inst2 = patterned<InstanceFuncs>();
    auto rend2 = patterned<RenderFuncs>();
    auto handler2 = patterned<NodeHandler>();
    handler2.inst = &inst2;
    handler2.rend = &rend2;
    const auto before = handler2;
    EXPECT_EQ(activate(CLASS_NODE_HANDLER, SERVER_IMAGE_NODE, 1, &handler2),
              ACTIVATE_MISSING_SERVICE);
    EXPECT_EQ(gAsked.size(), 5u);
    EXPECT_TRUE(same(handler2, before));
    EXPECT_TRUE(same(inst2, patterned<InstanceFuncs>()));
    EXPECT_TRUE(same(rend2, patterned<RenderFuncs>()));
}

TEST_F(Activation, FilterInterfaceWantsVersionFourAndOpensTheNodeEditor) {
    minihost::ImageFilter filter;
    fake::Editor& editor = graph.lastEditor();
    InterfaceRecord record{};
    for (int version : {3, 5}) {
        gAsked.clear();
        record = {filter.get(), nullptr, nullptr, nullptr};
        EXPECT_EQ(activate(CLASS_IMAGE_FILTER_INTERFACE, SERVER_IMAGE_FILTER, version, &record),
                  ACTIVATE_BAD_VERSION);
        EXPECT_TRUE(gAsked.empty());
    }
    EXPECT_EQ(editor.opens, 0);
    record = {filter.get(), reinterpret_cast<PanelID>(&record), &record, &record};
    EXPECT_EQ(activate(CLASS_IMAGE_FILTER_INTERFACE, SERVER_IMAGE_FILTER, 4, &record), ACTIVATE_OK);
    EXPECT_EQ(editor.opens, 1);
    EXPECT_EQ(record.inst, filter.get());
    EXPECT_EQ(record.panel, nullptr);
    EXPECT_EQ(record.options, nullptr);
    EXPECT_EQ(record.command, nullptr);
    // A missing panel service is no reason to refuse.
    gRefused = {"PanelFuncs"};
    EXPECT_EQ(filter.openInterface(record), ACTIVATE_OK);
    // Nor is a record without an instance; there is just nothing to open.
    record = {nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(activate(CLASS_IMAGE_FILTER_INTERFACE, SERVER_IMAGE_FILTER, 4, &record), ACTIVATE_OK);
    EXPECT_EQ(editor.opens, 2);
}

TEST_F(Activation, AccessNodeInterfaceAcceptsAnyVersionButNeedsPanels) {
    harness::AccessNode node;
    for (int version : {1, 4, 9}) {
        InterfaceRecord record{node.get(), nullptr, &record, &record};
        EXPECT_EQ(activate(CLASS_NODE_INTERFACE, SERVER_IMAGE_NODE, version, &record), ACTIVATE_OK);
        EXPECT_NE(record.panel, nullptr);
        EXPECT_EQ(record.options, nullptr);
        EXPECT_EQ(record.command, nullptr);
    }
    gRefused = {"PanelFuncs"};
    InterfaceRecord record{node.get(), nullptr, nullptr, nullptr};
    EXPECT_EQ(activate(CLASS_NODE_INTERFACE, SERVER_IMAGE_NODE, 4, &record),
              ACTIVATE_MISSING_SERVICE);
}

TEST_F(Activation, NoRecordGivesThreeAndTouchesNothing) {
    const std::pair<const char*, const char*> servers[] = {
        {CLASS_IMAGE_FILTER_HANDLER, SERVER_IMAGE_FILTER},
        {CLASS_IMAGE_FILTER_INTERFACE, SERVER_IMAGE_FILTER},
        {CLASS_NODE_HANDLER, SERVER_IMAGE_NODE},
        {CLASS_NODE_INTERFACE, SERVER_IMAGE_NODE}};
    for (auto [cls, server] : servers) {
        for (int version : {1, 4}) {
            EXPECT_EQ(activate(cls, server, version, nullptr), ACTIVATE_NO_RECORD) << cls;
        }
    }
    EXPECT_TRUE(gAsked.empty());
    // A handler record without its instance table is no record either.
    ImageFilterHandler image{};
    NodeHandler node{};
    EXPECT_EQ(activate(CLASS_IMAGE_FILTER_HANDLER, SERVER_IMAGE_FILTER, 1, &image),
              ACTIVATE_NO_RECORD);
    EXPECT_EQ(activate(CLASS_NODE_HANDLER, SERVER_IMAGE_NODE, 1, &node), ACTIVATE_NO_RECORD);
    EXPECT_TRUE(gAsked.empty());
}

} // namespace
