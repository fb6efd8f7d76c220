#include "exr_channel_names.h"

#include <algorithm>
#include <cctype>

namespace tavi {

namespace {

std::vector<std::string_view> splitOnDots(std::string_view name) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = name.find('.', start);
        parts.push_back(name.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (dot == std::string_view::npos)
            return parts;
        start = dot + 1;
    }
}

std::string joinWithDots(std::vector<std::string_view>::const_iterator first,
                         std::vector<std::string_view>::const_iterator last) {
    std::string joined;
    for (auto it = first; it != last; ++it) {
        if (it != first)
            joined += '.';
        joined += *it;
    }
    return joined;
}

bool listsView(const std::vector<std::string>& views, std::string_view name) {
    return std::any_of(views.begin(), views.end(),
                       [&](const std::string& view) { return view == name; });
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string heroViewOf(const ExrLayout& layout) {
    for (const ExrPart& part : layout.parts)
        if (!part.multiView.empty())
            return part.multiView.front();
    return layout.parts.empty() ? std::string() : layout.parts.front().view;
}

std::string_view innermostLayer(std::string_view layer) {
    const std::size_t dot = layer.rfind('.');
    return dot == std::string_view::npos ? layer : layer.substr(dot + 1);
}

std::string_view layerPrefix(std::string_view layer) {
    const std::size_t dot = layer.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : layer.substr(0, dot);
}

std::vector<ExrChannelName> splitChannelNames(const ExrLayout& layout,
                                              const std::string& heroView) {
    std::vector<ExrChannelName> names;
    for (std::size_t p = 0; p < layout.parts.size(); ++p) {
        const ExrPart& part = layout.parts[p];
        for (std::size_t c = 0; c < part.channels.size(); ++c) {
            ExrChannelName entry;
            entry.ref = {static_cast<int>(p), static_cast<int>(c), part.channels[c]};
            const std::vector<std::string_view> pieces = splitOnDots(part.channels[c]);
            entry.component = std::string(pieces.back());
            auto layerEnd = pieces.end() - 1;
            if (!part.view.empty()) {
                entry.view = part.view;
            } else if (!part.multiView.empty()) {
                // The penultimate piece names the view when it is one of the
                // listed views; a channel without one is the hero view's.
                if (pieces.size() >= 2 && listsView(part.multiView, pieces[pieces.size() - 2])) {
                    entry.view = std::string(pieces[pieces.size() - 2]);
                    --layerEnd;
                } else {
                    entry.view = part.multiView.front();
                }
            }
            entry.layer = joinWithDots(pieces.begin(), layerEnd);
            entry.heroScope = entry.view.empty() || entry.view == heroView;
            entry.qualified = entry.layer;
            if (!entry.heroScope)
                entry.qualified += (entry.qualified.empty() ? "" : ".") + entry.view;
            entry.qualified += (entry.qualified.empty() ? "" : ".") + entry.component;
            names.push_back(std::move(entry));
        }
    }
    return names;
}

} // namespace tavi
