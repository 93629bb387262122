// The tour's 26 skin images and the fixed layout of the toolbar and the window
// bands. The reader stores the paths of the extracted images here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct SkinRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

class SkinSet {
  public:
    static constexpr int imageCount = 26;
    static constexpr int controlCount = 11;

    const char* imagePath(int slot) const {
        return imagePaths_[static_cast<std::size_t>(slot)].c_str();
    }
    void setImagePath(int slot, const char* path) {
        imagePaths_[static_cast<std::size_t>(slot)] = path != nullptr ? path : "";
    }

    // Layout, per view size 1, 2, 3 (index 0, 1, 2).
    static constexpr std::array<SkinRect, 3> bandRects{
        {{0, 0, 320, 36}, {0, 0, 400, 36}, {0, 0, 480, 36}}};
    static constexpr std::array<SkinRect, 3> panelRects{
        {{0, 0, 320, 102}, {0, 0, 400, 102}, {0, 0, 480, 102}}};
    static constexpr SkinRect fullScreenToolbarRect{0, 0, 480, 72};
    static constexpr SkinRect padRect{18, 16, 43, 43};
    static constexpr std::array<SkinRect, controlCount> controlRects{{
        {18, 29, 17, 17},   // left
        {44, 29, 17, 17},   // right
        {31, 16, 17, 17},   // up
        {32, 42, 17, 17},   // down
        {32, 29, 17, 17},   // stop
        {86, 28, 31, 31},   // previous scene
        {124, 28, 31, 31},  // next scene
        {162, 28, 31, 31},  // reset view
        {200, 28, 31, 31},  // auto-rotate
        {238, 28, 31, 31},  // play tour
        {276, 28, 31, 31},  // full screen
    }};

  private:
    std::array<std::string, imageCount> imagePaths_;
};
