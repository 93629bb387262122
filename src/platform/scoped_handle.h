// Scoped owners of the Win32 handles the player makes: each frees its handle
// the one way its kind is freed, once, when the owner goes or is reset. Every
// class of the player holds its handles through these (COM interfaces through
// ComRef, the device context of a window through WindowDC, a selection through
// Selection, a window's painting through PaintScope).
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

// Owns one handle of the kind `Traits` describes: its type, the value that
// means "none" and how it is freed.
template <typename Traits>
class ScopedHandle {
  public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::none(); }
    // Hands the handle on; the owner then holds none.
    Handle release() { return std::exchange(handle_, Traits::none()); }
    // Frees the held handle (if any) and holds `handle` instead.
    void reset(Handle handle = Traits::none()) {
        const Handle previous = std::exchange(handle_, handle);
        if (previous != Traits::none()) {
            Traits::free(previous);
        }
    }

  private:
    Handle handle_ = Traits::none();
};

namespace handle_kinds {

template <typename Object>
struct GdiObject {
    using Handle = Object;
    static Handle none() { return nullptr; }
    static void free(Handle object) { DeleteObject(object); }
};
struct MemoryDC {
    using Handle = HDC;
    static Handle none() { return nullptr; }
    static void free(Handle dc) { DeleteDC(dc); }
};
struct KernelObject {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    static void free(Handle handle) { CloseHandle(handle); }
};
// What CreateFileA returns: "none" is INVALID_HANDLE_VALUE, not null.
struct File {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static void free(Handle handle) { CloseHandle(handle); }
};
// What FindFirstFile returns: "none" is INVALID_HANDLE_VALUE too.
struct FileSearch {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static void free(Handle search) { FindClose(search); }
};
struct MappedView {
    using Handle = const void*;
    static Handle none() { return nullptr; }
    static void free(Handle view) { UnmapViewOfFile(view); }
};
struct GlobalBlock {
    using Handle = HGLOBAL;
    static Handle none() { return nullptr; }
    static void free(Handle block) { GlobalFree(block); }
};
struct Module {
    using Handle = HMODULE;
    static Handle none() { return nullptr; }
    static void free(Handle module) { FreeLibrary(module); }
};
struct Menu {
    using Handle = HMENU;
    static Handle none() { return nullptr; }
    static void free(Handle menu) { DestroyMenu(menu); }
};
struct Window {
    using Handle = HWND;
    static Handle none() { return nullptr; }
    static void free(Handle window) { DestroyWindow(window); }
};
// An icon made by LoadImageA without LR_SHARED (a shared one is never freed).
struct Icon {
    using Handle = HICON;
    static Handle none() { return nullptr; }
    static void free(Handle icon) { DestroyIcon(icon); }
};
struct AcceleratorTable {
    using Handle = HACCEL;
    static Handle none() { return nullptr; }
    static void free(Handle table) { DestroyAcceleratorTable(table); }
};

}  // namespace handle_kinds

using UniqueBitmap = ScopedHandle<handle_kinds::GdiObject<HBITMAP>>;
using UniqueBrush = ScopedHandle<handle_kinds::GdiObject<HBRUSH>>;
using UniqueFont = ScopedHandle<handle_kinds::GdiObject<HFONT>>;
using UniqueRegion = ScopedHandle<handle_kinds::GdiObject<HRGN>>;
using UniqueMemoryDC = ScopedHandle<handle_kinds::MemoryDC>;
using UniqueHandle = ScopedHandle<handle_kinds::KernelObject>;
using UniqueFile = ScopedHandle<handle_kinds::File>;
using UniqueFileSearch = ScopedHandle<handle_kinds::FileSearch>;
using UniqueMappedView = ScopedHandle<handle_kinds::MappedView>;
using UniqueGlobal = ScopedHandle<handle_kinds::GlobalBlock>;
using UniqueModule = ScopedHandle<handle_kinds::Module>;
using UniqueMenu = ScopedHandle<handle_kinds::Menu>;
using UniqueWindow = ScopedHandle<handle_kinds::Window>;
using UniqueIcon = ScopedHandle<handle_kinds::Icon>;
using UniqueAccelerators = ScopedHandle<handle_kinds::AcceleratorTable>;

// A memory device context compatible with the screen.
inline UniqueMemoryDC makeMemoryDC() {
    return UniqueMemoryDC(CreateCompatibleDC(nullptr));
}

// The device context of a window (GetDC), given back to that window.
class WindowDC {
  public:
    WindowDC() = default;
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { reset(); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    WindowDC(WindowDC&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDC& operator=(WindowDC&& other) noexcept {
        if (this != &other) {
            reset();
            window_ = std::exchange(other.window_, nullptr);
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }

    HDC get() const { return dc_; }
    HWND window() const { return window_; }
    explicit operator bool() const { return dc_ != nullptr; }
    // Forgets the context without giving it back (its window is gone, and
    // with it the context).
    HDC release() {
        window_ = nullptr;
        return std::exchange(dc_, nullptr);
    }
    void reset() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, std::exchange(dc_, nullptr));
        }
        window_ = nullptr;
    }

  private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
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

// A window's painting, from BeginPaint to EndPaint: whatever way the painting
// code leaves, the window's update region is validated and the context given back.
class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC dc() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};  // declared before dc_: BeginPaint fills it
    HDC dc_;
};

}  // namespace platform
