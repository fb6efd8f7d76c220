#include "exr_input_fuzz.h"

#include <cli/exr_input.h>
#include <cli/image_file_error.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fuzzing {

namespace {

[[noreturn]] void broken(const std::string& what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

// The image library reads files only, so each input goes through one file
// of this process, rewritten for every input and removed at exit.
struct InputFile {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("tavi-exr-input-" + std::to_string(::getpid()) + ".exr");
    ~InputFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

const std::filesystem::path& inputFile() {
    static const InputFile file;
    return file.path;
}

template <typename Read> void expectCleanOutcome(Read&& read) {
    try {
        read();
    } catch (const tavi::ImageFileError&) {
        // The one clean refusal.
    } catch (const std::exception& e) {
        broken(std::string("EXR input failed with something other than an image file error: ") +
               e.what());
    }
}

} // namespace

void exrInput(const uint8_t* data, std::size_t size) {
    {
        std::ofstream out(inputFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out)
            broken("cannot write " + inputFile().string());
    }
    expectCleanOutcome([] { (void)tavi::readExrLayout(inputFile()); });
    // Colour and alpha always; every other channel the file maps.
    minihost::BufferCodeSet all;
    all.set();
    expectCleanOutcome([&] { (void)tavi::readExrFrame(inputFile(), all); });
}

} // namespace fuzzing
