#include "exr_input.h"

#include "exr_header_check.h"
#include "image_file_error.h"
#include "render_channels.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>

namespace tavi {

namespace {

namespace fs = std::filesystem;
namespace oiio = OIIO;

[[noreturn]] void fail(const fs::path& file, std::string_view reason) {
    throw ImageFileError("read", file, reason);
}

// Gives the reasons the file system knows (missing, a folder, no permission)
// before the image library guesses at them.
void checkReadable(const fs::path& file) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (!fs::exists(status))
        fail(file, "no such file");
    if (fs::is_directory(status))
        fail(file, "it is a folder");
    std::FILE* handle = std::fopen(file.c_str(), "rb");
    if (!handle)
        fail(file, std::strerror(errno));
    std::fclose(handle);
}

std::string libraryError(const oiio::ImageInput& input) {
    std::string error = input.geterror();
    if (error.empty())
        error = oiio::geterror();
    return error.empty() ? "the file is damaged or truncated" : error;
}

struct OpenExr {
    std::unique_ptr<oiio::ImageInput> input;
    ExrLayout layout;
};

OpenExr openExr(const fs::path& file) {
    checkReadable(file);
    if (const auto problem = exrHeaderProblem(file))
        fail(file, "the header is damaged: " + *problem);
    OpenExr exr;
    exr.input = oiio::ImageInput::create("openexr");
    if (!exr.input)
        fail(file, "no EXR reader: " + oiio::geterror());
    if (!exr.input->valid_file(file.string()))
        fail(file, "not an EXR file");
    oiio::ImageSpec imageSpec;
    if (!exr.input->open(file.string(), imageSpec))
        fail(file, libraryError(*exr.input));

    for (int subimage = 0; exr.input->seek_subimage(subimage, 0); ++subimage) {
        const oiio::ImageSpec& part = exr.input->spec();
        if (part.deep)
            fail(file, "deep images are not supported");
        if (part.depth > 1)
            fail(file, "volume images are not supported");
        ExrPart entry;
        entry.subimage = subimage;
        entry.name = part.get_string_attribute("name");
        entry.view = part.get_string_attribute("view");
        if (const oiio::ParamValue* views = part.find_attribute("multiView")) {
            if (views->type().basetype == oiio::TypeDesc::STRING)
                for (int i = 0; i < static_cast<int>(views->type().basevalues()); ++i)
                    entry.multiView.push_back(views->get_string_indexed(i));
        }
        entry.channels = part.channelnames;
        entry.windows.data = {part.x, part.y, part.width, part.height};
        entry.windows.display = {part.full_x, part.full_y, part.full_width, part.full_height};
        exr.layout.parts.push_back(std::move(entry));
    }
    // Seeking past the last part leaves an error behind; it says nothing.
    (void)exr.input->geterror();
    if (exr.layout.parts.empty())
        fail(file, "the file has no images");
    return exr;
}

// The channels of each part that the frame reads, as one contiguous range
// so that every part is decoded once.
struct PartRead {
    int first = std::numeric_limits<int>::max();
    int last = -1;
    std::vector<float> pixels; // the part's data window, channels first..last
};

void readPart(oiio::ImageInput& input, const fs::path& file, const ExrPart& part, PartRead& read) {
    const uint64_t count = static_cast<uint64_t>(part.windows.data.width) *
                           static_cast<uint64_t>(part.windows.data.height) *
                           static_cast<uint64_t>(read.last - read.first + 1);
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(float) / 2)
        fail(file, "part " + std::to_string(part.subimage) + " is too large to read");
    read.pixels.assign(static_cast<std::size_t>(count), 0.0f);
    if (!input.read_image(part.subimage, 0, read.first, read.last + 1, oiio::TypeFloat,
                          read.pixels.data()))
        fail(file, libraryError(input));
}

// One EXR channel's contribution to a buffer.
struct Term {
    const ExrPart& part;
    const PartRead& read;
    int channel;
    float weight;
};

// Adds (or, for the first term, writes) a term into a buffer, converting
// frame pixel positions to the part's. Frame pixels the part does not cover
// keep the buffer's zero.
void fillBuffer(minihost::FrameBuffers& buffers, const PixelWindow& frame, int32_t code,
                const Term& term, bool accumulate) {
    const PixelWindow& data = term.part.windows.data;
    const std::size_t stride = static_cast<std::size_t>(term.read.last - term.read.first + 1);
    const float* values = term.read.pixels.data() + (term.channel - term.read.first);
    // The frame columns the part covers.
    const int64_t begin = std::max<int64_t>(0, int64_t{data.x} - frame.x);
    const int64_t end = std::min<int64_t>(frame.width, int64_t{data.x} + data.width - frame.x);
    if (begin >= end)
        return;
    for (int32_t y = 0; y < frame.height; ++y) {
        const int64_t partRow = int64_t{frame.y} + y - data.y;
        if (partRow < 0 || partRow >= data.height)
            continue;
        float* row = buffers.row(code, y);
        const float* source =
            values + (static_cast<std::size_t>(partRow) * static_cast<std::size_t>(data.width) +
                      static_cast<std::size_t>(int64_t{frame.x} + begin - data.x)) *
                         stride;
        for (int64_t x = begin; x < end; ++x, source += stride)
            row[x] = accumulate ? row[x] + term.weight * *source : term.weight * *source;
    }
}

// The channels a frame reads: those asked for, plus colour and alpha.
std::vector<const BufferChannel*> channelsToRead(const minihost::BufferCodeSet& wanted) {
    std::vector<const BufferChannel*> channels;
    for (const BufferChannel& channel : renderChannels()) {
        bool asked = channel.bufferCode >= 32; // Color and Alpha are always read
        for (int32_t c = 0; c < channel.components; ++c)
            asked = asked || wanted.test(static_cast<std::size_t>(channel.bufferCode + c));
        if (asked)
            channels.push_back(&channel);
    }
    return channels;
}

} // namespace

ExrLayout readExrLayout(const fs::path& file) {
    return openExr(file).layout;
}

ExrFrame readExrFrame(const fs::path& file, const minihost::BufferCodeSet& wanted,
                      const ChannelOverrides& overrides) {
    OpenExr exr = openExr(file);
    ChannelMapping mapping = mapChannels(exr.layout, overrides);
    const ChannelSource* colour = mapping.source(bufferChannels[0]);
    if (!colour)
        fail(file, mapping.heroView.empty()
                       ? "no colour channels (R, G, B)"
                       : "no colour channels (R, G, B) in view '" + mapping.heroView + "'");
    const ExrPart& beauty = exr.layout.parts[static_cast<std::size_t>(colour->exrChannels[0].part)];
    const PixelWindow frame = beauty.windows.data;

    std::vector<std::string> warnings;
    for (const ChannelMapping::Note& note : mapping.notes)
        warnings.push_back(file.string() + ": " + note.text);

    std::vector<const ChannelSource*> sources;
    for (const BufferChannel* channel : channelsToRead(wanted)) {
        if (const ChannelSource* source = mapping.source(*channel)) {
            sources.push_back(source);
            continue;
        }
        const bool noted = std::any_of(mapping.notes.begin(), mapping.notes.end(),
                                       [&](const auto& note) { return note.channel == channel; });
        if (channel->bufferCode == BUFFER_ALPHA)
            warnings.push_back(file.string() + ": no alpha channel; the image is read as opaque");
        else if (!noted)
            warnings.push_back(file.string() + ": no EXR channel for " + channel->name +
                               "; its buffer stays missing");
    }

    std::vector<PartRead> reads(exr.layout.parts.size());
    for (const ChannelSource* source : sources)
        for (const ExrChannelRef& ref : source->exrChannels) {
            PartRead& read = reads[static_cast<std::size_t>(ref.part)];
            read.first = std::min(read.first, ref.channel);
            read.last = std::max(read.last, ref.channel);
        }

    try {
        ExrFrame result{minihost::FrameBuffers(frame.width, frame.height), beauty.windows,
                        std::move(mapping), std::move(warnings)};
        for (std::size_t p = 0; p < reads.size(); ++p)
            if (reads[p].last >= 0)
                readPart(*exr.input, file, exr.layout.parts[p], reads[p]);

        const auto termOf = [&](const ExrChannelRef& ref, float weight) {
            const auto part = static_cast<std::size_t>(ref.part);
            return Term{exr.layout.parts[part], reads[part], ref.channel, weight};
        };
        for (const ChannelSource* source : sources) {
            const BufferChannel& channel = *source->channel;
            const auto& refs = source->exrChannels;
            for (int32_t c = 0; c < channel.components; ++c) {
                const int32_t code = channel.bufferCode + c;
                result.buffers.enable(code);
                if (source->luminance) {
                    fillBuffer(result.buffers, frame, code, termOf(refs[0], kLumaRed), false);
                    fillBuffer(result.buffers, frame, code, termOf(refs[1], kLumaGreen), true);
                    fillBuffer(result.buffers, frame, code, termOf(refs[2], kLumaBlue), true);
                } else {
                    fillBuffer(result.buffers, frame, code,
                               termOf(refs[static_cast<std::size_t>(c)], 1.0f), false);
                }
            }
        }
        if (!result.buffers.has(BUFFER_ALPHA)) {
            result.buffers.enable(BUFFER_ALPHA);
            for (int32_t y = 0; y < frame.height; ++y)
                std::fill_n(result.buffers.row(BUFFER_ALPHA, y), frame.width, 1.0f);
        }
        result.buffers.resetOutput();
        return result;
    } catch (const std::length_error& e) {
        fail(file, e.what());
    } catch (const std::bad_alloc&) {
        fail(file, "not enough memory for a " + std::to_string(frame.width) + " x " +
                       std::to_string(frame.height) + " frame");
    }
}

ExrFrame readExrFrame(const fs::path& file, uint32_t needFlags, const ChannelOverrides& overrides) {
    return readExrFrame(file, minihost::buffersForNeedFlags(needFlags), overrides);
}

} // namespace tavi
