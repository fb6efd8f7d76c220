// Runs a scene's filters over one frame as the host does when it renders:
// fill the buffers the filters ask for (from an EXR render or the built-in
// renderer), run the pixel filters per sample, then each image filter in the
// scene's order on the finished frame.
//
// One pass at a time: access nodes keep one access record each, so a process
// must never run two of these at once.
#pragma once

#include "channel_mapping.h"
#include "exr_layout.h"
#include "image_output.h"

#include <minihost/host.h>
#include <minihost/render/frame_buffers.h>
#include <minihost/render/renderer.h>
#include <minihost/scenefile/scene_document.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavi {

// Where a frame's buffers come from.
struct FrameSource {
    // An EXR render to read (one sample per pixel, at its centre); empty:
    // the built-in renderer draws the frame.
    std::filesystem::path exrFile;
    ChannelOverrides overrides; // EXR only
    // Built-in renderer only: size, samples per pixel, camera and seed. The
    // frame number and time come from the frame being filtered.
    minihost::RenderSettings render;
};

// How long image filter passes show themselves and how they are stopped.
struct PassControl {
    bool progressBar = false; // drawn on standard error
    // While true, every progress step answers "abort". Not owned.
    const std::atomic<bool>* abortFlag = nullptr;
    std::string label; // shown before the bar, e.g. "frame 7"
};

struct FilteredFrame {
    minihost::FrameBuffers buffers{0, 0};
    std::optional<FrameWindows> windows; // the EXR's windows; none for a rendered frame
    // The render buffers besides colour and alpha that the pixel filters
    // wrote, for an EXR output to keep.
    std::vector<ExtraChannel> writtenChannels;
    // One line each: channels the filters need that the input lacks.
    std::vector<std::string> warnings;
    // A pass answered "abort": the frame is incomplete and is not to be
    // written.
    bool aborted = false;
};

// The need flags of every filter of the scene: the image filters' union
// and the pixel filters' own words.
uint32_t sceneNeedFlags(const minihost::SceneDocument& scene);

// Sets the host scene's frame, time (from the scene's frames per second),
// frame size and render camera, as the host does before it renders.
void setHostFrame(minihost::Host& host, const minihost::SceneDocument& scene, int32_t frame,
                  int32_t width, int32_t height);

// The built-in renderer with the scene's pixel filters active, for the
// buffers all of its filters need. The host frame must be set.
minihost::FrameBuffers renderWithPixelFilters(minihost::Host& host,
                                              const minihost::SceneDocument& scene,
                                              minihost::RenderSettings settings);

// Runs the scene's image filters in order; afterwards the frame's output
// holds the last filter's result (each filter reads the final colour and
// alpha that the one before it wrote). Returns
// false when a pass was aborted through the control's flag.
bool runImageFilters(const minihost::SceneDocument& scene, minihost::FrameBuffers& frame,
                     const PassControl& control);

// The render channels besides colour and alpha whose root inputs the scene's
// pixel filters connect: the buffers they write.
std::vector<ExtraChannel> channelsWrittenByPixelFilters(const minihost::SceneDocument& scene);

// All of the above for one frame number.
FilteredFrame filterFrame(minihost::Host& host, const minihost::SceneDocument& scene, int32_t frame,
                          const FrameSource& source, const PassControl& control);

} // namespace tavi
