#pragma once
// One libmpv handle that plays one source (a file path or a stream address) at a time. The
// sound player, the radio and the voice each own one, so their outputs mix. Every operation is
// safe from any thread and returns at once; playback goes on by itself. Without a sound card
// the player falls back to mpv's null output, so everything completes silently.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct mpv_handle;
struct mpv_stream_cb_info;

class MpvPlayer {
public:
    // Nothing is made here: the mpv handle comes with the first operation, so a player can be a
    // static of its class (mpv refuses to start before the program has set LC_NUMERIC to "C").
    // While keep() holds, a source that ends by itself (a server that drops the stream) is
    // loaded again after a short pause.
    explicit MpvPlayer(std::string name, std::function<bool()> keep = {});
    ~MpvPlayer();
    MpvPlayer(const MpvPlayer&) = delete;
    MpvPlayer& operator=(const MpvPlayer&) = delete;

    // The transport controls of one player, the way the window's code drives it: set the
    // source, then play or stop.
    class Controls {
    public:
        explicit Controls(MpvPlayer& player) : player_(player) {}
        void play() { player_.play(); }
        void stop() { player_.stop(); }

    private:
        MpvPlayer& player_;
    };

    void set_source(std::string source);
    // Plays the source from its beginning, dropping whatever played before.
    void play();
    void play(std::string source) {
        set_source(std::move(source));
        play();
    }
    void stop();

    // Volume 0 to 100; the amplitude is proportional to it (50 halves it). 100 at start.
    int volume() const;
    void set_volume(int v);
    // Applies step to the volume as one indivisible change; returns the new volume.
    int adjust_volume(const std::function<int(int)>& step);

    // For in-memory sources: registers an mpv stream protocol (see mpv/stream_cb.h) on the
    // handle. open is an mpv_stream_cb_open_ro_fn.
    using OpenFn = int (*)(void* user_data, char* uri, mpv_stream_cb_info* info);
    bool add_protocol(const char* protocol, void* user_data, OpenFn open);

    // False when mpv could not be started; every operation is then a silent no-op.
    bool available();

    // Counts of sources that started and ended (any reason), for callers that wait for the end
    // of what they asked for.
    uint64_t started() const { return started_.load(); }
    uint64_t finished() const { return finished_.load(); }
    // Waits until started() exceeds `after`.
    bool wait_started(uint64_t after, std::chrono::milliseconds timeout);
    // Waits until the source of the last play has ended (played out, stopped, replaced or
    // failed); true when it has.
    bool wait_done(std::chrono::milliseconds timeout);

    // Test hook: players made after this call write their decoded audio as WAV into
    // <dir>/<name>.wav (mpv's pcm output, not paced) instead of the sound card.
    static void route_output_to_pcm(std::string dir);
    std::string pcm_file() const;

private:
    void ensure();
    void event_loop();
    void load_locked();  // issues loadfile for source_; m_ held

    const std::string name_;
    std::once_flag made_;
    mpv_handle* mpv_ = nullptr;  // set once inside made_, then constant
    std::string pcm_file_;       // likewise
    std::thread events_;
    std::atomic<bool> quit_{false};

    // Guards the source, the generation, the reconnect plan and the volume, and orders the
    // commands given to mpv so that a reconnect never lands after a newer play or stop.
    mutable std::mutex m_;
    std::string source_;
    uint64_t generation_ = 0;          // bumped by every play and stop
    uint64_t loads_ = 0;               // loadfile commands mpv accepted
    uint64_t ended_entry_ = 0;         // playlist entry of the last end (mpv counts entries from 1)
    std::condition_variable done_cv_;  // with m_: ended_entry_ changed
    bool null_output_ = false;
    std::optional<std::chrono::steady_clock::time_point> reconnect_at_;
    uint64_t reconnect_generation_ = 0;
    const std::function<bool()> keep_;
    int volume_ = 100;

    std::atomic<uint64_t> started_{0};
    std::atomic<uint64_t> finished_{0};
    std::mutex wait_m_;  // guards nothing but the condition below
    std::condition_variable wait_cv_;
};
