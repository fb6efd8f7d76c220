// The per-sample pixel access record: consecutive buffer reads and writes,
// codes off either end, and calls outside an evaluate.
#include <minihost/render/sample_access.h>

#include <gtest/gtest.h>

#include <climits>

using namespace minihost;

namespace {

SampleValues numbered() {
    SampleValues values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<float>(i) + 0.5f;
    return values;
}

} // namespace

TEST(SampleAccess, ReadsAndWritesConsecutiveCodes) {
    SampleValues values = numbered();
    SampleAccess access;
    access.setSample(2.75, 1.25, values);
    access.run([](const PixelAccess& record) {
        EXPECT_EQ(record.sx, 2.75);
        EXPECT_EQ(record.sy, 1.25);
        float rgb[3] = {};
        record.getValue(kBufferFinalRed, 3, rgb);
        EXPECT_EQ(rgb[0], 32.5f);
        EXPECT_EQ(rgb[2], 34.5f);
        const float raw[3] = {0.1f, 0.2f, 0.3f};
        record.setValue(kBufferRawRed, 3, raw);
        const float depth = 12.0f;
        record.setValue(kBufferDepth, 1, &depth);
    });
    EXPECT_EQ(values[5], 5.5f);
    EXPECT_EQ(values[6], 0.1f);
    EXPECT_EQ(values[8], 0.3f);
    EXPECT_EQ(values[9], 9.5f);
    EXPECT_EQ(values[12], 12.0f);
}

TEST(SampleAccess, CodesOffEitherEndReadZeroAndAreNotWritten) {
    SampleValues values = numbered();
    SampleAccess access;
    access.setSample(0, 0, values);
    access.run([](const PixelAccess& record) {
        float out[4] = {-1, -1, -1, -1};
        record.getValue(38, 4, out);
        EXPECT_EQ(out[0], 38.5f);
        EXPECT_EQ(out[1], 39.5f);
        EXPECT_EQ(out[2], 0.0f);
        EXPECT_EQ(out[3], 0.0f);
        record.getValue(-2, 3, out);
        EXPECT_EQ(out[0], 0.0f);
        EXPECT_EQ(out[2], 0.5f);
        // A start near the int limit must not wrap round into range.
        record.getValue(INT_MAX, 2, out);
        EXPECT_EQ(out[1], 0.0f);

        const float in[3] = {7, 8, 9};
        record.setValue(-1, 3, in); // codes 0 and 1 get 8 and 9
        record.setValue(39, 3, in); // only code 39
        record.setValue(INT_MAX, 3, in);
        record.setValue(0, -5, in);
        record.setValue(0, 1, nullptr);
        record.getValue(0, 1, nullptr);
    });
    EXPECT_EQ(values[0], 8.0f);
    EXPECT_EQ(values[1], 9.0f);
    EXPECT_EQ(values[2], 2.5f);
    EXPECT_EQ(values[39], 7.0f);
}

TEST(SampleAccess, RecordIsInertOutsideAnEvaluate) {
    SampleValues values = numbered();
    SampleAccess access;
    const PixelAccess& record = access.record();
    record.getValue(kBufferDepth, 1, nullptr); // no sample yet
    access.setSample(0, 0, values);
    float out[2] = {-1, -1};
    record.getValue(kBufferDepth, 2, out);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    const float in = 5.0f;
    record.setValue(kBufferDepth, 1, &in);
    EXPECT_EQ(values[kBufferDepth], 12.5f);
}

TEST(SampleAccess, OffersFourDistinctCallableFunctionWords) {
    SampleAccess access;
    const PixelAccess& record = access.record();
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(record.rayFuncs[i], nullptr);
        record.rayFuncs[i](); // a filter may copy them anywhere; calling is harmless
        for (int j = 0; j < i; ++j)
            EXPECT_NE(record.rayFuncs[i], record.rayFuncs[j]);
    }
}
