#pragma once
// A phrase of the loaded phrase list. All phrases share one speech synthesizer; speak() blocks
// until its phrase has been heard, and a second caller waits for the first.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/Speech.h"

class SimSpeak {
public:
    int32_t id;
    std::string speech;  // exactly as its line in the phrase list
    static Speech speechSynthesizer;
    // The voices as last listed by get_voices (window thread only); empty until then.
    static std::optional<std::vector<std::string>> voiceCollection;
    static std::atomic<int32_t> idcounter;
    static std::atomic<int32_t> volume_level;  // as last set by a volume operation

    explicit SimSpeak(std::string ispeech);

    void speak();
    static std::vector<std::string> get_voices();
    static void change_voice(const std::string& svoice);
    static void Volume_Up();    // +10 while below 90
    static void Volume_Down();  // -10 while above 10
    static void Volume_25();
    static void Volume_50();
    static void Volume_75();
    static void Volume_100();
    static void clear();
};
