// Splitting EXR channel names into view, layer and component.
//
// EXR names channels "layer.channel" with layers that may nest
// ("ViewLayer.Depth.Z"). A multi-view file names its hero view's channels
// plainly and puts another view's name just before the last component
// ("left.R", "forward.left.u"); a multi-part file marks each part's view in
// the part header instead.
#pragma once

#include "exr_layout.h"

#include <string>
#include <string_view>
#include <vector>

namespace tavi {

// One EXR channel of a layout.
struct ExrChannelRef {
    int part = 0;     // index into ExrLayout::parts
    int channel = 0;  // index into that part's channels
    std::string name; // the full name as the file stores it
    friend bool operator==(const ExrChannelRef&, const ExrChannelRef&) = default;
};

struct ExrChannelName {
    ExrChannelRef ref;
    std::string view;      // the view it belongs to; empty when it belongs to none
    std::string layer;     // the layer path without any view, "" for none
    std::string component; // the last component ("R", "Z", "u")
    // How the channel is named across part boundaries: layer, then the view
    // unless it is the hero view, then the component ("forward.left.u").
    std::string qualified;
    bool heroScope = true; // in the hero view or in none
};

// The hero (default) view: the first entry of a "multiView" attribute, else
// the first part's "view" attribute, else empty (the file has no views).
std::string heroViewOf(const ExrLayout& layout);

// Every channel of every part, in part order then channel order.
std::vector<ExrChannelName> splitChannelNames(const ExrLayout& layout, const std::string& heroView);

// The innermost layer of a layer path ("Depth" of "ViewLayer.Depth") and
// what comes before it ("ViewLayer").
std::string_view innermostLayer(std::string_view layer);
std::string_view layerPrefix(std::string_view layer);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace tavi
