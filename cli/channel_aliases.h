// The default mapping from the names renderers give their passes to the
// seventeen render channels. docs/channels.md lists the same table.
#pragma once

#include <shared/channels.h>

#include <string>
#include <vector>

namespace tavi {

// One way to find a channel: a layer whose innermost name, folded (lower
// case, no '_', '-' or spaces), is one of `layers` ("" is the unnamed beauty
// layer), and within it the components named in `components`, one list of
// accepted lower-case names per channel component. With no component lists
// the layer's channels are picked generically: R, G and B for a colour
// channel; for a scalar channel the only channel, else the luminance of R, G
// and B, else the first of Y, V, Z, X, L, else the first channel.
struct AliasRule {
    const BufferChannel* channel = nullptr;
    std::vector<std::string> layers;
    std::vector<std::vector<std::string>> components;
};

// Rules in order of preference: for each channel, an earlier rule and an
// earlier layer name in it win.
const std::vector<AliasRule>& defaultAliasRules();

// Accepted component names of red, green and blue in a colour layer.
const std::vector<std::vector<std::string>>& colourComponents();

// Component names a scalar taken from a layer prefers, in order.
const std::vector<std::string>& scalarComponentPreference();

} // namespace tavi
