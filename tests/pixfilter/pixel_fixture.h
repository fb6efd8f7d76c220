// A host with the module loaded, the recording node graph and one render
// sample, plus helpers to reach a pixel filter's editor, root inputs and
// root-node panel and to place pixel access nodes.
#pragma once

#include "fakes.h"
#include "module_file.h"

#include <minihost/filters.h>
#include <minihost/panels.h>
#include <minihost/ring.h>

#include <shared/channels.h>
#include <shared/ring.h>
#include <shared/servernames.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pixeltest {

// A pixel access node instance on a fake node, as the host would place it.
struct AccessNode {
    AccessNode(const NodeHandler& handler, fakes::Node& node)
        : handler(handler), node(node), instance(*handler.inst, node.handle(), SERVER_PIXEL_NODE) {}

    fakes::Member member() const { return {&handler, instance.get()}; }
    fakes::Output& output(const std::string& name) { return *node.output(name); }
    // The node's panel, opened as the user would (interface activation).
    minihost::Panel& panel();
    void check(uint32_t controlId, int32_t on) { panel().set(controlId, on); }

    const NodeHandler& handler;
    fakes::Node& node;
    minihost::ServerInstance instance;
};

class PixelTest : public ::testing::Test {
  protected:
    PixelTest() { host.loadModule(testing_paths::moduleFile()); }

    const PixelFilterHandler& filterHandler() {
        return host.pixelFilterHandler(SERVER_PIXEL_FILTER);
    }
    const NodeHandler& nodeHandler() { return host.nodeHandler(SERVER_PIXEL_NODE); }

    fakes::Editor& editorOf(const minihost::PixelFilter& filter);
    fakes::Input& rootInput(const minihost::PixelFilter& filter, int channel);
    // Asks the filter's root node for its panel as the node editor would.
    PanelID requestRootPanel(const minihost::PixelFilter& filter);
    minihost::Panel& rootPanel(const minihost::PixelFilter& filter);
    std::unique_ptr<AccessNode> placeAccessNode(const minihost::PixelFilter& filter,
                                                const std::string& name = "Access");

    minihost::Host host;
    fakes::NodeGraph graph{host};
    fakes::PanelSpy panels{host};
    fakes::Sample sample;
};

} // namespace pixeltest
