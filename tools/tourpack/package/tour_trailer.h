// A tour executable ends with the record stream's offset and this marker; a
// player image that already ends with it carries a tour.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace tourpack {

inline constexpr char trailerMarker[] = "CAFEBABE";
inline constexpr std::streamsize trailerMarkerSize = sizeof trailerMarker - 1;

inline bool endsWithTrailer(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(-trailerMarkerSize, std::ios::end);
    char tail[trailerMarkerSize] = {};
    in.read(tail, trailerMarkerSize);
    return in && std::string(tail, trailerMarkerSize) == trailerMarker;
}

}  // namespace tourpack
