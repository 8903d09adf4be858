// What a variable or event list file turns into, line by line, against small category files.
#include <gtest/gtest.h>

#include <ostream>

#include "config/EventList.h"
#include "config/VariableList.h"

namespace config {
// Readable failure output for the step tables.
void PrintTo(const ConsoleLine& s, std::ostream* os) {
    *os << "Console{" << s.text << "}";
}
void PrintTo(const MessageBoxShown& s, std::ostream* os) {
    *os << "MessageBox{\"" << s.text << "\", \"" << s.caption << "\"}";
}
void PrintTo(const ReadableVariable& s, std::ostream* os) {
    *os << "Readable{\"" << s.SimVar << "\", \"" << s.SimUnit << "\", " << s.var_type << "}";
}
void PrintTo(const SettableVariable& s, std::ostream* os) {
    *os << "Settable{" << s.line << ", \"" << s.SimVar << "\", \"" << s.SimUnit << "\"}";
}
void PrintTo(const EventRecord& s, std::ostream* os) {
    *os << "Event{\"" << s.SimEvent << "\", "
        << (s.param_type ? std::to_string(*s.param_type) : "none") << ", " << s.ev_ID << ", "
        << s.var_type << "}";
}
}  // namespace config

namespace {

using namespace config;
using Lines = std::vector<std::string>;

// Seven small category files; a name in both Lights and Misc, another only inside a longer one.
const std::array<std::string, 7> kVarCategories = {"LIGHT LANDING\nLIGHT TAXI\nSHARED NAME\n",
                                                   "PLANE ALTITUDE\n",
                                                   "AUTOPILOT ALTITUDE LOCK VAR\n",
                                                   "NAV ACTIVE FREQUENCY\n",
                                                   "AIRSPEED INDICATED\n",
                                                   "FUEL TOTAL QUANTITY\n",
                                                   "SHARED NAME\nMISC THING\n"};
const std::string kUnits = "feet\nknots\nbool\nMHz\nfeet per minute\ngallons\n";

ConsoleLine simvar(const char* f) {
    return {std::string("SIMVAR : ") + f};
}
ConsoleLine simvarset(const char* f) {
    return {std::string("SIMVARSET : ") + f};
}
MessageBoxShown too_few(const std::string& rest) {
    return {"Too few items in a line: " + rest, "Error in SimVar file"};
}
MessageBoxShown wrong_var(int i) {
    return {"Wrong SimVar: Line ?" + std::to_string(i), "Error in SimVars file"};
}

TEST(VariableList, EachLineGivesItsMessagesAndRecords) {
    using Steps = std::vector<VariableStep>;
    struct Case {
        const char* what;
        Lines lines;
        Steps steps;
    } cases[] = {
        {"empty file", {}, {}},
        {"blank line: index, blank, empty field", {""}, {too_few("0 ")}},
        {"no comma is too few, never wrong", {"LIGHT LANDING"}, {too_few("0 LIGHT LANDING")}},
        {"no comma, unknown name", {"NOWHERE"}, {too_few("0 NOWHERE")}},
        {"two fields",
         {"LIGHT LANDING,bool"},
         {simvar("LIGHT LANDING"), ReadableVariable{"LIGHT LANDING", "bool", 0}}},
        {"part of a longer name, any case",
         {"landing,BOOL"},
         {simvar("landing"), ReadableVariable{"landing", "BOOL", 0}}},
        {"colon suffix: base name looked up, whole name stored",
         {"NAV ACTIVE FREQUENCY:1,MHz"},
         {simvar("NAV ACTIVE FREQUENCY:1"), ReadableVariable{"NAV ACTIVE FREQUENCY:1", "MHz", 3}}},
        {"suffix is not looked up",
         {"PLANE ALTITUDE:GEAR,feet"},
         {simvar("PLANE ALTITUDE:GEAR"), ReadableVariable{"PLANE ALTITUDE:GEAR", "feet", 1}}},
        {"empty base name is in category 0",
         {":2,knots"},
         {simvar(":2"), ReadableVariable{":2", "knots", 0}}},
        {"empty name field", {",knots"}, {simvar(""), ReadableVariable{"", "knots", 0}}},
        {"blank after the comma not in the units file", {"LIGHT TAXI, bool"}, {wrong_var(0)}},
        {"blank after the comma found in a longer unit, stored trimmed",
         {"PLANE ALTITUDE:2 , per minute"},
         {simvar("PLANE ALTITUDE:2 "), ReadableVariable{"PLANE ALTITUDE:2", "per minute", 1}}},
        {"empty unit occurs everywhere",
         {"AIRSPEED INDICATED,"},
         {simvar("AIRSPEED INDICATED"), ReadableVariable{"AIRSPEED INDICATED", "", 4}}},
        {"unknown unit", {"LIGHT LANDING,parsecs"}, {wrong_var(0)}},
        {"unknown name", {"GEAR HANDLE POSITION,bool"}, {wrong_var(0)}},
        {"leading blank makes the base name unknown", {" MISC THING,bool"}, {wrong_var(0)}},
        {"first category wins",
         {"SHARED NAME,bool"},
         {simvar("SHARED NAME"), ReadableVariable{"SHARED NAME", "bool", 0}}},
        {"only in Misc",
         {"misc thing,bool"},
         {simvar("misc thing"), ReadableVariable{"misc thing", "bool", 6}}},
        {"three fields: readable and settable",
         {"AUTOPILOT ALTITUDE LOCK VAR,feet,1"},
         {simvar("AUTOPILOT ALTITUDE LOCK VAR"),
          ReadableVariable{"AUTOPILOT ALTITUDE LOCK VAR", "feet", 2},
          simvarset("AUTOPILOT ALTITUDE LOCK VAR"),
          SettableVariable{0, "AUTOPILOT ALTITUDE LOCK VAR", "feet"}}},
        {"comma right after the unit makes three fields",
         {"FUEL TOTAL QUANTITY,gallons,"},
         {simvar("FUEL TOTAL QUANTITY"), ReadableVariable{"FUEL TOTAL QUANTITY", "gallons", 5},
          simvarset("FUEL TOTAL QUANTITY"), SettableVariable{0, "FUEL TOTAL QUANTITY", "gallons"}}},
        {"four fields: readable only",
         {"FUEL TOTAL QUANTITY,gallons,1,2"},
         {simvar("FUEL TOTAL QUANTITY"), ReadableVariable{"FUEL TOTAL QUANTITY", "gallons", 5}}},
        {"three fields, unknown name: still settable",
         {" GEAR HANDLE ,bool, "},
         {wrong_var(0), simvarset(" GEAR HANDLE "), SettableVariable{0, "GEAR HANDLE", "bool"}}},
        {"three fields, unknown unit: still settable",
         {"LIGHT LANDING, percent,x"},
         {wrong_var(0), simvarset("LIGHT LANDING"),
          SettableVariable{0, "LIGHT LANDING", "percent"}}},
        {"line indexes count blank and rejected lines",
         {"", "LIGHT LANDING,bool", "NOWHERE,feet", "LIGHT TAXI,bool,", "x"},
         {too_few("0 "), simvar("LIGHT LANDING"), ReadableVariable{"LIGHT LANDING", "bool", 0},
          wrong_var(2), simvar("LIGHT TAXI"), ReadableVariable{"LIGHT TAXI", "bool", 0},
          simvarset("LIGHT TAXI"), SettableVariable{3, "LIGHT TAXI", "bool"}, too_few("4 x")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plan_variable_list(kVarCategories, kUnits, c.lines), c.steps) << c.what;
}

template <typename T, typename Steps>
std::vector<T> only(const Steps& steps) {
    std::vector<T> out;
    for (const auto& s : steps)
        if (auto* t = std::get_if<T>(&s))
            out.push_back(*t);
    return out;
}

TEST(VariableList, OnlyTheFirstHundredLinesMakeRecordsButAllAreChecked) {
    Lines lines(120, "LIGHT LANDING,bool,");
    lines[110] = "NOWHERE,bool,";  // rejected after the limit: still reported
    lines[111] = "x";
    const auto steps = plan_variable_list(kVarCategories, kUnits, lines);
    const auto readable = only<ReadableVariable>(steps);
    const auto settable = only<SettableVariable>(steps);
    ASSERT_EQ(readable.size(), 100u);
    ASSERT_EQ(settable.size(), 100u);
    EXPECT_EQ(settable.front().line, 0);
    EXPECT_EQ(settable.back().line, 99);
    EXPECT_EQ(only<MessageBoxShown>(steps),
              (std::vector<MessageBoxShown>{wrong_var(110), too_few("111 x")}));
    EXPECT_EQ(only<ConsoleLine>(steps).size(), 200u);
}

TEST(VariableList, SettableLinesKeepTheirLineIndex) {
    Lines lines = {"LIGHT LANDING,bool",   "LIGHT TAXI,bool",
                   "PLANE ALTITUDE,feet,", "",
                   "MISC THING,bool",      "AUTOPILOT ALTITUDE LOCK VAR,feet,"};
    const auto settable = only<SettableVariable>(plan_variable_list(kVarCategories, kUnits, lines));
    ASSERT_EQ(settable.size(), 2u);
    EXPECT_EQ(settable[0].line, 2);
    EXPECT_EQ(settable[1].line, 5);
}

// Event categories and a parameter-type file whose first entry is the packed-decimal type.
const std::array<std::string, 7> kEvtCategories = {"LANDING_LIGHTS_TOGGLE\nSHARED_EVENT\n",
                                                   "FLAPS_UP\n",
                                                   "AP_MASTER\nAP_ALT_VAR_SET_ENGLISH\n",
                                                   "COM_RADIO_SET\nXPNDR_SET\n",
                                                   "KOHLSMAN_INC\n",
                                                   "FUEL_PUMP\n",
                                                   "SHARED_EVENT\nMISC_EVT\n"};
const std::string kParams = "BCD16\nUINT32\nfeet\n";

ConsoleLine simevent(const char* f) {
    return {std::string("SIMEVENT : ") + f};
}
MessageBoxShown wrong_typed(int i) {
    return {"Wrong SimEvents: Line ?" + std::to_string(i), "Error in SimEvents file"};
}
MessageBoxShown wrong_plain(int i) {
    return {"Wrong SimEvents: Line ? " + std::to_string(i), "Error in SimEvent file"};
}

TEST(EventList, EachLineGivesItsMessagesAndRecords) {
    using Steps = std::vector<EventStep>;
    struct Case {
        const char* what;
        Lines lines;
        Steps steps;
    } cases[] = {
        {"empty file", {}, {}},
        {"blank line is an event with an empty name in category 0",
         {""},
         {simevent(""), EventRecord{"", std::nullopt, 0, 0}}},
        {"one field", {"AP_MASTER"}, {simevent("AP_MASTER"), EventRecord{"AP_MASTER", {}, 0, 2}}},
        {"one field, stored trimmed with its suffix",
         {"flaps_up:1 "},
         {simevent("flaps_up:1 "), EventRecord{"flaps_up:1", {}, 0, 1}}},
        {"one field, leading blank is looked up", {" FLAPS_UP"}, {wrong_plain(0)}},
        {"one field, unknown", {"GEAR_TOGGLE"}, {wrong_plain(0)}},
        {"type at the very start: packed decimal",
         {"COM_RADIO_SET,BCD16"},
         {simevent("COM_RADIO_SET"), EventRecord{"COM_RADIO_SET", 1, 0, 3}}},
        {"start type in another case",
         {"XPNDR_SET,bcd16"},
         {simevent("XPNDR_SET"), EventRecord{"XPNDR_SET", 1, 0, 3}}},
        {"first letters of the start type",
         {"XPNDR_SET,Bc"},
         {simevent("XPNDR_SET"), EventRecord{"XPNDR_SET", 1, 0, 3}}},
        {"empty type occurs at position 0",
         {"COM_RADIO_SET,"},
         {simevent("COM_RADIO_SET"), EventRecord{"COM_RADIO_SET", 1, 0, 3}}},
        {"later type: 1 + its position",
         {"AP_ALT_VAR_SET_ENGLISH,UINT32"},
         {simevent("AP_ALT_VAR_SET_ENGLISH"), EventRecord{"AP_ALT_VAR_SET_ENGLISH", 7, 0, 2}}},
        {"type inside a longer one",
         {"AP_ALT_VAR_SET_ENGLISH,int32"},
         {simevent("AP_ALT_VAR_SET_ENGLISH"), EventRecord{"AP_ALT_VAR_SET_ENGLISH", 8, 0, 2}}},
        {"blank after the comma is part of the type", {"AP_MASTER, UINT32"}, {wrong_typed(0)}},
        {"unknown type", {"AP_MASTER,FLOAT64"}, {wrong_typed(0)}},
        {"unknown name with a type", {"GEAR_TOGGLE,BCD16"}, {wrong_typed(0)}},
        {"first category wins",
         {"SHARED_EVENT"},
         {simevent("SHARED_EVENT"), EventRecord{"SHARED_EVENT", {}, 0, 0}}},
        {"only in Misc", {"misc_evt"}, {simevent("misc_evt"), EventRecord{"misc_evt", {}, 0, 6}}},
        {"three fields are ignored silently", {"COM_RADIO_SET,BCD16,x", "NOWHERE,,", ",,,"}, {}},
        {"ids follow the list, event numbers the lines",
         {"FLAPS_UP", "AP_MASTER,feet", "GEAR_TOGGLE", "FUEL_PUMP"},
         {simevent("FLAPS_UP"), EventRecord{"FLAPS_UP", {}, 0, 1}, simevent("AP_MASTER"),
          EventRecord{"AP_MASTER", 14, 1, 2}, wrong_plain(2), simevent("FUEL_PUMP"),
          EventRecord{"FUEL_PUMP", {}, 3, 5}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plan_event_list(kEvtCategories, kParams, c.lines), c.steps) << c.what;
}

TEST(EventList, OnlyTheFirstHundredLinesMakeEventsButAllAreChecked) {
    Lines lines(120, "COM_RADIO_SET,BCD16");
    lines[105] = "GEAR_TOGGLE";
    lines[106] = "GEAR_TOGGLE,BCD16";
    const auto steps = plan_event_list(kEvtCategories, kParams, lines);
    const auto events = only<EventRecord>(steps);
    ASSERT_EQ(events.size(), 100u);
    EXPECT_EQ(events.back().ev_ID, 99);
    EXPECT_EQ(only<MessageBoxShown>(steps),
              (std::vector<MessageBoxShown>{wrong_plain(105), wrong_typed(106)}));
    EXPECT_EQ(only<ConsoleLine>(steps).size(), 100u);
}

}  // namespace
