// The voice: espeak-ng synthesis measured as samples, and phrases played through the speech
// player's pcm output.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "AudioCheck.h"
#include "MediaTestSupport.h"
#include "app/Console.h"
#include "media/SimSpeak.h"

using namespace std::chrono_literals;

namespace {

Speech& synth() {
    return SimSpeak::speechSynthesizer;
}

double rms_of(const std::vector<int16_t>& s) {
    double sum = 0;
    for (int16_t v : s)
        sum += static_cast<double>(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / static_cast<double>(s.size())) / 32768.0;
}

double peak_of(const std::vector<int16_t>& s) {
    int p = 0;
    for (int16_t v : s)
        p = std::max(p, std::abs(static_cast<int>(v)));
    return p / 32768.0;
}

class Voice : public ::testing::Test {
protected:
    void TearDown() override {
        SimSpeak::Volume_100();
        SimSpeak::change_voice("en");
        SimSpeak::clear();
    }
};

}  // namespace

TEST_F(Voice, APhraseSynthesizesToSamplesOfPlausibleLength) {
    const int rate = synth().sample_rate();
    ASSERT_GT(rate, 0);
    const struct {
        const char* text;
        double min_s, max_s;
    } cases[] = {
        {"gear down", 0.3, 2.0},
        {"autopilot disconnected, check altitude", 1.5, 6.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto samples = synth().synthesize(c.text);
        const double seconds = static_cast<double>(samples.size()) / rate;
        EXPECT_GT(seconds, c.min_s);
        EXPECT_LT(seconds, c.max_s);
        EXPECT_GT(peak_of(samples), 0.05);
    }
}

TEST_F(Voice, VolumeScalesTheAmplitudeLinearly) {
    // espeak varies its output a little from call to call, so loudness is compared as RMS.
    SimSpeak::Volume_100();
    const double full = rms_of(synth().synthesize("gear down"));
    const struct {
        void (*preset)();
        double ratio;
    } cases[] = {
        {SimSpeak::Volume_75, 0.75}, {SimSpeak::Volume_50, 0.5}, {SimSpeak::Volume_25, 0.25}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ratio);
        c.preset();
        EXPECT_NEAR(rms_of(synth().synthesize("gear down")) / full, c.ratio, 0.02);
    }
}

TEST_F(Voice, VolumeStepTables) {
    struct Steps {
        const char* what;
        void (*start)();
        void (*step)();
        std::vector<int> expected;
    };
    const Steps cases[] = {
        {"down from 100",
         SimSpeak::Volume_100,
         SimSpeak::Volume_Down,
         {90, 80, 70, 60, 50, 40, 30, 20, 10, 10}},
        {"up from 25", SimSpeak::Volume_25, SimSpeak::Volume_Up, {35, 45, 55, 65, 75, 85, 95, 95}},
        {"up from 50", SimSpeak::Volume_50, SimSpeak::Volume_Up, {60, 70, 80, 90, 90}},
        {"down from 25", SimSpeak::Volume_25, SimSpeak::Volume_Down, {15, 5, 5}},
        {"up from 100", SimSpeak::Volume_100, SimSpeak::Volume_Up, {100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.start();
        std::vector<int> got, level;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            c.step();
            got.push_back(synth().volume());
            level.push_back(SimSpeak::volume_level);
        }
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(level, c.expected);
    }
}

TEST_F(Voice, SynthesisFromManyThreadsAtOnceGivesTheSameSamples) {
    const auto expected = synth().synthesize("flaps one");
    ASSERT_FALSE(expected.empty());
    std::vector<std::vector<int16_t>> got(4);
    std::vector<std::thread> threads;
    for (auto& g : got)
        threads.emplace_back([&g] {
            for (int i = 0; i < 3; ++i)
                g = synth().synthesize("flaps one");
        });
    for (auto& t : threads)
        t.join();
    // espeak varies a phrase by a few samples from call to call; interleaved calls into it
    // give clearly wrong lengths or worse.
    for (const auto& g : got) {
        EXPECT_NEAR(static_cast<double>(g.size()), static_cast<double>(expected.size()),
                    expected.size() * 0.01);
        EXPECT_NEAR(rms_of(g), rms_of(expected), rms_of(expected) * 0.03);
    }
}

TEST_F(Voice, SpeakPlaysThePhraseAndReturnsWhenItIsOver) {
    console::set_stdout_enabled(false);
    std::vector<std::string> lines;
    std::mutex m;
    console::Capture capture([&](std::string_view s) {
        std::lock_guard<std::mutex> g(m);
        lines.emplace_back(s);
    });
    SimSpeak phrase("gear down");
    const auto samples = synth().synthesize("gear down");
    const uint64_t before = synth().player().finished();
    phrase.speak();
    EXPECT_GT(synth().player().finished(), before);
    auto pcm = audio_check::read_wav(synth().player().pcm_file());
    ASSERT_TRUE(pcm);
    EXPECT_NEAR(pcm->seconds(), static_cast<double>(samples.size()) / synth().sample_rate(), 0.05);
    EXPECT_GT(audio_check::rms(pcm->mono), 0.01);
    SimSpeak empty("");
    empty.speak();  // passed on unchanged; nothing to hear
    console::set_stdout_enabled(true);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(lines, (std::vector<std::string>{"Firing SimVoice 0 --> gear down",
                                               "Firing SimVoice 1 --> "}));
}

TEST_F(Voice, TwoCallersEachReturnAfterTheirOwnPhrase) {
    SimSpeak a("alpha bravo charlie");
    SimSpeak b("delta");
    Speech& s = synth();
    const uint64_t base = s.player().finished();
    std::atomic<int> returned{0};
    std::atomic<bool> early{false};
    auto speaker = [&](SimSpeak& p) {
        for (int i = 0; i < 3; ++i) {
            p.speak();
            // every phrase that has returned so far, this one included, has ended
            const int done = ++returned;
            if (s.player().finished() - base < static_cast<uint64_t>(done))
                early = true;
        }
    };
    std::thread t1(speaker, std::ref(a));
    std::thread t2(speaker, std::ref(b));
    t1.join();
    t2.join();
    EXPECT_FALSE(early);
    EXPECT_EQ(s.player().finished() - base, 6u);
}

TEST_F(Voice, VoicesAreListedAndSelectable) {
    auto voices = SimSpeak::get_voices();
    ASSERT_FALSE(voices.empty());
    EXPECT_EQ(SimSpeak::voiceCollection, voices);
    EXPECT_TRUE(std::find(voices.begin(), voices.end(), synth().voice()) != voices.end());
    EXPECT_NE(synth().voice().find("English"), std::string::npos);  // the default voice
    for (const std::string& name : {voices.front(), voices.back()}) {
        SCOPED_TRACE(name);
        SimSpeak::change_voice(name);
        EXPECT_EQ(synth().voice(), name);
    }
}

TEST_F(Voice, AnUnknownVoiceLeavesTheVoiceAndDoesNotHang) {
    SimSpeak::change_voice("en");
    const std::string before = synth().voice();
    SimSpeak::change_voice("no-such-voice");
    EXPECT_EQ(synth().voice(), before);
    SimSpeak phrase("still speaking");
    phrase.speak();
    EXPECT_FALSE(synth().synthesize("still speaking").empty());
}
