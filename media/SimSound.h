#pragma once
// A sound file of the loaded sound folder. All sounds share one player: playing a sound
// replaces whatever that player was playing. The radio has a player of its own.

#include <atomic>
#include <cstdint>
#include <string>

#include "media/MpvPlayer.h"

class SimSound {
public:
    std::string filepath;
    std::string filename;  // the last component of filepath
    static std::atomic<int32_t> idcounter;
    int32_t id;
    static MpvPlayer Player1;
    static MpvPlayer::Controls controls;

    explicit SimSound(std::string ifilepath);

    void Play();
    static void Stop();
    static void VolumeUp();    // +5 while below 95
    static void VolumeDown();  // halves (rounded down) while above 1
    static void setvolume(int x);
    static void clear();
};
