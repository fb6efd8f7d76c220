#include "demo_command.h"

#include "command_errors.h"
#include "embedded_examples.h"
#include "frame_filter.h"
#include "frame_size.h"
#include "image_file_error.h"
#include "image_output.h"
#include "interrupt.h"
#include "module_path.h"
#include "progress_bar.h"
#include "render_channels.h"

#include <minihost/host.h>
#include <minihost/scenefile/scene_document.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace tavi {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct DemoOptions {
    std::string folder = "tavi-demo";
    std::string module;
    int samples = 0;  // 0: the examples' own
    std::string size; // empty: the examples' own
    bool quiet = false;
};

minihost::SceneDocument loadExample(std::string_view name) {
    const EmbeddedExample& example = embeddedExample(name);
    const std::string source = "examples/" + std::string(name) + ".json (built in)";
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(example.json);
    } catch (const nlohmann::json::exception& e) {
        throw minihost::SceneError(source + ": " + e.what());
    }
    return minihost::sceneFromJson(json, source);
}

// Prints one step of the demo: what it did, how long it took, what it wrote.
class StepLog {
  public:
    explicit StepLog(bool quiet) : quiet_(quiet) {}
    void start() { start_ = Clock::now(); }
    void done(const std::string& what, const std::vector<fs::path>& files = {}) {
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        if (quiet_)
            return;
        char time[32];
        std::snprintf(time, sizeof time, "%6.2f s", seconds);
        std::cout << time << "  " << what;
        for (std::size_t i = 0; i < files.size(); ++i)
            std::cout << (i == 0 ? ": " : ", ") << files[i].string();
        std::cout << "\n" << std::flush;
    }

  private:
    bool quiet_;
    Clock::time_point start_;
};

// Writes the frame as an opaque PNG (to look at) and EXR (the float data and the
// buffers listed).
std::vector<fs::path> writePair(const fs::path& folder, const std::string& name,
                                const minihost::FrameBuffers& frame,
                                std::vector<ExtraChannel> extras) {
    const fs::path png = folder / (name + ".png");
    const fs::path exr = folder / (name + ".exr");
    ImageWriteOptions view;
    view.opaque = true;
    writeImage(png, frame, view);
    ImageWriteOptions options;
    options.extraChannels = std::move(extras);
    for (const std::string& warning : writeImage(exr, frame, options))
        std::cerr << "tavi: warning: " << warning << "\n";
    return {png, exr};
}

// Every render pass the frame holds, so that the beauty EXR can feed the
// example scenes again through `tavi render --input`.
std::vector<ExtraChannel> passesOf(const minihost::FrameBuffers& frame) {
    std::vector<ExtraChannel> passes;
    for (const BufferChannel& channel : renderChannels()) {
        bool present = channel.bufferCode < 32;
        for (int32_t c = 0; c < channel.components; ++c)
            present = present && frame.has(channel.bufferCode + c);
        if (present)
            passes.push_back({&channel, {}});
    }
    return passes;
}

void checkInterrupt(const std::string& step) {
    if (InterruptHandler::interrupted())
        throw Interrupted("interrupted during " + step + "; the files already listed are kept");
}

int runDemo(const DemoOptions& options) {
    std::optional<FrameSize> size;
    if (!options.size.empty())
        size = parseFrameSize(options.size);
    const InterruptHandler interrupt;
    const fs::path folder = options.folder;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw ImageFileError("write", folder, error ? error.message() : "not a folder");

    StepLog log(options.quiet);
    log.start();
    minihost::Host host;
    const fs::path module = options.module.empty() ? defaultModulePath() : fs::path(options.module);
    host.loadModule(module);
    const minihost::SceneDocument fog = loadExample("fog_vignette");
    const minihost::SceneDocument lens = loadExample("lens_distortion");
    const minihost::SceneDocument toon = loadExample("toon_pixel");
    log.done("loaded the module and the example networks (fog_vignette, lens_distortion, "
             "toon_pixel)");

    minihost::RenderSettings settings;
    settings.width = fog.frame.width;
    settings.height = fog.frame.height;
    if (size) {
        settings.width = size->width;
        settings.height = size->height;
    }
    settings.samplesPerPixel = options.samples > 0 ? options.samples : fog.frame.samplesPerPixel;
    settings.framesPerSecond = fog.frame.framesPerSecond;
    const std::string frameText = std::to_string(settings.width) + " x " +
                                  std::to_string(settings.height) + ", " +
                                  std::to_string(settings.samplesPerPixel) + " samples per pixel";

    // The raw beauty, with every pass any example reads.
    log.start();
    setHostFrame(host, fog, fog.frame.frame, settings.width, settings.height);
    minihost::RenderJob job;
    job.settings = minihost::renderSettingsFor(host.scene(), settings);
    job.imageFilterFlags = sceneNeedFlags(fog) | sceneNeedFlags(lens) | sceneNeedFlags(toon);
    const minihost::FrameBuffers beauty = minihost::renderFrame(job);
    checkInterrupt("the beauty render");
    log.done("rendered the built-in scene (" + frameText + ")",
             writePair(folder, "beauty", beauty, passesOf(beauty)));

    const bool bar = ProgressBar::wantedOnStandardError(options.quiet);
    struct ImageStep {
        const minihost::SceneDocument& scene;
        std::string name;
        std::string what;
    };
    const ImageStep imageSteps[] = {
        {fog, "fog_vignette", "image filter: depth fog and a vignette from Image X and Image Y"},
        {lens, "lens_distortion",
         "image filter: lens distortion with chromatic aberration, reading other pixels "
         "through Image X and Image Y"},
    };
    for (const ImageStep& step : imageSteps) {
        log.start();
        minihost::FrameBuffers frame = beauty;
        if (!runImageFilters(step.scene, frame, {bar, &InterruptHandler::flag(), step.name}))
            checkInterrupt(step.name);
        log.done(step.what, writePair(folder, step.name, frame, {}));
    }

    log.start();
    setHostFrame(host, toon, toon.frame.frame, settings.width, settings.height);
    const minihost::FrameBuffers toonFrame = renderWithPixelFilters(host, toon, settings);
    checkInterrupt("the toon render");
    log.done("pixel filter: toon shading, rewriting each sample's colour during rendering (" +
                 frameText + ")",
             writePair(folder, "toon_pixel", toonFrame, channelsWrittenByPixelFilters(toon)));
    return kExitSuccess;
}

} // namespace

std::function<int()> addDemoCommand(CLI::App& app) {
    auto options = std::make_shared<DemoOptions>();
    auto* command = app.add_subcommand(
        "demo", "Render the built-in scene and run the built-in example networks over it");
    command
        ->add_option("-o,--output", options->folder, "Folder for the images (created when missing)")
        ->capture_default_str();
    command->add_option("--samples", options->samples, "Samples per pixel")
        ->check(CLI::Range(1, 4096));
    command->add_option("--size", options->size, "Frame size, WxH (default: 640x360)");
    command->add_option("--module", options->module,
                        "Module file (default: the module built alongside tavi)");
    command->add_flag("-q,--quiet", options->quiet, "Print nothing but errors and warnings");
    return [options]() -> int { return runDemo(*options); };
}

} // namespace tavi
