#include "media/SimRadio.h"

#include "app/Console.h"

std::atomic<int32_t> SimRadio::idcounter{0};
std::atomic<bool> SimRadio::playing{false};
// A dropped stream is reconnected while the radio is meant to play.
MpvPlayer SimRadio::Player1{"radio", [] { return SimRadio::playing.load(); }};
MpvPlayer::Controls SimRadio::controls{SimRadio::Player1};

SimRadio::SimRadio(std::string istation, std::string iurl)
    : url(std::move(iurl)), station(std::move(istation)), id(idcounter++) {
    console::write("Registering SimRadio ", id, " --> ", station, " : ", url);
}

void SimRadio::Play() {
    console::write("Firing SimRadio ", id, " --> ", url);
    Player1.set_source(url);
    playing = true;  // before the start, so that a stream that drops at once is reconnected
    controls.play();
}

void SimRadio::Stop() {
    controls.stop();
    playing = false;
}

void SimRadio::VolumeUp() {
    Player1.adjust_volume([](int v) { return v < 95 ? v + 5 : v; });
}

void SimRadio::VolumeDown() {
    Player1.adjust_volume([](int v) { return v > 5 ? v - 5 : v; });
}

int SimRadio::getvolume() {
    return Player1.volume();
}

void SimRadio::setvolume(int x) {
    Player1.set_volume(x);
}

void SimRadio::clear() {
    idcounter = 0;
}
