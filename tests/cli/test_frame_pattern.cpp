// Frame numbers in output names and frame ranges.
#include <cli/frame_pattern.h>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tavi;

TEST(FramePattern, PadsEachRunOfHashesToItsLength) {
    EXPECT_EQ(expandFramePattern("out.####.exr", 7), "out.0007.exr");
    EXPECT_EQ(expandFramePattern("out.#.exr", 7), "out.7.exr");
    EXPECT_EQ(expandFramePattern("out.##.exr", 12345), "out.12345.exr");
    EXPECT_EQ(expandFramePattern("shot##/f.###.png", 4), "shot04/f.004.png");
    EXPECT_EQ(expandFramePattern("out.####.exr", -7), "out.-0007.exr");
    EXPECT_EQ(expandFramePattern("out.exr", 7), "out.exr");
    EXPECT_TRUE(hasFramePattern("a.#.exr"));
    EXPECT_FALSE(hasFramePattern("a.exr"));
}

TEST(FrameRange, ReadsSingleFramesAndRanges) {
    EXPECT_EQ(parseFrameRange("1-24"), (FrameRange{1, 24}));
    EXPECT_EQ(parseFrameRange("7"), (FrameRange{7, 7}));
    EXPECT_EQ(parseFrameRange("5-5"), (FrameRange{5, 5}));
    EXPECT_EQ(parseFrameRange("-3"), (FrameRange{-3, -3}));
    EXPECT_EQ(parseFrameRange("-5--1"), (FrameRange{-5, -1}));
    EXPECT_EQ(parseFrameRange("-2-2"), (FrameRange{-2, 2}));
}

TEST(FrameRange, RefusesMalformedAndReversedRangesSayingWhy) {
    for (const char* text :
         {"", "-", "a", "1-", "1-b", "1 - 2", "1-2-3", "+1", "1.5", "1--", "99999999999"}) {
        EXPECT_THROW(parseFrameRange(text), std::invalid_argument) << text;
    }
    try {
        parseFrameRange("10-2");
        ADD_FAILURE() << "a reversed range was accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("backwards"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("10-2"), std::string::npos) << e.what();
    }
}
