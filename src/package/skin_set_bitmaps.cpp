// The Windows half of the skin set: the 26 extracted images become bitmaps
// and their temporary files go.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "imaging/picture_loader.h"
#include "imaging/win32_handles.h"
#include "package/skin_set.h"

namespace {

void deleteSkinBitmap(SkinBitmap bitmap) {
    DeleteObject(bitmap);
}

// Whether the picture service reads the file. A skin image that it does not
// read leaves its slot empty without asking the user anything: the skin is
// decoration, and the language module that words the question is not loaded
// yet.
bool decodes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    if (bytes.empty()) {
        return false;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (block == nullptr) {
        return false;
    }
    if (void* copy = GlobalLock(block)) {
        std::memcpy(copy, bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    imaging::ComRef<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.receive()))) {
        GlobalFree(block);
        return false;
    }
    imaging::ComRef<IPicture> picture;
    return OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                          reinterpret_cast<void**>(picture.receive())) == S_OK;
}

}  // namespace

void SkinSet::loadBitmaps() {
    releaseBitmaps();
    deleteBitmap_ = deleteSkinBitmap;
    {
        PictureLoader loader;
        // Slot order: the looks of each control (hovered, pressed), then 22 to 25.
        const auto slots = bitmapSlots();
        for (int slot = 0; slot < imageCount; ++slot) {
            HBITMAP bitmap = nullptr;
            if (decodes(imagePath(slot)) && loader.LoadFromFile(imagePath(slot))) {
                void* bits = nullptr;
                BITMAPINFOHEADER header{};
                bitmap = loader.GetBitmap(&bits, &header);
            }
            *slots[static_cast<std::size_t>(slot)] = bitmap;
        }
    }
    for (int slot = 0; slot < imageCount; ++slot) {
        if (*imagePath(slot) != '\0') {
            DeleteFileA(imagePath(slot));
        }
    }
}
