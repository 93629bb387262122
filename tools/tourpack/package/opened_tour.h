// A tour executable read with the player's own reader, for the tools: the
// tour model, the skin and language files the reader wrote (deleted again when
// this object goes), and the scene payloads extracted as the player extracts
// them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package/tour_loader.h"

namespace tourpack {

class OpenedTour {
  public:
    // Null, with `error` saying why, when the file is no readable tour.
    static std::unique_ptr<OpenedTour> open(const std::string& exePath, std::string& error);
    ~OpenedTour();
    OpenedTour(const OpenedTour&) = delete;
    OpenedTour& operator=(const OpenedTour&) = delete;

    const std::string& path() const { return path_; }
    std::int64_t fileSize() const { return fileSize_; }
    std::int32_t recordStreamOffset() const { return recordStreamOffset_; }
    const package::Tour& tour() const { return *tour_; }
    const package::TourLoader& loader() const { return loader_; }
    // The code page the tour's texts are stored in (Windows-1252 when the
    // tour does not say).
    int textCodePage() const { return textCodePage_; }
    // A text of the tour, in UTF-8.
    std::string text(const std::string& stored) const;

    // The decrypted image / the sound of the scene at `position` (1-based),
    // extracted through the scene's own load. False, with `error`, when the
    // extraction delivers nothing.
    bool sceneImage(std::int32_t position, std::vector<std::uint8_t>& bytes,
                    std::string& error) const;
    bool sceneSound(std::int32_t position, std::vector<std::uint8_t>& bytes,
                    std::string& error) const;
    // Raw bytes of the executable (the info picture, the player image).
    bool readRange(std::int64_t offset, std::int64_t length,
                   std::vector<std::uint8_t>& bytes) const;
    // The bytes of one of the files the reader wrote.
    static bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes);

  private:
    OpenedTour() = default;

    std::string path_;
    std::int64_t fileSize_ = 0;
    std::int32_t recordStreamOffset_ = 0;
    int textCodePage_ = 1252;
    package::TourLoader loader_;
    std::unique_ptr<package::Tour> tour_;
};

}  // namespace tourpack
