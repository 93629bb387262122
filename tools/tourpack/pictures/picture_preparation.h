// Before a tour is built: every scene picture, the information picture and
// the notes' pictures are checked, and those the player cannot take as they
// are (PNG, TGA, TIFF, wider than the limit, a note's larger than its box)
// are converted to baseline JPEG in a scratch folder.
// The build then packs a copy of the manifest that names the converted files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "package/extension_block.h"
#include "pictures/panorama_shape.h"

namespace tourpack {

struct ConversionOptions {
    int quality = 90;                         // JPEG quality, 1 to 100
    std::int32_t maxWidth = defaultMaxWidth;  // wider pictures are reduced to this width
    // Told of each picture as soon as it is done: the field, the file, its
    // size and what was done with it.
    std::function<void(const std::string& line)> pictureDone;
};

class PreparedPictures {
  public:
    PreparedPictures();
    ~PreparedPictures();  // removes the converted files
    PreparedPictures(const PreparedPictures&) = delete;
    PreparedPictures& operator=(const PreparedPictures&) = delete;

    // The manifest to build: the original, with converted pictures swapped in.
    const Manifest& manifest() const { return manifest_; }
    // One line per converted picture, saying what was done.
    const std::vector<std::string>& notices() const { return notices_; }

    friend void preparePictures(const Manifest&, const ConversionOptions&, PreparedPictures&,
                                std::vector<std::string>& warnings);

  private:
    std::filesystem::path scratch_;
    Manifest manifest_;
    std::vector<std::string> notices_;
};

// The box a note's picture is reduced to fit.
inline constexpr PictureSize notePictureBox = {package::extension_block::notePictureWidth,
                                               package::extension_block::notePictureHeight};

// Fills `prepared`; warns about scene pictures that are not full-turn
// panoramas. Throws TourpackError naming the manifest field and the file for
// a picture that cannot be read; nothing is left behind then.
void preparePictures(const Manifest& manifest, const ConversionOptions& options,
                     PreparedPictures& prepared, std::vector<std::string>& warnings);

}  // namespace tourpack
