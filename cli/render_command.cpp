#include "render_command.h"

#include "command_errors.h"
#include "frame_filter.h"
#include "frame_pattern.h"
#include "frame_size.h"
#include "image_file_error.h"
#include "image_output.h"
#include "interrupt.h"
#include "module_path.h"
#include "progress_bar.h"
#include "worker_processes.h"

#include <minihost/host.h>
#include <minihost/scenefile/scene_document.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavi {

namespace {

namespace fs = std::filesystem;

struct RenderOptions {
    std::string scene;
    std::string output;
    std::string input;
    std::vector<std::string> channels;
    std::string frames;
    int jobs = 1;
    bool quiet = false;
    std::string module;
    int samples = 0;  // 0: the scene's
    std::string size; // empty: the scene's
};

// What the options mean once checked.
struct RenderPlan {
    std::optional<FrameRange> frames; // none: the scene's own frame
    ChannelOverrides overrides;       // from the command line, after the scene's
    std::optional<FrameSize> size;
    fs::path module;
};

// Everything about the command line that can be checked before any work.
RenderPlan checkOptions(const RenderOptions& options) {
    RenderPlan plan;
    try {
        if (!options.frames.empty())
            plan.frames = parseFrameRange(options.frames);
    } catch (const std::invalid_argument& e) {
        throw UsageError(std::string("--frames: ") + e.what());
    }
    for (const std::string& text : options.channels) {
        try {
            plan.overrides.push_back(parseChannelOverride(text));
        } catch (const std::invalid_argument& e) {
            throw UsageError("--channel '" + text + "': " + e.what());
        }
    }
    try {
        imageFormatFor(options.output);
    } catch (const ImageFileError& e) {
        throw UsageError(e.what());
    }
    if (plan.frames && plan.frames->last > plan.frames->first && !hasFramePattern(options.output))
        throw UsageError("rendering several frames needs '#' in the output name for the frame "
                         "number, e.g. out.####.exr");
    if (!options.input.empty() && (options.samples > 0 || !options.size.empty()))
        throw UsageError("--samples and --size set the built-in renderer; with --input the "
                         "frame comes from the file");
    if (!options.size.empty())
        plan.size = parseFrameSize(options.size);
    plan.module = options.module.empty() ? defaultModulePath() : fs::path(options.module);
    return plan;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

// Fails before any rendering when the output's folder is not there.
void checkOutputFolder(const fs::path& output) {
    const fs::path folder = output.parent_path();
    std::error_code error;
    if (!folder.empty() && !fs::is_directory(folder, error))
        throw ImageFileError("write", output, "no such folder '" + folder.string() + "'");
}

std::string framesText(FrameRange range) {
    return range.first == range.last
               ? "frame " + std::to_string(range.first)
               : "frames " + std::to_string(range.first) + "-" + std::to_string(range.last);
}

// What a Ctrl-C during `frame` leaves: the frames before it, each complete.
// The frame in progress is not written: a half-filtered image under the
// final name would pass for a finished one.
std::string interruptedMessage(FrameRange range, int32_t frame) {
    const std::string stopped =
        "interrupted at frame " + std::to_string(frame) + ", which was not written";
    if (frame == range.first)
        return stopped + "; nothing was written";
    return stopped + "; " + framesText({range.first, frame - 1}) +
           (frame - 1 == range.first ? " was written" : " were written");
}

// Renders the frames one after another in this process.
int renderHere(const RenderOptions& options, const RenderPlan& plan) {
    const InterruptHandler interrupt;
    minihost::Host host;
    host.loadModule(plan.module);
    const minihost::SceneDocument scene = minihost::loadScene(options.scene);

    FrameSource source;
    // The scene's own mapping first: later overrides of a channel win.
    for (const auto& [channel, names] : scene.channelOverrides) {
        try {
            source.overrides.push_back(parseChannelOverride(channel + "=" + names));
        } catch (const std::invalid_argument& e) {
            throw minihost::SceneError(options.scene + ": channels." + channel + ": " + e.what());
        }
    }
    source.overrides.insert(source.overrides.end(), plan.overrides.begin(), plan.overrides.end());
    source.render.width = plan.size ? plan.size->width : scene.frame.width;
    source.render.height = plan.size ? plan.size->height : scene.frame.height;
    source.render.samplesPerPixel =
        options.samples > 0 ? options.samples : scene.frame.samplesPerPixel;
    source.render.framesPerSecond = scene.frame.framesPerSecond;

    const FrameRange range = plan.frames.value_or(FrameRange{scene.frame.frame, scene.frame.frame});
    const bool bar = ProgressBar::wantedOnStandardError(options.quiet);
    for (int64_t frame = range.first; frame <= range.last; ++frame) {
        const auto number = static_cast<int32_t>(frame);
        if (InterruptHandler::interrupted())
            throw Interrupted(interruptedMessage(range, number));
        const fs::path output = expandFramePattern(options.output, number);
        checkOutputFolder(output);
        if (!options.input.empty())
            source.exrFile = expandFramePattern(options.input, number);
        const auto start = std::chrono::steady_clock::now();
        PassControl control{bar, &InterruptHandler::flag(), "frame " + std::to_string(number)};
        FilteredFrame filtered = filterFrame(host, scene, number, source, control);
        for (const std::string& warning : filtered.warnings)
            std::cerr << "tavi: warning: " << warning << "\n";
        if (filtered.aborted)
            throw Interrupted(interruptedMessage(range, number));
        ImageWriteOptions write;
        write.windows = filtered.windows;
        write.extraChannels = std::move(filtered.writtenChannels);
        for (const std::string& warning : writeImage(output, filtered.buffers, write))
            std::cerr << "tavi: warning: " << warning << "\n";
        if (!options.quiet)
            std::cout << "frame " << number << ": " << output.string() << " ("
                      << formatSeconds(secondsSince(start)) << ")\n"
                      << std::flush;
    }
    return kExitSuccess;
}

// The command line a worker runs for its part of the range.
std::vector<std::string> workerArguments(const RenderOptions& options, const RenderPlan& plan,
                                         FrameRange chunk) {
    std::vector<std::string> arguments = {"render", options.scene, "-o", options.output};
    if (!options.input.empty())
        arguments.insert(arguments.end(), {"--input", options.input});
    for (const std::string& channel : options.channels)
        arguments.insert(arguments.end(), {"--channel", channel});
    arguments.insert(arguments.end(), {"--module", plan.module.string()});
    if (options.samples > 0)
        arguments.insert(arguments.end(), {"--samples", std::to_string(options.samples)});
    if (!options.size.empty())
        arguments.insert(arguments.end(), {"--size", options.size});
    // One word with '=': a range of negative frames starts with '-'.
    arguments.push_back("--frames=" + std::to_string(chunk.first) + "-" +
                        std::to_string(chunk.last));
    arguments.push_back("--quiet");
    return arguments;
}

// Splits the range over worker processes, one module instance each.
int renderWithWorkers(const RenderOptions& options, const RenderPlan& plan, FrameRange range) {
    const InterruptHandler interrupt;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<FrameRange> chunks = splitFrameRange(range, options.jobs);
    std::vector<std::vector<std::string>> argumentLists;
    for (const FrameRange& chunk : chunks)
        argumentLists.push_back(workerArguments(options, plan, chunk));
    const std::vector<WorkerResult> results = runWorkers(argumentLists, &InterruptHandler::flag());

    int failed = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].exitCode == kExitSuccess)
            continue;
        ++failed;
        std::string why = "exit code " + std::to_string(results[i].exitCode);
        if (!results[i].started)
            why = "could not start a worker";
        else if (results[i].exitCode == kExitInterrupted)
            why = "interrupted"; // by its own handler or, before it had one, by the signal
        std::cerr << "tavi: " << framesText(chunks[i]) << " failed (" << why << ")\n";
    }
    if (InterruptHandler::interrupted())
        throw Interrupted("interrupted: frames written before the workers stopped are kept");
    if (failed > 0)
        return kExitFailure;
    if (!options.quiet)
        std::cout << framesText(range) << " in " << chunks.size() << " workers ("
                  << formatSeconds(secondsSince(start)) << ")\n";
    return kExitSuccess;
}

} // namespace

std::function<int()> addRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    auto* command = app.add_subcommand(
        "render", "Run a scene's filters over render passes and write the result");
    command->add_option("SCENE", options->scene, "Scene file (JSON): the filters and the frame")
        ->required();
    command
        ->add_option("-o,--output", options->output,
                     "Output image: .exr (float, every channel written), .png, .jpg or .tif "
                     "(sRGB); '####' stands for the frame number")
        ->required();
    command->add_option("--input", options->input,
                        "EXR render passes to filter (single-, multi-layer or multi-part; '####' "
                        "for the frame number); without it the built-in renderer draws the frame");
    command->add_option("--channel", options->channels,
                        "Feed a channel from named EXR channels, e.g. Depth=depth.V or "
                        "\"Raw Color=albedo.R,albedo.G,albedo.B\" (repeatable; see "
                        "docs/channels.md)");
    command->add_option("--frames", options->frames,
                        "Frame range A-B (or one frame A); time is frame / fps of the scene");
    command->add_option("--jobs", options->jobs, "Worker processes for a frame range")
        ->check(CLI::Range(1, 256));
    command->add_option("--samples", options->samples, "Samples per pixel of the built-in renderer")
        ->check(CLI::Range(1, 4096));
    command->add_option("--size", options->size, "Frame size of the built-in renderer, WxH");
    command->add_option("--module", options->module,
                        "Module file (default: the module built alongside tavi)");
    command->add_flag("-q,--quiet", options->quiet, "No progress bar and no per-frame lines");

    return [options]() -> int {
        const RenderPlan plan = checkOptions(*options);
        if (plan.frames && options->jobs > 1 && plan.frames->last > plan.frames->first)
            return renderWithWorkers(*options, plan, *plan.frames);
        return renderHere(*options, plan);
    };
}

} // namespace tavi
