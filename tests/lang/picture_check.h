// Helpers for the tests of the language modules and the skin: decoding
// pictures with the player's own decoder, reading pixels back, capturing
// windows and writing BMP files as test artefacts.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com_apartment.h"
#include "platform/com_ref.h"

namespace test_support {

// 32-bit pixels read back from a decoded picture, top row first, each as
// 0x00RRGGBB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;

    std::uint32_t at(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
    static int red(std::uint32_t p) { return (p >> 16) & 0xFF; }
    static int green(std::uint32_t p) { return (p >> 8) & 0xFF; }
    static int blue(std::uint32_t p) { return p & 0xFF; }
};

// Decodes a resource of the custom type "gif" from a module with the player's
// decoder; empty when it fails.
platform::ComRef<IPicture> decodeResourcePicture(HMODULE module, int id);
// Decodes a file the same way.
platform::ComRef<IPicture> decodePictureFile(const std::string& path);

// The bitmap of a decoded picture, read back as pixels.
Pixels picturePixels(IPicture* picture);
Pixels bitmapPixels(HBITMAP bitmap);

// Grabs what the screen shows of a window (frame included).
Pixels captureWindow(HWND window);

// Writes pixels as a 24-bit BMP; false when the file cannot be written.
bool writeBmp(const std::string& path, const Pixels& pixels);

}  // namespace test_support
