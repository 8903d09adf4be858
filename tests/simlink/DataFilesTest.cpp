// The category and type files under Data/ as the list loaders read them: every name lands in
// the category of its own file, and the embedded simulator knows every name they list.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/ListFields.h"
#include "config/Matching.h"
#include "simlink/Aircraft.h"
#include "simlink/SimUnits.h"

using simlink::Aircraft;

namespace {

const char* const kCategories[] = {"Lights",      "Aircraft", "Autopilot", "Avionics",
                                   "Instruments", "Fuel",     "Misc"};

// The loaders read Data/ from the current directory; run by hand, use the source tree's.
std::filesystem::path shipped(const char* folder) {
    if (std::filesystem::exists(folder))
        return folder;
    const char* src = std::getenv("TARNWELL_SOURCE_DIR");
    return std::filesystem::path(src ? src : ".") / folder;
}

std::filesystem::path data_dir() {
    return shipped("Data");
}

std::string read_text(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    EXPECT_TRUE(in) << p;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        out.push_back(l);
    }
    return out;
}

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The loaders' own rule: ordinal, case-insensitive search in the whole text.
size_t find_ci(const std::string& needle, const std::string& hay) {
    return config::find_ci(hay, needle).value_or(std::string::npos);
}

struct CategoryFiles {
    std::vector<std::string> texts;               // by category
    std::vector<std::vector<std::string>> names;  // by category, one per line

    CategoryFiles(const char* folder, const char* ext) {
        for (const char* c : kCategories) {
            texts.push_back(read_text(data_dir() / folder / (std::string(c) + ext)));
            names.push_back(lines_of(texts.back()));
        }
    }
    // The category a loader gives the name: the first file in which it occurs.
    int category_of(const std::string& name) const {
        for (size_t k = 0; k < texts.size(); ++k)
            if (find_ci(name, texts[k]) != std::string::npos)
                return static_cast<int>(k);
        return -1;
    }
};

void expect_each_name_lands_in_its_own_category(const CategoryFiles& files) {
    std::set<std::string> seen;
    for (size_t k = 0; k < files.names.size(); ++k) {
        EXPECT_FALSE(files.names[k].empty()) << kCategories[k];
        for (const std::string& n : files.names[k]) {
            SCOPED_TRACE(std::string(kCategories[k]) + ": '" + n + "'");
            ASSERT_FALSE(n.empty()) << "a blank line";
            EXPECT_FALSE(std::isspace(static_cast<unsigned char>(n.front())) ||
                         std::isspace(static_cast<unsigned char>(n.back())));
            EXPECT_EQ(n.find(':'), std::string::npos) << "base names only";
            EXPECT_TRUE(seen.insert(upper(n)).second) << "listed twice";
            EXPECT_EQ(files.category_of(n), static_cast<int>(k));
        }
    }
}

std::string base_name(const std::string& n) {
    return std::string(config::base_name(n));
}

TEST(DataFiles, VariablesLandInTheirCategoryAndTheSimulatorKnowsThem) {
    const CategoryFiles files("Variable_List", ".var");
    expect_each_name_lands_in_its_own_category(files);
    const std::string units = read_text(data_dir() / "Variable_List" / "VariableUnits");
    std::set<std::string> listed;
    for (const auto& names : files.names)
        for (const std::string& n : names) {
            SCOPED_TRACE(n);
            listed.insert(upper(n));
            const Aircraft::Variable* v = Aircraft::find_variable(n);
            ASSERT_NE(v, nullptr) << "unknown to the simulator";
            EXPECT_NE(find_ci(v->native_name, units), std::string::npos)
                << "its unit " << v->native_name << " is not in VariableUnits";
            // The unit is read in as itself: no conversion surprise for the panel.
            const auto b = Aircraft::bind(n, v->native_name);
            EXPECT_EQ(b.unit->dim, v->native.dim);
        }
    for (const Aircraft::Variable* v : Aircraft::variables())
        EXPECT_TRUE(listed.count(base_name(v->name))) << v->name << " is not in any .var file";
}

TEST(DataFiles, EveryUnitInVariableUnitsIsAccepted) {
    const auto lines = lines_of(read_text(data_dir() / "Variable_List" / "VariableUnits"));
    ASSERT_FALSE(lines.empty());
    for (const std::string& u : lines) {
        SCOPED_TRACE(u);
        EXPECT_TRUE(simlink::units::find(u).has_value());
    }
}

TEST(DataFiles, EventsLandInTheirCategoryAndTheSimulatorKnowsThem) {
    const CategoryFiles files("Events_List", ".evt");
    expect_each_name_lands_in_its_own_category(files);
    std::set<std::string> listed;
    for (const auto& names : files.names)
        for (const std::string& n : names) {
            EXPECT_TRUE(Aircraft::knows_event(n)) << n << " is unknown to the simulator";
            listed.insert(n);
        }
    for (const std::string& e : Aircraft::event_names())
        EXPECT_TRUE(listed.count(e)) << e << " is not in any .evt file";
}

TEST(DataFiles, EventParamsStartsWithTheBcdType) {
    const std::string text = read_text(data_dir() / "Events_List" / "EventParams");
    const auto lines = lines_of(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "BCD16");
    // The parameter kind is 1 + the position of the first occurrence: only BCD16 gets 1.
    struct Case {
        const char* type;
        bool bcd;
    };
    const Case cases[] = {
        {"BCD16", true}, {"bcd16", true}, {"Integer", false}, {"Float", false}, {"Degrees", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const size_t pos = find_ci(c.type, text);
        ASSERT_NE(pos, std::string::npos);
        EXPECT_EQ(pos == 0, c.bcd);
    }
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_NE(find_ci(lines[i], text), 0u) << lines[i];
}

std::vector<std::string> fields_of(const std::string& line) {
    const auto f = config::split_fields(line);
    return {f.begin(), f.end()};
}

std::string trimmed(const std::string& s) {
    return config::trim(s);
}

// The example lists load without a rejected line and name only what the simulator knows.
TEST(DataFiles, ExampleListsLoadAndTheSimulatorKnowsThem) {
    const CategoryFiles vars("Variable_List", ".var");
    const std::string units = read_text(data_dir() / "Variable_List" / "VariableUnits");
    for (const std::string& line : lines_of(read_text(shipped("examples") / "variables.txt"))) {
        SCOPED_TRACE(line);
        const auto f = fields_of(line);
        ASSERT_GE(f.size(), 2u);
        EXPECT_GE(vars.category_of(base_name(f[0])), 0);
        EXPECT_NE(find_ci(f[1], units), std::string::npos);
        const auto b = Aircraft::bind(trimmed(f[0]), trimmed(f[1]));
        ASSERT_NE(b.var, nullptr);
        EXPECT_TRUE(simlink::units::find(trimmed(f[1])).has_value());
    }
    const CategoryFiles events("Events_List", ".evt");
    const std::string params = read_text(data_dir() / "Events_List" / "EventParams");
    for (const std::string& line : lines_of(read_text(shipped("examples") / "events.txt"))) {
        SCOPED_TRACE(line);
        const auto f = fields_of(line);
        ASSERT_LE(f.size(), 2u);
        EXPECT_GE(events.category_of(base_name(f[0])), 0);
        if (f.size() == 2) {
            EXPECT_NE(find_ci(f[1], params), std::string::npos);
        }
        EXPECT_TRUE(Aircraft::knows_event(trimmed(f[0])));
    }
}

}  // namespace
