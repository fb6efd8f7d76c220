#include "builtin_nodes.h"

#include "../host.h"

#include <algorithm>
#include <cmath>

namespace minihost {

namespace {

constexpr ValueType S = ValueType::Scalar;
constexpr ValueType C = ValueType::Color;
constexpr Value kZero{0.0, 0.0, 0.0};
constexpr Value kOne{1.0, 1.0, 1.0};
constexpr Value kHalf{0.5, 0.5, 0.5};

// Scalar operations shared by the scalar and the colour nodes.
double add(double a, double b) {
    return a + b;
}
double subtract(double a, double b) {
    return a - b;
}
double multiply(double a, double b) {
    return a * b;
}
double divide(double a, double b) {
    return b == 0.0 ? 0.0 : a / b;
}
double minimum(double a, double b) {
    return std::min(a, b);
}
double maximum(double a, double b) {
    return std::max(a, b);
}
double power(double a, double b) {
    const double r = std::pow(a, b);
    return std::isfinite(r) ? r : 0.0;
}
double clampTo(double v, double lo, double hi) {
    return std::min(std::max(v, lo), hi);
}
double mix(double a, double b, double f) {
    return a + (b - a) * f;
}

double smoothstep(double edge0, double edge1, double x) {
    if (edge0 == edge1)
        return x < edge0 ? 0.0 : 1.0;
    const double t = clampTo((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Evaluators. Each reads its inputs into local buffers of three doubles.
void passThrough(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    n.in(0).evaluate(s, out);
}

template <double (*Op)(double, double)>
void scalarBinary(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double a[3], b[3];
    n.in(0).evaluate(s, a);
    n.in(1).evaluate(s, b);
    out[0] = Op(a[0], b[0]);
}

template <double (*Op)(double, double)>
void colorBinary(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double a[3], b[3];
    n.in(0).evaluate(s, a);
    n.in(1).evaluate(s, b);
    for (int i = 0; i < 3; ++i)
        out[i] = Op(a[i], b[i]);
}

void scalarAbs(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double a[3];
    n.in(0).evaluate(s, a);
    out[0] = std::fabs(a[0]);
}

void colorAbs(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double a[3];
    n.in(0).evaluate(s, a);
    for (int i = 0; i < 3; ++i)
        out[i] = std::fabs(a[i]);
}

void scalarClamp(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double v[3], lo[3], hi[3];
    n.in(0).evaluate(s, v);
    n.in(1).evaluate(s, lo);
    n.in(2).evaluate(s, hi);
    out[0] = clampTo(v[0], lo[0], hi[0]);
}

void colorClamp(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double v[3], lo[3], hi[3];
    n.in(0).evaluate(s, v);
    n.in(1).evaluate(s, lo);
    n.in(2).evaluate(s, hi);
    for (int i = 0; i < 3; ++i)
        out[i] = clampTo(v[i], lo[i], hi[i]);
}

void scalarMix(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double a[3], b[3], f[3];
    n.in(0).evaluate(s, a);
    n.in(1).evaluate(s, b);
    n.in(2).evaluate(s, f);
    out[0] = mix(a[0], b[0], f[0]);
}

void colorMix(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double a[3], b[3], f[3];
    n.in(0).evaluate(s, a);
    n.in(1).evaluate(s, b);
    n.in(2).evaluate(s, f); // the factor is a scalar
    for (int i = 0; i < 3; ++i)
        out[i] = mix(a[i], b[i], f[0]);
}

void makeColor(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double c[3];
    for (int i = 0; i < 3; ++i) {
        n.in(i).evaluate(s, c);
        out[i] = c[0];
    }
}

void splitColor(const BuiltinNode& n, int slot, const NodalSample& s, double* out) {
    double c[3];
    n.in(0).evaluate(s, c);
    out[0] = c[slot >= 0 && slot < 3 ? slot : 0];
}

void colorLuminance(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double c[3];
    n.in(0).evaluate(s, c);
    out[0] = luminance(c);
}

void smoothstepNode(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double e0[3], e1[3], x[3];
    n.in(0).evaluate(s, e0);
    n.in(1).evaluate(s, e1);
    n.in(2).evaluate(s, x);
    out[0] = smoothstep(e0[0], e1[0], x[0]);
}

void rampNode(const BuiltinNode& n, int, const NodalSample& s, double* out) {
    double t[3];
    n.in(0).evaluate(s, t);
    const Value c = rampColor(n.rampKeys(), t[0]);
    out[0] = c[0];
    out[1] = c[1];
    out[2] = c[2];
}

// The scalar node and its colour twin ("add" and "color_add") share a
// summary and their input names.
void addMathPair(std::vector<BuiltinType>& types, std::string_view scalarName,
                 std::string_view colorName, std::string_view summary,
                 std::vector<PortSpec> scalarInputs, BuiltinEvaluate scalarEval,
                 std::vector<PortSpec> colorInputs, BuiltinEvaluate colorEval) {
    types.push_back(
        {scalarName, summary, std::move(scalarInputs), {{"Result", S, kZero}}, scalarEval});
    types.push_back(
        {colorName, summary, std::move(colorInputs), {{"Result", C, kZero}}, colorEval});
}

std::vector<BuiltinType> makeTypes() {
    std::vector<BuiltinType> types;
    types.push_back(
        {"constant", "a scalar value", {{"Value", S, kZero}}, {{"Value", S, kZero}}, passThrough});
    types.push_back(
        {"color", "a colour value", {{"Color", C, kZero}}, {{"Color", C, kZero}}, passThrough});
    auto binary = [&](std::string_view name, std::string_view colorName, std::string_view summary,
                      const Value& a, const Value& b, BuiltinEvaluate scalarEval,
                      BuiltinEvaluate colorEval) {
        addMathPair(types, name, colorName, summary, {{"A", S, a}, {"B", S, b}}, scalarEval,
                    {{"A", C, a}, {"B", C, b}}, colorEval);
    };
    binary("add", "color_add", "A + B", kZero, kZero, scalarBinary<add>, colorBinary<add>);
    binary("subtract", "color_subtract", "A - B", kZero, kZero, scalarBinary<subtract>,
           colorBinary<subtract>);
    binary("multiply", "color_multiply", "A * B", kOne, kOne, scalarBinary<multiply>,
           colorBinary<multiply>);
    binary("divide", "color_divide", "A / B, 0 where B is 0", kOne, kOne, scalarBinary<divide>,
           colorBinary<divide>);
    binary("min", "color_min", "the smaller of A and B", kZero, kZero, scalarBinary<minimum>,
           colorBinary<minimum>);
    binary("max", "color_max", "the larger of A and B", kZero, kZero, scalarBinary<maximum>,
           colorBinary<maximum>);
    binary("power", "color_power", "A to the power B, 0 where that is not finite", kOne, kOne,
           scalarBinary<power>, colorBinary<power>);
    addMathPair(types, "abs", "color_abs", "the absolute value of A", {{"A", S, kZero}}, scalarAbs,
                {{"A", C, kZero}}, colorAbs);
    addMathPair(types, "clamp", "color_clamp", "Value limited to Min..Max",
                {{"Value", S, kZero}, {"Min", S, kZero}, {"Max", S, kOne}}, scalarClamp,
                {{"Value", C, kZero}, {"Min", C, kZero}, {"Max", C, kOne}}, colorClamp);
    addMathPair(types, "mix", "color_mix", "A + (B - A) * Factor",
                {{"A", S, kZero}, {"B", S, kOne}, {"Factor", S, kHalf}}, scalarMix,
                {{"A", C, kZero}, {"B", C, kOne}, {"Factor", S, kHalf}}, colorMix);
    types.push_back({"make_color",
                     "a colour from R, G and B",
                     {{"R", S, kZero}, {"G", S, kZero}, {"B", S, kZero}},
                     {{"Color", C, kZero}},
                     makeColor});
    types.push_back({"split_color",
                     "the R, G and B of a colour",
                     {{"Color", C, kZero}},
                     {{"R", S, kZero}, {"G", S, kZero}, {"B", S, kZero}},
                     splitColor});
    types.push_back({"luminance",
                     "Rec. 709 luminance of a colour",
                     {{"Color", C, kZero}},
                     {{"Luminance", S, kZero}},
                     colorLuminance});
    types.push_back({"smoothstep",
                     "0 below Edge0, 1 above Edge1, a smooth curve between",
                     {{"Edge0", S, kZero}, {"Edge1", S, kOne}, {"X", S, kZero}},
                     {{"Result", S, kZero}},
                     smoothstepNode});
    types.push_back({"ramp",
                     "a colour from Position by keys, linear between them",
                     {{"Position", S, kZero}},
                     {{"Color", C, kZero}},
                     rampNode,
                     true});
    return types;
}

} // namespace

std::span<const BuiltinType> builtinTypes() {
    static const std::vector<BuiltinType> types = makeTypes();
    return types;
}

const BuiltinType* findBuiltinType(std::string_view name) {
    for (const BuiltinType& type : builtinTypes())
        if (type.name == name)
            return &type;
    return nullptr;
}

BuiltinNode::BuiltinNode(Network& network, const BuiltinType& type, std::string name)
    : Node(network, NodeKind::Builtin, std::move(name), std::string(type.name)), type_(&type) {
    for (const PortSpec& port : type.inputs)
        addInput(port.name, port.type, port.defaultValue);
    for (const PortSpec& port : type.outputs)
        addOutput(port.name, port.type);
    if (type.hasRamp)
        keys_ = {{0.0, kZero}, {1.0, kOne}};
}

void BuiltinNode::setRampKeys(std::vector<RampKey> keys) {
    if (!type_->hasRamp)
        throw HostError("node \"" + name() + "\" (" + type() + ") has no ramp keys");
    for (const RampKey& key : keys)
        if (!std::isfinite(key.position))
            throw HostError("a ramp key of node \"" + name() + "\" has no finite position");
    std::stable_sort(keys.begin(), keys.end(),
                     [](const RampKey& a, const RampKey& b) { return a.position < b.position; });
    keys_ = std::move(keys);
}

Value rampColor(const std::vector<RampKey>& keys, double position) noexcept {
    if (keys.empty())
        return kZero;
    // Not-a-number positions fall to the first key with the same test.
    if (!(position > keys.front().position))
        return keys.front().color;
    if (!(position < keys.back().position))
        return keys.back().color;
    std::size_t next = 1;
    while (keys[next].position <= position)
        ++next;
    const RampKey& a = keys[next - 1];
    const RampKey& b = keys[next];
    const double f = (position - a.position) / (b.position - a.position);
    return {mix(a.color[0], b.color[0], f), mix(a.color[1], b.color[1], f),
            mix(a.color[2], b.color[2], f)};
}

} // namespace minihost
