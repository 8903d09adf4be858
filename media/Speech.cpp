#include "media/Speech.h"

#include <espeak-ng/speak_lib.h>
#include <mpv/stream_cb.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>

namespace {

constexpr const char* kProtocol = "twspeech";
constexpr const char* kDefaultVoice = "en";
// Beyond the phrase's own length, how long speak() waits for the player to report its end
// before giving up (a stuck output must not block a worker for ever).
constexpr std::chrono::milliseconds kPlaybackSlack{15000};

int collect_samples(short* wav, int count, espeak_EVENT* events) {
    if (wav && count > 0 && events && events->user_data) {
        auto* out = static_cast<std::vector<int16_t>*>(events->user_data);
        out->insert(out->end(), wav, wav + count);
    }
    return 0;  // go on synthesizing
}

void put_le(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// A mono 16-bit PCM WAV image of the samples.
std::string wav_image(const std::vector<int16_t>& samples, int rate) {
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
    std::string s;
    s.reserve(44 + data_bytes);
    s += "RIFF";
    put_le(s, 36 + data_bytes, 4);
    s += "WAVEfmt ";
    put_le(s, 16, 4);
    put_le(s, 1, 2);  // PCM
    put_le(s, 1, 2);  // mono
    put_le(s, static_cast<uint32_t>(rate), 4);
    put_le(s, static_cast<uint32_t>(rate) * 2, 4);
    put_le(s, 2, 2);
    put_le(s, 16, 2);
    s += "data";
    put_le(s, data_bytes, 4);
    for (int16_t v : samples)
        put_le(s, static_cast<uint16_t>(v), 2);
    return s;
}

struct PhraseReader {
    std::shared_ptr<const std::string> data;
    uint64_t pos = 0;
};

int64_t phrase_read(void* cookie, char* buf, uint64_t n) {
    auto* r = static_cast<PhraseReader*>(cookie);
    uint64_t left = r->data->size() - r->pos;
    uint64_t k = std::min(n, left);
    std::memcpy(buf, r->data->data() + r->pos, k);
    r->pos += k;
    return static_cast<int64_t>(k);
}

int64_t phrase_seek(void* cookie, int64_t offset) {
    auto* r = static_cast<PhraseReader*>(cookie);
    if (offset < 0 || static_cast<uint64_t>(offset) > r->data->size())
        return MPV_ERROR_GENERIC;
    r->pos = static_cast<uint64_t>(offset);
    return offset;
}

int64_t phrase_size(void* cookie) {
    return static_cast<int64_t>(static_cast<PhraseReader*>(cookie)->data->size());
}

void phrase_close(void* cookie) {
    delete static_cast<PhraseReader*>(cookie);
}

}  // namespace

Speech::Speech() = default;

Speech::~Speech() {
    if (!engine_.joinable())
        return;
    {
        std::lock_guard<std::mutex> g(jobs_m_);
        quit_ = true;
    }
    jobs_cv_.notify_all();
    engine_.join();
}

void Speech::engine_loop() {
    rate_ = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
    if (rate_ > 0) {
        espeak_SetSynthCallback(collect_samples);
        espeak_SetVoiceByName(kDefaultVoice);
    }
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> l(jobs_m_);
            jobs_cv_.wait(l, [this] { return quit_ || !jobs_.empty(); });
            if (jobs_.empty())
                break;  // quitting, and nothing left to do
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
    if (rate_ > 0)
        espeak_Terminate();
}

void Speech::run(std::function<void()> job) {
    std::call_once(started_, [this] { engine_ = std::thread([this] { engine_loop(); }); });
    std::promise<void> done;
    auto finished = done.get_future();
    {
        std::lock_guard<std::mutex> g(jobs_m_);
        if (quit_)
            return;  // shutting down: the engine is gone
        jobs_.push_back([&] {
            job();
            done.set_value();
        });
    }
    jobs_cv_.notify_one();
    finished.wait();
}

std::vector<std::string> Speech::voices() {
    std::vector<std::string> names;
    run([&] {
        if (rate_ <= 0)
            return;
        const espeak_VOICE** list = espeak_ListVoices(nullptr);
        for (int i = 0; list && list[i]; ++i)
            if (list[i]->name)
                names.emplace_back(list[i]->name);
    });
    return names;
}

bool Speech::set_voice(const std::string& name) {
    bool ok = false;
    run([&] { ok = rate_ > 0 && espeak_SetVoiceByName(name.c_str()) == EE_OK; });
    return ok;
}

std::string Speech::voice() {
    std::string name;
    run([&] {
        if (rate_ <= 0)
            return;
        espeak_VOICE* v = espeak_GetCurrentVoice();
        if (v && v->name)
            name = v->name;
    });
    return name;
}

int Speech::volume() const {
    std::lock_guard<std::mutex> g(volume_m_);
    return volume_;
}

void Speech::set_volume(int v) {
    adjust_volume([v](int) { return v; });
}

int Speech::adjust_volume(const std::function<int(int)>& step) {
    std::lock_guard<std::mutex> g(volume_m_);
    volume_ = std::clamp(step(volume_), 0, 100);
    return volume_;
}

int Speech::sample_rate() {
    int rate = 0;
    run([&] { rate = std::max(rate_, 0); });
    return rate;
}

std::vector<int16_t> Speech::synthesize(const std::string& text) {
    std::vector<int16_t> samples;
    const int vol = volume();
    run([&] {
        if (rate_ <= 0)
            return;
        espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     &samples);
    });
    // espeak's own volume is only roughly linear; scaling the samples makes 50 exactly half.
    if (vol != 100)
        for (int16_t& v : samples)
            v = static_cast<int16_t>(std::lround(v * (vol / 100.0)));
    return samples;
}

int Speech::open_phrase(void* self, char* /*uri*/, mpv_stream_cb_info* info) {
    auto* speech = static_cast<Speech*>(self);
    std::shared_ptr<const std::string> wav;
    {
        std::lock_guard<std::mutex> g(speech->phrase_m_);
        wav = speech->phrase_wav_;
    }
    if (!wav)
        return MPV_ERROR_LOADING_FAILED;
    info->cookie = new PhraseReader{std::move(wav), 0};
    info->read_fn = phrase_read;
    info->seek_fn = phrase_seek;
    info->size_fn = phrase_size;
    info->close_fn = phrase_close;
    return 0;
}

void Speech::speak(const std::string& text) {
    std::lock_guard<std::mutex> turn(speak_m_);
    std::vector<int16_t> samples = synthesize(text);
    if (samples.empty() || !player_.available())
        return;
    if (!protocol_added_)
        protocol_added_ = player_.add_protocol(kProtocol, this, open_phrase);
    if (!protocol_added_)
        return;
    const int rate = sample_rate();
    {
        std::lock_guard<std::mutex> g(phrase_m_);
        phrase_wav_ = std::make_shared<const std::string>(wav_image(samples, rate));
    }
    player_.play(std::string(kProtocol) + "://phrase");
    const auto length =
        std::chrono::milliseconds(samples.size() * 1000 / static_cast<size_t>(rate));
    player_.wait_done(length + kPlaybackSlack);
}
