#include "simlink/Aircraft.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <unordered_map>

#include "simlink/NameText.h"

namespace simlink {

namespace {

using A = Aircraft;

struct VarSpec {
    const char* name;
    A::Slot slot;
    const char* storage;
    const char* native;  // nullptr: same as storage
    bool settable;
};

// clang-format off
const VarSpec kVars[] = {
    // Lights: the switch and the lamp are one state here.
    {"LIGHT NAV", A::kLightNav, "bool", nullptr, true},
    {"LIGHT NAV ON", A::kLightNav, "bool", nullptr, true},
    {"LIGHT LANDING", A::kLightLanding, "bool", nullptr, true},
    {"LIGHT LANDING ON", A::kLightLanding, "bool", nullptr, true},
    {"LIGHT BEACON", A::kLightBeacon, "bool", nullptr, true},
    {"LIGHT BEACON ON", A::kLightBeacon, "bool", nullptr, true},
    {"LIGHT STROBE", A::kLightStrobe, "bool", nullptr, true},
    {"LIGHT STROBE ON", A::kLightStrobe, "bool", nullptr, true},
    {"LIGHT TAXI", A::kLightTaxi, "bool", nullptr, true},
    {"LIGHT TAXI ON", A::kLightTaxi, "bool", nullptr, true},
    {"LIGHT PANEL", A::kLightPanel, "bool", nullptr, true},
    {"LIGHT PANEL ON", A::kLightPanel, "bool", nullptr, true},
    {"LIGHT LOGO", A::kLightLogo, "bool", nullptr, true},
    {"LIGHT LOGO ON", A::kLightLogo, "bool", nullptr, true},
    {"LIGHT WING", A::kLightWing, "bool", nullptr, true},
    {"LIGHT WING ON", A::kLightWing, "bool", nullptr, true},
    {"LIGHT RECOGNITION", A::kLightRecognition, "bool", nullptr, true},
    {"LIGHT RECOGNITION ON", A::kLightRecognition, "bool", nullptr, true},
    {"LIGHT CABIN", A::kLightCabin, "bool", nullptr, true},
    {"LIGHT CABIN ON", A::kLightCabin, "bool", nullptr, true},
    {"LIGHT ON STATES", A::kLightMask, "mask", nullptr, false},
    {"LIGHT STATES", A::kLightMask, "mask", nullptr, false},

    // Aircraft
    {"PLANE ALTITUDE", A::kAltitude, "feet", nullptr, true},
    {"PLANE ALT ABOVE GROUND", A::kAboveGround, "feet", nullptr, false},
    {"PLANE LATITUDE", A::kLatitude, "degrees", nullptr, true},
    {"PLANE LONGITUDE", A::kLongitude, "degrees", nullptr, true},
    {"PLANE HEADING DEGREES TRUE", A::kHeadingTrue, "degrees", nullptr, true},
    {"PLANE HEADING DEGREES MAGNETIC", A::kHeadingMag, "degrees", nullptr, false},
    {"PLANE PITCH DEGREES", A::kPitch, "degrees", nullptr, false},
    {"PLANE BANK DEGREES", A::kBank, "degrees", nullptr, false},
    {"AIRSPEED TRUE", A::kTrueSpeed, "knots", nullptr, false},
    {"GROUND VELOCITY", A::kGroundSpeed, "knots", nullptr, false},
    {"GEAR HANDLE POSITION", A::kGearHandle, "bool", nullptr, true},
    {"GEAR CENTER POSITION", A::kGearPos, "percent over 100", nullptr, false},
    {"GEAR LEFT POSITION", A::kGearPos, "percent over 100", nullptr, false},
    {"GEAR RIGHT POSITION", A::kGearPos, "percent over 100", nullptr, false},
    {"GEAR TOTAL PCT EXTENDED", A::kGearPos, "percent over 100", "percent", false},
    {"FLAPS HANDLE INDEX", A::kFlapsIndex, "number", nullptr, true},
    {"FLAPS HANDLE PERCENT", A::kFlapsHandlePct, "percent over 100", "percent", false},
    {"FLAPS NUM HANDLE POSITIONS", A::kFlapsNum, "number", nullptr, false},
    {"TRAILING EDGE FLAPS LEFT PERCENT", A::kFlapsPct, "percent over 100", "percent", false},
    {"TRAILING EDGE FLAPS RIGHT PERCENT", A::kFlapsPct, "percent over 100", "percent", false},
    {"TRAILING EDGE FLAPS LEFT ANGLE", A::kFlapsAngle, "degrees", nullptr, false},
    {"TRAILING EDGE FLAPS RIGHT ANGLE", A::kFlapsAngle, "degrees", nullptr, false},
    {"BRAKE PARKING POSITION", A::kParkingBrake, "bool", nullptr, true},
    {"BRAKE PARKING INDICATOR", A::kParkingBrake, "bool", nullptr, false},
    {"SPOILERS HANDLE POSITION", A::kSpoilersHandle, "percent over 100", "percent", true},
    {"SPOILERS ARMED", A::kSpoilersArmed, "bool", nullptr, true},
    {"ELEVATOR TRIM POSITION", A::kElevTrim, "degrees", nullptr, true},
    {"ELEVATOR TRIM PCT", A::kElevTrimPct, "percent over 100", nullptr, false},
    {"GENERAL ENG RPM:1", A::kRpm, "rpm", nullptr, false},
    {"PROP RPM:1", A::kRpm, "rpm", nullptr, false},
    {"GENERAL ENG THROTTLE LEVER POSITION:1", A::kThrottle, "percent over 100", "percent", true},
    {"GENERAL ENG MIXTURE LEVER POSITION:1", A::kMixture, "percent over 100", "percent", true},
    {"GENERAL ENG PROPELLER LEVER POSITION:1", A::kProp, "percent over 100", "percent", true},
    {"GENERAL ENG COMBUSTION:1", A::kCombustion, "bool", nullptr, false},
    {"GENERAL ENG OIL TEMPERATURE:1", A::kOilTemp, "celsius", nullptr, false},
    {"GENERAL ENG OIL PRESSURE:1", A::kOilPress, "psi", nullptr, false},
    {"GENERAL ENG EXHAUST GAS TEMPERATURE:1", A::kEgt, "celsius", nullptr, false},
    {"ENG MANIFOLD PRESSURE:1", A::kManifold, "inHg", nullptr, false},
    {"GENERAL ENG MASTER ALTERNATOR:1", A::kAlternator, "bool", nullptr, true},
    {"ELECTRICAL MASTER BATTERY", A::kBattery, "bool", nullptr, true},
    {"PITOT HEAT", A::kPitotHeat, "bool", nullptr, true},
    {"STRUCTURAL DEICE SWITCH", A::kDeice, "bool", nullptr, true},
    {"NUMBER OF ENGINES", A::kEngines, "number", nullptr, false},
    {"TOTAL WEIGHT", A::kTotalWeight, "pounds", nullptr, false},

    // Autopilot
    {"AUTOPILOT AVAILABLE", A::kApAvailable, "bool", nullptr, false},
    {"AUTOPILOT MASTER", A::kApMaster, "bool", nullptr, true},
    {"AUTOPILOT ALTITUDE LOCK", A::kApAltLock, "bool", nullptr, true},
    {"AUTOPILOT ALTITUDE LOCK VAR", A::kApAltVar, "feet", nullptr, true},
    {"AUTOPILOT HEADING LOCK", A::kApHdgLock, "bool", nullptr, true},
    {"AUTOPILOT HEADING LOCK DIR", A::kApHdgBug, "degrees", nullptr, true},
    {"AUTOPILOT NAV1 LOCK", A::kApNav1, "bool", nullptr, true},
    {"AUTOPILOT APPROACH HOLD", A::kApApproach, "bool", nullptr, true},
    {"AUTOPILOT BACKCOURSE HOLD", A::kApBackcourse, "bool", nullptr, true},
    {"AUTOPILOT GLIDESLOPE HOLD", A::kApGlideslope, "bool", nullptr, true},
    {"AUTOPILOT VERTICAL HOLD", A::kApVsHold, "bool", nullptr, true},
    {"AUTOPILOT VERTICAL HOLD VAR", A::kApVsVar, "feet per minute", nullptr, true},
    {"AUTOPILOT AIRSPEED HOLD", A::kApSpdHold, "bool", nullptr, true},
    {"AUTOPILOT AIRSPEED HOLD VAR", A::kApSpdVar, "knots", nullptr, true},
    {"AUTOPILOT YAW DAMPER", A::kApYawDamper, "bool", nullptr, true},
    {"AUTOPILOT FLIGHT LEVEL CHANGE", A::kApFlc, "bool", nullptr, true},
    {"AUTOPILOT THROTTLE ARM", A::kApThrottleArm, "bool", nullptr, true},
    {"AUTOPILOT FLIGHT DIRECTOR ACTIVE", A::kApFd, "bool", nullptr, true},
    {"AUTOPILOT WING LEVELER", A::kApWingLeveler, "bool", nullptr, true},
    {"AUTOPILOT ATTITUDE HOLD", A::kApAttHold, "bool", nullptr, true},

    // Avionics
    {"COM ACTIVE FREQUENCY:1", A::kCom1, "MHz", nullptr, true},
    {"COM STANDBY FREQUENCY:1", A::kCom1Stby, "MHz", nullptr, true},
    {"COM ACTIVE FREQUENCY:2", A::kCom2, "MHz", nullptr, true},
    {"COM STANDBY FREQUENCY:2", A::kCom2Stby, "MHz", nullptr, true},
    {"NAV ACTIVE FREQUENCY:1", A::kNav1, "MHz", nullptr, true},
    {"NAV STANDBY FREQUENCY:1", A::kNav1Stby, "MHz", nullptr, true},
    {"NAV ACTIVE FREQUENCY:2", A::kNav2, "MHz", nullptr, true},
    {"NAV STANDBY FREQUENCY:2", A::kNav2Stby, "MHz", nullptr, true},
    {"NAV OBS:1", A::kObs1, "degrees", nullptr, true},
    {"NAV OBS:2", A::kObs2, "degrees", nullptr, true},
    {"NAV CDI:1", A::kNavCdi, "number", nullptr, false},
    {"NAV HAS NAV:1", A::kNavHasNav, "bool", nullptr, false},
    {"NAV DME:1", A::kNavDme, "nautical miles", nullptr, false},
    {"ADF ACTIVE FREQUENCY:1", A::kAdf, "KHz", nullptr, true},
    {"TRANSPONDER CODE:1", A::kXpndr, "number", "Bco16", true},
    {"TRANSPONDER STATE:1", A::kXpndrState, "enum", nullptr, true},
    {"COM TRANSMIT:1", A::kComTx1, "bool", nullptr, true},
    {"COM TRANSMIT:2", A::kComTx2, "bool", nullptr, true},
    {"AVIONICS MASTER SWITCH", A::kAvionics, "bool", nullptr, true},

    // Instruments
    {"INDICATED ALTITUDE", A::kIndAlt, "feet", nullptr, false},
    {"AIRSPEED INDICATED", A::kIas, "knots", nullptr, false},
    {"AIRSPEED MACH", A::kMach, "mach", nullptr, false},
    {"HEADING INDICATOR", A::kHeadingInd, "degrees", nullptr, false},
    {"VERTICAL SPEED", A::kVs, "feet per minute", nullptr, false},
    {"KOHLSMAN SETTING HG:1", A::kKohlsman, "inHg", nullptr, true},
    {"KOHLSMAN SETTING MB:1", A::kKohlsman, "inHg", "millibars", true},
    {"ATTITUDE INDICATOR PITCH DEGREES", A::kAttPitch, "degrees", nullptr, false},
    {"ATTITUDE INDICATOR BANK DEGREES", A::kAttBank, "degrees", nullptr, false},
    {"TURN COORDINATOR BALL", A::kBall, "position 128", nullptr, false},
    {"TURN INDICATOR RATE", A::kTurnRate, "degrees per second", nullptr, false},
    {"WISKEY COMPASS INDICATION DEGREES", A::kCompass, "degrees", nullptr, false},
    {"RADIO HEIGHT", A::kRadioHeight, "feet", nullptr, false},
    {"SUCTION PRESSURE", A::kSuction, "inHg", nullptr, false},
    {"PRESSURE ALTITUDE", A::kPressAlt, "feet", nullptr, false},
    {"STALL WARNING", A::kStallWarn, "bool", nullptr, false},
    {"OVERSPEED WARNING", A::kOverspeedWarn, "bool", nullptr, false},

    // Fuel
    {"FUEL TOTAL QUANTITY", A::kFuelTotal, "gallons", nullptr, false},
    {"FUEL TOTAL QUANTITY WEIGHT", A::kFuelTotal, "gallons", "pounds", false},
    {"FUEL TOTAL CAPACITY", A::kFuelCapacity, "gallons", nullptr, false},
    {"FUEL LEFT QUANTITY", A::kFuelLeft, "gallons", nullptr, true},
    {"FUEL RIGHT QUANTITY", A::kFuelRight, "gallons", nullptr, true},
    {"FUEL TANK LEFT MAIN QUANTITY", A::kFuelLeft, "gallons", nullptr, true},
    {"FUEL TANK RIGHT MAIN QUANTITY", A::kFuelRight, "gallons", nullptr, true},
    {"FUEL TANK LEFT MAIN CAPACITY", A::kFuelTankCapacity, "gallons", nullptr, false},
    {"FUEL TANK RIGHT MAIN CAPACITY", A::kFuelTankCapacity, "gallons", nullptr, false},
    {"FUEL WEIGHT PER GALLON", A::kFuelDensity, "pounds", nullptr, false},
    {"ENG FUEL FLOW GPH:1", A::kFuelFlow, "gallons per hour", nullptr, false},
    {"ENG FUEL FLOW PPH:1", A::kFuelFlow, "gallons per hour", "pounds per hour", false},
    {"GENERAL ENG FUEL PRESSURE:1", A::kFuelPress, "psi", nullptr, false},
    {"FUEL TANK SELECTOR:1", A::kFuelSelector, "enum", nullptr, true},
    {"GENERAL ENG FUEL PUMP SWITCH:1", A::kFuelPump, "bool", nullptr, true},
    {"FUEL SELECTED QUANTITY", A::kFuelSelected, "gallons", nullptr, false},

    // Misc
    {"SIM ON GROUND", A::kOnGround, "bool", nullptr, false},
    {"AMBIENT TEMPERATURE", A::kAmbTemp, "celsius", nullptr, false},
    {"AMBIENT PRESSURE", A::kAmbPress, "inHg", nullptr, false},
    {"SEA LEVEL PRESSURE", A::kSeaLevelPress, "millibars", nullptr, true},
    {"AMBIENT WIND VELOCITY", A::kWindSpeed, "knots", nullptr, true},
    {"AMBIENT WIND DIRECTION", A::kWindDir, "degrees", nullptr, true},
    {"ZULU TIME", A::kZulu, "seconds", nullptr, true},
    {"LOCAL TIME", A::kLocal, "seconds", nullptr, false},
    {"ABSOLUTE TIME", A::kAbsTime, "seconds", nullptr, false},
    {"SIMULATION RATE", A::kSimRate, "number", nullptr, false},
    {"ELECTRICAL MAIN BUS VOLTAGE", A::kBusVolts, "volts", nullptr, false},
    {"GROUND ALTITUDE", A::kGroundAlt, "feet", nullptr, false},
};
// clang-format on

struct VarTable {
    std::vector<A::Variable> list;
    std::unordered_map<std::string, size_t> by_name;
    VarTable() {
        list.reserve(std::size(kVars));
        for (const VarSpec& s : kVars) {
            const units::Unit storage = *units::find(s.storage);
            const char* native = s.native ? s.native : s.storage;
            list.push_back({s.name, s.slot, storage, *units::find(native), native, s.settable});
        }
        for (size_t i = 0; i < list.size(); ++i)
            by_name.emplace(list[i].name, i);
    }
};

const VarTable& var_table() {
    static const VarTable t;
    return t;
}

constexpr double kPi = std::numbers::pi;
constexpr double kGroundElevation = 500;  // feet
constexpr double kMagVar = 3;             // degrees east: magnetic = true - 3
constexpr double kEmptyWeight = 1650;     // pounds
constexpr int kFlapPositions = 3;

double wrap360(double d) {
    d = std::fmod(d, 360.0);
    return d < 0 ? d + 360.0 : d;
}
double wrap180(double d) {
    d = wrap360(d);
    return d > 180 ? d - 360 : d;
}
double approach(double v, double target, double max_step) {
    if (v < target)
        return std::min(v + max_step, target);
    return std::max(v - max_step, target);
}
double frac16k(uint32_t d) {
    return std::clamp(static_cast<int32_t>(d) / 16383.0, 0.0, 1.0);
}
bool on(double x) {
    return x != 0;
}

// Radio tuning: hundredths of MHz wrapped within the band, keeping the whole or fractional part.
double tune_whole(double mhz, int step, int lo, int hi) {
    const double fract = mhz - std::floor(mhz + 1e-9);
    int whole = static_cast<int>(std::floor(mhz + 1e-9)) + step;
    if (whole > hi)
        whole = lo;
    if (whole < lo)
        whole = hi;
    return whole + fract;
}
double tune_fract(double mhz, double step) {
    const double whole = std::floor(mhz + 1e-9);
    double fract = mhz - whole + step;
    if (fract >= 1 - 1e-9)
        fract -= 1;
    if (fract < -1e-9)
        fract += 1;
    return whole + std::round(fract * 1000) / 1000;
}
double bcd16_mhz(uint32_t d) {
    return 100.0 + units::unpack_bcd(d & 0xFFFFu) / 100.0;
}

double xpndr_digit_step(double code, int place, int step) {
    int c = static_cast<int>(std::lround(code));
    int digit = (c / place) % 10;
    const int next = (digit + step + 8) % 8;  // transponder digits run 0 to 7
    return c + (next - digit) * place;
}

using Handler = void (*)(A&, uint32_t);
struct EventSpec {
    const char* name;
    Handler fn;
};

#define EV(NAME, BODY)                                        \
    {                                                         \
        NAME, [](A& a, [[maybe_unused]] uint32_t d) { BODY; } \
    }
#define LIGHT_EVENTS(TOGGLE, ON, OFF, SET, SLOT)                                                  \
    EV(TOGGLE, a.v[SLOT] = on(a.v[SLOT]) ? 0 : 1), EV(ON, a.v[SLOT] = 1), EV(OFF, a.v[SLOT] = 0), \
        EV(SET, a.v[SLOT] = d != 0 ? 1 : 0)
#define TOGGLE_ON_OFF(TOGGLE, ON, OFF, SLOT) \
    EV(TOGGLE, a.v[SLOT] = on(a.v[SLOT]) ? 0 : 1), EV(ON, a.v[SLOT] = 1), EV(OFF, a.v[SLOT] = 0)
#define TOGGLE(NAME, SLOT) EV(NAME, a.v[SLOT] = on(a.v[SLOT]) ? 0 : 1)

// clang-format off
const EventSpec kEvents[] = {
    // Lights
    LIGHT_EVENTS("TOGGLE_NAV_LIGHTS", "NAV_LIGHTS_ON", "NAV_LIGHTS_OFF", "NAV_LIGHTS_SET", A::kLightNav),
    LIGHT_EVENTS("LANDING_LIGHTS_TOGGLE", "LANDING_LIGHTS_ON", "LANDING_LIGHTS_OFF", "LANDING_LIGHTS_SET", A::kLightLanding),
    LIGHT_EVENTS("TOGGLE_BEACON_LIGHTS", "BEACON_LIGHTS_ON", "BEACON_LIGHTS_OFF", "BEACON_LIGHTS_SET", A::kLightBeacon),
    LIGHT_EVENTS("STROBES_TOGGLE", "STROBES_ON", "STROBES_OFF", "STROBES_SET", A::kLightStrobe),
    LIGHT_EVENTS("TOGGLE_TAXI_LIGHTS", "TAXI_LIGHTS_ON", "TAXI_LIGHTS_OFF", "TAXI_LIGHTS_SET", A::kLightTaxi),
    LIGHT_EVENTS("PANEL_LIGHTS_TOGGLE", "PANEL_LIGHTS_ON", "PANEL_LIGHTS_OFF", "PANEL_LIGHTS_SET", A::kLightPanel),
    TOGGLE("TOGGLE_LOGO_LIGHTS", A::kLightLogo), EV("LOGO_LIGHTS_SET", a.v[A::kLightLogo] = d != 0),
    TOGGLE("TOGGLE_WING_LIGHTS", A::kLightWing), EV("WING_LIGHTS_SET", a.v[A::kLightWing] = d != 0),
    TOGGLE("TOGGLE_RECOGNITION_LIGHTS", A::kLightRecognition),
    EV("RECOGNITION_LIGHTS_SET", a.v[A::kLightRecognition] = d != 0),
    TOGGLE("TOGGLE_CABIN_LIGHTS", A::kLightCabin), EV("CABIN_LIGHTS_SET", a.v[A::kLightCabin] = d != 0),
    EV("ALL_LIGHTS_TOGGLE", {
        bool any = false;
        for (int s = A::kLightNav; s <= A::kLightCabin; ++s) any = any || on(a.v[s]);
        for (int s = A::kLightNav; s <= A::kLightCabin; ++s) a.v[s] = any ? 0 : 1;
    }),

    // Aircraft
    TOGGLE("GEAR_TOGGLE", A::kGearHandle), EV("GEAR_UP", a.v[A::kGearHandle] = 0),
    EV("GEAR_DOWN", a.v[A::kGearHandle] = 1), EV("GEAR_SET", a.v[A::kGearHandle] = d != 0),
    EV("FLAPS_INCR", a.v[A::kFlapsIndex] = std::min<double>(a.v[A::kFlapsIndex] + 1, kFlapPositions)),
    EV("FLAPS_DECR", a.v[A::kFlapsIndex] = std::max<double>(a.v[A::kFlapsIndex] - 1, 0)),
    EV("FLAPS_UP", a.v[A::kFlapsIndex] = 0), EV("FLAPS_1", a.v[A::kFlapsIndex] = 1),
    EV("FLAPS_2", a.v[A::kFlapsIndex] = 2), EV("FLAPS_3", a.v[A::kFlapsIndex] = 3),
    EV("FLAPS_DOWN", a.v[A::kFlapsIndex] = kFlapPositions),
    EV("FLAPS_SET", a.v[A::kFlapsIndex] = std::round(frac16k(d) * kFlapPositions)),
    TOGGLE("PARKING_BRAKES", A::kParkingBrake), EV("PARKING_BRAKE_SET", a.v[A::kParkingBrake] = d != 0),
    EV("SPOILERS_TOGGLE", a.v[A::kSpoilersHandle] = a.v[A::kSpoilersHandle] > 0 ? 0 : 1),
    EV("SPOILERS_ON", a.v[A::kSpoilersHandle] = 1), EV("SPOILERS_OFF", a.v[A::kSpoilersHandle] = 0),
    EV("SPOILERS_SET", a.v[A::kSpoilersHandle] = frac16k(d)),
    TOGGLE("SPOILERS_ARM_TOGGLE", A::kSpoilersArmed),
    EV("ELEV_TRIM_UP", a.v[A::kElevTrim] = std::min(a.v[A::kElevTrim] + 0.25, 20.0)),
    EV("ELEV_TRIM_DN", a.v[A::kElevTrim] = std::max(a.v[A::kElevTrim] - 0.25, -20.0)),
    EV("ELEVATOR_TRIM_SET", a.v[A::kElevTrim] = std::clamp(static_cast<int32_t>(d) / 16383.0, -1.0, 1.0) * 20),
    EV("THROTTLE_FULL", a.v[A::kThrottle] = 1), EV("THROTTLE_CUT", a.v[A::kThrottle] = 0),
    EV("THROTTLE_INCR", a.v[A::kThrottle] = std::min(a.v[A::kThrottle] + 0.05, 1.0)),
    EV("THROTTLE_DECR", a.v[A::kThrottle] = std::max(a.v[A::kThrottle] - 0.05, 0.0)),
    EV("THROTTLE_SET", a.v[A::kThrottle] = frac16k(d)),
    EV("MIXTURE_RICH", a.v[A::kMixture] = 1), EV("MIXTURE_LEAN", a.v[A::kMixture] = 0),
    EV("MIXTURE_INCR", a.v[A::kMixture] = std::min(a.v[A::kMixture] + 0.05, 1.0)),
    EV("MIXTURE_DECR", a.v[A::kMixture] = std::max(a.v[A::kMixture] - 0.05, 0.0)),
    EV("MIXTURE_SET", a.v[A::kMixture] = frac16k(d)),
    EV("PROP_PITCH_HI", a.v[A::kProp] = 1), EV("PROP_PITCH_LO", a.v[A::kProp] = 0),
    EV("PROP_PITCH_SET", a.v[A::kProp] = frac16k(d)),
    EV("ENGINE_AUTO_START", {
        a.v[A::kMixture] = 1;
        a.v[A::kBattery] = 1;
        a.v[A::kAlternator] = 1;
        if (a.v[A::kFuelSelector] == 0) a.v[A::kFuelSelector] = 1;
        a.v[A::kCombustion] = 1;
    }),
    EV("ENGINE_AUTO_SHUTDOWN", {
        a.v[A::kMixture] = 0;
        a.v[A::kThrottle] = 0;
        a.v[A::kCombustion] = 0;
    }),
    TOGGLE_ON_OFF("TOGGLE_MASTER_BATTERY", "MASTER_BATTERY_ON", "MASTER_BATTERY_OFF", A::kBattery),
    TOGGLE_ON_OFF("TOGGLE_MASTER_ALTERNATOR", "ALTERNATOR_ON", "ALTERNATOR_OFF", A::kAlternator),
    TOGGLE_ON_OFF("PITOT_HEAT_TOGGLE", "PITOT_HEAT_ON", "PITOT_HEAT_OFF", A::kPitotHeat),
    TOGGLE_ON_OFF("ANTI_ICE_TOGGLE", "ANTI_ICE_ON", "ANTI_ICE_OFF", A::kDeice),

    // Autopilot
    TOGGLE_ON_OFF("AP_MASTER", "AUTOPILOT_ON", "AUTOPILOT_OFF", A::kApMaster),
    TOGGLE_ON_OFF("AP_ALT_HOLD", "AP_ALT_HOLD_ON", "AP_ALT_HOLD_OFF", A::kApAltLock),
    TOGGLE_ON_OFF("AP_HDG_HOLD", "AP_HDG_HOLD_ON", "AP_HDG_HOLD_OFF", A::kApHdgLock),
    TOGGLE_ON_OFF("AP_NAV1_HOLD", "AP_NAV1_HOLD_ON", "AP_NAV1_HOLD_OFF", A::kApNav1),
    TOGGLE_ON_OFF("AP_APR_HOLD", "AP_APR_HOLD_ON", "AP_APR_HOLD_OFF", A::kApApproach),
    TOGGLE_ON_OFF("AP_AIRSPEED_HOLD", "AP_AIRSPEED_ON", "AP_AIRSPEED_OFF", A::kApSpdHold),
    TOGGLE("AP_BC_HOLD", A::kApBackcourse), TOGGLE("AP_VS_HOLD", A::kApVsHold),
    TOGGLE("YAW_DAMPER_TOGGLE", A::kApYawDamper), TOGGLE("AUTO_THROTTLE_ARM", A::kApThrottleArm),
    TOGGLE("FLIGHT_LEVEL_CHANGE", A::kApFlc), TOGGLE("TOGGLE_FLIGHT_DIRECTOR", A::kApFd),
    TOGGLE("AP_WING_LEVELER", A::kApWingLeveler), TOGGLE("AP_ATT_HOLD", A::kApAttHold),
    EV("AP_ALT_VAR_SET_ENGLISH", a.v[A::kApAltVar] = static_cast<int32_t>(d)),
    EV("AP_ALT_VAR_SET_METRIC", a.v[A::kApAltVar] = static_cast<int32_t>(d) / 0.3048),
    EV("AP_ALT_VAR_INC", a.v[A::kApAltVar] = std::min(a.v[A::kApAltVar] + 100, 50000.0)),
    EV("AP_ALT_VAR_DEC", a.v[A::kApAltVar] = std::max(a.v[A::kApAltVar] - 100, 0.0)),
    EV("HEADING_BUG_SET", a.v[A::kApHdgBug] = wrap360(static_cast<int32_t>(d))),
    EV("HEADING_BUG_INC", a.v[A::kApHdgBug] = wrap360(a.v[A::kApHdgBug] + 1)),
    EV("HEADING_BUG_DEC", a.v[A::kApHdgBug] = wrap360(a.v[A::kApHdgBug] - 1)),
    EV("AP_VS_VAR_SET_ENGLISH", a.v[A::kApVsVar] = static_cast<int32_t>(d)),
    EV("AP_VS_VAR_INC", a.v[A::kApVsVar] = std::min(a.v[A::kApVsVar] + 100, 3000.0)),
    EV("AP_VS_VAR_DEC", a.v[A::kApVsVar] = std::max(a.v[A::kApVsVar] - 100, -3000.0)),
    EV("AP_SPD_VAR_SET", a.v[A::kApSpdVar] = static_cast<int32_t>(d)),
    EV("AP_SPD_VAR_INC", a.v[A::kApSpdVar] = std::min(a.v[A::kApSpdVar] + 1, 250.0)),
    EV("AP_SPD_VAR_DEC", a.v[A::kApSpdVar] = std::max(a.v[A::kApSpdVar] - 1, 0.0)),

    // Avionics: radios take four BCD digits, the leading 1 implied; only the low 16 bits count.
    EV("COM_RADIO_SET", a.v[A::kCom1] = bcd16_mhz(d)),
    EV("COM_STBY_RADIO_SET", a.v[A::kCom1Stby] = bcd16_mhz(d)),
    EV("COM_STBY_RADIO_SWAP", std::swap(a.v[A::kCom1], a.v[A::kCom1Stby])),
    EV("COM2_RADIO_SET", a.v[A::kCom2] = bcd16_mhz(d)),
    EV("COM2_STBY_RADIO_SET", a.v[A::kCom2Stby] = bcd16_mhz(d)),
    EV("COM2_RADIO_SWAP", std::swap(a.v[A::kCom2], a.v[A::kCom2Stby])),
    EV("COM_RADIO_WHOLE_INC", a.v[A::kCom1] = tune_whole(a.v[A::kCom1], 1, 118, 136)),
    EV("COM_RADIO_WHOLE_DEC", a.v[A::kCom1] = tune_whole(a.v[A::kCom1], -1, 118, 136)),
    EV("COM_RADIO_FRACT_INC", a.v[A::kCom1] = tune_fract(a.v[A::kCom1], 0.025)),
    EV("COM_RADIO_FRACT_DEC", a.v[A::kCom1] = tune_fract(a.v[A::kCom1], -0.025)),
    EV("NAV1_RADIO_SET", a.v[A::kNav1] = bcd16_mhz(d)),
    EV("NAV1_STBY_SET", a.v[A::kNav1Stby] = bcd16_mhz(d)),
    EV("NAV1_RADIO_SWAP", std::swap(a.v[A::kNav1], a.v[A::kNav1Stby])),
    EV("NAV2_RADIO_SET", a.v[A::kNav2] = bcd16_mhz(d)),
    EV("NAV2_STBY_SET", a.v[A::kNav2Stby] = bcd16_mhz(d)),
    EV("NAV2_RADIO_SWAP", std::swap(a.v[A::kNav2], a.v[A::kNav2Stby])),
    EV("NAV1_RADIO_WHOLE_INC", a.v[A::kNav1] = tune_whole(a.v[A::kNav1], 1, 108, 117)),
    EV("NAV1_RADIO_WHOLE_DEC", a.v[A::kNav1] = tune_whole(a.v[A::kNav1], -1, 108, 117)),
    EV("NAV1_RADIO_FRACT_INC", a.v[A::kNav1] = tune_fract(a.v[A::kNav1], 0.05)),
    EV("NAV1_RADIO_FRACT_DEC", a.v[A::kNav1] = tune_fract(a.v[A::kNav1], -0.05)),
    EV("VOR1_SET", a.v[A::kObs1] = wrap360(static_cast<int32_t>(d))),
    EV("VOR2_SET", a.v[A::kObs2] = wrap360(static_cast<int32_t>(d))),
    EV("VOR1_OBI_INC", a.v[A::kObs1] = wrap360(a.v[A::kObs1] + 1)),
    EV("VOR1_OBI_DEC", a.v[A::kObs1] = wrap360(a.v[A::kObs1] - 1)),
    EV("VOR2_OBI_INC", a.v[A::kObs2] = wrap360(a.v[A::kObs2] + 1)),
    EV("VOR2_OBI_DEC", a.v[A::kObs2] = wrap360(a.v[A::kObs2] - 1)),
    EV("XPNDR_SET", a.v[A::kXpndr] = units::unpack_bcd(d & 0xFFFFu)),
    EV("XPNDR_1000_INC", a.v[A::kXpndr] = xpndr_digit_step(a.v[A::kXpndr], 1000, 1)),
    EV("XPNDR_100_INC", a.v[A::kXpndr] = xpndr_digit_step(a.v[A::kXpndr], 100, 1)),
    EV("XPNDR_10_INC", a.v[A::kXpndr] = xpndr_digit_step(a.v[A::kXpndr], 10, 1)),
    EV("XPNDR_1_INC", a.v[A::kXpndr] = xpndr_digit_step(a.v[A::kXpndr], 1, 1)),
    EV("XPNDR_1000_DEC", a.v[A::kXpndr] = xpndr_digit_step(a.v[A::kXpndr], 1000, -1)),
    EV("XPNDR_100_DEC", a.v[A::kXpndr] = xpndr_digit_step(a.v[A::kXpndr], 100, -1)),
    EV("XPNDR_10_DEC", a.v[A::kXpndr] = xpndr_digit_step(a.v[A::kXpndr], 10, -1)),
    EV("XPNDR_1_DEC", a.v[A::kXpndr] = xpndr_digit_step(a.v[A::kXpndr], 1, -1)),
    TOGGLE("TOGGLE_AVIONICS_MASTER", A::kAvionics),
    EV("AVIONICS_MASTER_SET", a.v[A::kAvionics] = d != 0),
    EV("COM1_TRANSMIT_SELECT", { a.v[A::kComTx1] = 1; a.v[A::kComTx2] = 0; }),
    EV("COM2_TRANSMIT_SELECT", { a.v[A::kComTx1] = 0; a.v[A::kComTx2] = 1; }),

    // Instruments: the barometer event carries millibars times 16.
    EV("KOHLSMAN_SET", a.v[A::kKohlsman] = std::clamp(d / 16.0 / 33.8639, 27.0, 32.0)),
    EV("KOHLSMAN_INC", a.v[A::kKohlsman] = std::min(a.v[A::kKohlsman] + 0.01, 32.0)),
    EV("KOHLSMAN_DEC", a.v[A::kKohlsman] = std::max(a.v[A::kKohlsman] - 0.01, 27.0)),
    EV("BAROMETRIC", a.v[A::kKohlsman] = a.v[A::kSeaLevelPress] / 33.8639),
    EV("BAROMETRIC_STD_PRESSURE", a.v[A::kKohlsman] = 29.92),
    EV("HEADING_GYRO_SET", a.v[A::kGyroDrift] = 0),
    EV("GYRO_DRIFT_INC", a.v[A::kGyroDrift] = a.v[A::kGyroDrift] + 1),
    EV("GYRO_DRIFT_DEC", a.v[A::kGyroDrift] = a.v[A::kGyroDrift] - 1),

    // Fuel: selector 0 off, 1 both, 2 left, 3 right.
    EV("FUEL_SELECTOR_OFF", a.v[A::kFuelSelector] = 0),
    EV("FUEL_SELECTOR_ALL", a.v[A::kFuelSelector] = 1),
    EV("FUEL_SELECTOR_LEFT", a.v[A::kFuelSelector] = 2),
    EV("FUEL_SELECTOR_RIGHT", a.v[A::kFuelSelector] = 3),
    EV("FUEL_SELECTOR_SET", a.v[A::kFuelSelector] = std::min<uint32_t>(d, 3)),
    TOGGLE("FUEL_PUMP", A::kFuelPump), TOGGLE("TOGGLE_ELECT_FUEL_PUMP", A::kFuelPump),
    EV("ADD_FUEL_QUANTITY", {
        const double add = (d == 0 ? 0.25 : std::min(d, 65535u) / 65535.0) * 2 * a.v[A::kFuelTankCapacity];
        a.v[A::kFuelLeft] = std::min(a.v[A::kFuelLeft] + add / 2, a.v[A::kFuelTankCapacity]);
        a.v[A::kFuelRight] = std::min(a.v[A::kFuelRight] + add / 2, a.v[A::kFuelTankCapacity]);
    }),

    // Misc
    TOGGLE_ON_OFF("PAUSE_TOGGLE", "PAUSE_ON", "PAUSE_OFF", A::kPaused),
    EV("PAUSE_SET", a.v[A::kPaused] = d != 0),
    EV("SIM_RATE_INCR", a.v[A::kSimRate] = std::min(a.v[A::kSimRate] * 2, 16.0)),
    EV("SIM_RATE_DECR", a.v[A::kSimRate] = std::max(a.v[A::kSimRate] / 2, 0.25)),
    EV("SITUATION_RESET", a = Aircraft()),
    EV("REPAIR_AND_REFUEL", {
        a.v[A::kFuelLeft] = a.v[A::kFuelTankCapacity];
        a.v[A::kFuelRight] = a.v[A::kFuelTankCapacity];
    }),
    EV("ZULU_HOURS_SET", a.v[A::kZulu] = std::fmod(a.v[A::kZulu], 3600) + (d % 24) * 3600.0),
    EV("ZULU_MINUTES_SET", {
        const double hours = std::floor(a.v[A::kZulu] / 3600) * 3600;
        a.v[A::kZulu] = hours + (d % 60) * 60.0 + std::fmod(a.v[A::kZulu], 60);
    }),
    EV("CLOCK_HOURS_INC", a.v[A::kZulu] = std::fmod(a.v[A::kZulu] + 3600, 86400)),
    EV("CLOCK_HOURS_DEC", a.v[A::kZulu] = std::fmod(a.v[A::kZulu] + 86400 - 3600, 86400)),
    EV("CLOCK_MINUTES_INC", a.v[A::kZulu] = std::fmod(a.v[A::kZulu] + 60, 86400)),
    EV("CLOCK_MINUTES_DEC", a.v[A::kZulu] = std::fmod(a.v[A::kZulu] + 86400 - 60, 86400)),
};
// clang-format on

#undef EV
#undef LIGHT_EVENTS
#undef TOGGLE_ON_OFF
#undef TOGGLE

const std::unordered_map<std::string, Handler>& event_table() {
    static const auto t = [] {
        std::unordered_map<std::string, Handler> m;
        for (const EventSpec& e : kEvents)
            m.emplace(e.name, e.fn);
        return m;
    }();
    return t;
}

}  // namespace

Aircraft::Aircraft() {
    // In the air over the field, cruising east with the beacon and nav lights on.
    v[kLightNav] = 1;
    v[kLightBeacon] = 1;
    v[kAltitude] = 3000;
    v[kLatitude] = 47.45;
    v[kLongitude] = 8.55;
    v[kHeadingTrue] = 90;
    v[kTrueSpeed] = 110;
    v[kIas] = 105;
    v[kFlapsNum] = kFlapPositions;
    v[kRpm] = 2300;
    v[kThrottle] = 0.75;
    v[kMixture] = 1;
    v[kProp] = 1;
    v[kCombustion] = 1;
    v[kOilTemp] = 85;
    v[kOilPress] = 72;
    v[kEgt] = 970;
    v[kBattery] = 1;
    v[kAlternator] = 1;
    v[kEngines] = 1;
    v[kApAvailable] = 1;
    v[kApAltVar] = 5000;
    v[kApHdgBug] = 90;
    v[kApVsVar] = 500;
    v[kApSpdVar] = 110;
    v[kCom1] = 124.85;
    v[kCom1Stby] = 121.50;
    v[kCom2] = 119.10;
    v[kCom2Stby] = 126.70;
    v[kNav1] = 110.50;
    v[kNav1Stby] = 113.90;
    v[kNav2] = 112.30;
    v[kNav2Stby] = 108.00;
    v[kObs1] = 90;
    v[kObs2] = 270;
    v[kAdf] = 350;
    v[kXpndr] = 1200;
    v[kXpndrState] = 4;  // ALT
    v[kComTx1] = 1;
    v[kAvionics] = 1;
    v[kKohlsman] = 29.92;
    v[kFuelCapacity] = 53;
    v[kFuelTankCapacity] = 26.5;
    v[kFuelLeft] = 24;
    v[kFuelRight] = 24;
    v[kFuelDensity] = units::kFuelPoundsPerGallon;
    v[kFuelSelector] = 1;
    v[kSeaLevelPress] = 1013.25;
    v[kWindSpeed] = 8;
    v[kWindDir] = 270;
    v[kZulu] = 12 * 3600;
    v[kSimRate] = 1;
    v[kAbsTime] = 63'871'200'000.0 + 12 * 3600;
    v[kGroundAlt] = kGroundElevation;
    derive();
}

const Aircraft::Variable* Aircraft::find_variable(std::string_view name) {
    const VarTable& t = var_table();
    std::string n = upper_trimmed(name);
    // "NAME : 1" and "NAME:1" are the same variable.
    if (auto colon = n.find(':'); colon != std::string::npos) {
        std::string base = upper_trimmed(std::string_view(n).substr(0, colon));
        std::string index = upper_trimmed(std::string_view(n).substr(colon + 1));
        n = base + ":" + index;
        if (auto it = t.by_name.find(n); it != t.by_name.end())
            return &t.list[it->second];
        if (index == "1" || index.empty())
            if (auto it = t.by_name.find(base); it != t.by_name.end())
                return &t.list[it->second];
        return nullptr;
    }
    if (auto it = t.by_name.find(n); it != t.by_name.end())
        return &t.list[it->second];
    if (auto it = t.by_name.find(n + ":1"); it != t.by_name.end())
        return &t.list[it->second];
    return nullptr;
}

Aircraft::Binding Aircraft::bind(std::string_view name, std::string_view unit) {
    Binding b;
    b.var = find_variable(name);
    if (b.var) {
        auto u = units::find(unit);
        if (u && (u->code == units::Code::Bool || units::compatible(b.var->storage.dim, u->dim)))
            b.unit = u;
        else
            b.unit = b.var->native;
    }
    return b;
}

bool Aircraft::knows_event(std::string_view name) {
    return event_table().count(upper_trimmed(name)) != 0;
}

std::vector<const Aircraft::Variable*> Aircraft::variables() {
    std::vector<const Variable*> out;
    for (const Variable& v : var_table().list)
        out.push_back(&v);
    return out;
}

std::vector<std::string> Aircraft::event_names() {
    std::vector<std::string> out;
    for (const EventSpec& e : kEvents)
        out.emplace_back(e.name);
    return out;
}

double Aircraft::read(const Binding& b) const {
    if (!b.var)
        return 0;
    return units::convert(v[b.var->slot], b.var->storage, *b.unit);
}

void Aircraft::write(const Binding& b, double value) {
    if (!b.var || !b.var->settable || !std::isfinite(value))
        return;
    double stored = units::convert(value, *b.unit, b.var->storage);
    if (b.var->storage.code == units::Code::Bool)
        stored = stored != 0 ? 1 : 0;
    v[b.var->slot] = stored;
    derive();
}

double Aircraft::read(std::string_view name, std::string_view unit) const {
    return read(bind(name, unit));
}

void Aircraft::write(std::string_view name, std::string_view unit, double value) {
    write(bind(name, unit), value);
}

bool Aircraft::fire(std::string_view event, uint32_t data) {
    const auto& t = event_table();
    auto it = t.find(upper_trimmed(event));
    if (it == t.end())
        return false;
    it->second(*this, data);
    derive();
    return true;
}

void Aircraft::step(double dt) {
    if (on(v[kPaused]) || dt <= 0)
        return;
    dt *= v[kSimRate];
    elapsed += dt;
    const double t = elapsed;
    const bool ap = on(v[kApMaster]);

    // Engine: rpm follows the throttle; fuel runs from the selected tanks.
    double& left = v[kFuelLeft];
    double& right = v[kFuelRight];
    const int sel = static_cast<int>(v[kFuelSelector]);
    const double available = sel == 1 ? left + right : sel == 2 ? left : sel == 3 ? right : 0;
    if (available <= 0 || v[kMixture] < 0.1)
        v[kCombustion] = 0;
    const bool running = on(v[kCombustion]);
    const double th = v[kThrottle];
    const double target_rpm =
        running ? 700 + 1900 * th * (0.85 + 0.15 * v[kProp]) + 8 * std::sin(t * 0.7) : 0;
    v[kRpm] = approach(v[kRpm], target_rpm, 400 * dt);
    v[kFuelFlow] = running ? (1.5 + 11 * th) * (0.6 + 0.4 * v[kMixture]) : 0;
    const double burn = v[kFuelFlow] * dt / 3600;
    if (sel == 1) {
        const double l = std::min(left, burn / 2), r = std::min(right, burn - l);
        left -= l;
        right -= r;
    } else if (sel == 2) {
        left = std::max(0.0, left - burn);
    } else if (sel == 3) {
        right = std::max(0.0, right - burn);
    }
    v[kManifold] = running ? 10 + 18 * th : v[kAmbPress];
    v[kOilTemp] = approach(v[kOilTemp], running ? 75 + 20 * th : v[kAmbTemp], 0.5 * dt);
    v[kOilPress] = approach(v[kOilPress], running ? 55 + 22 * th : 0, 10 * dt);
    v[kEgt] = approach(v[kEgt], running ? 600 + 500 * th : v[kAmbTemp], 20 * dt);
    v[kFuelPress] = running || on(v[kFuelPump]) ? 5.5 : 0;

    // Gear and flaps move toward their handles.
    v[kGearPos] = approach(v[kGearPos], v[kGearHandle], 0.2 * dt);
    v[kFlapsPct] = approach(v[kFlapsPct], v[kFlapsIndex] / kFlapPositions, 0.2 * dt);

    // Airspeed: the demo wanders around cruise; drag from gear, flaps and spoilers.
    double target_ias = ap && on(v[kApSpdHold])
                            ? v[kApSpdVar]
                            : 105 + 8 * std::sin(2 * kPi * t / 240) + 40 * (th - 0.75);
    if (!(ap && on(v[kApSpdHold]))) {
        target_ias -=
            10 * v[kGearPos] + 6 * v[kFlapsPct] * kFlapPositions + 15 * v[kSpoilersHandle];
        if (!running)
            target_ias = std::min(target_ias, 70.0);
    }
    v[kIas] = approach(v[kIas], std::max(target_ias, 0.0), 2 * dt);

    // Vertical speed: the autopilot holds its altitude or rate, the demo climbs and descends
    // gently around 3000 ft.
    double target_vs;
    if (ap && on(v[kApAltLock])) {
        const double limit = std::max(std::fabs(v[kApVsVar]), 500.0);
        target_vs = std::clamp((v[kApAltVar] - v[kAltitude]) * 2, -limit, limit);
    } else if (ap && on(v[kApVsHold])) {
        target_vs = v[kApVsVar];
    } else {
        target_vs = 500 * std::sin(2 * kPi * t / 600);
        if (!running)
            target_vs = -500;
    }
    v[kVs] = approach(v[kVs], target_vs, 300 * dt);
    v[kAltitude] += v[kVs] / 60 * dt;
    if (v[kAltitude] <= kGroundElevation) {
        v[kAltitude] = kGroundElevation;
        v[kVs] = std::max(v[kVs], 0.0);
    }

    // Heading: the autopilot turns to the bug at up to 3 degrees a second; the demo wanders.
    double rate;
    if (ap && on(v[kApHdgLock]))
        rate = std::clamp(wrap180(v[kApHdgBug] - v[kHeadingMag]) * 0.5, -3.0, 3.0);
    else if (ap && on(v[kApWingLeveler]))
        rate = 0;
    else
        rate = 1.2 * std::sin(2 * kPi * t / 300);
    v[kTurnRate] = rate;
    v[kHeadingTrue] = wrap360(v[kHeadingTrue] + rate * dt);

    // Speeds over the ground and position.
    v[kTrueSpeed] = v[kIas] * (1 + 0.02 * v[kAltitude] / 1000);
    const double hdg = v[kHeadingTrue] * kPi / 180;
    const double wind_from = v[kWindDir] * kPi / 180;
    const double north = v[kTrueSpeed] * std::cos(hdg) - v[kWindSpeed] * std::cos(wind_from);
    const double east = v[kTrueSpeed] * std::sin(hdg) - v[kWindSpeed] * std::sin(wind_from);
    v[kGroundSpeed] = std::hypot(north, east);
    v[kLatitude] += north * dt / 3600 / 60;
    v[kLongitude] += east * dt / 3600 / 60 / std::max(std::cos(v[kLatitude] * kPi / 180), 0.01);
    const double vel = std::max(v[kTrueSpeed] * 0.514444, 1.0);
    v[kBank] = std::atan(rate * kPi / 180 * vel / 9.81) * 180 / kPi;
    v[kPitch] = std::atan2(v[kVs] * 0.00508, vel) * 180 / kPi + 2;

    // Clocks.
    v[kZulu] = std::fmod(v[kZulu] + dt, 86400);
    v[kAbsTime] += dt;
    derive();
}

void Aircraft::derive() {
    static constexpr int kMaskBits[] = {0x1, 0x4, 0x2, 0x10, 0x8, 0x20, 0x100, 0x80, 0x40, 0x200};
    int mask = 0;
    for (int s = kLightNav; s <= kLightCabin; ++s)
        if (on(v[s]))
            mask |= kMaskBits[s - kLightNav];
    v[kLightMask] = mask;

    v[kAboveGround] = v[kAltitude] - kGroundElevation;
    v[kRadioHeight] = v[kAboveGround];
    v[kOnGround] = v[kAboveGround] < 0.5 ? 1 : 0;
    v[kHeadingMag] = wrap360(v[kHeadingTrue] - kMagVar);
    v[kHeadingInd] = wrap360(v[kHeadingMag] + v[kGyroDrift]);
    v[kCompass] = v[kHeadingMag];
    v[kAttPitch] = v[kPitch];
    v[kAttBank] = v[kBank];
    v[kMach] = v[kTrueSpeed] / 661.47;
    v[kFlapsHandlePct] = v[kFlapsIndex] / kFlapPositions;
    v[kFlapsAngle] = v[kFlapsPct] * 30;
    v[kElevTrimPct] = v[kElevTrim] / 20;
    v[kPressAlt] = v[kAltitude] + (1013.25 - v[kSeaLevelPress]) * 27;
    v[kIndAlt] = v[kPressAlt] + (v[kKohlsman] - 29.92) * 1000;
    v[kAmbTemp] = 15 - 1.98 * v[kAltitude] / 1000;
    v[kAmbPress] = v[kSeaLevelPress] / 33.8639 * std::pow(1 - 6.8756e-6 * v[kAltitude], 5.2559);
    v[kSuction] = std::min(v[kRpm] / 450, 5.0);
    v[kStallWarn] = !on(v[kOnGround]) && v[kIas] < 50 ? 1 : 0;
    v[kOverspeedWarn] = v[kIas] > 163 ? 1 : 0;
    v[kFuelTotal] = v[kFuelLeft] + v[kFuelRight];
    const int sel = static_cast<int>(v[kFuelSelector]);
    v[kFuelSelected] = sel == 1   ? v[kFuelTotal]
                       : sel == 2 ? v[kFuelLeft]
                       : sel == 3 ? v[kFuelRight]
                                  : 0;
    v[kTotalWeight] = kEmptyWeight + v[kFuelTotal] * v[kFuelDensity];
    v[kLocal] = std::fmod(v[kZulu] + 3600, 86400);
    v[kNavHasNav] = on(v[kAvionics]) ? 1 : 0;
    v[kBusVolts] = !on(v[kBattery]) ? 0 : on(v[kAlternator]) && v[kRpm] > 1000 ? 28.5 : 24.0;
}

}  // namespace simlink
