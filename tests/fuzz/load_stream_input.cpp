// Arbitrary bytes as load streams for the four servers.
#include "block_bytes.h"
#include "fuzz_inputs.h"

#include <minihost/filters.h>
#include <minihost/nodes/network.h>
#include <minihost/render/frame_buffers.h>
#include <minihost/render/image_filter_pass.h>
#include <minihost/render/progress_tracker.h>
#include <minihost/render/renderer.h>
#include <minihost/render/sample_filter.h>
#include <minihost/scenefile/scene_document.h>
#include <minihost/streams.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>

namespace fuzzing {

namespace {

using minihost::Block;

// The same bytes as plain integers inside every block the servers read, so
// that a load callback meets its own block with garbage in it.
Block rawTree(const uint8_t* data, std::size_t size) {
    Block payload;
    for (std::size_t i = 0; i + 4 <= size && payload.ints.size() < 1024; i += 4) {
        int32_t value;
        std::memcpy(&value, data + i, 4);
        payload.ints.push_back(value);
    }
    Block root;
    for (uint32_t id : knownBlockIds()) {
        Block leaf = payload;
        leaf.id = id;
        leaf.leaf = true;
        root.children.push_back(leaf);
    }
    // A network block whose parts all hold the garbage, behind a valid version.
    Block network{blockIdOf('N', 'E', 'T', 'W'), "", false, {}, {}};
    network.children.push_back({blockIdOf('V', 'E', 'R', 'S'), "", true, {1}, {}});
    for (uint32_t id : knownBlockIds()) {
        Block part = payload;
        part.id = id;
        part.leaf = true;
        network.children.push_back(part);
    }
    for (uint32_t filterBlock : {blockIdOf('I', 'N', 'O', 'D'), blockIdOf('P', 'N', 'O', 'D')})
        root.children.push_back({filterBlock, "", false, {}, {network}});
    return root;
}

// A fault the sanitizers cannot see: stop the fuzzer here.
[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

// Everything a server instance or node saves, checked for balance.
template <typename Saver> Block saved(const Saver& saver) {
    minihost::SaveStream stream;
    if (saver.save(stream.state()) != nullptr)
        broken("an instance that loaded could not save");
    if (!stream.balanced())
        broken("a save left a block open");
    return stream.root();
}

template <typename Loader> bool loads(const Loader& loader, const Block& tree) {
    minihost::LoadStream stream(tree);
    return loader.load(stream.state()) == nullptr;
}

// A 3 x 2 frame with every buffer, through the image filter.
void imagePass(const minihost::ImageFilter& filter) {
    minihost::BufferCodeSet all;
    all.set();
    minihost::FrameBuffers frame(3, 2, all);
    minihost::ProgressTracker progress;
    (void)filter.flags();
    minihost::runImageFilter(filter, frame, progress.record());
}

// A 2 x 2 render at one sample per pixel through the pixel filter.
void pixelRender(const minihost::PixelFilter& filter) {
    minihost::PixelFilterAdapter adapter(filter);
    minihost::RenderJob job;
    job.settings.width = 2;
    job.settings.height = 2;
    job.settings.samplesPerPixel = 1;
    job.pixelFilters.push_back(&adapter);
    (void)minihost::renderFrame(job);
}

// Host-side refusals (HostError and the like) are clean outcomes.
void guarded(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

// After an accepted load, what the instance saves loads into a fresh one,
// which saves exactly the same; then the filter runs with what it loaded.
template <typename Filter> void filterWithTree(const Block& tree, void (*pass)(const Filter&)) {
    guarded([&] {
        Filter filter;
        if (!loads(filter.instance(), tree))
            return;
        const Block first = saved(filter.instance());
        Filter again;
        if (!loads(again.instance(), first))
            broken("a filter refused what it had saved");
        if (saved(again.instance()) != first)
            broken("a filter's saved settings did not survive a load");
        pass(filter);
    });
}

// The same for an access node inside a fresh filter's network.
template <typename Filter> void nodeWithTree(const Block& tree, const char* server) {
    guarded([&] {
        Filter filter;
        minihost::Network& network = minihost::networkOf(filter.get());
        const minihost::ModuleNode& node = network.addModule(server, "access");
        if (!loads(node, tree))
            return;
        const Block first = saved(node);
        const minihost::ModuleNode& again = network.addModule(server, "again");
        if (!loads(again, first))
            broken("an access node refused what it had saved");
        if (saved(again) != first)
            broken("an access node's saved settings did not survive a load");
    });
}

void allServers(const Block& tree) {
    filterWithTree<minihost::ImageFilter>(tree, imagePass);
    filterWithTree<minihost::PixelFilter>(tree, pixelRender);
    nodeWithTree<minihost::ImageFilter>(tree, SERVER_IMAGE_NODE);
    nodeWithTree<minihost::PixelFilter>(tree, SERVER_PIXEL_NODE);
}

} // namespace

void loadStreamInput(minihost::Host&, const uint8_t* data, std::size_t size) {
    allServers(blockTreeFromBytes({data, size}));
    allServers(rawTree(data, size));
}

} // namespace fuzzing
