#include "pixel_fixture.h"

namespace pixeltest {

minihost::Panel& AccessNode::panel() {
    InterfaceRecord record{instance.get(), nullptr, nullptr, nullptr};
    minihost::Host& host = minihost::Host::current();
    const int code = host.activateInterface(CLASS_NODE_INTERFACE, SERVER_PIXEL_NODE, record);
    minihost::Panel* panel = host.panels().find(record.panel);
    if (code != ACTIVATE_OK || !panel)
        throw std::logic_error("the access node gave no panel");
    return *panel;
}

fakes::Editor& PixelTest::editorOf(const minihost::PixelFilter& filter) {
    for (fakes::Editor& e : graph.editors())
        if (e.userData == filter.get() && !e.destroyed)
            return e;
    throw std::logic_error("filter has no editor");
}

fakes::Input& PixelTest::rootInput(const minihost::PixelFilter& filter, int channel) {
    return *editorOf(filter).input(bufferChannels[channel].name);
}

PanelID PixelTest::requestRootPanel(const minihost::PixelFilter& filter) {
    fakes::Editor& e = editorOf(filter);
    return e.init.rootPanel(e.root.handle());
}

minihost::Panel& PixelTest::rootPanel(const minihost::PixelFilter& filter) {
    minihost::Panel* panel = host.panels().find(requestRootPanel(filter));
    if (!panel)
        throw std::logic_error("no root-node panel");
    return *panel;
}

std::unique_ptr<AccessNode> PixelTest::placeAccessNode(const minihost::PixelFilter& filter,
                                                       const std::string& name) {
    auto node = std::make_unique<AccessNode>(nodeHandler(), graph.makeNode(name));
    editorOf(filter).members.push_back(node->member());
    return node;
}

} // namespace pixeltest
