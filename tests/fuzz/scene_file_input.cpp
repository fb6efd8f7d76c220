// Arbitrary bytes as a scene file.
#include "fuzz_inputs.h"

#include <minihost/scenefile/scene_document.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzing {

namespace {

[[noreturn]] void broken(const std::string& what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

} // namespace

void sceneFileInput(minihost::Host&, const uint8_t* data, std::size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    nlohmann::json saved;
    try {
        const minihost::SceneDocument scene = minihost::sceneFromText(content, "fuzz.json");
        saved = minihost::sceneToJson(scene);
    } catch (const minihost::SceneError&) {
        return; // the refusal every bad scene must end in
    } catch (const std::exception& e) {
        broken(std::string("a scene failed with something other than a scene error: ") + e.what());
    }
    try {
        const minihost::SceneDocument again = minihost::sceneFromJson(saved, "saved");
        if (minihost::sceneToJson(again) != saved)
            broken("a saved scene loaded back differently");
    } catch (const std::exception& e) {
        broken(std::string("a saved scene did not load again: ") + e.what());
    }
}

} // namespace fuzzing
