// The Windows half of the skin set: the 26 extracted images become bitmaps
// and their temporary files go.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "imaging/picture_loader.h"
#include "platform/files.h"
#include "package/skin_set.h"
#include "platform/bitmap_enlarging.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"

namespace {

// The Windows-free skin set frees its bitmaps through this function.
void deleteSkinBitmap(package::SkinBitmap bitmap) {
    platform::UniqueBitmap(bitmap).reset();
}

// Whether the picture service reads the file. A skin image that it does not
// read leaves its slot empty without asking the user anything: the skin is
// decoration, and the language module that words the question is not loaded
// yet.
bool decodes(const char* path) {
    std::ifstream file(platform::systemPath(path), std::ios::binary);
    if (!file) {
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    return !bytes.empty() && platform::decodePicture(bytes.data(), bytes.size());
}

}  // namespace

void package::SkinSet::loadBitmaps() {
    releaseBitmaps();
    deleteBitmap_ = deleteSkinBitmap;
    {
        imaging::PictureLoader loader;
        // Slot order: the looks of each control (hovered, pressed), then 22 to 25.
        const auto slots = bitmapSlots();
        for (int slot = 0; slot < imageCount; ++slot) {
            HBITMAP bitmap = nullptr;
            if (decodes(imagePath(slot)) && loader.loadFromFile(imagePath(slot))) {
                bitmap = loader.bitmap().bitmap.release();
            }
            *slots[static_cast<std::size_t>(slot)] = bitmap;
        }
    }
    for (int slot = 0; slot < imageCount; ++slot) {
        if (*imagePath(slot) != '\0') {
            platform::deleteFile(imagePath(slot));
        }
    }
}

void package::SkinSet::enlargeBitmaps(int factor) {
    if (factor <= 1) {
        return;
    }
    for (package::SkinBitmap* slot : bitmapSlots()) {
        platform::UniqueBitmap large = platform::enlargeBitmap(*slot, factor);
        if (large) {
            platform::UniqueBitmap natural(*slot);
            *slot = large.release();
        }
    }
}
