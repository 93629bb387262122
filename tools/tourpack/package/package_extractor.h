// Takes a tour executable apart into a folder: a manifest ("tour.json"), the
// player image, every payload (scene images decrypted), the notes' pictures, the
// skin and the language module, so that building that manifest gives back the
// same bytes.
#pragma once

#include <filesystem>
#include <string>

namespace tourpack {

// Returns the manifest's path; throws TourpackError when the file is no
// readable tour or a payload cannot be extracted.
std::filesystem::path extractTour(const std::string& exePath, const std::filesystem::path& folder);

}  // namespace tourpack
