#include "media/SimSpeak.h"

#include "app/Console.h"

Speech SimSpeak::speechSynthesizer;
std::optional<std::vector<std::string>> SimSpeak::voiceCollection;
std::atomic<int32_t> SimSpeak::idcounter{0};
std::atomic<int32_t> SimSpeak::volume_level{100};

namespace {

// Changes the synthesizer volume and copies it to volume_level in one step, so that two
// threads stepping at once leave both equal.
template <typename Step>
void step_volume(Step step) {
    SimSpeak::speechSynthesizer.adjust_volume([&](int v) {
        int next = step(v);
        SimSpeak::volume_level = next;
        return next;
    });
}

void preset(int v) {
    step_volume([v](int) { return v; });
}

}  // namespace

SimSpeak::SimSpeak(std::string ispeech) : id(idcounter++), speech(std::move(ispeech)) {}

void SimSpeak::speak() {
    console::write("Firing SimVoice ", id, " --> ", speech);
    speechSynthesizer.speak(speech);
}

std::vector<std::string> SimSpeak::get_voices() {
    voiceCollection = speechSynthesizer.voices();
    return *voiceCollection;
}

void SimSpeak::change_voice(const std::string& svoice) {
    speechSynthesizer.set_voice(svoice);
}

void SimSpeak::Volume_Up() {
    step_volume([](int v) { return v < 90 ? v + 10 : v; });
}

void SimSpeak::Volume_Down() {
    step_volume([](int v) { return v > 10 ? v - 10 : v; });
}

void SimSpeak::Volume_25() {
    preset(25);
}
void SimSpeak::Volume_50() {
    preset(50);
}
void SimSpeak::Volume_75() {
    preset(75);
}
void SimSpeak::Volume_100() {
    preset(100);
}

void SimSpeak::clear() {
    idcounter = 0;
}
