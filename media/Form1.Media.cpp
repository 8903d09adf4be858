// The media side of the window: loading the station, phrase and sound lists, their grids and
// play/speak actions, the voice selector and the station scan.
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QString>
#include <filesystem>
#include <system_error>

#include "app/Console.h"
#include "app/Form1.h"
#include "config/MediaLists.h"
#include "config/TextFile.h"
#include "media/SimRadio.h"
#include "media/SimSound.h"
#include "media/SimSpeak.h"
#include "ui/DataGridView.h"
#include "ui/DataTable.h"
#include "ui/GridRecords.h"

namespace {

QString count_text(size_t n) {
    return QString::number(static_cast<qulonglong>(n));
}

bool blank(const std::string& s) {
    return s.find_first_not_of(" \t\n\v\f\r") == std::string::npos;
}

}  // namespace

// ---- lists ----

void Form1::button11_Click() {
    set_up_list_dialog(openFileDialog3);
    if (dialogs->ShowDialog(openFileDialog3) != DialogResult::OK)
        return;
    SimRadioStations.publish({});
    SimRadio::clear();
    std::string why;
    auto lines = config::read_all_lines(openFileDialog3.FileName, &why);
    if (!lines) {
        report_failure(*dialogs, config::cannot_read_message(openFileDialog3.FileName, why),
                       "Error in SimRadio file");
        load_SimRadio();
        textBox11->setText(count_text(0));
        return;
    }
    SharedList<SimRadio>::Records stations;
    for (const config::StationLine& line : config::parse_stations(*lines)) {
        switch (line.kind) {
            case config::StationLine::Kind::Station:
                console::write("SIMRADIO : ", line.name_raw);
                stations.push_back(std::make_shared<SimRadio>(line.name, line.url));
                break;
            case config::StationLine::Kind::TooFew:
                dialogs->MessageBox("Too few arguments in line ? " + std::to_string(line.index),
                                    "Error in SimRadio file");
                break;
            case config::StationLine::Kind::Ignored:
                break;
        }
    }
    const size_t n = stations.size();
    SimRadioStations.publish(std::move(stations));
    load_SimRadio();
    console::write("SimRadio size ", n);
    textBox11->setText(count_text(n));
}

void Form1::button7_Click() {
    set_up_list_dialog(openFileDialog3);
    if (dialogs->ShowDialog(openFileDialog3) == DialogResult::OK) {
        SimVoice.publish({});
        SimSpeak::clear();
        std::string why;
        if (auto lines = config::read_all_lines(openFileDialog3.FileName, &why)) {
            SharedList<SimSpeak>::Records phrases;
            for (std::string& phrase : config::take_phrases(*lines)) {
                phrases.push_back(std::make_shared<SimSpeak>(phrase));
                console::write("SimVoice : ", phrase);
            }
            const size_t n = phrases.size();
            SimVoice.publish(std::move(phrases));
            load_SimVoices();
            console::write("SimVoice size ", n);
        } else {
            report_failure(*dialogs, config::cannot_read_message(openFileDialog3.FileName, why),
                           "Error in SimVoice file");
            load_SimVoices();
        }
    }
    textBox6->setText(count_text(SimVoice.size()));
}

void Form1::button9_Click() {
    folderBrowserDialog1.SelectedPath = current_directory();
    if (dialogs->ShowDialog(folderBrowserDialog1) == DialogResult::OK &&
        !blank(folderBrowserDialog1.SelectedPath)) {
        SimSoundFiles.publish({});
        SimSound::clear();
        if (auto files = config::list_sound_files(folderBrowserDialog1.SelectedPath)) {
            SharedList<SimSound>::Records sounds;
            sounds.reserve(files->size());
            for (std::string& path : *files)
                sounds.push_back(std::make_shared<SimSound>(path));
            SimSoundFiles.publish(std::move(sounds));
        } else {
            report_failure(*dialogs, "Cannot list folder: " + folderBrowserDialog1.SelectedPath,
                           "Error in SimSound folder");
            textBox10->setText(count_text(0));  // an empty list leaves the count to us
        }
    }
    load_SimSounds();
}

// ---- grids ----

void Form1::load_SimSounds() {
    dataTable18->Clear();
    auto sounds = SimSoundFiles.snapshot();
    if (sounds->empty())
        return;
    for (size_t i = 0; i < sounds->size(); ++i)
        dataTable18->AddRow(
            {static_cast<int>(i), QString::fromStdString((*sounds)[i]->filename), false, 0.0});
    textBox10->setText(count_text(sounds->size()));
}

void Form1::load_SimRadio() {
    dataTable19->Clear();
    auto stations = SimRadioStations.snapshot();
    for (size_t i = 0; i < stations->size(); ++i)
        dataTable19->AddRow(
            {static_cast<int>(i), QString::fromStdString((*stations)[i]->station), false, 0.0});
}

void Form1::load_SimVoices() {
    dataTable15->Clear();
    auto phrases = SimVoice.snapshot();
    for (size_t i = 0; i < phrases->size(); ++i)
        dataTable15->AddRow(
            {static_cast<int>(i), QString::fromStdString((*phrases)[i]->speech), QVariant()});
}

void Form1::dataGridView19_CellContentClick(int column, int row) {
    auto phrase = clicked_record(*dataGridView19, column, row, "dataGridViewButtonColumn7",
                                 "dataGridViewTextBoxColumn33", SimVoice);
    if (!phrase)
        return;
    console::write("Speaking ");
    phrase->speak();
}

void Form1::dataGridView22_CellContentClick(int column, int row) {
    if (auto sound = clicked_record(*dataGridView22, column, row, "dataGridViewButtonColumn8",
                                    "dataGridViewTextBoxColumn39", SimSoundFiles))
        sound->Play();
}

void Form1::dataGridView23_CellContentClick(int column, int row) {
    auto station = clicked_record(*dataGridView23, column, row, "dataGridViewButtonColumn9",
                                  "dataGridViewTextBoxColumn41", SimRadioStations);
    if (!station)
        return;
    console::write("Tuning Station ");
    station->Play();
}

// ---- voices ----

void Form1::list_voices() {
    VoiceNames = SimSpeak::get_voices();
    console::write("NumVoices ", VoiceNames->size());
    {
        // Filled silently; naming the first voice below selects it, once, as the user would.
        QSignalBlocker quiet(comboBox2);
        comboBox2->clear();
        for (const std::string& name : *VoiceNames)
            comboBox2->addItem(QString::fromStdString(name));
        comboBox2->setCurrentIndex(-1);
    }
    if (!VoiceNames->empty())
        comboBox2->setCurrentText(QString::fromStdString(VoiceNames->front()));
}

void Form1::button8_Click() {
    list_voices();
}

void Form1::comboBox2_SelectedIndexChanged() {
    const int k = comboBox2->currentIndex();
    if (k < 0 || !VoiceNames || static_cast<size_t>(k) >= VoiceNames->size())
        return;
    SimSpeak::change_voice((*VoiceNames)[static_cast<size_t>(k)]);
    console::write("CHANGING VOICE");
}

// ---- station scan ----

void Form1::timer3_Tick() {
    if (!SimRadio_Scanning)
        return;
    auto stations = SimRadioStations.snapshot();
    const int n = static_cast<int>(stations->size());
    const int c = SimRadio_Current;
    if (c < n - 1) {
        SimRadio_Current = static_cast<uint8_t>(c + 1);
        console::write("Scanning Stations-> ", (*stations)[static_cast<size_t>(c + 1)]->station);
    } else {
        SimRadio_Current = 0;
    }
    const uint8_t now = SimRadio_Current;
    if (now < n) {
        (*stations)[now]->Play();
        console::write("Scan is playing --> ", now);
    }
}
