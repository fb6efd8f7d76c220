// The built module's exported records read as raw 32-bit words, as a host
// with 4-byte pointers reads them. On a 64-bit build only the leading
// integer words are checked.
#include "module_file.h"

#include <minihost/module.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(BinaryLayout, DescriptorWordsAsTheHostReadsThem) {
    const auto module = minihost::Module::load(testing_paths::moduleFile());
    uint32_t words[3];
    std::memcpy(words, &module.descriptor(), sizeof words);
    EXPECT_EQ(words[0], 0x04121994u);
    EXPECT_EQ(words[1], 3u);
    EXPECT_EQ(words[2], 0x300u);
#if TAVI_ABI32
    uint32_t all[6];
    std::memcpy(all, &module.descriptor(), sizeof all);
    EXPECT_EQ(all[5], reinterpret_cast<uintptr_t>(module.descriptor().servers));
    // Each server row is four words; row 9 is four zero words.
    uint32_t rows[9][4];
    std::memcpy(rows, module.descriptor().servers, sizeof rows);
    for (uint32_t w : rows[8])
        EXPECT_EQ(w, 0u);
    EXPECT_EQ(rows[0][0], reinterpret_cast<uintptr_t>(module.descriptor().servers[0].className));
    EXPECT_EQ(rows[7][2], reinterpret_cast<uintptr_t>(module.descriptor().servers[7].activate));
#endif
}

} // namespace
