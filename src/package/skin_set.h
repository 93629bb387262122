// The tour's 26 skin images and the fixed layout of the toolbar and the window
// bands. The reader stores the paths of the extracted images here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The platform's bitmap handle, named without its headers: the layout part of
// this class builds everywhere, the conversion into bitmaps only on Windows.
struct HBITMAP__;

namespace package {

using SkinBitmap = HBITMAP__*;

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

    SkinSet() = default;
    ~SkinSet() { releaseBitmaps(); }
    SkinSet(const SkinSet&) = delete;
    SkinSet& operator=(const SkinSet&) = delete;

    // Windows only: decodes the 26 images into bitmaps (natural size), then
    // deletes their files. An image that is missing or does not decode leaves
    // its slot empty, and nothing is drawn for it.
    void loadBitmaps();
    // Windows only: replaces every bitmap by one `factor` times as wide and
    // high, each pixel a square (for high-DPI screens). A bitmap that cannot
    // be enlarged keeps its natural size.
    void enlargeBitmaps(int factor);

    // The look of control k while hovered (slot 2k) and while pressed (2k + 1).
    SkinBitmap normalImage(int control) const {
        return normalImages_[static_cast<std::size_t>(control)];
    }
    SkinBitmap activeImage(int control) const {
        return activeImages_[static_cast<std::size_t>(control)];
    }
    SkinBitmap extraImage22() const { return extraImage22_; }  // direction pad
    SkinBitmap extraImage23() const { return extraImage23_; }  // window skin
    SkinBitmap extraImage24() const { return extraImage24_; }  // toolbar
    SkinBitmap extraImage25() const { return extraImage25_; }  // full-screen toolbar

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
    // Deletes every bitmap made so far; set by loadBitmaps, which knows how.
    void releaseBitmaps() {
        if (deleteBitmap_ == nullptr) {
            return;
        }
        for (SkinBitmap* slot : bitmapSlots()) {
            if (*slot != nullptr) {
                deleteBitmap_(*slot);
                *slot = nullptr;
            }
        }
    }
    std::array<SkinBitmap*, imageCount> bitmapSlots();

    std::array<std::string, imageCount> imagePaths_;
    std::array<SkinBitmap, controlCount> normalImages_{};
    std::array<SkinBitmap, controlCount> activeImages_{};
    SkinBitmap extraImage23_ = nullptr;
    SkinBitmap extraImage24_ = nullptr;
    SkinBitmap extraImage25_ = nullptr;
    SkinBitmap extraImage22_ = nullptr;
    void (*deleteBitmap_)(SkinBitmap) = nullptr;
};

// The bitmap of every slot, in slot order (0 to 21 the controls' looks,
// alternating hovered and pressed; then 22 to 25).
inline std::array<SkinBitmap*, SkinSet::imageCount> SkinSet::bitmapSlots() {
    std::array<SkinBitmap*, imageCount> slots{};
    for (int control = 0; control < controlCount; ++control) {
        slots[static_cast<std::size_t>(2 * control)] =
            &normalImages_[static_cast<std::size_t>(control)];
        slots[static_cast<std::size_t>(2 * control + 1)] =
            &activeImages_[static_cast<std::size_t>(control)];
    }
    slots[22] = &extraImage22_;
    slots[23] = &extraImage23_;
    slots[24] = &extraImage24_;
    slots[25] = &extraImage25_;
    return slots;
}

}  // namespace package
