#pragma once
// The station list, the phrase list and the sound folder, read into plain values; the window
// turns them into records, console lines and message boxes.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace config {

constexpr size_t kMaxStations = 100;  // line indexes 0 to 99
constexpr size_t kMaxPhrases = 50;    // line indexes 0 to 49

struct StationLine {
    enum class Kind {
        Station,  // two fields on a line with index below kMaxStations
        TooFew,   // one field (a blank line too): the user is told
        Ignored,  // three or more fields, or a station line from kMaxStations on
    };
    Kind kind;
    size_t index;          // line index, blank lines counted
    std::string name_raw;  // field 1 as written
    std::string name;      // field 1 trimmed
    std::string url;       // field 2 trimmed
};

// One entry per line, in line order. Lines are split at every comma, with no quoting.
std::vector<StationLine> parse_stations(const std::vector<std::string>& lines);

// The phrases: the first kMaxPhrases lines, unchanged (commas and blanks are part of them).
std::vector<std::string> take_phrases(const std::vector<std::string>& lines);

// Full paths of the files directly in folder whose names end in ".mp3" in any letter case,
// ordered by file name (byte order), so the numbering the panel uses does not depend on the
// file system. nullopt when the folder cannot be listed.
std::optional<std::vector<std::string>> list_sound_files(const std::string& folder);

}  // namespace config
