#include "media/MpvPlayer.h"

#include <mpv/client.h>
#include <mpv/stream_cb.h>

#include <algorithm>
#include <cmath>

namespace {

std::mutex route_m;  // guards route_dir
std::string route_dir;

// A stream that drops is tried again after this pause, so a server that refuses at once is
// not hammered.
constexpr std::chrono::milliseconds kReconnectPause{1000};

// mpv's volume is cubic (amplitude = (v/100)^3); this makes the amplitude linear in v.
double mpv_volume(int v) {
    return 100.0 * std::cbrt(std::clamp(v, 0, 100) / 100.0);
}

}  // namespace

MpvPlayer::MpvPlayer(std::string name, std::function<bool()> keep)
    : name_(std::move(name)), keep_(std::move(keep)) {}

MpvPlayer::~MpvPlayer() {
    if (!mpv_)
        return;
    quit_ = true;
    mpv_wakeup(mpv_);
    if (events_.joinable())
        events_.join();
    mpv_terminate_destroy(mpv_);
}

void MpvPlayer::route_output_to_pcm(std::string dir) {
    std::lock_guard<std::mutex> g(route_m);
    route_dir = std::move(dir);
}

std::string MpvPlayer::pcm_file() const {
    return pcm_file_;
}

void MpvPlayer::ensure() {
    std::call_once(made_, [this] {
        mpv_handle* h = mpv_create();  // null when LC_NUMERIC is not "C"
        if (!h)
            return;
        mpv_set_option_string(h, "config", "no");
        mpv_set_option_string(h, "load-scripts", "no");
        mpv_set_option_string(h, "ytdl", "no");
        mpv_set_option_string(h, "vid", "no");
        mpv_set_option_string(h, "idle", "yes");
        mpv_set_option_string(h, "audio-display", "no");
        // A station plays for hours and is never rewound: keep a few seconds ahead and nothing
        // behind, where mpv's defaults would let the cache grow by the stream's rate to 200 MB.
        mpv_set_option_string(h, "demuxer-max-bytes", "4MiB");
        mpv_set_option_string(h, "demuxer-max-back-bytes", "0");
        {
            std::lock_guard<std::mutex> g(route_m);
            if (!route_dir.empty()) {
                pcm_file_ = route_dir + "/" + name_ + ".wav";
                mpv_set_option_string(h, "ao", "pcm");
                mpv_set_option_string(h, "ao-pcm-file", pcm_file_.c_str());
            }
        }
        if (mpv_initialize(h) < 0) {
            mpv_terminate_destroy(h);
            return;
        }
        {
            std::lock_guard<std::mutex> g(m_);
            double v = mpv_volume(volume_);
            mpv_set_property(h, "volume", MPV_FORMAT_DOUBLE, &v);
        }
        mpv_ = h;
        events_ = std::thread([this] { event_loop(); });
    });
}

bool MpvPlayer::available() {
    ensure();
    return mpv_ != nullptr;
}

void MpvPlayer::set_source(std::string source) {
    std::lock_guard<std::mutex> g(m_);
    source_ = std::move(source);
}

void MpvPlayer::load_locked() {
    const char* cmd[] = {"loadfile", source_.c_str(), "replace", nullptr};
    if (mpv_command(mpv_, cmd) >= 0)
        ++loads_;
}

void MpvPlayer::play() {
    ensure();
    std::lock_guard<std::mutex> g(m_);
    ++generation_;
    reconnect_at_.reset();
    if (mpv_)
        load_locked();
}

void MpvPlayer::stop() {
    ensure();
    std::lock_guard<std::mutex> g(m_);
    ++generation_;
    reconnect_at_.reset();
    if (!mpv_)
        return;
    const char* cmd[] = {"stop", nullptr};
    mpv_command(mpv_, cmd);
}

int MpvPlayer::volume() const {
    std::lock_guard<std::mutex> g(m_);
    return volume_;
}

void MpvPlayer::set_volume(int v) {
    adjust_volume([v](int) { return v; });
}

int MpvPlayer::adjust_volume(const std::function<int(int)>& step) {
    ensure();
    std::lock_guard<std::mutex> g(m_);
    volume_ = std::clamp(step(volume_), 0, 100);
    if (mpv_) {
        double v = mpv_volume(volume_);
        mpv_set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &v);
    }
    return volume_;
}

bool MpvPlayer::add_protocol(const char* protocol, void* user_data, OpenFn open) {
    ensure();
    if (!mpv_)
        return false;
    return mpv_stream_cb_add_ro(mpv_, protocol, user_data, open) >= 0;
}

bool MpvPlayer::wait_started(uint64_t after, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> l(wait_m_);
    return wait_cv_.wait_for(l, timeout, [&] { return started_.load() > after; });
}

bool MpvPlayer::wait_done(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> l(m_);
    return done_cv_.wait_for(l, timeout, [&] { return ended_entry_ >= loads_; });
}

void MpvPlayer::event_loop() {
    using clock = std::chrono::steady_clock;
    auto count = [this](std::atomic<uint64_t>& counter) {
        {
            std::lock_guard<std::mutex> g(wait_m_);
            ++counter;
        }
        wait_cv_.notify_all();
    };
    while (!quit_) {
        double timeout = -1;
        {
            std::lock_guard<std::mutex> g(m_);
            if (reconnect_at_) {
                auto left = std::chrono::duration<double>(*reconnect_at_ - clock::now()).count();
                timeout = std::max(left, 0.0);
            }
        }
        mpv_event* e = mpv_wait_event(mpv_, timeout);
        if (e->event_id == MPV_EVENT_SHUTDOWN)
            break;
        if (e->event_id == MPV_EVENT_START_FILE)
            count(started_);
        if (e->event_id == MPV_EVENT_END_FILE) {
            auto* end = static_cast<mpv_event_end_file*>(e->data);
            std::lock_guard<std::mutex> g(m_);
            // mpv numbers playlist entries from 1 in load order, so the entry of the last
            // load is loads_; ends of replaced entries need no action.
            const bool current = end->playlist_entry_id == static_cast<int64_t>(loads_);
            if (current && end->reason == MPV_END_FILE_REASON_ERROR &&
                end->error == MPV_ERROR_AO_INIT_FAILED && !null_output_) {
                // No sound device: play on silently, so that the program behaves the same.
                null_output_ = true;
                mpv_set_property_string(mpv_, "ao", "null");
                load_locked();
                continue;
            }
            if (current && end->reason == MPV_END_FILE_REASON_EOF && keep_ && keep_()) {
                reconnect_at_ = clock::now() + kReconnectPause;
                reconnect_generation_ = generation_;
            }
            // Counted before the end is published, so a caller of wait_done sees both.
            count(finished_);
            ended_entry_ = std::max(
                ended_entry_, static_cast<uint64_t>(std::max<int64_t>(end->playlist_entry_id, 0)));
            done_cv_.notify_all();
        }
        std::lock_guard<std::mutex> g(m_);
        if (reconnect_at_ && clock::now() >= *reconnect_at_) {
            reconnect_at_.reset();
            if (reconnect_generation_ == generation_ && keep_ && keep_())
                load_locked();
        }
    }
}
