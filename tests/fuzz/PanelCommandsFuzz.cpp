// The real command dispatcher of the window with every list loaded, fed arbitrary panel bytes:
// polls, renewals, handshakes, sound, voice and radio commands. The bytes arrive over simulated
// time (see ScriptedPort.h); the first input byte chooses the arrival pattern. The radio
// stations point at local ports that refuse, so nothing leaves the machine.
//
// Besides not crashing: a poll is answered with exactly its four-byte reply holding the
// record's word, a command answers only with two-byte frames, the current station stays inside
// the list and the renewal counter never exceeds the number of readable variables.
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <array>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "FuzzCheck.h"
#include "ScriptedPort.h"
#include "app/Console.h"
#include "app/Form1.h"
#include "media/SimRadio.h"
#include "media/SimSound.h"
#include "simlink/SimConnectVars.h"
#include "simlink/testing/SimTestHooks.h"
#include "tests/ui/ScriptedDialogs.h"

namespace fs = std::filesystem;

namespace {

QApplication* app = nullptr;
Form1* form = nullptr;

void write_file(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// A scratch folder holding a copy of Data/ and the station and phrase lists, made the current
// directory while the lists load, since the loaders read Data/ relative to it; removed again
// once they are loaded.
fs::path make_work_dir() {
    std::string dir = (fs::temp_directory_path() / "tarnwell-fuzz-XXXXXX").string();
    FUZZ_REQUIRE(mkdtemp(dir.data()) != nullptr);
    fs::copy(fs::path(TARNWELL_SOURCE_DIR) / "Data", fs::path(dir) / "Data",
             fs::copy_options::recursive);
    fs::current_path(dir);
    // The sound clients keep files in the runtime folder to the end, so it is one folder of our
    // own reused by every run rather than part of the scratch folder.
    const fs::path runtime = fs::temp_directory_path() / "tarnwell-fuzz-runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    fs::remove_all(runtime / "tarnwell");  // no virtual port from an earlier run
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    // Nothing listens on ports 1 and 9 here: a station refuses at once.
    write_file("stations.txt",
               "Refusing one,http://127.0.0.1:1/a.mp3\n"
               "Refusing two,http://127.0.0.1:9/b\n"
               "Refusing three,http://127.0.0.1:1/c\n");
    // Short phrases keep the synthesizer's work per command small.
    write_file("phrases.txt", "one\ntwo\nthree\ngear\nflaps\n");
    return dir;
}

void load_lists() {
    const fs::path examples = fs::path(TARNWELL_SOURCE_DIR) / "examples";
    auto* dialogs = ScriptedDialogs::install(*form);
    dialogs->answerFile((examples / "variables.txt").string());
    form->button4_Click();
    dialogs->answerFile((examples / "events.txt").string());
    form->button5_Click();
    dialogs->answerFile("stations.txt");
    form->button11_Click();
    dialogs->answerFile("phrases.txt");
    form->button7_Click();
    // The sounds are played from where they are; nothing writes to them.
    dialogs->answerFolder((examples / "sounds").string());
    form->button9_Click();
    FUZZ_REQUIRE(dialogs->messages().empty());
    FUZZ_REQUIRE(form->SimRecs.size() > 0 && form->SimRecSet.size() > 0);
    FUZZ_REQUIRE(form->SimEvents.size() > 0 && form->SimVoice.size() > 0);
    FUZZ_REQUIRE(form->SimSoundFiles.size() > 0 && form->SimRadioStations.size() == 3);
}

// Lets the workers finish the jobs an input started and the window thread take what they
// handed over, so one input's work does not spill into the next.
void settle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto busy = [] {
        return form->backgroundWorker1->IsBusy() || form->backgroundWorker2->IsBusy() ||
               form->backgroundWorker3->IsBusy() || form->backgroundWorker4->IsBusy();
    };
    while (busy() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    QCoreApplication::processEvents();
}

// The word each position's poll would answer now. A renewal after the reply moves the slots, so
// the reply is checked against the words from before the command.
std::array<uint16_t, 100> poll_words() {
    std::array<uint16_t, 100> words{};
    for (size_t i = 0; i < words.size(); ++i)
        if (auto r = form->SimRecs.at(i))
            words[i] = r->get_data();
    return words;
}

void check_command(const fuzz::ScriptedPort& port, size_t reads_before, size_t writes_before,
                   const std::array<uint16_t, 100>& words) {
    const auto& w = port.writes;
    for (size_t k = writes_before; k < w.size(); ++k)
        FUZZ_REQUIRE(w[k].size() == 2 || w[k].size() == 4);
    if (port.reads.size() > reads_before && port.reads[reads_before] <= 99 &&
        w.size() > writes_before && w[writes_before].size() == 4) {
        // A poll: one reply, and it holds what the record's slot holds.
        const uint8_t c = port.reads[reads_before];
        FUZZ_REQUIRE(w.size() == writes_before + 1);
        const uint16_t word = words[c];
        if (auto r = form->SimRecs.at(c))
            FUZZ_REQUIRE(r->active);
        FUZZ_REQUIRE(w.back() == (std::vector<uint8_t>{c, static_cast<uint8_t>(word & 0xFF),
                                                       static_cast<uint8_t>(word >> 8),
                                                       static_cast<uint8_t>(255 - c)}));
    } else {
        for (size_t k = writes_before; k < w.size(); ++k)
            FUZZ_REQUIRE(w[k].size() == 2 && w[k][1] == 0);
    }
    FUZZ_REQUIRE(form->SimRadio_Current < form->SimRadioStations.size());
    FUZZ_REQUIRE(form->resubscribe >= 0 &&
                 static_cast<size_t>(form->resubscribe.load()) <= form->SimRecs.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const fs::path started_in = fs::current_path();  // libFuzzer's paths are relative to it
    const fs::path work = make_work_dir();
    console::set_stdout_enabled(false);  // the handler writes a line for nearly every command
    app = new QApplication(*argc, *argv);
    std::setlocale(LC_NUMERIC, "C");
    simlink::testing::reset();
    form = new Form1();
    form->serialPort1->Close();  // the script is the only panel
    load_lists();
    settle();
    fs::current_path(started_in);
    fs::remove_all(work);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    fuzz::ScriptedClock clock;
    fuzz::ScriptedPort port(data + 1, size - 1, clock, (data[0] & 3) + 1, (data[0] >> 2) * 2);
    while (!port.consumed()) {
        port.notify();
        const size_t reads = port.reads.size(), writes = port.writes.size();
        const auto words = poll_words();
        form->panel_command(port, clock);
        check_command(port, reads, writes, words);
    }
    SimRadio::Stop();
    SimSound::Stop();
    settle();
    return 0;
}
