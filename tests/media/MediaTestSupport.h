#pragma once
// Shared set-up of the media tests: every player writes its decoded audio into pcm/ of the
// scratch directory, so the tests measure what would have reached the speakers.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "media/MpvPlayer.h"

namespace media_test {

inline std::string pcm_dir() {
    return (std::filesystem::current_path() / "pcm").string();
}

class PcmOutput : public ::testing::Environment {
public:
    void SetUp() override {
        std::filesystem::remove_all(pcm_dir());  // nothing left from an earlier run
        std::filesystem::create_directories(pcm_dir());
        MpvPlayer::route_output_to_pcm(pcm_dir());
    }
};

// Registers the environment once per test program, before any player is made.
inline const bool pcm_output_registered =
    (::testing::AddGlobalTestEnvironment(new PcmOutput), true);

inline std::string example(const std::string& relative) {
    return std::filesystem::absolute("examples/" + relative).string();
}

}  // namespace media_test
