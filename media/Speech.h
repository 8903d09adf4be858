#pragma once
// The speech synthesizer: espeak-ng rendering phrases to samples, and a player of its own that
// plays them, so speech mixes with the sound player and the radio. espeak-ng is not
// thread-safe, so every espeak call runs on one engine thread owned by this object; callers
// on any thread hand it their work and wait.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/MpvPlayer.h"

class Speech {
public:
    Speech();  // the engine starts with the first use
    ~Speech();
    Speech(const Speech&) = delete;
    Speech& operator=(const Speech&) = delete;

    // The installed voices' names, in espeak's order; each is valid for set_voice.
    std::vector<std::string> voices();
    // Takes effect for the following phrases; false (voice unchanged) for an unknown name.
    bool set_voice(const std::string& name);
    std::string voice();

    // 0 to 100, linear in amplitude (applied to the samples); 100 at start.
    int volume() const;
    void set_volume(int v);
    // Applies step to the volume as one indivisible change; returns the new volume.
    int adjust_volume(const std::function<int(int)>& step);

    // Speaks text and returns when it has been heard. A second caller waits for the first.
    void speak(const std::string& text);

    // The samples of text (mono, 16-bit, sample_rate() per second) with the current voice and
    // volume; empty when the engine could not start.
    std::vector<int16_t> synthesize(const std::string& text);
    int sample_rate();

    MpvPlayer& player() { return player_; }

private:
    void run(std::function<void()> job);  // runs job on the engine thread and waits for it
    void engine_loop();

    std::once_flag started_;
    std::thread engine_;

    std::mutex jobs_m_;  // guards jobs_ and quit_
    std::condition_variable jobs_cv_;
    std::deque<std::function<void()>> jobs_;
    bool quit_ = false;

    // Touched only on the engine thread, after start-up.
    int rate_ = 0;

    mutable std::mutex volume_m_;  // guards volume_
    int volume_ = 100;

    std::mutex speak_m_;  // one phrase at a time, from synthesis to the end of its playback
    MpvPlayer player_{"speech"};
    bool protocol_added_ = false;  // under speak_m_

    // mpv reads the phrase being spoken, as a WAV image, through a stream protocol of ours.
    static int open_phrase(void* self, char* uri, mpv_stream_cb_info* info);
    std::mutex phrase_m_;  // guards phrase_wav_
    std::shared_ptr<const std::string> phrase_wav_;
};
