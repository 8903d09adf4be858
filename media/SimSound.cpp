#include "media/SimSound.h"

#include "app/Console.h"

std::atomic<int32_t> SimSound::idcounter{0};
MpvPlayer SimSound::Player1{"sound"};
MpvPlayer::Controls SimSound::controls{SimSound::Player1};

namespace {

// Paths here use '/', but a list made on Windows may still carry backslashes.
std::string last_component(const std::string& path) {
    auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

SimSound::SimSound(std::string ifilepath) : filepath(std::move(ifilepath)), id(idcounter++) {
    filename = last_component(filepath);
    console::write("Registering SimSound ", id, " --> ", filename);
}

void SimSound::Play() {
    console::write("Firing SimSound ", id, " --> ", filepath);
    Player1.set_source(filepath);
    controls.play();
}

void SimSound::Stop() {
    controls.stop();
}

void SimSound::VolumeUp() {
    Player1.adjust_volume([](int v) { return v < 95 ? v + 5 : v; });
}

void SimSound::VolumeDown() {
    Player1.adjust_volume([](int v) { return v > 1 ? v - v / 2 : v; });
}

void SimSound::setvolume(int x) {
    Player1.set_volume(x);
}

void SimSound::clear() {
    idcounter = 0;
}
