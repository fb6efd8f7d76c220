// Frame buffers: which buffers exist, how rows and elements are reached, and
// how the output image relates to the final colour.
#include <minihost/render/frame_buffers.h>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace minihost;

TEST(NeedFlags, SelectOnlyTheRenderPassesTheirBitsName) {
    // Bits 29-31 are the pixel filter's own options and 20-28 name nothing.
    const BufferCodeSet codes = buffersForNeedFlags(0xFFFFFFFFu);
    for (int32_t code = 0; code < kBufferCodeCount; ++code)
        EXPECT_EQ(codes.test(code), code <= 19) << code;

    const BufferCodeSet frame = frameBuffersForNeedFlags(0xA00001C0u);
    EXPECT_EQ(frame.count(), 7u);
    for (int32_t code : {6, 7, 8, 32, 33, 34, 35})
        EXPECT_TRUE(frame.test(code)) << code;
}

TEST(FrameBuffers, MissingBuffersAndOutOfRangeRowsGiveNull) {
    BufferCodeSet codes;
    codes.set(kBufferDepth);
    FrameBuffers frame(3, 2, codes);
    frame.row(kBufferDepth, 1)[2] = 7.0f;

    EXPECT_TRUE(frame.has(kBufferDepth));
    EXPECT_FALSE(frame.has(kBufferShadow));
    EXPECT_EQ(frame.row(kBufferShadow, 0), nullptr);
    EXPECT_EQ(frame.row(kBufferDepth, -1), nullptr);
    EXPECT_EQ(frame.row(kBufferDepth, 2), nullptr);
    EXPECT_EQ(frame.row(-1, 0), nullptr);
    EXPECT_EQ(frame.row(kBufferCodeCount, 0), nullptr);
    ASSERT_NE(frame.element(kBufferDepth, 2, 1), nullptr);
    EXPECT_EQ(*frame.element(kBufferDepth, 2, 1), 7.0f);
    EXPECT_EQ(frame.element(kBufferDepth, 3, 1), nullptr);
    EXPECT_EQ(frame.element(kBufferDepth, -1, 0), nullptr);

    // Enabling adds a zero-filled buffer and keeps an existing one intact.
    frame.enable(kBufferShadow);
    frame.enable(kBufferDepth);
    EXPECT_EQ(*frame.element(kBufferShadow, 0, 0), 0.0f);
    EXPECT_EQ(*frame.element(kBufferDepth, 2, 1), 7.0f);
    EXPECT_THROW(frame.enable(kBufferCodeCount), std::out_of_range);
}

TEST(FrameBuffers, RejectsSizesThatCannotBeAddressed) {
    EXPECT_THROW(FrameBuffers(-1, 4), std::invalid_argument);
    EXPECT_THROW(FrameBuffers(4, -1), std::invalid_argument);
    // Would wrap a 32-bit size computation into a small allocation.
    EXPECT_THROW(FrameBuffers(1 << 30, 1 << 30), std::length_error);
    const FrameBuffers empty(0, 0, frameBuffersForNeedFlags(0));
    EXPECT_EQ(empty.row(kBufferFinalRed, 0), nullptr);
}

TEST(FrameBuffers, OutputStartsFromFinalColourAndCanBeAdoptedBack) {
    BufferCodeSet codes;
    codes.set(kBufferFinalRed).set(kBufferFinalGreen).set(kBufferAlpha); // no blue
    FrameBuffers frame(2, 1, codes);
    *frame.element(kBufferFinalRed, 1, 0) = 0.5f;
    *frame.element(kBufferFinalGreen, 1, 0) = 0.25f;
    *frame.element(kBufferAlpha, 1, 0) = 1.0f;
    frame.output().pixel(1, 0)[2] = 9.0f; // stale value from earlier

    frame.resetOutput();
    const float* pixel = frame.output().pixel(1, 0);
    EXPECT_EQ(pixel[0], 0.5f);
    EXPECT_EQ(pixel[1], 0.25f);
    EXPECT_EQ(pixel[2], 0.0f); // missing buffer reads as 0
    EXPECT_EQ(pixel[3], 1.0f);
    EXPECT_EQ(frame.output().pixel(2, 0), nullptr);

    frame.output().pixel(0, 0)[2] = 0.75f;
    frame.adoptOutput();
    ASSERT_TRUE(frame.has(kBufferFinalBlue));
    EXPECT_EQ(*frame.element(kBufferFinalBlue, 0, 0), 0.75f);
    EXPECT_EQ(*frame.element(kBufferFinalRed, 1, 0), 0.5f);
}
