// Decodes compressed pictures (JPEG, GIF, BMP: whatever the platform's OLE
// picture service reads) and renders the held picture into a 24-bit
// bottom-up DIB section on request. Holds at most one picture at a time.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>

#include "imaging/image_geometry.h"
#include "platform/scoped_handle.h"
#include "platform/com_ref.h"

class ImageCache;

class PictureLoader {
  public:
    PictureLoader() = default;
    virtual ~PictureLoader() = default;
    PictureLoader(const PictureLoader&) = delete;
    PictureLoader& operator=(const PictureLoader&) = delete;

    // Releases any held picture, then decodes the whole file. False when the
    // file does not open or does not decode.
    bool LoadFromFile(const char* path);
    // Copies the bytes into a new movable block and decodes it. Does not
    // release a held picture first.
    bool LoadFromBufferNoRelease(const void* data, std::uint32_t size);
    // Releases any held picture, then LoadFromHGlobalNoRelease.
    bool LoadFromHGlobal(HGLOBAL block, std::int32_t size);
    // Decodes a movable block holding a whole compressed picture. The block
    // passes to the loader in every case and is freed by it.
    bool LoadFromHGlobalNoRelease(HGLOBAL block, std::int32_t size);

    // The held picture's size in screen pixels; (0, 0) without a picture.
    imaging::PixelSize GetPixelSize() const;
    // Renders the picture at its natural size into a new DIB section and
    // fills `header` for it. With a cache attached, the oldest cached images
    // are given up first while physical memory is short. Null (and null in
    // `bitsOut`) without a picture or when no bitmap could be made.
    HBITMAP GetBitmap(void** bitsOut, BITMAPINFOHEADER* header);
    // Like GetBitmap, stretched to width x height; a side of 0 or less is
    // derived from the other and the picture's aspect.
    HBITMAP GetScaledBitmap(void** bitsOut, BITMAPINFOHEADER* header, std::int32_t width,
                            std::int32_t height);
    // Draws the whole picture upright into the rectangle; the picture
    // service's status comes back unchanged.
    HRESULT RenderPicture(HDC dc, int x, int y, int cx, int cy);
    void ReleasePicture() { picture_.reset(); }
    // The cache GetBitmap may shrink; null: none.
    void SetCache(ImageCache* cache) { cache_ = cache; }
    // The device context DIB sections are made on; null: a memory context.
    void SetDC(HDC dc) { dc_ = dc; }

    bool holdsPicture() const { return static_cast<bool>(picture_); }

    // Bitmap creation is tried this often, a millisecond apart, before the
    // bitmap warning is shown.
    static constexpr int bitmapAttempts = 500;

  private:
    struct HimetricSize {
        OLE_XSIZE_HIMETRIC width = 0;
        OLE_YSIZE_HIMETRIC height = 0;
    };
    HimetricSize himetricSize() const;
    imaging::PixelSize pixelSizeOn(HDC dc) const;
    HBITMAP createSection(HDC fallbackDC, const BITMAPINFOHEADER* header, void** bitsOut) const;
    HBITMAP renderInto(void** bitsOut, BITMAPINFOHEADER* header, imaging::PixelSize size,
                       const char* outOfMemoryMessage);

    platform::ComRef<IPicture> picture_;
    ImageCache* cache_ = nullptr;
    HDC dc_ = nullptr;
};
