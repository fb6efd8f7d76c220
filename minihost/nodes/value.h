// Values that flow through node networks, and the conversions applied where
// an output of one type feeds an input of the other.
//
// Conversions:
//   scalar -> colour: grey, (v, v, v);
//   colour -> scalar: Rec. 709 luminance, 0.2126 r + 0.7152 g + 0.0722 b.
#pragma once

#include <host/handles.h>

#include <array>
#include <string_view>

namespace minihost {

enum class ValueType : int32_t { Color = VALUE_COLOR, Scalar = VALUE_SCALAR };

// Three doubles whatever the type: a scalar uses the first one only.
using Value = std::array<double, 3>;

inline constexpr double kLumaRed = 0.2126;
inline constexpr double kLumaGreen = 0.7152;
inline constexpr double kLumaBlue = 0.0722;

inline constexpr int componentCount(ValueType type) {
    return type == ValueType::Color ? 3 : 1;
}

inline constexpr double luminance(const double* rgb) {
    return kLumaRed * rgb[0] + kLumaGreen * rgb[1] + kLumaBlue * rgb[2];
}

// True for the two type codes the host knows.
inline constexpr bool isValueType(int32_t code) {
    return code == VALUE_COLOR || code == VALUE_SCALAR;
}

// Writes what an input of type `to` receives from a value of type `from`:
// one double for a scalar input, three for a colour input. In and out may
// not overlap.
inline void convertValue(ValueType from, ValueType to, const double* in, double* out) noexcept {
    if (to == ValueType::Scalar) {
        out[0] = from == ValueType::Scalar ? in[0] : luminance(in);
        return;
    }
    if (from == ValueType::Scalar) {
        out[0] = out[1] = out[2] = in[0];
        return;
    }
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
}

// "colour" or "scalar", for listings and messages.
std::string_view valueTypeName(ValueType type);

} // namespace minihost
