// The EXR fuzz target's seed corpus and every input that once broke it,
// replayed through the target's own function (see tests/fuzz).
#include "exr_files.h"
#include "exr_input_fuzz.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

const fs::path kFuzzFolder = fs::path(TAVI_SOURCE_DIR) / "tests" / "fuzz";

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Small synthetic seeds: scan lines and tiles, half and float, one part and
// several, a depth channel. Written anew with TAVI_WRITE_FUZZ_SEEDS set.
void writeSeeds(const fs::path& folder) {
    using exr_files::Part;
    exr_files::writeExr(folder / "rgba-half.exr", {"R", "G", "B", "A"});
    Part tiled({"R", "G", "B", "A", "Z"}, {1, 1, 3, 2}, {0, 0, 4, 3});
    tiled.type = OIIO::TypeDesc::FLOAT;
    tiled.tiled = true;
    exr_files::writeExr(folder / "rgbaz-float-tiled.exr", {tiled});
    Part beauty({"R", "G", "B"});
    beauty.name = "rgba";
    Part depth({"Z"}, {0, 0, 2, 2});
    depth.name = "depth";
    exr_files::writeExr(folder / "two-parts.exr", {beauty, depth});
    exr_files::writeExr(folder / "layers.exr", {"R", "G", "B", "A", "diffuse.R", "diffuse.G",
                                                "diffuse.B", "N.X", "N.Y", "N.Z"});
}

TEST(ExrFuzzReplay, CorpusAndRegressions) {
    const fs::path corpus = kFuzzFolder / "corpus" / "exr_input";
    if (std::getenv("TAVI_WRITE_FUZZ_SEEDS"))
        writeSeeds(corpus);
    auto files = filesIn(kFuzzFolder / "regressions" / "exr_input");
    const auto seeds = filesIn(corpus);
    EXPECT_GE(seeds.size(), 3u);
    files.insert(files.end(), seeds.begin(), seeds.end());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
        fuzzing::exrInput(bytes.data(), bytes.size());
    }
}

} // namespace
