// Station and phrase lines, and the listing of a sound folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "config/MediaLists.h"

using config::StationLine;
using Kind = config::StationLine::Kind;
namespace fs = std::filesystem;

TEST(StationLines, EachLineIsAStationAMessageOrNothing) {
    const struct {
        const char* line;
        Kind kind;
        const char* raw;
        const char* name;
        const char* url;
    } cases[] = {
        {"Jazz,http://j.example/live", Kind::Station, "Jazz", "Jazz", "http://j.example/live"},
        {"  Jazz \t,  http://j.example/live  ", Kind::Station, "  Jazz \t", "Jazz",
         "http://j.example/live"},
        {"Jazz,", Kind::Station, "Jazz", "Jazz", ""},
        {"", Kind::TooFew, "", "", ""},
        {"just a name", Kind::TooFew, "", "", ""},
        {"Jazz,http://j.example/?a=1,2", Kind::Ignored, "", "", ""},
        {",,", Kind::Ignored, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto parsed = config::parse_stations({c.line});
        ASSERT_EQ(parsed.size(), 1u);
        EXPECT_EQ(parsed[0].kind, c.kind);
        EXPECT_EQ(parsed[0].index, 0u);
        EXPECT_EQ(parsed[0].name_raw, c.raw);
        EXPECT_EQ(parsed[0].name, c.name);
        EXPECT_EQ(parsed[0].url, c.url);
    }
}

TEST(StationLines, OnlyLinesZeroToNinetyNineMakeStationsButEveryShortLineIsReported) {
    std::vector<std::string> lines(105, "S,http://s.example/");
    lines[3] = "";
    lines[102] = "short";
    const auto parsed = config::parse_stations(lines);
    ASSERT_EQ(parsed.size(), 105u);
    size_t stations = 0;
    std::vector<size_t> too_few;
    for (const auto& p : parsed) {
        if (p.kind == Kind::Station)
            ++stations;
        if (p.kind == Kind::TooFew)
            too_few.push_back(p.index);
    }
    EXPECT_EQ(stations, 99u);
    EXPECT_EQ(too_few, (std::vector<size_t>{3, 102}));
    EXPECT_EQ(parsed[100].kind, Kind::Ignored);
}

TEST(PhraseLines, TheFirstFiftyLinesAsWritten) {
    std::vector<std::string> lines = {"Gear down, now", "", "  spaced  "};
    for (int i = 3; i < 60; ++i)
        lines.push_back("p" + std::to_string(i));
    const auto phrases = config::take_phrases(lines);
    ASSERT_EQ(phrases.size(), 50u);
    EXPECT_EQ(phrases[0], "Gear down, now");
    EXPECT_EQ(phrases[1], "");
    EXPECT_EQ(phrases[2], "  spaced  ");
    EXPECT_EQ(phrases[49], "p49");
    EXPECT_TRUE(config::take_phrases({}).empty());
}

TEST(SoundFolder, Mp3FilesInAnyCaseOrderedByName) {
    const fs::path dir = fs::absolute("sound_folder");
    fs::remove_all(dir);
    fs::create_directories(dir / "sub.mp3");
    for (const char* name : {"b.mp3", "A.MP3", "c.Mp3", "notes.txt", "d.mp3.bak", ".mp3", "e.mp"})
        std::ofstream(dir / name) << "x";
    std::ofstream(dir / "sub.mp3" / "deep.mp3") << "x";
    const auto files = config::list_sound_files(dir.string());
    ASSERT_TRUE(files);
    std::vector<std::string> expected;
    for (const char* name : {".mp3", "A.MP3", "b.mp3", "c.Mp3"})
        expected.push_back((dir / name).string());
    EXPECT_EQ(*files, expected);

    fs::create_directories(dir / "empty");
    EXPECT_EQ(config::list_sound_files((dir / "empty").string()), std::vector<std::string>{});
    EXPECT_FALSE(config::list_sound_files((dir / "missing").string()));
    EXPECT_FALSE(config::list_sound_files((dir / "b.mp3").string()));  // a file, not a folder
}
