// The embedded aircraft: its units, its variables, what its events do and how it flies.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "simlink/Aircraft.h"
#include "simlink/SimUnits.h"
#include "simlink/SimulatorChoice.h"

using simlink::Aircraft;
namespace units = simlink::units;

namespace {

constexpr double kFrame = 1.0 / 30;

void fly(Aircraft& a, double seconds) {
    for (int i = 0; i < static_cast<int>(seconds / kFrame); ++i)
        a.step(kFrame);
}

TEST(EmbeddedUnits, ConvertsBetweenCommonUnits) {
    struct Case {
        double value;
        const char* from;
        const char* to;
        double expected;
    };
    const Case cases[] = {
        {1000, "feet", "meters", 304.8},
        {304.8, "Meters", "FEET", 1000},
        {1, "nautical miles", "feet", 6076.115},
        {100, "knots", "meters per second", 51.4444},
        {100, "knots", "kilometers per hour", 185.2},
        {1000, "feet per minute", "feet per second", 16.6667},
        {1000, "feet per minute", "knots", 9.8747},
        {180, "degrees", "radians", 3.14159265},
        {1.5707963, "radians", "degrees", 90},
        {6, "degrees per second", "radians per second", 0.10472},
        {50, "percent", "percent over 100", 0.5},
        {0.25, "percent over 100", "percent", 25},
        {0.5, "percent over 100", "position 16k", 8192},
        {3, "number", "bool", 1},
        {0, "number", "bool", 0},
        {122.80, "MHz", "Frequency BCD16", 0x2280},
        {118.05, "MHz", "frequency bcd16", 0x1805},
        {0x12280, "Frequency BCD16", "MHz", 122.80},
        {0x2280, "Frequency BCD16", "KHz", 122800},
        {7000, "number", "Bco16", 0x7000},
        {0x1200, "Bco16", "number", 1200},
        {29.92, "inHg", "millibars", 1013.21},
        {1013.25, "hectopascals", "inHg", 29.9212},
        {2400, "rpm", "revolutions per second", 40},
        {10, "gallons", "pounds", 60},
        {60, "pounds", "gallons", 10},
        {10, "gallons", "liters", 37.854},
        {10, "gallons per hour", "pounds per hour", 60},
        {15, "celsius", "fahrenheit", 59},
        {15, "celsius", "kelvin", 288.15},
        {90, "minutes", "hours", 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        auto from = units::find(c.from);
        auto to = units::find(c.to);
        ASSERT_TRUE(from && to);
        ASSERT_TRUE(to->code == units::Code::Bool || units::compatible(from->dim, to->dim));
        EXPECT_NEAR(units::convert(c.value, *from, *to), c.expected,
                    1e-4 * std::max(1.0, std::fabs(c.expected)));
    }
    EXPECT_FALSE(units::find("furlongs"));
    EXPECT_FALSE(units::find(""));
    EXPECT_FALSE(units::compatible(units::Dim::Length, units::Dim::Angle));
}

TEST(EmbeddedAircraft, ReadsVariablesInTheUnitAskedFor) {
    Aircraft a;
    struct Case {
        const char* name;
        const char* unit;
        double expected;
    };
    const Case cases[] = {
        {"PLANE ALTITUDE", "feet", 3000},
        {"PLANE ALTITUDE", "meters", 914.4},
        {"plane altitude", "Feet", 3000},      // names and units in any case
        {"PLANE ALTITUDE", "furlongs", 3000},  // an unknown unit: the native one
        {"PLANE ALTITUDE", "degrees", 3000},   // a unit that does not fit: the native one
        {"COM ACTIVE FREQUENCY:1", "MHz", 124.85},
        {"COM ACTIVE FREQUENCY", "MHz", 124.85},  // no index: the first
        {"COM ACTIVE FREQUENCY : 2", "MHz", 119.10},
        {"COM ACTIVE FREQUENCY:3", "MHz", 0},  // no third radio
        {"COM ACTIVE FREQUENCY:1", "Frequency BCD16", 0x2485},
        {"TRANSPONDER CODE:1", "", 0x1200},  // native Bco16
        {"KOHLSMAN SETTING HG", "inHg", 29.92},
        {"KOHLSMAN SETTING MB", "", 1013.21},  // shares the setting, native millibars
        {"FUEL TOTAL QUANTITY", "gallons", 48},
        {"FUEL TOTAL QUANTITY WEIGHT", "pounds", 288},
        {"FUEL TOTAL QUANTITY", "kilograms", 130.63},
        {"GENERAL ENG THROTTLE LEVER POSITION:1", "percent", 75},
        {"GENERAL ENG THROTTLE LEVER POSITION:1", "percent over 100", 0.75},
        {"LIGHT BEACON", "bool", 1},
        {"LIGHT ON STATES", "mask", 0x3},
        {"NO SUCH VARIABLE", "feet", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + c.unit);
        EXPECT_NEAR(a.read(c.name, c.unit), c.expected, 0.01);
    }
}

TEST(EmbeddedAircraft, WritesConvertAndSkipReadOnlyVariables) {
    Aircraft a;
    // A value written and read in the variable's own unit comes back exactly.
    const char* own[][2] = {{"PLANE ALTITUDE", "feet"},
                            {"KOHLSMAN SETTING HG", "inHg"},
                            {"AUTOPILOT ALTITUDE LOCK VAR", "feet"},
                            {"COM ACTIVE FREQUENCY:1", "MHz"}};
    for (auto& o : own) {
        a.write(o[0], o[1], 3499.93);
        EXPECT_EQ(a.read(o[0], o[1]), 3499.93) << o[0];
    }
    a.write("PLANE ALTITUDE", "meters", 1000);
    EXPECT_NEAR(a.read("PLANE ALTITUDE", "feet"), 3280.84, 0.01);
    a.write("COM STANDBY FREQUENCY:1", "Frequency BCD16", 0x12345);  // low 16 bits only
    EXPECT_NEAR(a.read("COM STANDBY FREQUENCY:1", "MHz"), 123.45, 1e-9);
    a.write("LIGHT STROBE", "bool", 5);
    EXPECT_EQ(a.read("LIGHT STROBE", "number"), 1);
    const double before = a.read("INDICATED ALTITUDE", "feet");
    a.write("INDICATED ALTITUDE", "feet", 99999);
    EXPECT_EQ(a.read("INDICATED ALTITUDE", "feet"), before);
    a.write("NO SUCH VARIABLE", "feet", 1);  // ignored
    a.write("PLANE ALTITUDE", "feet", std::nan(""));
    EXPECT_NEAR(a.read("PLANE ALTITUDE", "feet"), 3280.84, 0.01);
}

TEST(EmbeddedAircraft, EventsActOnTheirVariables) {
    struct Case {
        const char* event;
        uint32_t data;
        int times;
        const char* var;
        const char* unit;
        double expected;
    };
    const Case cases[] = {
        {"TOGGLE_NAV_LIGHTS", 0, 2, "LIGHT NAV", "bool", 1},
        {"NAV_LIGHTS_OFF", 0, 1, "LIGHT NAV", "bool", 0},
        {"STROBES_SET", 1, 1, "LIGHT STROBE", "bool", 1},
        {"PANEL_LIGHTS_TOGGLE", 0, 1, "LIGHT PANEL", "bool", 1},
        {"TOGGLE_TAXI_LIGHTS", 0, 1, "LIGHT ON STATES", "mask", 0xB},
        {"ALL_LIGHTS_TOGGLE", 0, 1, "LIGHT ON STATES", "mask", 0},
        {"GEAR_DOWN", 0, 1, "GEAR HANDLE POSITION", "bool", 1},
        {"FLAPS_INCR", 0, 5, "FLAPS HANDLE INDEX", "number", 3},
        {"FLAPS_SET", 16383, 1, "FLAPS HANDLE PERCENT", "percent", 100},
        {"PARKING_BRAKE_SET", 1, 1, "BRAKE PARKING POSITION", "bool", 1},
        {"THROTTLE_SET", 8192, 1, "GENERAL ENG THROTTLE LEVER POSITION", "percent", 50.003},
        {"AP_ALT_VAR_INC", 0, 3, "AUTOPILOT ALTITUDE LOCK VAR", "feet", 5300},
        {"AP_ALT_VAR_SET_METRIC", 1000, 1, "AUTOPILOT ALTITUDE LOCK VAR", "meters", 1000},
        {"AP_VS_VAR_SET_ENGLISH", static_cast<uint32_t>(-700), 1, "AUTOPILOT VERTICAL HOLD VAR",
         "feet per minute", -700},
        {"HEADING_BUG_DEC", 0, 91, "AUTOPILOT HEADING LOCK DIR", "degrees", 359},
        {"HEADING_BUG_SET", 400, 1, "AUTOPILOT HEADING LOCK DIR", "degrees", 40},
        {"AP_SPD_VAR_SET", 95, 1, "AUTOPILOT AIRSPEED HOLD VAR", "knots", 95},
        {"AP_HDG_HOLD_ON", 0, 1, "AUTOPILOT HEADING LOCK", "bool", 1},
        {"COM_STBY_RADIO_SWAP", 0, 1, "COM ACTIVE FREQUENCY:1", "MHz", 121.50},
        {"COM_RADIO_WHOLE_INC", 0, 13, "COM ACTIVE FREQUENCY:1", "MHz", 118.85},  // wraps
        {"COM_RADIO_FRACT_INC", 0, 7, "COM ACTIVE FREQUENCY:1", "MHz", 124.025},  // wraps
        {"NAV1_RADIO_SWAP", 0, 1, "NAV STANDBY FREQUENCY:1", "MHz", 110.50},
        {"XPNDR_1000_INC", 0, 7, "TRANSPONDER CODE:1", "number", 200},  // 1 -> 0 after 7
        {"XPNDR_1_DEC", 0, 1, "TRANSPONDER CODE:1", "number", 1207},
        {"VOR1_SET", 45, 1, "NAV OBS:1", "degrees", 45},
        {"KOHLSMAN_INC", 0, 3, "KOHLSMAN SETTING HG", "inHg", 29.95},
        {"BAROMETRIC_STD_PRESSURE", 0, 1, "KOHLSMAN SETTING HG", "inHg", 29.92},
        {"FUEL_SELECTOR_LEFT", 0, 1, "FUEL TANK SELECTOR", "enum", 2},
        {"FUEL_SELECTOR_LEFT", 0, 1, "FUEL SELECTED QUANTITY", "gallons", 24},
        {"TOGGLE_ELECT_FUEL_PUMP", 0, 1, "GENERAL ENG FUEL PUMP SWITCH", "bool", 1},
        {"REPAIR_AND_REFUEL", 0, 1, "FUEL TOTAL QUANTITY", "gallons", 53},
        {"TOGGLE_MASTER_BATTERY", 0, 1, "ELECTRICAL MAIN BUS VOLTAGE", "volts", 0},
        {"SIM_RATE_INCR", 0, 10, "SIMULATION RATE", "number", 16},
        {"ZULU_HOURS_SET", 7, 1, "ZULU TIME", "hours", 7},
        {"CLOCK_MINUTES_INC", 0, 30, "ZULU TIME", "hours", 12.5},
        {"ap_master", 0, 1, "AUTOPILOT MASTER", "bool", 1},  // names in any case
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        Aircraft a;
        for (int i = 0; i < c.times; ++i)
            EXPECT_TRUE(a.fire(c.event, c.data));
        EXPECT_NEAR(a.read(c.var, c.unit), c.expected, 1e-3);
    }
    Aircraft a;
    EXPECT_FALSE(a.fire("NO_SUCH_EVENT", 1));
}

TEST(EmbeddedAircraft, DemoFlightMovesTheValues) {
    Aircraft a;
    const char* moving[][2] = {
        {"PLANE ALTITUDE", "feet"},      {"HEADING INDICATOR", "degrees"},
        {"AIRSPEED INDICATED", "knots"}, {"VERTICAL SPEED", "feet per minute"},
        {"GENERAL ENG RPM", "rpm"},      {"ZULU TIME", "seconds"},
        {"PLANE LONGITUDE", "degrees"}};
    std::vector<double> before;
    for (auto& m : moving)
        before.push_back(a.read(m[0], m[1]));
    const double fuel = a.read("FUEL TOTAL QUANTITY", "gallons");
    fly(a, 60);
    for (size_t i = 0; i < std::size(moving); ++i) {
        SCOPED_TRACE(moving[i][0]);
        EXPECT_NE(a.read(moving[i][0], moving[i][1]), before[i]);
    }
    EXPECT_NEAR(a.read("ZULU TIME", "seconds") - before[5], 60, 0.1);
    // About 10 gallons an hour at cruise.
    EXPECT_NEAR(fuel - a.read("FUEL TOTAL QUANTITY", "gallons"), 10.0 / 60, 0.05);
    EXPECT_NEAR(a.read("FUEL TOTAL QUANTITY WEIGHT", "pounds"),
                6 * a.read("FUEL TOTAL QUANTITY", "gallons"), 1e-9);
    // The demo stays gentle.
    fly(a, 1200);
    EXPECT_GT(a.read("PLANE ALTITUDE", "feet"), 1000);
    EXPECT_LT(a.read("PLANE ALTITUDE", "feet"), 5000);
    EXPECT_LT(std::fabs(a.read("PLANE BANK DEGREES", "degrees")), 10);
}

TEST(EmbeddedAircraft, AutopilotHoldsAltitudeAndHeading) {
    Aircraft a;
    a.fire("AP_ALT_VAR_SET_ENGLISH", 4200);
    a.fire("HEADING_BUG_SET", 200);
    a.fire("AP_ALT_HOLD_ON", 0);
    a.fire("AP_HDG_HOLD_ON", 0);
    a.fire("AP_MASTER", 0);
    fly(a, 300);
    EXPECT_NEAR(a.read("PLANE ALTITUDE", "feet"), 4200, 5);
    EXPECT_NEAR(a.read("HEADING INDICATOR", "degrees"), 200, 0.5);
    EXPECT_NEAR(a.read("VERTICAL SPEED", "feet per minute"), 0, 20);
}

TEST(EmbeddedAircraft, PauseStopsTheFlightAndShutdownStarvesTheEngine) {
    Aircraft a;
    a.fire("PAUSE_ON", 0);
    const double alt = a.read("PLANE ALTITUDE", "feet");
    fly(a, 5);
    EXPECT_EQ(a.read("PLANE ALTITUDE", "feet"), alt);
    a.fire("PAUSE_TOGGLE", 0);
    a.fire("ENGINE_AUTO_SHUTDOWN", 0);
    fly(a, 20);
    EXPECT_EQ(a.read("GENERAL ENG RPM", "rpm"), 0);
    EXPECT_EQ(a.read("ENG FUEL FLOW GPH", "gallons per hour"), 0);
    a.fire("ENGINE_AUTO_START", 0);
    fly(a, 10);
    EXPECT_GT(a.read("GENERAL ENG RPM", "rpm"), 600);
}

TEST(SimulatorSettings, ParsesTheSettingsFile) {
    using simlink::Simulator;
    struct Case {
        const char* text;
        Simulator simulator;
        double frame_rate;
        size_t problems;
    };
    const Case cases[] = {
        {"", Simulator::Embedded, 30, 0},
        {"simulator = none", Simulator::None, 30, 0},
        {"  Simulator=EMBEDDED # built in\nframe_rate = 60\n", Simulator::Embedded, 60, 0},
        {"simulator = msfs", Simulator::None, 30, 1},
        {"frame_rate = 0\nframe_rate = fast", Simulator::Embedded, 30, 2},
        {"; comment only\r\n\r\n", Simulator::Embedded, 30, 0},
        {"colour = blue\nsimulator none", Simulator::Embedded, 30, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto s = simlink::parse_simulator_settings(c.text);
        EXPECT_EQ(s.simulator, c.simulator);
        EXPECT_EQ(s.frame_rate, c.frame_rate);
        EXPECT_EQ(s.problems.size(), c.problems);
        EXPECT_EQ(simlink::make_backend(s) == nullptr, c.simulator == Simulator::None);
    }
}

}  // namespace
