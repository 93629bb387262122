#include "sound_sink.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace test_support {

namespace {

// 10 ms blocks; a block is sound when its RMS is above -40 dB of full scale.
constexpr std::size_t blockSamples = SoundSink::sampleRate / 100;
constexpr double audibleRms = 328.0;

}  // namespace

std::optional<SoundSink> SoundSink::fromEnvironment() {
    const char* unixPath = std::getenv("LUMIVUE_SOUND_SINK");
    if (unixPath == nullptr || unixPath[0] != '/') {
        return std::nullopt;
    }
    // Wine maps the Unix root under drive Z:.
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return SoundSink(path);
}

std::size_t SoundSink::sampleCount() const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return static_cast<std::size_t>(data.nFileSizeLow) / sizeof(std::int16_t);
}

std::vector<std::int16_t> SoundSink::read(std::size_t begin, std::size_t end) const {
    std::vector<std::int16_t> samples;
    if (end <= begin) {
        return samples;
    }
    std::ifstream file(path_, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(begin * sizeof(std::int16_t)));
    samples.resize(end - begin);
    file.read(reinterpret_cast<char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * sizeof(std::int16_t)));
    samples.resize(static_cast<std::size_t>(file.gcount()) / sizeof(std::int16_t));
    return samples;
}

SoundLevel SoundSink::levelSince(std::size_t begin, std::optional<std::size_t> end) const {
    const std::vector<std::int16_t> samples = read(begin, end.value_or(sampleCount()));
    std::vector<double> audibleBlocks;
    for (std::size_t start = 0; start + blockSamples <= samples.size(); start += blockSamples) {
        double energy = 0;
        for (std::size_t i = start; i < start + blockSamples; ++i) {
            energy += static_cast<double>(samples[i]) * samples[i];
        }
        const double rms = std::sqrt(energy / blockSamples);
        if (rms > audibleRms) {
            audibleBlocks.push_back(rms);
        }
    }
    SoundLevel level;
    level.audibleSeconds = static_cast<double>(audibleBlocks.size() * blockSamples) / sampleRate;
    if (!audibleBlocks.empty()) {
        // The median block: the chunks of sound start and end inside blocks,
        // and those few partial blocks must not pull the loudness down.
        auto middle = audibleBlocks.begin() + static_cast<std::ptrdiff_t>(audibleBlocks.size() / 2);
        std::nth_element(audibleBlocks.begin(), middle, audibleBlocks.end());
        level.rms = *middle;
    }
    return level;
}

}  // namespace test_support
