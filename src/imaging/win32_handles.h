// Small owners for the platform objects image loading makes: COM interfaces,
// GDI bitmaps, memory device contexts and the bitmap selected into one.
#pragma once

#include <windows.h>

#include <utility>

namespace imaging {

// Holds one reference to a COM interface.
template <typename Interface>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // Releases the held reference and returns where a new one is to be stored.
    Interface** receive() {
        reset();
        return &pointer_;
    }
    void reset() {
        if (pointer_ != nullptr) {
            std::exchange(pointer_, nullptr)->Release();
        }
    }

  private:
    Interface* pointer_ = nullptr;
};

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
