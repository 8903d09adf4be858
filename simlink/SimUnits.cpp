#include "simlink/SimUnits.h"

#include <cctype>
#include <cmath>
#include <numbers>

#include "simlink/NameText.h"

namespace simlink::units {

namespace {

struct Named {
    const char* name;
    Unit unit;
};

constexpr double kPi = std::numbers::pi;
constexpr double kKnot = 1852.0 / 3600.0;  // m/s

// Base units: meters, m/s, radians, rad/s, rpm, fraction, MHz, millibars, Celsius, seconds,
// US gallons, pounds, gallons per hour, pounds per hour, volts, amperes.
const Named kUnits[] = {
    {"number", {Dim::Number}},
    {"numbers", {Dim::Number}},
    {"enum", {Dim::Number}},
    {"integer", {Dim::Number}},
    {"mask", {Dim::Number}},
    {"flags", {Dim::Number}},
    {"scalar", {Dim::Number}},
    {"bool", {Dim::Number, 1, 0, Code::Bool}},
    {"boolean", {Dim::Number, 1, 0, Code::Bool}},
    {"bco16", {Dim::Number, 1, 0, Code::TransponderBco16}},

    {"meters", {Dim::Length, 1}},
    {"meter", {Dim::Length, 1}},
    {"m", {Dim::Length, 1}},
    {"feet", {Dim::Length, 0.3048}},
    {"foot", {Dim::Length, 0.3048}},
    {"ft", {Dim::Length, 0.3048}},
    {"kilometers", {Dim::Length, 1000}},
    {"kilometer", {Dim::Length, 1000}},
    {"km", {Dim::Length, 1000}},
    {"nautical miles", {Dim::Length, 1852}},
    {"nautical mile", {Dim::Length, 1852}},
    {"nmiles", {Dim::Length, 1852}},
    {"nmile", {Dim::Length, 1852}},
    {"miles", {Dim::Length, 1609.344}},
    {"mile", {Dim::Length, 1609.344}},
    {"inches", {Dim::Length, 0.0254}},
    {"inch", {Dim::Length, 0.0254}},
    {"centimeters", {Dim::Length, 0.01}},
    {"millimeters", {Dim::Length, 0.001}},

    {"meters per second", {Dim::Speed, 1}},
    {"m/s", {Dim::Speed, 1}},
    {"meters per minute", {Dim::Speed, 1.0 / 60}},
    {"knots", {Dim::Speed, kKnot}},
    {"knot", {Dim::Speed, kKnot}},
    {"kts", {Dim::Speed, kKnot}},
    {"kilometers per hour", {Dim::Speed, 1 / 3.6}},
    {"km/h", {Dim::Speed, 1 / 3.6}},
    {"miles per hour", {Dim::Speed, 0.44704}},
    {"mph", {Dim::Speed, 0.44704}},
    {"feet per second", {Dim::Speed, 0.3048}},
    {"feet per minute", {Dim::Speed, 0.3048 / 60}},
    {"ft/min", {Dim::Speed, 0.3048 / 60}},
    {"mach", {Dim::Speed, 340.29}},

    {"radians", {Dim::Angle, 1}},
    {"radian", {Dim::Angle, 1}},
    {"degrees", {Dim::Angle, kPi / 180}},
    {"degree", {Dim::Angle, kPi / 180}},
    {"grads", {Dim::Angle, kPi / 200}},

    {"radians per second", {Dim::AngularRate, 1}},
    {"degrees per second", {Dim::AngularRate, kPi / 180}},
    {"degrees per minute", {Dim::AngularRate, kPi / 180 / 60}},

    {"rpm", {Dim::Rotation, 1}},
    {"rpms", {Dim::Rotation, 1}},
    {"revolutions per minute", {Dim::Rotation, 1}},
    {"revolutions per second", {Dim::Rotation, 60}},

    {"percent over 100", {Dim::Fraction, 1}},
    {"percent", {Dim::Fraction, 0.01}},
    {"percentage", {Dim::Fraction, 0.01}},
    {"position", {Dim::Fraction, 1}},
    {"position 16k", {Dim::Fraction, 1.0 / 16384}},
    {"position 32k", {Dim::Fraction, 1.0 / 32768}},
    {"position 128", {Dim::Fraction, 1.0 / 128}},

    {"mhz", {Dim::Frequency, 1}},
    {"megahertz", {Dim::Frequency, 1}},
    {"khz", {Dim::Frequency, 1e-3}},
    {"kilohertz", {Dim::Frequency, 1e-3}},
    {"hz", {Dim::Frequency, 1e-6}},
    {"hertz", {Dim::Frequency, 1e-6}},
    {"frequency bcd16", {Dim::Frequency, 1, 0, Code::FrequencyBcd16}},

    {"millibars", {Dim::Pressure, 1}},
    {"millibar", {Dim::Pressure, 1}},
    {"mbar", {Dim::Pressure, 1}},
    {"hectopascals", {Dim::Pressure, 1}},
    {"hpa", {Dim::Pressure, 1}},
    {"pascals", {Dim::Pressure, 0.01}},
    {"pascal", {Dim::Pressure, 0.01}},
    {"kilopascal", {Dim::Pressure, 10}},
    {"inhg", {Dim::Pressure, 33.8639}},
    {"inches of mercury", {Dim::Pressure, 33.8639}},
    {"psi", {Dim::Pressure, 68.9476}},
    {"pounds per square inch", {Dim::Pressure, 68.9476}},
    {"psf", {Dim::Pressure, 68.9476 / 144}},
    {"millibars scaler 16", {Dim::Pressure, 1.0 / 16}},

    {"celsius", {Dim::Temperature, 1}},
    {"fahrenheit", {Dim::Temperature, 5.0 / 9, -32 * 5.0 / 9}},
    {"kelvin", {Dim::Temperature, 1, -273.15}},
    {"rankine", {Dim::Temperature, 5.0 / 9, -273.15}},

    {"seconds", {Dim::Time, 1}},
    {"second", {Dim::Time, 1}},
    {"minutes", {Dim::Time, 60}},
    {"minute", {Dim::Time, 60}},
    {"hours", {Dim::Time, 3600}},
    {"hour", {Dim::Time, 3600}},
    {"days", {Dim::Time, 86400}},

    {"gallons", {Dim::Volume, 1}},
    {"gallon", {Dim::Volume, 1}},
    {"liters", {Dim::Volume, 0.264172}},
    {"liter", {Dim::Volume, 0.264172}},
    {"quarts", {Dim::Volume, 0.25}},

    {"pounds", {Dim::Weight, 1}},
    {"pound", {Dim::Weight, 1}},
    {"lbs", {Dim::Weight, 1}},
    {"kilograms", {Dim::Weight, 2.20462}},
    {"kilogram", {Dim::Weight, 2.20462}},
    {"kg", {Dim::Weight, 2.20462}},

    {"gallons per hour", {Dim::VolumeFlow, 1}},
    {"gph", {Dim::VolumeFlow, 1}},
    {"liters per hour", {Dim::VolumeFlow, 0.264172}},

    {"pounds per hour", {Dim::WeightFlow, 1}},
    {"pph", {Dim::WeightFlow, 1}},
    {"kilograms per hour", {Dim::WeightFlow, 2.20462}},

    {"volts", {Dim::Voltage, 1}},
    {"volt", {Dim::Voltage, 1}},
    {"amperes", {Dim::Current, 1}},
    {"amps", {Dim::Current, 1}},
};

double to_base(double v, const Unit& u) {
    switch (u.code) {
        case Code::Bool:
            return v != 0 ? 1 : 0;
        case Code::FrequencyBcd16: {
            // The simulator reads only the low 16 bits: 0x12280 tunes like 0x2280.
            const unsigned digits =
                unpack_bcd(static_cast<unsigned>(static_cast<long long>(v)) & 0xFFFFu);
            return 100.0 + digits / 100.0;
        }
        case Code::TransponderBco16:
            return unpack_bcd(static_cast<unsigned>(static_cast<long long>(v)) & 0xFFFFu);
        case Code::Linear:
            break;
    }
    return v * u.scale + u.offset;
}

double from_base(double b, const Unit& u) {
    switch (u.code) {
        case Code::Bool:
            return b != 0 ? 1 : 0;
        case Code::FrequencyBcd16: {
            const long long hundredths = std::llround(b * 100.0);
            return pack_bcd(static_cast<unsigned>(((hundredths % 10000) + 10000) % 10000));
        }
        case Code::TransponderBco16:
            return pack_bcd(static_cast<unsigned>(std::llround(std::fabs(b))) % 10000);
        case Code::Linear:
            break;
    }
    return (b - u.offset) / u.scale;
}

}  // namespace

std::optional<Unit> find(std::string_view name) {
    const std::string n = lower_trimmed(name);
    for (const Named& u : kUnits)
        if (n == u.name)
            return u.unit;
    return std::nullopt;
}

std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const Named& u : kUnits)
        out.emplace_back(u.name);
    return out;
}

bool compatible(Dim from, Dim to) {
    if (from == to)
        return true;
    auto pair = [&](Dim a, Dim b) { return (from == a && to == b) || (from == b && to == a); };
    return pair(Dim::Volume, Dim::Weight) || pair(Dim::VolumeFlow, Dim::WeightFlow);
}

double convert(double value, const Unit& from, const Unit& to) {
    // A bool shows any quantity as set or not set.
    if (to.code == Code::Bool)
        return value != 0 ? 1 : 0;
    double cross = 1;
    if ((from.dim == Dim::Volume && to.dim == Dim::Weight) ||
        (from.dim == Dim::VolumeFlow && to.dim == Dim::WeightFlow))
        cross = kFuelPoundsPerGallon;
    else if ((from.dim == Dim::Weight && to.dim == Dim::Volume) ||
             (from.dim == Dim::WeightFlow && to.dim == Dim::VolumeFlow))
        cross = 1 / kFuelPoundsPerGallon;
    // Scaling by the ratio keeps a value read in its own unit exact (3500 ft stays 3500,
    // not 3499.9999999999995 after a round trip through meters).
    if (from.code == Code::Linear && to.code == Code::Linear && from.offset == 0 && to.offset == 0)
        return value * (from.scale * cross / to.scale);
    return from_base(to_base(value, from) * cross, to);
}

unsigned pack_bcd(unsigned n) {
    unsigned r = 0, shift = 0;
    while (n != 0 && shift < 32) {
        r |= (n % 10) << shift;
        n /= 10;
        shift += 4;
    }
    return r;
}

unsigned unpack_bcd(unsigned word) {
    unsigned r = 0, mul = 1;
    while (word != 0) {
        // A nibble above 9 is not a digit; it counts as 9 so that a bad word stays in range.
        unsigned d = word & 0xFu;
        if (d > 9)
            d = 9;
        r += d * mul;
        mul *= 10;
        word >>= 4;
    }
    return r;
}

}  // namespace simlink::units
