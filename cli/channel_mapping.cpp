#include "channel_mapping.h"

#include "channel_aliases.h"
#include "render_channels.h"

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>
#include <tuple>

namespace tavi {

namespace {

// The channels of one layer of one part in one view.
struct LayerGroup {
    int part = 0;
    std::string view;
    std::string layer;          // as stored, without the view
    std::string qualifiedLayer; // with the view inserted unless it is the hero's
    std::string innerFolded;    // innermost layer name, folded
    std::string prefix;         // render-layer prefix before the innermost layer
    bool heroScope = true;
    std::vector<std::size_t> members; // indices into the split names
};

std::vector<LayerGroup> groupLayers(const std::vector<ExrChannelName>& names) {
    std::vector<LayerGroup> groups;
    std::map<std::tuple<int, std::string, std::string>, std::size_t> index;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const ExrChannelName& name = names[i];
        const auto key = std::make_tuple(name.ref.part, name.view, name.layer);
        auto [it, added] = index.emplace(key, groups.size());
        if (added) {
            LayerGroup group;
            group.part = name.ref.part;
            group.view = name.view;
            group.layer = name.layer;
            group.qualifiedLayer = name.layer;
            if (!name.heroScope)
                group.qualifiedLayer += (name.layer.empty() ? "" : ".") + name.view;
            group.innerFolded = foldName(innermostLayer(name.layer));
            group.prefix = std::string(layerPrefix(name.layer));
            group.heroScope = name.heroScope;
            groups.push_back(std::move(group));
        }
        groups[it->second].members.push_back(i);
    }
    return groups;
}

// A candidate source and how much it is preferred (smaller wins).
struct Candidate {
    ChannelSource source;
    std::tuple<std::size_t, std::size_t, int, int, int, std::size_t> rank;
};

class Mapper {
  public:
    Mapper(const ExrLayout& layout) : hero_(heroViewOf(layout)) {
        names_ = splitChannelNames(layout, hero_);
        groups_ = groupLayers(names_);
    }

    const std::string& hero() const { return hero_; }

    std::optional<ChannelSource> byDefault(const BufferChannel& channel) {
        std::optional<Candidate> best;
        const auto& rules = defaultAliasRules();
        for (std::size_t r = 0; r < rules.size(); ++r) {
            if (rules[r].channel != &channel)
                continue;
            for (const LayerGroup& group : groups_) {
                if (!group.heroScope)
                    continue;
                const auto& layers = rules[r].layers;
                const auto alias = std::find(layers.begin(), layers.end(), group.innerFolded);
                if (alias == layers.end())
                    continue;
                std::optional<ChannelSource> source =
                    rules[r].components.empty()
                        ? pickFromLayer(channel, group)
                        : pickComponents(channel, group, rules[r].components);
                if (!source)
                    continue;
                Candidate candidate{std::move(*source),
                                    {r, static_cast<std::size_t>(alias - layers.begin()),
                                     group.view.empty() ? 1 : 0,
                                     colourPrefix_ && *colourPrefix_ == group.prefix ? 0 : 1,
                                     group.part, group.members.front()}};
                if (!best || candidate.rank < best->rank)
                    best = std::move(candidate);
            }
        }
        if (!best)
            return std::nullopt;
        if (&channel == &bufferChannels[0])
            colourPrefix_ = groupOf(best->source).prefix;
        return std::move(best->source);
    }

    // An override's source, or nullopt with a note saying why it failed.
    std::optional<ChannelSource> byOverride(const ChannelOverride& override, std::string& note) {
        const BufferChannel& channel = *override.channel;
        const auto& names = override.exrNames;
        std::optional<ChannelSource> source;
        if (names.size() == 1) {
            const std::optional<std::size_t> single =
                isColourChannel(channel) ? std::nullopt : findChannel(names[0]);
            if (single) {
                source = ChannelSource{&channel, {names_[*single].ref}};
            } else if (const LayerGroup* group = findLayer(names[0])) {
                source = pickFromLayer(channel, *group);
                if (!source)
                    note = std::string(channel.name) + ": layer '" + names[0] +
                           "' has no channels it can take (a colour needs R, G and B)";
            } else {
                note = std::string(channel.name) + ": the file has no channel or layer '" +
                       names[0] + "'";
            }
        } else if (names.size() == 3) {
            ChannelSource three{&channel, {}};
            three.luminance = !isColourChannel(channel);
            for (const std::string& name : names) {
                const std::optional<std::size_t> found = findChannel(name);
                if (!found) {
                    note = std::string(channel.name) + ": the file has no channel '" + name + "'";
                    return std::nullopt;
                }
                three.exrChannels.push_back(names_[*found].ref);
            }
            source = std::move(three);
        }
        if (source)
            source->overridden = true;
        if (source && &channel == &bufferChannels[0])
            colourPrefix_ = groupOf(*source).prefix;
        return source;
    }

  private:
    const LayerGroup& groupOf(const ChannelSource& source) const {
        const ExrChannelRef& first = source.exrChannels.front();
        for (const LayerGroup& group : groups_)
            for (std::size_t member : group.members)
                if (names_[member].ref == first)
                    return group;
        throw std::logic_error("a source channel belongs to no layer");
    }

    std::optional<std::size_t> componentNamed(const LayerGroup& group,
                                              const std::vector<std::string>& accepted) const {
        for (const std::string& wanted : accepted)
            for (std::size_t member : group.members)
                if (lowerCase(names_[member].component) == wanted)
                    return member;
        return std::nullopt;
    }

    std::optional<ChannelSource>
    pickComponents(const BufferChannel& channel, const LayerGroup& group,
                   const std::vector<std::vector<std::string>>& components) const {
        ChannelSource source{&channel, {}};
        for (const auto& accepted : components) {
            const std::optional<std::size_t> member = componentNamed(group, accepted);
            if (!member)
                return std::nullopt;
            source.exrChannels.push_back(names_[*member].ref);
        }
        return source;
    }

    std::optional<ChannelSource> pickFromLayer(const BufferChannel& channel,
                                               const LayerGroup& group) const {
        if (isColourChannel(channel))
            return pickComponents(channel, group, colourComponents());
        if (group.members.size() == 1)
            return ChannelSource{&channel, {names_[group.members.front()].ref}};
        if (auto rgb = pickComponents(channel, group, colourComponents())) {
            rgb->luminance = true;
            return rgb;
        }
        if (auto member = componentNamed(group, scalarComponentPreference()))
            return ChannelSource{&channel, {names_[*member].ref}};
        return ChannelSource{&channel, {names_[group.members.front()].ref}};
    }

    // Exact matches before case-insensitive ones; within each, the hero
    // view before the others.
    std::optional<std::size_t> findChannel(const std::string& text) const {
        for (bool exact : {true, false})
            for (bool hero : {true, false})
                for (std::size_t i = 0; i < names_.size(); ++i) {
                    const ExrChannelName& name = names_[i];
                    if (name.heroScope != hero)
                        continue;
                    if (exact ? (name.ref.name == text || name.qualified == text)
                              : (equalsIgnoringCase(name.ref.name, text) ||
                                 equalsIgnoringCase(name.qualified, text)))
                        return i;
                }
        return std::nullopt;
    }

    const LayerGroup* findLayer(const std::string& text) const {
        for (bool exact : {true, false})
            for (bool hero : {true, false})
                for (const LayerGroup& group : groups_) {
                    if (group.heroScope != hero || group.layer.empty())
                        continue;
                    if (exact ? (group.layer == text || group.qualifiedLayer == text)
                              : (equalsIgnoringCase(group.layer, text) ||
                                 equalsIgnoringCase(group.qualifiedLayer, text)))
                        return &group;
                }
        return nullptr;
    }

    std::string hero_;
    std::vector<ExrChannelName> names_;
    std::vector<LayerGroup> groups_;
    std::optional<std::string> colourPrefix_;
};

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string channelNameList() {
    std::string list;
    for (const BufferChannel& channel : renderChannels())
        list += (list.empty() ? "" : ", ") + std::string(channel.name);
    return list;
}

} // namespace

std::string ChannelSource::describe() const {
    std::string text = luminance ? "luminance of " : "";
    for (std::size_t i = 0; i < exrChannels.size(); ++i) {
        text += (i ? ", " : "") + exrChannels[i].name;
        // Parts repeat channel names, so any part but the first is named.
        if (exrChannels[i].part != 0)
            text += " (part " + std::to_string(exrChannels[i].part) + ")";
    }
    return text;
}

const ChannelSource* ChannelMapping::source(const BufferChannel& channel) const {
    for (const ChannelSource& entry : found)
        if (entry.channel == &channel)
            return &entry;
    return nullptr;
}

const ChannelSource* ChannelMapping::source(std::string_view channelName) const {
    const BufferChannel* channel = findRenderChannel(channelName);
    return channel ? source(*channel) : nullptr;
}

ChannelOverride makeChannelOverride(std::string_view channelName,
                                    std::vector<std::string> exrNames) {
    const BufferChannel* channel = findRenderChannel(channelName);
    if (!channel)
        throw std::invalid_argument("unknown render channel '" + std::string(channelName) +
                                    "' (channels: " + channelNameList() + ")");
    for (const std::string& name : exrNames)
        if (name.empty())
            throw std::invalid_argument(std::string(channel->name) +
                                        ": an EXR channel name is empty");
    const std::size_t count = exrNames.size();
    if (count != 0 && count != 1 && count != 3)
        throw std::invalid_argument(std::string(channel->name) + " takes " +
                                    (isColourChannel(*channel)
                                         ? "three EXR channels (red, green, blue) or one layer"
                                         : "one EXR channel, three (read as luminance) or one "
                                           "layer") +
                                    ", not " + std::to_string(count));
    return {channel, std::move(exrNames)};
}

ChannelOverride parseChannelOverride(std::string_view text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        throw std::invalid_argument("channel override '" + std::string(text) +
                                    "' is not CHANNEL=EXR[,EXR,EXR]");
    std::vector<std::string> names;
    const std::string list = trim(text.substr(equals + 1));
    if (!list.empty()) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = list.find(',', start);
            names.push_back(trim(std::string_view(list).substr(
                start, comma == std::string::npos ? comma : comma - start)));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    return makeChannelOverride(trim(text.substr(0, equals)), std::move(names));
}

ChannelMapping mapChannels(const ExrLayout& layout, const ChannelOverrides& overrides) {
    Mapper mapper(layout);
    ChannelMapping mapping;
    mapping.heroView = mapper.hero();
    for (const BufferChannel& channel : renderChannels()) {
        const ChannelOverride* override = nullptr;
        for (const ChannelOverride& entry : overrides)
            if (entry.channel == &channel)
                override = &entry;
        std::optional<ChannelSource> source;
        if (!override) {
            source = mapper.byDefault(channel);
        } else if (!override->exrNames.empty()) {
            std::string note;
            source = mapper.byOverride(*override, note);
            if (!note.empty())
                mapping.notes.push_back({&channel, std::move(note)});
        }
        if (source)
            mapping.found.push_back(std::move(*source));
        else
            mapping.missing.push_back(&channel);
    }
    return mapping;
}

std::vector<std::string> describeMapping(const ChannelMapping& mapping) {
    std::vector<std::string> lines;
    for (const BufferChannel& channel : renderChannels()) {
        std::string line = channel.name;
        line.resize(18, ' ');
        const ChannelSource* source = mapping.source(channel);
        line += source ? "<- " + source->describe() + (source->overridden ? " (override)" : "")
                       : "(not found)";
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace tavi
