#pragma once
// The embedded simulator's aircraft: a light single-engine airplane with named variables, key
// events that act on them, and a gentle demo flight (climbs and descends, wanders in heading,
// burns fuel, runs the clock) that an engaged autopilot takes over. Not thread-safe: the
// embedded simulator guards it with its lock.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simlink/SimUnits.h"

namespace simlink {

class Aircraft {
public:
    // Storage slots. Each holds a value in the storage unit of the variables that use it.
    // clang-format off
    enum Slot : int {
        kLightNav, kLightLanding, kLightBeacon, kLightStrobe, kLightTaxi, kLightPanel,
        kLightLogo, kLightWing, kLightRecognition, kLightCabin, kLightMask, kAltitude,
        kLatitude, kLongitude, kHeadingTrue, kHeadingMag, kPitch, kBank, kTrueSpeed,
        kGroundSpeed, kAboveGround, kGearHandle, kGearPos, kFlapsIndex, kFlapsHandlePct,
        kFlapsNum, kFlapsPct, kFlapsAngle, kParkingBrake, kSpoilersHandle, kSpoilersArmed,
        kElevTrim, kElevTrimPct, kRpm, kThrottle, kMixture, kProp, kCombustion, kOilTemp,
        kOilPress, kManifold, kEgt, kBattery, kAlternator, kPitotHeat, kDeice, kEngines,
        kTotalWeight, kApAvailable, kApMaster, kApAltLock, kApAltVar, kApHdgLock, kApHdgBug,
        kApNav1, kApApproach, kApBackcourse, kApGlideslope, kApVsHold, kApVsVar, kApSpdHold,
        kApSpdVar, kApYawDamper, kApFlc, kApThrottleArm, kApFd, kApWingLeveler, kApAttHold,
        kCom1, kCom1Stby, kCom2, kCom2Stby, kNav1, kNav1Stby, kNav2, kNav2Stby, kObs1,
        kObs2, kNavCdi, kNavHasNav, kNavDme, kAdf, kXpndr, kXpndrState, kComTx1, kComTx2,
        kAvionics, kIndAlt, kIas, kMach, kHeadingInd, kVs, kKohlsman, kAttPitch, kAttBank,
        kBall, kTurnRate, kCompass, kRadioHeight, kSuction, kPressAlt, kStallWarn,
        kOverspeedWarn, kFuelTotal, kFuelCapacity, kFuelLeft, kFuelRight, kFuelTankCapacity,
        kFuelDensity, kFuelFlow, kFuelPress, kFuelSelector, kFuelPump, kFuelSelected,
        kOnGround, kAmbTemp, kAmbPress, kSeaLevelPress, kWindSpeed, kWindDir, kZulu, kLocal,
        kSimRate, kAbsTime, kBusVolts, kGroundAlt, kGyroDrift, kPaused, kSlotCount,
    };
    // clang-format on

    struct Variable {
        std::string name;  // upper case, index included ("COM ACTIVE FREQUENCY:1")
        Slot slot;
        units::Unit storage;      // the unit the slot holds
        units::Unit native;       // given when the unit asked for is unknown or does not fit
        std::string native_name;  // as the variable list writes it
        bool settable;
    };

    // A variable asked for in a unit, resolved once. var is null for an unknown name.
    struct Binding {
        const Variable* var = nullptr;
        std::optional<units::Unit> unit;
    };

    Aircraft();

    // Names are case-insensitive; "NAME" finds "NAME:1" and "NAME:1" finds "NAME".
    static const Variable* find_variable(std::string_view name);
    static Binding bind(std::string_view name, std::string_view unit);
    static bool knows_event(std::string_view name);
    static std::vector<const Variable*> variables();
    static std::vector<std::string> event_names();

    // An unknown variable reads 0 and ignores writes; so does a read-only one for writes.
    double read(const Binding& b) const;
    void write(const Binding& b, double value);
    double read(std::string_view name, std::string_view unit) const;
    void write(std::string_view name, std::string_view unit, double value);

    // Unknown events do nothing. Returns whether the name was known.
    bool fire(std::string_view event, uint32_t data);

    // Advances the flight by dt seconds of simulated time (scaled by the simulation rate).
    void step(double dt);

    std::array<double, kSlotCount> v{};  // in storage units
    double elapsed = 0;                  // simulated seconds since the start, for the demo

private:
    void derive();
};

}  // namespace simlink
