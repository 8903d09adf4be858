// The sound and radio players, heard through mpv's pcm output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "AudioCheck.h"
#include "MediaTestSupport.h"
#include "StreamServer.h"
#include "app/Console.h"
#include "media/SimRadio.h"
#include "media/SimSound.h"

using namespace std::chrono_literals;
using audio_check::read_wav;
using audio_check::wait_until;

namespace {

std::optional<audio_check::Pcm> output_of(const MpvPlayer& player) {
    return read_wav(player.pcm_file());
}

double seconds_written(const MpvPlayer& player) {
    auto pcm = output_of(player);
    return pcm ? pcm->seconds() : 0;
}

// Plays sound and waits until the player has finished it.
void play_through(SimSound& sound) {
    sound.Play();
    ASSERT_TRUE(SimSound::Player1.wait_done(10s));
}

// Plays sound with a fresh output file, so that what is measured is this sound's alone.
void start_fresh(SimSound& sound, const MpvPlayer& player) {
    if (!player.pcm_file().empty())
        std::remove(player.pcm_file().c_str());
    sound.Play();
}

// A named pipe that a thread fills with an endless 440 Hz WAV stream, paced at four times
// real time, until the reader closes it: a sound that goes on until the player lets go.
class EndlessTone {
public:
    EndlessTone() : path_(media_test::pcm_dir() + "/endless.wav") {
        unlink(path_.c_str());
        mkfifo(path_.c_str(), 0600);
        writer_ = std::thread([this] { write_all(); });
    }
    ~EndlessTone() {
        quit_ = true;
        int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK);  // frees a writer still waiting
        writer_.join();
        if (fd >= 0)
            close(fd);
        unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    bool reader_left() const { return reader_left_; }
    double seconds_sent() const { return samples_ / 22050.0; }

private:
    void write_all() {
        int fd = open(path_.c_str(), O_WRONLY);
        if (fd < 0)
            return;
        std::string head = "RIFF\xff\xff\xff\xffWAVEfmt ";
        auto put = [&head](uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                head.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        };
        put(16, 4), put(1, 2), put(1, 2), put(22050, 4), put(44100, 4), put(2, 2), put(16, 2);
        head += "data\xff\xff\xff\xff";
        bool ok = ::write(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size());
        const auto start = std::chrono::steady_clock::now();
        std::vector<int16_t> chunk(1024);
        while (ok && !quit_ && samples_ < 22050 * 60) {
            const double due =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() *
                    4 * 22050 +
                5000;
            if (samples_ >= due) {
                std::this_thread::sleep_for(5ms);
                continue;
            }
            for (auto& v : chunk)
                v = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * (samples_++) / 22050.0));
            const auto bytes = static_cast<ssize_t>(chunk.size() * 2);
            ok = ::write(fd, chunk.data(), static_cast<size_t>(bytes)) == bytes;
        }
        if (!ok && errno == EPIPE)
            reader_left_ = true;
        close(fd);
    }

    std::string path_;
    std::thread writer_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> reader_left_{false};
    std::atomic<size_t> samples_{0};
};

struct ExampleSound {
    const char* file;
    double seconds;  // as the encoder reports it
    double hz;       // the tone it starts with; 0 for speech
};

}  // namespace

class SoundPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { signal(SIGPIPE, SIG_IGN); }
    void SetUp() override { SimSound::setvolume(100); }
};

TEST_F(SoundPlayer, PlaysEachExampleFileWholeAndAudible) {
    const ExampleSound sounds[] = {
        {"sounds/chime_high.mp3", 0.63, 880},
        {"sounds/chime_two_tone.mp3", 0.81, 0},
        {"sounds/gear_down.mp3", 0.97, 0},
    };
    for (const auto& s : sounds) {
        SCOPED_TRACE(s.file);
        SimSound sound(media_test::example(s.file));
        play_through(sound);
        auto pcm = output_of(SimSound::Player1);
        ASSERT_TRUE(pcm);
        // mp3 framing adds a few tens of milliseconds of padding at most
        EXPECT_NEAR(pcm->seconds(), s.seconds, 0.12);
        EXPECT_GT(audio_check::rms(pcm->mono), 0.02);
        if (s.hz > 0) {
            EXPECT_NEAR(audio_check::tone_hz(*pcm), s.hz, s.hz * 0.03);
        }
    }
}

TEST_F(SoundPlayer, PlayingAnotherSoundDropsTheFirst) {
    EndlessTone endless;
    SimSound first(endless.path());
    SimSound second(media_test::example("sounds/chime_high.mp3"));
    start_fresh(first, SimSound::Player1);
    ASSERT_TRUE(wait_until([] { return seconds_written(SimSound::Player1) > 0.5; }));
    play_through(second);
    // The endless source was let go, and what came last is the chime, whole: the output may
    // go on in the same file when the two sources share a format.
    EXPECT_TRUE(wait_until([&] { return endless.reader_left(); }));
    auto pcm = output_of(SimSound::Player1);
    ASSERT_TRUE(pcm);
    EXPECT_NEAR(audio_check::tail_hz(*pcm, 0.4), 880, 880 * 0.03);
    EXPECT_LT(pcm->seconds(), endless.seconds_sent() + 1.0);
}

TEST_F(SoundPlayer, StopSilencesAPlayingSound) {
    SimSound::Stop();  // with nothing playing: no effect
    EndlessTone endless;
    SimSound sound(endless.path());
    start_fresh(sound, SimSound::Player1);
    ASSERT_TRUE(wait_until([] { return seconds_written(SimSound::Player1) > 0.5; }));
    SimSound::Stop();
    ASSERT_TRUE(SimSound::Player1.wait_done(10s));
    EXPECT_TRUE(wait_until([&] { return endless.reader_left(); }));
    const double heard = seconds_written(SimSound::Player1);
    EXPECT_GT(heard, 0.5);
    EXPECT_LT(heard, 30.0);  // the source would have gone on for a minute
    SimSound::Stop();
}

TEST_F(SoundPlayer, AmplitudeFollowsTheVolume) {
    SimSound sound(media_test::example("sounds/chime_high.mp3"));
    play_through(sound);
    const double full = audio_check::peak(output_of(SimSound::Player1)->mono);
    ASSERT_GT(full, 0.1);
    for (int volume : {75, 50, 25, 13}) {
        SCOPED_TRACE(volume);
        SimSound::setvolume(volume);
        play_through(sound);
        const double p = audio_check::peak(output_of(SimSound::Player1)->mono);
        EXPECT_NEAR(p / full, volume / 100.0, 0.02);
    }
}

TEST_F(SoundPlayer, PlayingTheSameSoundAgainStartsOver) {
    SimSound sound(media_test::example("sounds/gear_down.mp3"));
    play_through(sound);
    play_through(sound);
    EXPECT_NEAR(seconds_written(SimSound::Player1), 0.97, 0.12);
}

namespace {

struct VolumeSteps {
    const char* what;
    int start;
    void (*step)();
    std::vector<int> expected;  // after each step
};

}  // namespace

// A sound that is no audio is the player's affair: it ends without a word beyond the firing
// line, nothing waits on it, and the next sound plays as usual.
TEST_F(SoundPlayer, AFileThatIsNoAudioEndsQuietlyAndTheNextSoundPlays) {
    const std::string dir = media_test::pcm_dir() + "/not_audio";
    std::filesystem::create_directories(dir);
    auto file = [&](const char* name, std::string_view bytes) {
        std::ofstream(dir + "/" + name, std::ios::binary).write(bytes.data(), bytes.size());
        return dir + "/" + name;
    };
    const std::string paths[] = {
        file("text.mp3", "This is a shopping list, not a sound.\n"), file("empty.wav", ""),
        file("truncated.wav", "RIFF\x24\x00\x00\x00WAVEfmt "), dir + "/absent.mp3", dir};
    SimSound chime(media_test::example("sounds/chime_high.mp3"));
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        std::vector<std::string> lines;
        {
            console::Capture capture([&](std::string_view l) { lines.emplace_back(l); });
            SimSound bad(path);
            lines.clear();
            bad.Play();
            EXPECT_TRUE(SimSound::Player1.wait_done(10s));
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind("Firing SimSound ", 0), 0u);
        play_through(chime);
        auto pcm = output_of(SimSound::Player1);
        ASSERT_TRUE(pcm);
        EXPECT_NEAR(audio_check::tail_hz(*pcm, 0.3), 880, 880 * 0.03);
    }
}

TEST(MediaVolume, StepTables) {
    auto sound_volume = [] { return SimSound::Player1.volume(); };
    auto radio_volume = [] { return SimRadio::getvolume(); };
    const VolumeSteps sound[] = {
        {"sound down from 100", 100, SimSound::VolumeDown, {50, 25, 13, 7, 4, 2, 1, 1}},
        {"sound down from 0", 0, SimSound::VolumeDown, {0}},
        {"sound up from 90", 90, SimSound::VolumeUp, {95, 95}},
        {"sound up from 93", 93, SimSound::VolumeUp, {98, 98}},
        {"sound up from 0", 0, SimSound::VolumeUp, {5, 10}},
    };
    for (const auto& t : sound) {
        SCOPED_TRACE(t.what);
        SimSound::setvolume(t.start);
        std::vector<int> got;
        for (size_t i = 0; i < t.expected.size(); ++i)
            t.step(), got.push_back(sound_volume());
        EXPECT_EQ(got, t.expected);
    }
    std::vector<int> down_from_100;
    for (int v = 95; v >= 5; v -= 5)
        down_from_100.push_back(v);
    down_from_100.push_back(5);
    const VolumeSteps radio[] = {
        {"radio down from 100", 100, SimRadio::VolumeDown, down_from_100},
        {"radio down from 7", 7, SimRadio::VolumeDown, {2, 2}},
        {"radio up from 90", 90, SimRadio::VolumeUp, {95, 95}},
        {"radio up from 93", 93, SimRadio::VolumeUp, {98, 98}},
    };
    for (const auto& t : radio) {
        SCOPED_TRACE(t.what);
        SimRadio::setvolume(t.start);
        std::vector<int> got;
        for (size_t i = 0; i < t.expected.size(); ++i)
            t.step(), got.push_back(radio_volume());
        EXPECT_EQ(got, t.expected);
    }
    SimSound::setvolume(100);
    SimRadio::setvolume(100);
    // The two players keep volumes of their own.
    SimSound::setvolume(25);
    EXPECT_EQ(SimRadio::getvolume(), 100);
    SimSound::setvolume(100);
}

class RadioPlayer : public ::testing::Test {
protected:
    void TearDown() override {
        SimRadio::Stop();
        SimRadio::clear();
    }
};

TEST_F(RadioPlayer, PlaysSwitchesAndStopsAStation) {
    StreamServer server;
    SimRadio a("A", server.url("/440"));
    SimRadio b("B", server.url("/880"));
    a.Play();
    EXPECT_TRUE(SimRadio::playing);
    ASSERT_TRUE(wait_until([&] { return server.requests().size() == 1; }));
    ASSERT_TRUE(wait_until([&] {
        auto pcm = output_of(SimRadio::Player1);
        return pcm && pcm->seconds() > 1.0;
    }));
    EXPECT_NEAR(audio_check::tone_hz(*output_of(SimRadio::Player1)), 440, 440 * 0.03);

    b.Play();
    EXPECT_TRUE(wait_until([&] { return server.closed_by_client() >= 1; }));  // A let go
    ASSERT_TRUE(wait_until([&] {
        auto pcm = output_of(SimRadio::Player1);
        // The output may go on in the same file: the new station is what comes last.
        return pcm && pcm->seconds() > 0.5 && std::abs(audio_check::tail_hz(*pcm, 0.25) - 880) < 20;
    }));
    EXPECT_EQ(server.requests(), (std::vector<std::string>{"/440", "/880"}));

    SimRadio::Stop();
    EXPECT_FALSE(SimRadio::playing);
    EXPECT_TRUE(wait_until([&] { return server.open_connections() == 0; }));
    SimRadio::Stop();  // again, with nothing playing
    EXPECT_FALSE(SimRadio::playing);
}

TEST_F(RadioPlayer, ReconnectsWhenTheServerDropsTheStream) {
    StreamServer server(/*drop_after_seconds=*/1.0);
    SimRadio a("A", server.url("/440"));
    a.Play();
    ASSERT_TRUE(wait_until([&] { return server.requests().size() >= 3; }, 15s));
    for (const auto& path : server.requests())
        EXPECT_EQ(path, "/440");
    SimRadio::Stop();
    EXPECT_TRUE(wait_until([&] { return server.open_connections() == 0; }));
}

TEST_F(RadioPlayer, PlayingIsWhatWasAskedForEvenIfTheStreamFails) {
    SimRadio nowhere("Nowhere", "http://127.0.0.1:1/refused");
    nowhere.Play();
    EXPECT_TRUE(SimRadio::playing);
    EXPECT_TRUE(SimRadio::Player1.wait_done(10s));
    EXPECT_TRUE(SimRadio::playing);
}

// An address that answers with a web page, or names a text file, is no station: the player
// gives up on it without asking again and again, and the next station plays.
TEST_F(RadioPlayer, AnAddressThatIsNoStreamEndsWithoutRetriesAndTheNextStationPlays) {
    StreamServer server;
    const std::string text = media_test::pcm_dir() + "/station.txt";
    std::ofstream(text) << "http://example.invalid/stream\n";
    for (const std::string& url : {server.url("/page"), text}) {
        SCOPED_TRACE(url);
        const size_t asked_before = server.requests().size();
        SimRadio page("Page", url);
        page.Play();
        EXPECT_TRUE(SimRadio::Player1.wait_done(10s));
        std::this_thread::sleep_for(2500ms);  // more than two reconnect pauses
        EXPECT_LE(server.requests().size(), asked_before + 1);
        EXPECT_TRUE(SimRadio::playing);  // what was asked for, whatever the player made of it
    }
    SimRadio tone("Tone", server.url("/880"));
    tone.Play();
    ASSERT_TRUE(wait_until([&] {
        auto pcm = output_of(SimRadio::Player1);
        return pcm && pcm->seconds() > 0.5 && std::abs(audio_check::tail_hz(*pcm, 0.25) - 880) < 20;
    }));
}

TEST(DefaultOutput, PlaybackCompletesWhetherOrNotThereIsASoundCard) {
    // A player made while nothing is routed uses the system's output; on a machine without a
    // sound card it must fall back to a silent one and still play the file through.
    MpvPlayer::route_output_to_pcm("");
    MpvPlayer player("default-output");
    ASSERT_TRUE(player.available());
    MpvPlayer::route_output_to_pcm(media_test::pcm_dir());
    EXPECT_TRUE(player.pcm_file().empty());
    const auto start = std::chrono::steady_clock::now();
    player.play(media_test::example("sounds/gear_down.mp3"));
    ASSERT_TRUE(player.wait_done(10s));
    EXPECT_EQ(player.finished(), 1u);
    // A silent output still plays in real time (less what it buffers ahead), while a failed
    // output would end the 0.97 s sound at once.
    EXPECT_GT(std::chrono::steady_clock::now() - start, 300ms);
}
