// The channel table: need flags, bit ranges and control IDs.
#include <shared/channels.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(Channels, AllOptionalChannelsTogetherNeedExactlyBitsOneToNineteen) {
    uint32_t all = 0;
    for (int i = FIRST_OPTIONAL_CHANNEL; i < CHANNEL_COUNT; ++i) {
        EXPECT_EQ(all & bufferChannels[i].needFlags, 0u)
            << bufferChannels[i].name << " shares a bit with an earlier channel";
        all |= bufferChannels[i].needFlags;
    }
    EXPECT_EQ(all, 0x000FFFFEu);
}

TEST(Channels, EachChannelsFlagsFollowFromItsCodeAndComponents) {
    for (const auto& c : bufferChannels) {
        SCOPED_TRACE(c.name);
        const bool colour = c.valueType == 1;
        EXPECT_EQ(c.components, colour ? 3 : 1);
        if (c.controlId == 0) {
            EXPECT_EQ(c.needFlags, 0u); // Color and Alpha are always present
            continue;
        }
        // One bit per component, adjacent, starting at the buffer code.
        EXPECT_EQ(c.needFlags >> c.bufferCode, colour ? 7u : 1u);
        EXPECT_EQ(c.needFlags & ((1u << c.bufferCode) - 1u), 0u);
    }
}

TEST(Channels, RowsKeepTheirOrderNamesAndControlIds) {
    const char* names[] = {"Color",           "Alpha",           "Luminous", "Diffuse",
                           "Specular",        "Mirror",          "Transparency",
                           "Raw Color",       "Shading",         "Diffuse Shading",
                           "Specular Shading", "Shadow",         "Geometry", "Depth",
                           "Motion X",        "Motion Y",        "Reflection Color"};
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        EXPECT_STREQ(bufferChannels[i].name, names[i]);
        EXPECT_EQ(bufferChannels[i].controlId, i < 2 ? 0u : 0x8001u + uint32_t(i - 2));
    }
    EXPECT_EQ(bufferChannels[0].bufferCode, 32);
    EXPECT_EQ(bufferChannels[1].bufferCode, 35);
    // Not code order: the shading pair comes before Shadow, Geometry and Depth.
    EXPECT_EQ(bufferChannels[9].bufferCode, 13);
    EXPECT_EQ(bufferChannels[13].bufferCode, 12);
    EXPECT_EQ(channelForControl(0x8001), &bufferChannels[2]);
    EXPECT_EQ(channelForControl(0x800F), &bufferChannels[16]);
    EXPECT_EQ(channelForControl(0x8000), nullptr);
    EXPECT_EQ(channelForControl(0x8010), nullptr);
}

} // namespace
