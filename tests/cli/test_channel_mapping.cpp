// The default mapping from EXR channel names to render channels, and
// overrides, on layouts described in memory.
#include <cli/channel_mapping.h>
#include <cli/render_channels.h>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tavi;

namespace {

ExrLayout singlePart(std::vector<std::string> channels, std::vector<std::string> multiView = {}) {
    ExrPart part;
    part.channels = std::move(channels);
    part.multiView = std::move(multiView);
    return ExrLayout{{part}};
}

// The stored names feeding a channel, or "-" when it is missing.
std::string sourceOf(const ChannelMapping& mapping, const char* channel) {
    const ChannelSource* source = mapping.source(channel);
    return source ? source->describe() : "-";
}

} // namespace

TEST(DefaultMapping, FindsTheBeautyAndPassesUnderCommonNames) {
    const ChannelMapping mapping = mapChannels(singlePart({"R",
                                                           "G",
                                                           "B",
                                                           "A",
                                                           "Z",
                                                           "emission.R",
                                                           "emission.G",
                                                           "emission.B",
                                                           "albedo.R",
                                                           "albedo.G",
                                                           "albedo.B",
                                                           "shadow.Y",
                                                           "velocity.u",
                                                           "velocity.v",
                                                           "Reflection.R",
                                                           "Reflection.G",
                                                           "Reflection.B",
                                                           "diffuse_shading.Y",
                                                           "transmission.Y",
                                                           "mirror.Y",
                                                           "pscale",
                                                           "crypto00.R",
                                                           "crypto00.G",
                                                           "crypto00.B",
                                                           "crypto00.A"}));

    EXPECT_EQ(sourceOf(mapping, "Color"), "R, G, B");
    EXPECT_EQ(sourceOf(mapping, "Alpha"), "A");
    EXPECT_EQ(sourceOf(mapping, "Depth"), "Z");
    EXPECT_EQ(sourceOf(mapping, "Luminous"), "luminance of emission.R, emission.G, emission.B");
    EXPECT_EQ(sourceOf(mapping, "Raw Color"), "albedo.R, albedo.G, albedo.B");
    EXPECT_EQ(sourceOf(mapping, "Shadow"), "shadow.Y");
    EXPECT_EQ(sourceOf(mapping, "Motion X"), "velocity.u");
    EXPECT_EQ(sourceOf(mapping, "Motion Y"), "velocity.v");
    EXPECT_EQ(sourceOf(mapping, "Reflection Color"), "Reflection.R, Reflection.G, Reflection.B");
    EXPECT_EQ(sourceOf(mapping, "Diffuse Shading"), "diffuse_shading.Y");
    EXPECT_EQ(sourceOf(mapping, "Transparency"), "transmission.Y");
    EXPECT_EQ(sourceOf(mapping, "Mirror"), "mirror.Y");

    // Unknown layers feed nothing; what is not found is listed in table order.
    std::vector<std::string> missing;
    for (const BufferChannel* channel : mapping.missing)
        missing.push_back(channel->name);
    EXPECT_EQ(missing, (std::vector<std::string>{"Diffuse", "Specular", "Shading",
                                                 "Specular Shading", "Geometry"}));
    EXPECT_EQ(mapping.found.size() + mapping.missing.size(), 17u);
}

TEST(DefaultMapping, IgnoresCaseAndRenderLayerPrefixes) {
    const ChannelMapping mapping = mapChannels(
        singlePart({"ViewLayer.Combined.r", "ViewLayer.Combined.g", "ViewLayer.Combined.b",
                    "ViewLayer.Combined.a", "ViewLayer.Depth.Z", "ViewLayer.Vector.X",
                    "ViewLayer.Vector.Y", "ViewLayer.Vector.Z", "ViewLayer.Vector.W",
                    "RenderLayer.SPECULAR.R", "RenderLayer.SPECULAR.G", "RenderLayer.SPECULAR.B",
                    "DiffCol.R", "DiffCol.G", "DiffCol.B"}));

    EXPECT_EQ(sourceOf(mapping, "Color"),
              "ViewLayer.Combined.r, ViewLayer.Combined.g, ViewLayer.Combined.b");
    EXPECT_EQ(sourceOf(mapping, "Alpha"), "ViewLayer.Combined.a");
    EXPECT_EQ(sourceOf(mapping, "Depth"), "ViewLayer.Depth.Z");
    EXPECT_EQ(sourceOf(mapping, "Motion X"), "ViewLayer.Vector.X");
    EXPECT_EQ(sourceOf(mapping, "Motion Y"), "ViewLayer.Vector.Y");
    EXPECT_EQ(sourceOf(mapping, "Specular"),
              "luminance of RenderLayer.SPECULAR.R, RenderLayer.SPECULAR.G, "
              "RenderLayer.SPECULAR.B");
    EXPECT_EQ(sourceOf(mapping, "Raw Color"), "DiffCol.R, DiffCol.G, DiffCol.B");
}

TEST(DefaultMapping, PrefersTheBeautysRenderLayerWhenSeveralOfferAPass) {
    const ChannelMapping mapping =
        mapChannels(singlePart({"Other.depth.Z", "Main.Combined.R", "Main.Combined.G",
                                "Main.Combined.B", "Main.depth.Z"}));
    EXPECT_EQ(sourceOf(mapping, "Depth"), "Main.depth.Z");
}

TEST(DefaultMapping, ScalarPassesTakeTheOnlyChannelLuminanceOrAPreferredComponent) {
    const ChannelMapping mapping = mapChannels(singlePart(
        {"R", "G", "B", "shadow.mask", "geometry.X", "geometry.V", "shading.q", "shading.p"}));
    EXPECT_EQ(sourceOf(mapping, "Shadow"), "shadow.mask");
    EXPECT_EQ(sourceOf(mapping, "Geometry"), "geometry.V");
    EXPECT_EQ(sourceOf(mapping, "Shading"), "shading.q"); // neither preferred: the first
    // A colour pass needs all of R, G and B in one layer.
    EXPECT_EQ(sourceOf(mapping, "Raw Color"), "-");
}

TEST(DefaultMapping, ReadsOnlyTheHeroViewOfAMultiViewPart) {
    const ChannelMapping mapping = mapChannels(singlePart(
        {"left.R", "left.G", "left.B", "left.Z", "R", "G", "B", "A", "Z", "forward.left.u",
         "forward.left.v", "forward.right.u", "forward.right.v", "disparityL.x"},
        {"right", "left"}));
    EXPECT_EQ(mapping.heroView, "right");
    EXPECT_EQ(sourceOf(mapping, "Color"), "R, G, B");
    EXPECT_EQ(sourceOf(mapping, "Depth"), "Z");
    EXPECT_EQ(sourceOf(mapping, "Motion X"), "forward.right.u");
    EXPECT_EQ(sourceOf(mapping, "Motion Y"), "forward.right.v");

    // With only another view's channels there is no colour.
    const ChannelMapping leftOnly =
        mapChannels(singlePart({"left.R", "left.G", "left.B"}, {"right", "left"}));
    EXPECT_EQ(sourceOf(leftOnly, "Color"), "-");
}

TEST(DefaultMapping, ReadsHeroAndViewlessPartsOfAMultiPartFile) {
    ExrLayout layout;
    const auto part = [&](std::vector<std::string> channels, std::string view) {
        ExrPart entry;
        entry.subimage = static_cast<int>(layout.parts.size());
        entry.channels = std::move(channels);
        entry.view = std::move(view);
        layout.parts.push_back(entry);
    };
    part({"R", "G", "B", "A"}, "right");
    part({"Z"}, "left");
    part({"forward.u", "forward.v"}, "left");
    part({"Z"}, "right");
    part({"forward.u", "forward.v"}, "right");
    part({"shadow.Y"}, "");

    const ChannelMapping mapping = mapChannels(layout);
    EXPECT_EQ(mapping.heroView, "right");
    ASSERT_NE(mapping.source("Depth"), nullptr);
    EXPECT_EQ(mapping.source("Depth")->exrChannels[0].part, 3);
    EXPECT_EQ(mapping.source("Motion X")->exrChannels[0], (ExrChannelRef{4, 0, "forward.u"}));
    EXPECT_EQ(mapping.source("Motion Y")->exrChannels[0], (ExrChannelRef{4, 1, "forward.v"}));
    EXPECT_EQ(sourceOf(mapping, "Shadow"), "shadow.Y (part 5)");
}

TEST(ChannelOverrides, ParseChannelNamesLooselyAndRejectWhatCannotFit) {
    const ChannelOverride depth = parseChannelOverride("depth = depth.V");
    EXPECT_STREQ(depth.channel->name, "Depth");
    EXPECT_EQ(depth.exrNames, std::vector<std::string>{"depth.V"});

    const ChannelOverride raw = parseChannelOverride("raw_color=albedo.R, albedo.G ,albedo.B");
    EXPECT_STREQ(raw.channel->name, "Raw Color");
    EXPECT_EQ(raw.exrNames, (std::vector<std::string>{"albedo.R", "albedo.G", "albedo.B"}));

    EXPECT_TRUE(parseChannelOverride("Shadow=").exrNames.empty());

    EXPECT_THROW(parseChannelOverride("Depth"), std::invalid_argument);
    EXPECT_THROW(parseChannelOverride("Dept=Z"), std::invalid_argument);
    EXPECT_THROW(parseChannelOverride("Depth=a,b"), std::invalid_argument);
    EXPECT_THROW(parseChannelOverride("Depth=a,,b"), std::invalid_argument);
    EXPECT_THROW(makeChannelOverride("Raw Color", {"a", "b", "c", "d"}), std::invalid_argument);
    try {
        parseChannelOverride("Dept=Z");
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("Motion X"), std::string::npos) << e.what();
    }
}

TEST(ChannelOverrides, NameChannelsExactlyIgnoringCaseByViewOrByLayer) {
    const ExrLayout layout =
        singlePart({"R", "G", "B", "A", "Z", "left.Z", "depth.V", "aov.diffuse.R", "aov.diffuse.G",
                    "aov.diffuse.B", "albedo.R", "albedo.G", "albedo.B", "mask.q"},
                   {"right", "left"});
    const ChannelMapping mapping = mapChannels(
        layout,
        {parseChannelOverride("Depth=DEPTH.v"), parseChannelOverride("Shadow=left.Z"),
         parseChannelOverride("Diffuse=aov.diffuse"), parseChannelOverride("Raw Color=albedo"),
         parseChannelOverride("Specular=albedo.R,albedo.G,albedo.B"),
         parseChannelOverride("Color=albedo.B,albedo.G,albedo.R"),
         parseChannelOverride("Geometry=mask")});

    EXPECT_EQ(sourceOf(mapping, "Depth"), "depth.V");
    EXPECT_EQ(sourceOf(mapping, "Shadow"), "left.Z");
    EXPECT_EQ(sourceOf(mapping, "Diffuse"),
              "luminance of aov.diffuse.R, aov.diffuse.G, aov.diffuse.B");
    EXPECT_EQ(sourceOf(mapping, "Raw Color"), "albedo.R, albedo.G, albedo.B");
    EXPECT_EQ(sourceOf(mapping, "Specular"), "luminance of albedo.R, albedo.G, albedo.B");
    EXPECT_EQ(sourceOf(mapping, "Color"), "albedo.B, albedo.G, albedo.R");
    EXPECT_EQ(sourceOf(mapping, "Geometry"), "mask.q");
    EXPECT_TRUE(mapping.source("Depth")->overridden);
    EXPECT_FALSE(mapping.source("Alpha")->overridden);
    EXPECT_TRUE(mapping.notes.empty());
}

TEST(ChannelOverrides, ThatFindNothingLeaveTheChannelMissingWithANote) {
    const ExrLayout layout = singlePart({"R", "G", "B", "A", "Z", "shadow.R"});
    const ChannelMapping mapping = mapChannels(
        layout,
        {parseChannelOverride("Depth=nowhere.Z"), parseChannelOverride("Alpha="),
         parseChannelOverride("Raw Color=shadow"), parseChannelOverride("Luminous=R,G,nowhere")});

    EXPECT_EQ(sourceOf(mapping, "Depth"), "-"); // no fallback to Z
    EXPECT_EQ(sourceOf(mapping, "Alpha"), "-"); // left unmapped on purpose: no note
    EXPECT_EQ(sourceOf(mapping, "Raw Color"), "-");
    EXPECT_EQ(sourceOf(mapping, "Luminous"), "-");
    ASSERT_EQ(mapping.notes.size(), 3u);
    EXPECT_STREQ(mapping.notes[0].channel->name, "Luminous");
    EXPECT_NE(mapping.notes[0].text.find("'nowhere'"), std::string::npos);
    EXPECT_STREQ(mapping.notes[1].channel->name, "Raw Color");
    EXPECT_STREQ(mapping.notes[2].channel->name, "Depth");
}

TEST(ChannelOverrides, ALaterOverrideOfAChannelWins) {
    const ChannelMapping mapping =
        mapChannels(singlePart({"R", "G", "B", "a.Z", "b.Z"}),
                    {parseChannelOverride("Depth=a.Z"), parseChannelOverride("Depth=b.Z")});
    EXPECT_EQ(sourceOf(mapping, "Depth"), "b.Z");
}
