#include "frame_filter.h"

#include "exr_input.h"
#include "progress_bar.h"
#include "render_channels.h"

#include <minihost/nodes/network.h>
#include <minihost/render/frame_pixel_pass.h>
#include <minihost/render/image_filter_pass.h>
#include <minihost/render/progress_tracker.h>
#include <minihost/render/sample_filter.h>

#include <algorithm>
#include <iostream>

namespace tavi {

namespace {

// The scene's pixel filters as the renderer drives them; the adapters refer
// to the scene's filters, so they live no longer than one frame.
struct PixelFilterSet {
    explicit PixelFilterSet(const minihost::SceneDocument& scene) {
        adapters.reserve(scene.pixelFilters.size());
        for (const auto& filter : scene.pixelFilters)
            adapters.emplace_back(*filter);
        for (auto& adapter : adapters)
            pointers.push_back(&adapter);
    }
    PixelFilterSet(const PixelFilterSet&) = delete;
    PixelFilterSet& operator=(const PixelFilterSet&) = delete;

    std::vector<minihost::PixelFilterAdapter> adapters;
    std::vector<minihost::SampleFilter*> pointers;
};

uint32_t imageFilterFlags(const minihost::SceneDocument& scene) {
    uint32_t flags = 0;
    for (const auto& filter : scene.imageFilters)
        flags |= filter->flags();
    return flags;
}

} // namespace

uint32_t sceneNeedFlags(const minihost::SceneDocument& scene) {
    uint32_t flags = imageFilterFlags(scene);
    for (const auto& filter : scene.pixelFilters)
        flags |= filter->flags();
    return flags;
}

void setHostFrame(minihost::Host& host, const minihost::SceneDocument& scene, int32_t frame,
                  int32_t width, int32_t height) {
    minihost::Scene& hostScene = host.scene();
    hostScene.setFrame(frame, scene.frame.framesPerSecond);
    hostScene.setFrameSize(width, height);
    if (const auto position = scene.frame.cameraPosition) {
        minihost::CameraItem camera;
        camera.position = [p = *position](double) { return p; };
        hostScene.setCamera(std::move(camera));
    } else {
        hostScene.clearCamera();
    }
}

minihost::FrameBuffers renderWithPixelFilters(minihost::Host& host,
                                              const minihost::SceneDocument& scene,
                                              minihost::RenderSettings settings) {
    PixelFilterSet pixelFilters(scene);
    minihost::RenderJob job;
    job.settings = minihost::renderSettingsFor(host.scene(), std::move(settings));
    job.pixelFilters = pixelFilters.pointers;
    job.imageFilterFlags = imageFilterFlags(scene);
    return minihost::renderFrame(job);
}

bool runImageFilters(const minihost::SceneDocument& scene, minihost::FrameBuffers& frame,
                     const PassControl& control) {
    const std::size_t count = scene.imageFilters.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (control.abortFlag && control.abortFlag->load(std::memory_order_relaxed))
            return false;
        std::string label = control.label;
        if (count > 1)
            label += (label.empty() ? "" : " ") + std::string("filter ") + std::to_string(i + 1) +
                     "/" + std::to_string(count);
        minihost::ProgressTracker tracker;
        tracker.watchAbortFlag(control.abortFlag);
        ProgressBar bar(std::cerr, control.progressBar, std::move(label));
        bar.attach(tracker);
        minihost::runImageFilter(*scene.imageFilters[i], frame, tracker.record());
        ProgressBar::detach(tracker);
        bar.finish();
        if (tracker.aborted())
            return false;
        // The next filter reads what this one wrote.
        if (i + 1 < count)
            frame.adoptOutput();
    }
    return true;
}

std::vector<ExtraChannel> channelsWrittenByPixelFilters(const minihost::SceneDocument& scene) {
    std::vector<ExtraChannel> written;
    for (const auto& filter : scene.pixelFilters) {
        const minihost::Network& network = minihost::networkOf(filter->get());
        for (const auto& input : network.root().inputs()) {
            const BufferChannel* channel = findRenderChannel(input->name());
            if (!input->connected() || !channel || channel->bufferCode >= 32)
                continue; // colour and alpha are the output image itself
            const bool listed = std::any_of(written.begin(), written.end(),
                                            [&](const auto& e) { return e.channel == channel; });
            if (!listed)
                written.push_back({channel, {}});
        }
    }
    // In channel table order, whatever order the filters listed them in.
    std::sort(written.begin(), written.end(),
              [](const auto& a, const auto& b) { return a.channel < b.channel; });
    return written;
}

FilteredFrame filterFrame(minihost::Host& host, const minihost::SceneDocument& scene, int32_t frame,
                          const FrameSource& source, const PassControl& control) {
    FilteredFrame result;
    if (source.exrFile.empty()) {
        setHostFrame(host, scene, frame, source.render.width, source.render.height);
        result.buffers = renderWithPixelFilters(host, scene, source.render);
    } else {
        ExrFrame exr = readExrFrame(source.exrFile, sceneNeedFlags(scene), source.overrides);
        result.windows = exr.windows;
        result.warnings = std::move(exr.warnings);
        result.buffers = std::move(exr.buffers);
        setHostFrame(host, scene, frame, result.buffers.width(), result.buffers.height());
        if (!scene.pixelFilters.empty()) {
            PixelFilterSet pixelFilters(scene);
            minihost::runPixelFiltersOverFrame(result.buffers, pixelFilters.pointers, frame,
                                               host.scene().time());
            result.buffers.resetOutput();
        }
    }
    result.writtenChannels = channelsWrittenByPixelFilters(scene);
    result.aborted = !runImageFilters(scene, result.buffers, control) ||
                     (control.abortFlag && control.abortFlag->load(std::memory_order_relaxed));
    return result;
}

} // namespace tavi
