// The host's own nodes: constants, scalar and colour math, colour packing,
// luminance, smoothstep and a colour ramp. Scene files and tools create them
// by type name ("constant", "add", "color_add", "ramp", ...).
//
// Every input is an ordinary input with a default, so anything can feed it,
// and the usual conversions apply (a scalar feeding a colour input becomes
// grey, a colour feeding a scalar input its luminance).
//
// Results that would not be finite are given as 0 instead: division by zero
// (x / 0 -> 0) and powers without a finite value (0 to a negative power, a
// negative base to a fractional power). Smoothstep with equal edges is a step
// at that edge. The ramp interpolates linearly between its keys, takes the
// colour of the first or last key outside them, and is black with no key.
#pragma once

#include "node.h"

#include <span>
#include <string_view>
#include <vector>

namespace minihost {

class BuiltinNode;

struct PortSpec {
    const char* name;
    ValueType type;
    Value defaultValue;
};

struct RampKey {
    double position = 0.0;
    Value color{};
    bool operator==(const RampKey&) const = default;
};

// Computes output `slot` of the node for the sample. Allocates nothing.
using BuiltinEvaluate = void (*)(const BuiltinNode& node, int slot, const NodalSample& sample,
                                 double* out);

struct BuiltinType {
    std::string_view name;
    std::string_view summary;
    std::vector<PortSpec> inputs;
    std::vector<PortSpec> outputs;
    BuiltinEvaluate evaluate;
    bool hasRamp = false;
};

// Every built-in type, in listing order.
std::span<const BuiltinType> builtinTypes();
// The type of that name, or null.
const BuiltinType* findBuiltinType(std::string_view name);

class BuiltinNode final : public Node {
  public:
    // The node has the type's inputs (with their defaults) and outputs; a
    // ramp starts with a black key at 0 and a white key at 1.
    BuiltinNode(Network& network, const BuiltinType& type, std::string name);

    const BuiltinType& builtinType() const { return *type_; }

    // Keys sorted by position. Setting keys on a node that is not a ramp, or
    // a key whose position is not a finite number, throws HostError.
    const std::vector<RampKey>& rampKeys() const { return keys_; }
    void setRampKeys(std::vector<RampKey> keys);

    // Input `index` in the type's order.
    const Input& in(std::size_t index) const { return *inputs()[index]; }

    void evaluate(const Output& output, const NodalSample& sample,
                  double* out) const noexcept override {
        type_->evaluate(*this, output.slot(), sample, out);
    }

  private:
    const BuiltinType* type_;
    std::vector<RampKey> keys_;
};

// The ramp's colour at a position (keys sorted by position).
Value rampColor(const std::vector<RampKey>& keys, double position) noexcept;

} // namespace minihost
