// What a build requires of each file its manifest names: that it exists and
// reads, and is of a kind the player takes. A failed requirement throws a
// TourpackError naming the manifest's field and the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "pictures/panorama_shape.h"
#include "pictures/picture_format.h"

namespace tourpack {

// How the build's checks take pictures: as the player takes them (JPEG, GIF,
// BMP), or also those the build converts first (PNG, TGA, TIFF).
enum class PictureRule { asThePlayerTakesThem, convertibleToo };

[[noreturn]] void failOnField(const Manifest& manifest, const std::string& field,
                              const std::string& what);

// The size of a file that exists and reads.
std::int64_t requiredFileSize(const Manifest& manifest, const std::string& field,
                              const std::filesystem::path& file);

// What the file's first bytes say it is.
FileKind fileKindOf(const std::filesystem::path& file);

void requirePicture(const Manifest& manifest, const std::string& field,
                    const std::filesystem::path& file,
                    PictureRule rule = PictureRule::asThePlayerTakesThem);

// A sound must exist; one the player cannot play leaves its scene silent,
// which the author hears of.
void requireSound(const Manifest& manifest, const std::string& field,
                  const std::filesystem::path& file, std::vector<std::string>& warnings);

// A language module the player would refuse at start ("Failed to load
// language") is refused here, naming all that it lacks.
void requireLanguageResources(const Manifest& manifest, const std::filesystem::path& file);

// A picture larger than `box` is refused, naming both sizes.
void requireWithin(const Manifest& manifest, const std::string& field,
                   const std::filesystem::path& file, PictureSize box);

// A picture larger than the place the player draws it in spills over what
// lies beside it: said, since the tour still works.
void warnIfLargerThanItsPlace(const Manifest& manifest, const std::string& field,
                              const std::filesystem::path& file, PictureSize place,
                              const std::string& what, std::vector<std::string>& warnings);

}  // namespace tourpack
