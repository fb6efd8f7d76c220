// The image filter access record over a frame: what a filter reads and
// writes through it during a pass, and that it is inert outside one.
#include <minihost/render/image_filter_pass.h>
#include <minihost/render/progress_tracker.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

using namespace minihost;

namespace {

// A 4 x 3 frame with final colour, alpha and depth; colour = column + row/10.
FrameBuffers smallFrame() {
    BufferCodeSet codes = frameBuffersForNeedFlags(0);
    codes.set(kBufferDepth);
    FrameBuffers frame(4, 3, codes);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            for (int32_t c = kBufferFinalRed; c <= kBufferFinalBlue; ++c)
                *frame.element(c, x, y) = static_cast<float>(x) + static_cast<float>(y) / 10;
            *frame.element(kBufferAlpha, x, y) = 1.0f;
            *frame.element(kBufferDepth, x, y) = 100.0f + static_cast<float>(x);
        }
    return frame;
}

} // namespace

TEST(ImageFilterPass, GetLineGivesFilledRowsAndNullOtherwise) {
    FrameBuffers frame = smallFrame();
    ProgressTracker tracker;
    ImageFilterPass pass(frame, tracker.record());
    pass.run([&](const FilterAccess& access) {
        EXPECT_EQ(access.width, 4);
        EXPECT_EQ(access.height, 3);
        EXPECT_EQ(access.monitor, tracker.record());
        const float* depth = access.getLine(kBufferDepth, 2);
        ASSERT_NE(depth, nullptr);
        EXPECT_EQ(depth[3], 103.0f);
        EXPECT_EQ(access.getLine(kBufferFinalGreen, 1)[2], 2.1f);
        EXPECT_EQ(access.getLine(kBufferShadow, 0), nullptr); // not filled
        EXPECT_EQ(access.getLine(kBufferDepth, 3), nullptr);
        EXPECT_EQ(access.getLine(kBufferDepth, -1), nullptr);
        EXPECT_EQ(access.getLine(99, 0), nullptr);
    });
}

TEST(ImageFilterPass, WritesLandInTheOutputOverTheRenderedImage) {
    FrameBuffers frame = smallFrame();
    ImageFilterPass pass(frame);
    EXPECT_EQ(pass.access().monitor, nullptr);
    pass.run([](const FilterAccess& access) {
        const float rgb[3] = {-0.5f, 0.5f, 2.0f};
        access.setRGB(1, 2, rgb);
        access.setAlpha(3, 0, 0.25f);
        // Off the image or without colour: ignored, nothing else disturbed.
        access.setRGB(4, 0, rgb);
        access.setRGB(0, -1, rgb);
        access.setRGB(0, 0, nullptr);
        access.setAlpha(-1, 0, 0.0f);
        access.setAlpha(0, 3, 0.0f);
    });
    const RgbaImage& out = frame.output();
    EXPECT_EQ(out.pixel(1, 2)[0], -0.5f);
    EXPECT_EQ(out.pixel(1, 2)[1], 0.5f);
    EXPECT_EQ(out.pixel(1, 2)[2], 2.0f);
    EXPECT_EQ(out.pixel(1, 2)[3], 1.0f);
    EXPECT_EQ(out.pixel(3, 0)[3], 0.25f);
    // Unwritten pixels keep the rendered colour and alpha.
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            if ((x == 1 && y == 2) || (x == 3 && y == 0))
                continue;
            EXPECT_EQ(out.pixel(x, y)[0], *frame.element(kBufferFinalRed, x, y));
            EXPECT_EQ(out.pixel(x, y)[3], 1.0f);
        }
    // The rendered buffers themselves are untouched.
    EXPECT_EQ(*frame.element(kBufferFinalRed, 1, 2), 1.2f);
}

TEST(ImageFilterPass, RecordFunctionsAreInertOutsideAPassAndOnOtherThreads) {
    FrameBuffers frame = smallFrame();
    ImageFilterPass pass(frame);
    const FilterAccess& access = pass.access();
    const float rgb[3] = {9, 9, 9};

    // Before and after: as a filter keeping the record too long would do.
    EXPECT_EQ(access.getLine(kBufferFinalRed, 0), nullptr);
    access.setRGB(0, 0, rgb);
    access.setAlpha(0, 0, 9);
    pass.run([&](const FilterAccess&) {
        // Another thread has no current pass even while this one runs.
        std::thread other([&] {
            EXPECT_EQ(access.getLine(kBufferFinalRed, 0), nullptr);
            access.setRGB(0, 0, rgb);
        });
        other.join();
    });
    EXPECT_EQ(access.getLine(kBufferFinalRed, 0), nullptr);
    access.setRGB(0, 0, rgb);
    access.setAlpha(0, 0, 9);
    EXPECT_EQ(frame.output().pixel(0, 0)[0], 0.0f);
    EXPECT_EQ(frame.output().pixel(0, 0)[3], 1.0f);

    // A process that throws leaves no pass current behind it.
    EXPECT_THROW(pass.run([](const FilterAccess&) { throw std::runtime_error("filter"); }),
                 std::runtime_error);
    EXPECT_EQ(access.getLine(kBufferFinalRed, 0), nullptr);
}

TEST(ImageFilterPass, NestedPassesEachSeeTheirOwnFrame) {
    FrameBuffers outer = smallFrame();
    FrameBuffers inner(1, 1, frameBuffersForNeedFlags(0));
    ImageFilterPass outerPass(outer);
    ImageFilterPass innerPass(inner);
    outerPass.run([&](const FilterAccess& access) {
        innerPass.run([&](const FilterAccess& nested) {
            EXPECT_EQ(nested.getLine(kBufferDepth, 0), nullptr); // inner has no depth
        });
        EXPECT_NE(access.getLine(kBufferDepth, 0), nullptr);
    });
}

TEST(ImageFilterPass, AFilterStoppedByTheMonitorLeavesLaterRowsRendered) {
    // 16 rows, a step every 8 rows as filters report; abort at the first.
    FrameBuffers frame(2, 16, frameBuffersForNeedFlags(0));
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 2; ++x)
            *frame.element(kBufferFinalRed, x, y) = 0.5f;
    ProgressTracker tracker;
    tracker.abortFromStep(1);
    ImageFilterPass pass(frame, tracker.record());
    pass.run([](const FilterAccess& access) {
        ProgressMonitor* m = access.monitor;
        m->init(m->data, static_cast<uint32_t>(access.height / 8));
        for (int32_t y = 0; y < access.height; ++y) {
            const float* red = access.getLine(kBufferFinalRed, y);
            for (int32_t x = 0; x < access.width; ++x) {
                const float inverted[3] = {1.0f - red[x], 1.0f, 1.0f};
                access.setRGB(x, y, inverted);
            }
            if ((y & 7) == 7 && m->step(m->data, 1))
                return;
        }
        m->done(m->data);
    });
    EXPECT_EQ(tracker.total(), 2u);
    EXPECT_TRUE(tracker.aborted());
    EXPECT_FALSE(tracker.done());
    EXPECT_EQ(frame.output().pixel(1, 7)[1], 1.0f);
    EXPECT_EQ(frame.output().pixel(1, 8)[1], 0.0f);
}
