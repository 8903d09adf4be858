// The window's media side: loading stations, phrases and sounds, the grids' Play and Speak
// buttons, the voice selector and the station scan, on the real window offscreen.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <fstream>

#include "AudioCheck.h"
#include "MediaTestSupport.h"
#include "StreamServer.h"
#include "media/SimRadio.h"
#include "media/SimSound.h"
#include "media/SimSpeak.h"
#include "tests/ui/WindowSupport.h"
#include "ui/DataTable.h"

using window_test::ConsoleLines;
using window_test::ShownForm;
namespace fs = std::filesystem;

namespace {

std::string write_file(const std::string& name, const std::string& text) {
    const std::string path = fs::absolute(name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::vector<std::string> matching(const std::vector<std::string>& lines,
                                  std::initializer_list<const char*> prefixes) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        for (const char* p : prefixes)
            if (l.rfind(p, 0) == 0) {
                out.push_back(l);
                break;
            }
    return out;
}

std::vector<std::string> column_texts(DataTable* table, const char* column) {
    std::vector<std::string> out;
    for (int r = 0; r < table->rowCount(); ++r)
        out.push_back(table->value(r, column).toString().toStdString());
    return out;
}

class MediaWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { console::set_stdout_enabled(false); }
    static void TearDownTestSuite() { console::set_stdout_enabled(true); }
    void TearDown() override {
        SimRadio::Stop();
        SimSound::Stop();
    }
    ShownForm form;
};

}  // namespace

TEST_F(MediaWindow, TheExampleListsLoadWithoutAMessage) {
    form.dialogs->answerFile("examples/stations.txt");
    form->button11_Click();
    form.dialogs->answerFile("examples/phrases.txt");
    form->button7_Click();
    form.dialogs->answerFolder(media_test::example("sounds"));
    form->button9_Click();
    EXPECT_TRUE(form.dialogs->messages().empty());
    EXPECT_EQ(form->textBox11->text(), "5");
    EXPECT_EQ(form->textBox6->text(), "10");
    EXPECT_EQ(form->textBox10->text(), "3");
    EXPECT_EQ(form->dataTable19->rowCount(), 5);
    EXPECT_EQ(form->dataTable15->rowCount(), 10);
    EXPECT_EQ(column_texts(form->dataTable18, "Column2"),
              (std::vector<std::string>{"chime_high.mp3", "chime_two_tone.mp3", "gear_down.mp3"}));
    // Both list dialogs are set up the same way.
    for (const OpenFileDialog& d : form.dialogs->fileDialogsShown()) {
        EXPECT_EQ(d.Filter, "txt files (*.txt)|*.txt|All files (*.*)|*.*");
        EXPECT_EQ(d.FilterIndex, 2);
        EXPECT_EQ(d.InitialDirectory, fs::current_path().string());
    }
    EXPECT_EQ(form.dialogs->folderDialogsShown().at(0).SelectedPath, fs::current_path().string());
}

TEST_F(MediaWindow, StationLinesAreTrimmedCheckedAndCounted) {
    ConsoleLines console;
    form.dialogs->answerFile(write_file("stations_edge.txt",
                                        " Alpha , http://a.example/x \n"
                                        "\n"
                                        "Beta,http://b.example/?a=1,2\n"
                                        "Gamma,http://c.example/\r\n"
                                        "Delta\n"));
    form->button11_Click();
    const auto messages = form.dialogs->messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Too few arguments in line ? 1");
    EXPECT_EQ(messages[0].caption, "Error in SimRadio file");
    EXPECT_EQ(messages[1].text, "Too few arguments in line ? 4");
    EXPECT_EQ(console.lines(), (std::vector<std::string>{
                                   "SIMRADIO :  Alpha ",
                                   "Registering SimRadio 0 --> Alpha : http://a.example/x",
                                   "SIMRADIO : Gamma",
                                   "Registering SimRadio 1 --> Gamma : http://c.example/",
                                   "SimRadio size 2",
                               }));
    EXPECT_EQ(form->textBox11->text(), "2");
    EXPECT_EQ(column_texts(form->dataTable19, "Column2"),
              (std::vector<std::string>{"Alpha", "Gamma"}));
    EXPECT_EQ(form->SimRadioStations.at(1)->url, "http://c.example/");
    EXPECT_EQ(form->SimRadioStations.at(1)->id, 1);

    // A cancelled dialog changes nothing.
    form.dialogs->cancelFile();
    form->button11_Click();
    EXPECT_EQ(form->SimRadioStations.size(), 2u);
    EXPECT_EQ(console.lines().size(), 5u);
}

TEST_F(MediaWindow, OnlyTheFirstHundredStationLinesCount) {
    std::string text;
    for (int i = 0; i < 120; ++i)
        text += "S" + std::to_string(i) + ",http://s.example/" + std::to_string(i) + "\n";
    form.dialogs->answerFile(write_file("stations_many.txt", text));
    form->button11_Click();
    EXPECT_EQ(form->SimRadioStations.size(), 100u);
    EXPECT_EQ(form->textBox11->text(), "100");
    EXPECT_EQ(form->dataTable19->rowCount(), 100);
}

TEST_F(MediaWindow, PhrasesAreTakenAsWrittenUpToFifty) {
    ConsoleLines console;
    std::string text = "Gear down, now\n\n";
    for (int i = 2; i < 60; ++i)
        text += " phrase " + std::to_string(i) + " \n";
    form.dialogs->answerFile(write_file("phrases_many.txt", text));
    form->button7_Click();
    ASSERT_EQ(form->SimVoice.size(), 50u);
    EXPECT_EQ(form->SimVoice.at(0)->speech, "Gear down, now");
    EXPECT_EQ(form->SimVoice.at(1)->speech, "");
    EXPECT_EQ(form->SimVoice.at(2)->speech, " phrase 2 ");
    EXPECT_EQ(form->SimVoice.at(49)->id, 49);
    const auto lines = console.lines();
    EXPECT_EQ(matching(lines, {"SimVoice : "}).size(), 50u);
    EXPECT_EQ(lines.front(), "SimVoice : Gear down, now");
    EXPECT_EQ(lines.back(), "SimVoice size 50");
    EXPECT_EQ(form->textBox6->text(), "50");
    // The blank phrase has its row like any other, so the grid shows all the panel can speak.
    ASSERT_EQ(form->dataGridView19->rowCount(), 50);
    EXPECT_EQ(form->dataGridView19->cell(1, "dataGridViewTextBoxColumn34").toString(), "");
    EXPECT_EQ(form->dataGridView19->cell(1, "dataGridViewTextBoxColumn33").toInt(), 1);

    // Cancelling keeps the list and writes its count again.
    form->textBox6->clear();
    form.dialogs->cancelFile();
    form->button7_Click();
    EXPECT_EQ(form->SimVoice.size(), 50u);
    EXPECT_EQ(form->textBox6->text(), "50");
}

TEST_F(MediaWindow, AFolderOfThreeHundredSoundsGivesThreeHundredRowsInNameOrder) {
    const fs::path dir = fs::absolute("many_sounds");
    fs::remove_all(dir);
    fs::create_directories(dir / "inner.mp3");  // a folder, not a sound
    for (int i = 0; i < 298; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "s%03d.mp3", 297 - i);
        std::ofstream(dir / name) << "x";
    }
    std::ofstream(dir / "B.MP3") << "x";
    std::ofstream(dir / "a.Mp3") << "x";
    std::ofstream(dir / "notes.txt") << "x";
    std::ofstream(dir / "clip.mp3.wav") << "x";
    std::ofstream(dir / "inner.mp3" / "deep.mp3") << "x";
    ConsoleLines console;
    form.dialogs->answerFolder(dir.string());
    form->button9_Click();
    EXPECT_EQ(form->dataTable18->rowCount(), 300);
    EXPECT_EQ(form->textBox10->text(), "300");
    auto names = column_texts(form->dataTable18, "Column2");
    ASSERT_EQ(names.size(), 300u);
    EXPECT_EQ(names[0], "B.MP3");
    EXPECT_EQ(names[1], "a.Mp3");
    EXPECT_EQ(names[2], "s000.mp3");
    EXPECT_EQ(names[299], "s297.mp3");
    auto sound = form->SimSoundFiles.at(2);
    EXPECT_EQ(sound->filepath, (dir / "s000.mp3").string());
    EXPECT_EQ(sound->id, 2);
    EXPECT_EQ(console.lines().at(2), "Registering SimSound 2 --> s000.mp3");

    // Sounds beyond the fiftieth, out of the panel's reach, still play from the grid.
    form->dataGridView22_CellContentClick(
        form->dataGridView22->columnIndex("dataGridViewButtonColumn8"), 299);
    EXPECT_EQ(console.lines().back(), "Firing SimSound 299 --> " + (dir / "s297.mp3").string());

    // A folder without sounds empties the list and the grid; the count box keeps its text.
    fs::create_directories("no_sounds");
    form.dialogs->answerFolder(fs::absolute("no_sounds").string());
    form->button9_Click();
    EXPECT_EQ(form->SimSoundFiles.size(), 0u);
    EXPECT_EQ(form->dataTable18->rowCount(), 0);
    EXPECT_EQ(form->textBox10->text(), "300");
    EXPECT_TRUE(form.dialogs->messages().empty());
}

TEST_F(MediaWindow, AListThatCannotBeReadIsReportedOnceAndLeftEmpty) {
    form.dialogs->answerFile("examples/stations.txt");
    form->button11_Click();
    form.dialogs->answerFolder(media_test::example("sounds"));
    form->button9_Click();
    form.dialogs->answerFile("examples/phrases.txt");
    form->button7_Click();
    ConsoleLines console;
    const std::string missing = fs::absolute("missing.txt").string();
    const std::string no_folder = fs::absolute("no_such_folder").string();
    form.dialogs->answerFile(missing);
    form->button11_Click();
    form.dialogs->answerFolder(no_folder);
    form->button9_Click();
    form.dialogs->answerFile(missing);
    form->button7_Click();
    const auto messages = form.dialogs->messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[0].text.find(missing), std::string::npos);
    EXPECT_NE(messages[1].text.find(no_folder), std::string::npos);
    EXPECT_NE(messages[2].text.find(missing), std::string::npos);
    EXPECT_EQ(console.lines(),
              (std::vector<std::string>{messages[0].text, messages[1].text, messages[2].text}));
    EXPECT_EQ(form->SimVoice.size(), 0u);
    EXPECT_EQ(form->dataTable15->rowCount(), 0);
    EXPECT_EQ(form->textBox6->text(), "0");
    EXPECT_EQ(form->SimRadioStations.size(), 0u);
    EXPECT_EQ(form->dataTable19->rowCount(), 0);
    EXPECT_EQ(form->textBox11->text(), "0");
    EXPECT_EQ(form->SimSoundFiles.size(), 0u);
    EXPECT_EQ(form->dataTable18->rowCount(), 0);
    EXPECT_EQ(form->textBox10->text(), "0");
}

TEST_F(MediaWindow, PlayAndSpeakButtonsReachTheirRecords) {
    StreamServer server;
    form.dialogs->answerFile(write_file(
        "stations_local.txt", "One," + server.url("/440") + "\nTwo," + server.url("/660") + "\n"));
    form->button11_Click();
    form.dialogs->answerFile("examples/phrases.txt");
    form->button7_Click();
    form.dialogs->answerFolder(media_test::example("sounds"));
    form->button9_Click();

    ConsoleLines console;
    ASSERT_TRUE(window_test::click_cell(form->dataGridView23, 1, "dataGridViewButtonColumn9"));
    ASSERT_TRUE(audio_check::wait_until([&] { return !server.requests().empty(); }));
    EXPECT_EQ(server.requests().front(), "/660");
    EXPECT_EQ(form->SimRadio_Current, 0);  // a grid play leaves the current station alone
    ASSERT_TRUE(window_test::click_cell(form->dataGridView19, 0, "dataGridViewButtonColumn7"));
    const uint64_t before = SimSound::Player1.started();
    ASSERT_TRUE(window_test::click_cell(form->dataGridView22, 2, "dataGridViewButtonColumn8"));
    EXPECT_TRUE(SimSound::Player1.wait_started(before, std::chrono::seconds(10)));
    // Clicks beside the action column, and on the header row, do nothing.
    ASSERT_TRUE(window_test::click_cell(form->dataGridView22, 0, "dataGridViewTextBoxColumn40"));
    ASSERT_TRUE(window_test::click_cell(form->dataGridView23, 0, "dataGridViewTextBoxColumn41"));
    form->dataGridView19_CellContentClick(
        form->dataGridView19->columnIndex("dataGridViewButtonColumn7"), -1);

    EXPECT_EQ(matching(console.lines(), {"Tuning", "Firing", "Speaking"}),
              (std::vector<std::string>{
                  "Tuning Station ",
                  "Firing SimRadio 1 --> " + server.url("/660"),
                  "Speaking ",
                  "Firing SimVoice 0 --> Gear down",
                  "Firing SimSound 2 --> " + media_test::example("sounds/gear_down.mp3"),
              }));
}

TEST_F(MediaWindow, TheVoiceButtonListsTheVoicesAndSelectsTheFirst) {
    ConsoleLines console;
    const auto voices = SimSpeak::speechSynthesizer.voices();
    ASSERT_FALSE(voices.empty());
    for (int press = 1; press <= 2; ++press) {
        SCOPED_TRACE(press);
        QTest::mouseClick(form->button8, Qt::LeftButton);
        EXPECT_EQ(form->comboBox2->count(), static_cast<int>(voices.size()));
        EXPECT_EQ(form->comboBox2->currentIndex(), 0);
        EXPECT_EQ(form->comboBox2->currentText().toStdString(), voices.front());
        EXPECT_EQ(SimSpeak::speechSynthesizer.voice(), voices.front());
        EXPECT_EQ(matching(console.lines(), {"NumVoices", "CHANGING VOICE"}).size(),
                  static_cast<size_t>(2 * press));
    }
    EXPECT_EQ(console.lines().front(), "NumVoices " + std::to_string(voices.size()));
    // Picking another entry selects that voice.
    form->comboBox2->setCurrentIndex(static_cast<int>(voices.size()) - 1);
    EXPECT_EQ(SimSpeak::speechSynthesizer.voice(), voices.back());
    EXPECT_EQ(console.lines().back(), "CHANGING VOICE");
    SimSpeak::change_voice("en");
}

TEST_F(MediaWindow, TheScanStepsThroughTheStationsAndStartsOver) {
    form->timer3->stop();  // the test ticks by hand
    StreamServer server;
    std::string text;
    for (int i = 0; i < 3; ++i)
        text +=
            "S" + std::to_string(i) + "," + server.url("/" + std::to_string(300 + 100 * i)) + "\n";
    form.dialogs->answerFile(write_file("stations_scan.txt", text));
    form->button11_Click();
    const auto url = [&](int i) { return server.url("/" + std::to_string(300 + 100 * i)); };

    ConsoleLines console;
    form->SimRadio_Scanning = false;
    form->SimRadio_Current = 1;
    form->timer3_Tick();
    EXPECT_EQ(form->SimRadio_Current, 1);
    EXPECT_TRUE(console.lines().empty());

    form->SimRadio_Scanning = true;
    std::vector<int> current;
    for (int i = 0; i < 4; ++i) {
        form->timer3_Tick();
        current.push_back(form->SimRadio_Current);
    }
    EXPECT_EQ(current, (std::vector<int>{2, 0, 1, 2}));
    EXPECT_EQ(console.lines(), (std::vector<std::string>{
                                   "Scanning Stations-> S2",
                                   "Firing SimRadio 2 --> " + url(2),
                                   "Scan is playing --> 2",
                                   "Firing SimRadio 0 --> " + url(0),
                                   "Scan is playing --> 0",
                                   "Scanning Stations-> S1",
                                   "Firing SimRadio 1 --> " + url(1),
                                   "Scan is playing --> 1",
                                   "Scanning Stations-> S2",
                                   "Firing SimRadio 2 --> " + url(2),
                                   "Scan is playing --> 2",
                               }));
    EXPECT_TRUE(audio_check::wait_until([&] {
        auto r = server.requests();
        return std::find(r.begin(), r.end(), "/500") != r.end();
    }));

    // Beyond the end of a shorter list the scan starts over at station 0.
    form->SimRadio_Current = 7;
    form->timer3_Tick();
    EXPECT_EQ(form->SimRadio_Current, 0);
    EXPECT_EQ(console.lines().back(), "Scan is playing --> 0");
}

TEST_F(MediaWindow, ScanningAnEmptyListPlaysNothing) {
    form->timer3->stop();
    ConsoleLines console;
    form->SimRadio_Scanning = true;
    form->SimRadio_Current = 5;
    form->timer3_Tick();
    EXPECT_EQ(form->SimRadio_Current, 0);
    form->timer3_Tick();
    EXPECT_EQ(form->SimRadio_Current, 0);
    EXPECT_TRUE(console.lines().empty());
    EXPECT_FALSE(SimRadio::playing);
    form->SimRadio_Scanning = false;
}
