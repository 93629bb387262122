// Small owners for the platform objects image loading makes: COM interfaces,
// GDI bitmaps, memory device contexts and the bitmap selected into one.
#pragma once

#include <windows.h>

#include <utility>

#include "platform/com_ref.h"

namespace imaging {

using platform::ComRef;

// Deletes a GDI bitmap unless it was handed on with `release`.
class UniqueBitmap {
  public:
    explicit UniqueBitmap(HBITMAP bitmap = nullptr) : bitmap_(bitmap) {}
    ~UniqueBitmap() {
        if (bitmap_ != nullptr) {
            DeleteObject(bitmap_);
        }
    }
    UniqueBitmap(const UniqueBitmap&) = delete;
    UniqueBitmap& operator=(const UniqueBitmap&) = delete;

    HBITMAP get() const { return bitmap_; }
    HBITMAP release() { return std::exchange(bitmap_, nullptr); }

  private:
    HBITMAP bitmap_;
};

// A memory device context compatible with the screen.
class MemoryDC {
  public:
    MemoryDC() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDC() {
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            SelectObject(dc_, previous_);
        }
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace imaging
