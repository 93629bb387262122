// Reads back what a test program played: with-sound-sink.sh makes ALSA's
// default device a raw file (16-bit mono at 16000 Hz) and names it in
// LUMIVUE_SOUND_SINK. The device is fed with silence between the chunks of
// sound while a stream runs, so the file is no timeline: what counts is how
// much sound it holds, how loud, and what was written after a mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

struct SoundLevel {
    double audibleSeconds = 0;  // sound in the blocks that are not silent
    double rms = 0;             // RMS of the median such block, full scale 32768
};

class SoundSink {
  public:
    static constexpr int sampleRate = 16000;

    // The sink of this run, or nothing when the program was not started
    // through with-sound-sink.sh.
    static std::optional<SoundSink> fromEnvironment();

    const std::string& path() const { return path_; }
    // Samples written so far; a mark for `levelSince`.
    std::size_t sampleCount() const;
    // The sound written from the sample `begin` on (to `end` when given).
    SoundLevel levelSince(std::size_t begin, std::optional<std::size_t> end = {}) const;

  private:
    explicit SoundSink(std::string path) : path_(std::move(path)) {}
    std::vector<std::int16_t> read(std::size_t begin, std::size_t end) const;

    std::string path_;  // a Windows path to the Unix file
};

}  // namespace test_support
