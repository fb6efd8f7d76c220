// EXR headers that declare more than the file holds are refused before the
// image library allocates for them.
#include "exr_files.h"

#include <cli/exr_header_check.h>
#include <cli/exr_input.h>
#include <cli/image_file_error.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using testing::HasSubstr;

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

TEST(ExrHeaderCheck, AttributesClaimingMoreThanTheFileAreRefusedBeforeReading) {
    exr_files::TempFolder folder;
    exr_files::writeExr(folder / "whole.exr", std::vector<std::string>{"R", "G", "B", "A"});
    const std::string whole = bytesOf(folder / "whole.exr");
    EXPECT_EQ(tavi::exrHeaderProblem(folder / "whole.exr"), std::nullopt);

    // The size word of the first attribute, "channels" of type "chlist".
    const std::string attribute = std::string("channels\0chlist\0", 16);
    const std::size_t sizeAt = whole.find(attribute) + attribute.size();
    ASSERT_NE(sizeAt, std::string::npos);
    std::string huge = whole;
    huge.replace(sizeAt, 4, std::string("\xF0\xFF\xFF\x7F", 4)); // 2147483632
    write(folder / "huge.exr", huge);
    EXPECT_THAT(tavi::exrHeaderProblem(folder / "huge.exr").value_or(""),
                HasSubstr("attribute 'channels' claims 2147483632 bytes, but only"));
    std::string negative = whole;
    negative.replace(sizeAt, 4, std::string("\xFF\xFF\xFF\xFF", 4));
    write(folder / "negative.exr", negative);
    EXPECT_THAT(tavi::exrHeaderProblem(folder / "negative.exr").value_or(""),
                HasSubstr("claims -1 bytes"));
    write(folder / "cut.exr", whole.substr(0, sizeAt + 2));
    EXPECT_THAT(tavi::exrHeaderProblem(folder / "cut.exr").value_or(""),
                HasSubstr("attribute 'channels' is cut short"));

    try {
        (void)tavi::readExrFrame(folder / "huge.exr", uint32_t{0});
        ADD_FAILURE() << "a damaged header was read";
    } catch (const tavi::ImageFileError& e) {
        EXPECT_THAT(e.what(), HasSubstr("huge.exr': the header is damaged: attribute 'channels'"));
    }
    // Files that are not EXR at all are left to the reader to name.
    write(folder / "text.exr", "plain text");
    EXPECT_EQ(tavi::exrHeaderProblem(folder / "text.exr"), std::nullopt);
}

} // namespace
