#pragma once
// An internet radio station of the loaded station list. All stations share one radio player,
// separate from the sound player, so a sound can be heard over the radio.

#include <atomic>
#include <cstdint>
#include <string>

#include "media/MpvPlayer.h"

class SimRadio {
public:
    std::string url;
    std::string station;
    static std::atomic<int32_t> idcounter;
    int32_t id;
    // What the system asked for (true from the last Play to the next Stop), not what the
    // player does: a stream that fails leaves it true. While it is true a dropped stream is
    // reconnected.
    static std::atomic<bool> playing;
    static MpvPlayer Player1;
    static MpvPlayer::Controls controls;

    SimRadio(std::string istation, std::string iurl);  // name first, address second

    void Play();
    static void Stop();
    static void VolumeUp();    // +5 while below 95
    static void VolumeDown();  // -5 while above 5
    static int getvolume();
    static void setvolume(int x);
    static void clear();
};
