// Helpers for the tests of the language modules and the skin: decoding
// picture data with the platform picture service, reading pixels back,
// capturing windows and writing BMP files as test artefacts.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumivue::testing {

// Keeps a library loaded for the lifetime of the object.
class LoadedModule {
  public:
    explicit LoadedModule(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
    ~LoadedModule() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    HMODULE get() const { return module_; }

  private:
    HMODULE module_;
};

// Component library for the calling thread.
class ComApartment {
  public:
    ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment() {
        if (initialised_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_;
};

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

struct IPictureRelease {
    void operator()(IPicture* picture) const { picture->Release(); }
};
using PicturePtr = std::unique_ptr<IPicture, IPictureRelease>;

// Decodes bytes with OleLoadPicture, as the player does; null when it fails.
PicturePtr decodePicture(const void* data, size_t size);
// Decodes a resource of the custom type "gif" from a module.
PicturePtr decodeResourcePicture(HMODULE module, int id);
// Decodes a file.
PicturePtr decodePictureFile(const std::string& path);

// The bitmap of a decoded picture, read back as pixels.
Pixels picturePixels(IPicture* picture);
Pixels bitmapPixels(HBITMAP bitmap);

// Grabs what the screen shows of a window (frame included).
Pixels captureWindow(HWND window);

// Writes pixels as a 24-bit BMP; false when the file cannot be written.
bool writeBmp(const std::string& path, const Pixels& pixels);

// Runs the window messages that are waiting, for about the given time.
void pumpMessages(DWORD milliseconds);

}  // namespace lumivue::testing
