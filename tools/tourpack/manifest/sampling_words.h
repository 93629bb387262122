// The words a manifest, inspect and render use for how the player's view
// reads a panorama: the extension block's own ("smooth", "nearest").
#pragma once

#include <optional>
#include <string>

#include "package/extension_block.h"
#include "package/tour.h"

namespace tourpack {

inline const char* samplingWord(package::ViewSampling sampling) {
    using namespace package::extension_block;
    return sampling == package::ViewSampling::nearest ? nearestSampling : smoothSampling;
}

// Empty for a word that names no sampling.
inline std::optional<package::ViewSampling> samplingNamed(const std::string& word) {
    using namespace package::extension_block;
    if (word == smoothSampling) {
        return package::ViewSampling::smooth;
    }
    if (word == nearestSampling) {
        return package::ViewSampling::nearest;
    }
    return std::nullopt;
}

// "\"smooth\" or \"nearest\"", for messages.
inline std::string samplingChoices() {
    using namespace package::extension_block;
    return std::string("\"") + smoothSampling + "\" or \"" + nearestSampling + "\"";
}

}  // namespace tourpack
