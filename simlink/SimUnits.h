#pragma once
// Unit names the embedded simulator accepts and the conversions between them. Each unit belongs
// to a dimension and converts linearly to that dimension's base unit; a few coded units (radio
// words, transponder words, bool) convert by rule.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simlink::units {

enum class Dim {
    Number,  // plain counts, enums, masks, bool
    Length,
    Speed,
    Angle,
    AngularRate,
    Rotation,  // engine and propeller speed
    Fraction,  // percent and positions: base is 0..1
    Frequency,
    Pressure,
    Temperature,
    Time,
    Volume,
    Weight,
    VolumeFlow,
    WeightFlow,
    Voltage,
    Current,
};

enum class Code {
    Linear,
    Bool,             // any value other than 0 reads 1
    FrequencyBcd16,   // 122.80 MHz <-> 0x2280: four digits, the leading 1 implied
    TransponderBco16  // 7000 <-> 0x7000: one digit per nibble
};

struct Unit {
    Dim dim = Dim::Number;
    double scale = 1.0;  // base = value * scale + offset
    double offset = 0.0;
    Code code = Code::Linear;
};

// Pounds in a US gallon of the fuel on board; joins volume and weight for fuel quantities.
constexpr double kFuelPoundsPerGallon = 6.0;

// Case-insensitive, surrounding blanks ignored. Empty or unknown names give nothing.
std::optional<Unit> find(std::string_view name);

// Every name find() accepts, in lower case, grouped by dimension.
std::vector<std::string> names();

// Whether a value of dimension from can be shown in dimension to.
bool compatible(Dim from, Dim to);

// Converts value in unit from to unit to; the caller checked compatible().
double convert(double value, const Unit& from, const Unit& to);

// Packs the decimal digits of n (low digit in the low nibble); reads them back.
unsigned pack_bcd(unsigned n);
unsigned unpack_bcd(unsigned word);

}  // namespace simlink::units
