// Tours for the scene media manager's tests, packed by tourpack and read
// back by the player's package reader.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "package/tour.h"
#include "scratch_files.h"

namespace test_support {

struct SceneSource {
    std::string image;                // a picture file
    std::vector<std::uint8_t> sound;  // empty: the scene has no sound
};

class TestTour {
  public:
    // Whether the tour keeps the previews tourpack stores, or reads as one
    // from a writer that stores none.
    enum class Previews { stored, none };
    explicit TestTour(const std::vector<SceneSource>& scenes, Previews previews = Previews::stored);
    ~TestTour();
    TestTour(const TestTour&) = delete;
    TestTour& operator=(const TestTour&) = delete;

    package::Tour& tour() { return *tour_; }
    package::Scene& scene(std::int32_t position) { return *tour_->scene(position); }
    // The tour sound's temporary file ("QRZ"), which the manager's handle deletes.
    std::string backgroundSoundPath() const { return tour_->backgroundSound().path(); }

  private:
    TempFolder workFolder_;
    std::string exePath_;
    std::unique_ptr<package::Tour> tour_;
};

// Some bytes standing for a scene's sound.
std::vector<std::uint8_t> soundBytes(std::uint8_t seed, std::size_t size = 4000);

// Names of the "QRX" and "QRZ" files in the temporary folder.
std::set<std::string> temporaryMediaFiles();

}  // namespace test_support
