// The fuzz targets' seed corpus and every input that once broke something,
// replayed through the targets' own functions: a regression shows here as a
// crash or a sanitizer report (this program also runs under the sanitizer
// build and valgrind), without a fuzzer.
#include "block_bytes.h"
#include "fuzz_files.h"
#include "fuzz_inputs.h"

#include <minihost/filters.h>
#include <minihost/scenefile/scene_document.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

namespace fs = std::filesystem;

void replay(const std::string& target,
            void (*input)(minihost::Host&, const uint8_t*, std::size_t)) {
    const auto seeds = fuzzing::filesIn(fuzzing::corpusFolder(target));
    EXPECT_FALSE(seeds.empty()) << "no seed corpus for " << target;
    auto files = fuzzing::filesIn(fuzzing::regressionFolder(target));
    files.insert(files.end(), seeds.begin(), seeds.end());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> bytes = fuzzing::readBytes(file);
        input(fuzzing::moduleHost(), bytes.data(), bytes.size());
    }
}

TEST(FuzzReplay, LoadStreamCorpusAndRegressions) {
    replay("load_stream", fuzzing::loadStreamInput);
}

TEST(FuzzReplay, SceneFileCorpusAndRegressions) {
    replay("scene_file", fuzzing::sceneFileInput);
}

minihost::Block savedTree(const minihost::ServerInstance& instance) {
    minihost::SaveStream save;
    EXPECT_EQ(instance.save(save.state()), nullptr);
    return save.root();
}

// Blocks lose their names in the byte form; everything else comes back.
void dropNames(minihost::Block& block) {
    block.name.clear();
    for (minihost::Block& child : block.children)
        dropNames(child);
}

// The load stream seeds are what the example scenes' filters save (written
// anew with TAVI_WRITE_FUZZ_SEEDS set), so that the fuzzer starts from
// networks the servers accept. Each seed must still be one: its byte form
// decodes to the tree it encodes, and a filter loads that tree without error.
TEST(FuzzReplay, LoadStreamSeedsAreSavesAFilterAccepts) {
    (void)fuzzing::moduleHost();
    if (std::getenv("TAVI_WRITE_FUZZ_SEEDS")) {
        int written = 0;
        for (const fs::path& scene : fuzzing::filesIn(fs::path(TAVI_SOURCE_DIR) / "examples")) {
            const minihost::SceneDocument document = minihost::loadScene(scene);
            std::vector<const minihost::ServerInstance*> instances;
            for (const auto& filter : document.pixelFilters)
                instances.push_back(&filter->instance());
            for (const auto& filter : document.imageFilters)
                instances.push_back(&filter->instance());
            for (const minihost::ServerInstance* instance : instances) {
                minihost::Block tree = savedTree(*instance);
                dropNames(tree);
                const std::vector<uint8_t> bytes = fuzzing::bytesFromBlockTree(tree);
                std::ofstream(fuzzing::corpusFolder("load_stream") /
                                  (scene.stem().string() + "-" + std::to_string(++written)),
                              std::ios::binary)
                    .write(reinterpret_cast<const char*>(bytes.data()),
                           static_cast<std::streamsize>(bytes.size()));
            }
        }
    }
    const auto seeds = fuzzing::filesIn(fuzzing::corpusFolder("load_stream"));
    ASSERT_FALSE(seeds.empty());
    for (const fs::path& file : seeds) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> bytes = fuzzing::readBytes(file);
        const minihost::Block tree = fuzzing::blockTreeFromBytes(bytes);
        EXPECT_EQ(fuzzing::bytesFromBlockTree(tree), bytes);
        minihost::ImageFilter image;
        minihost::PixelFilter pixel;
        minihost::LoadStream forImage(tree), forPixel(tree);
        const bool accepted =
            !tree.children.empty() && (tree.children[0].id == blockIdOf('I', 'N', 'O', 'D')
                                           ? image.instance().load(forImage.state()) == nullptr
                                           : pixel.instance().load(forPixel.state()) == nullptr);
        EXPECT_TRUE(accepted);
    }
}

TEST(FuzzReplay, ByteFormDecodingIsBoundedWhateverTheBytes) {
    // A count of 2^32 - 1 integers with four bytes behind it reads one.
    const std::vector<uint8_t> huge = {0x83, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4};
    const minihost::Block tree = fuzzing::blockTreeFromBytes(huge);
    ASSERT_EQ(tree.children.size(), 1u);
    EXPECT_EQ(tree.children[0].id, blockIdOf('F', 'L', 'A', 'G'));
    EXPECT_TRUE(tree.children[0].leaf);
    EXPECT_EQ(tree.children[0].ints, std::vector<int32_t>{0x04030201});

    // Endless nesting stops at the depth bound, endless siblings at the size bound.
    std::vector<uint8_t> chain;
    for (int i = 0; i < 1000; ++i)
        chain.insert(chain.end(), {0x04, 0x00, 0x01}); // NETW, no ints, one child
    int depth = 0;
    const minihost::Block deep = fuzzing::blockTreeFromBytes(chain);
    for (const minihost::Block* b = &deep; !b->children.empty(); b = &b->children[0])
        ++depth;
    EXPECT_EQ(depth, fuzzing::kMaxDepth + 1);
    std::vector<uint8_t> siblings;
    for (std::size_t i = 0; i < 2 * fuzzing::kMaxBlocks; ++i)
        siblings.insert(siblings.end(), {0x83, 0x00}); // FLAG leaf, no ints
    EXPECT_EQ(fuzzing::blockTreeFromBytes(siblings).children.size(), fuzzing::kMaxBlocks);
}

} // namespace
