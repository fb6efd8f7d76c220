#include "channel_aliases.h"

#include "render_channels.h"

#include <stdexcept>

namespace tavi {

namespace {

const BufferChannel* channel(const char* name) {
    const BufferChannel* found = findRenderChannel(name);
    if (!found)
        throw std::logic_error(std::string("alias table names unknown channel ") + name);
    return found;
}

// The unnamed layer and the names renderers give the beauty pass.
const std::vector<std::string> kBeautyLayers = {
    "", "rgba", "rgb", "combined", "beauty", "composite", "color", "colour", "c", "main"};

const std::vector<std::string> kMotionLayers = {
    "motion",  "motionvector", "motionvectors", "vector",    "vectors", "velocity", "vel",
    "forward", "mv",           "speed",         "motionblur"};

std::vector<AliasRule> buildRules() {
    return {
        {channel("Color"), kBeautyLayers, {{"r", "red"}, {"g", "green"}, {"b", "blue"}}},
        {channel("Alpha"), kBeautyLayers, {{"a", "alpha"}}},
        {channel("Alpha"), {"alpha", "a"}, {}},
        {channel("Luminous"),
         {"luminous", "luminosity", "emission", "emit", "emissive", "selfillum", "selfillumination",
          "incandescence"},
         {}},
        {channel("Diffuse"), {"diffuse", "diff"}, {}},
        {channel("Specular"), {"specular", "spec", "glossy", "gloss"}, {}},
        {channel("Mirror"), {"mirror", "reflectivity"}, {}},
        {channel("Transparency"),
         {"transparency", "transparent", "transmission", "trans", "transmissive"},
         {}},
        {channel("Raw Color"),
         {"rawcolor", "rawcolour", "raw", "albedo", "diffusecolor", "diffusecolour", "diffcol",
          "diffusefilter", "diffusealbedo", "basecolor", "basecolour", "cd"},
         {}},
        {channel("Shading"), {"shading", "lighting", "illumination"}, {}},
        {channel("Diffuse Shading"),
         {"diffuseshading", "diffshading", "diffuselighting", "difflighting", "diffuselight"},
         {}},
        {channel("Specular Shading"),
         {"specularshading", "specshading", "specularlighting", "speclighting", "specularlight"},
         {}},
        {channel("Shadow"), {"shadow", "shadows", "shadowmatte", "shad"}, {}},
        {channel("Geometry"), {"geometry", "facingratio", "facing", "ndotv"}, {}},
        {channel("Depth"), kBeautyLayers, {{"z", "depth"}}},
        {channel("Depth"), {"depth", "z", "zdepth", "zbuffer", "camdepth"}, {}},
        {channel("Motion X"), kMotionLayers, {{"x", "u", "r"}}},
        {channel("Motion Y"), kMotionLayers, {{"y", "v", "g"}}},
        {channel("Reflection Color"),
         {"reflectioncolor", "reflectioncolour", "reflection", "reflections", "reflect", "refl"},
         {}},
    };
}

} // namespace

const std::vector<AliasRule>& defaultAliasRules() {
    static const std::vector<AliasRule> rules = buildRules();
    return rules;
}

const std::vector<std::vector<std::string>>& colourComponents() {
    static const std::vector<std::vector<std::string>> components = {
        {"r", "red"}, {"g", "green"}, {"b", "blue"}};
    return components;
}

const std::vector<std::string>& scalarComponentPreference() {
    static const std::vector<std::string> preference = {"y", "v", "z", "x", "l"};
    return preference;
}

} // namespace tavi
