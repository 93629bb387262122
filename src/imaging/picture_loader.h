// Decodes compressed pictures (JPEG, GIF, BMP: whatever the platform's OLE
// picture service reads) and renders the held picture into a 24-bit
// bottom-up DIB section on request. Holds at most one picture at a time.
// JPEGs of the kinds the player's own decoder takes are held as their bytes
// and decoded straight into the section, on every core; everything else goes
// through the platform's picture service.
//
// Threads: a loader is used by one thread at a time, which may be a worker.
// The loading calls, pixelSize, bitmap, scaledBitmap and
// previewBitmap touch no window; their sections are made on the context
// named with setDC (a DIB_RGB_COLORS section reads nothing of it) or on a
// memory context of the calling thread. The attached cache takes its own lock,
// so bitmap may shrink it from a worker.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "imaging/dib_image.h"
#include "imaging/image_geometry.h"
#include "imaging/jpeg_decoding.h"
#include "platform/scoped_handle.h"
#include "platform/com_ref.h"

namespace imaging {

class ImageCache;

class PictureLoader {
  public:
    PictureLoader();
    virtual ~PictureLoader();
    PictureLoader(const PictureLoader&) = delete;
    PictureLoader& operator=(const PictureLoader&) = delete;

    // Releases any held picture, then decodes the whole file. False when the
    // file does not open or does not decode.
    bool loadFromFile(const char* path);
    // Copies the bytes into a new movable block and decodes it. Does not
    // release a held picture first.
    bool loadFromBufferKeepingIt(const void* data, std::uint32_t size);
    // Releases any held picture, then loadFromGlobalKeepingIt.
    bool loadFromGlobal(platform::UniqueGlobal block, std::int32_t size);
    // Decodes a movable block holding a whole compressed picture, which the
    // loader owns from now on.
    bool loadFromGlobalKeepingIt(platform::UniqueGlobal block, std::int32_t size);
    // Releases any held picture, then decodes a block that others may read
    // at the same time (a scene's JPEG, read by its full decode and by its
    // preview): the loader holds a share of it while it holds the picture
    // and never writes to it.
    bool loadFromSharedBlock(std::shared_ptr<platform::UniqueGlobal> block, std::int32_t size);

    // The held picture's size in screen pixels; (0, 0) without a picture.
    imaging::PixelSize pixelSize() const;
    // Renders the picture at its natural size into a new DIB section. With a
    // cache attached, the oldest cached images are given up first while
    // physical memory is short. Empty without a picture or when no bitmap
    // could be made.
    LoadedBitmap bitmap();
    // Like bitmap, stretched to width x height; a side of 0 or less is
    // derived from the other and the picture's aspect.
    LoadedBitmap scaledBitmap(std::int32_t width, std::int32_t height);
    // The picture decoded at `eighths` / 8 of its size (rounded up) into a new
    // DIB section, for a quick first look: an eighth of a scene's picture, or
    // the whole of a small preview stored beside it. Only for JPEGs the
    // player decodes itself; empty for any other picture and for one that
    // does not decode, without a prompt.
    LoadedBitmap previewBitmap(int eighths = 1);
    // Draws the whole picture upright into the rectangle; the picture
    // service's status comes back unchanged.
    HRESULT renderPicture(HDC dc, int x, int y, int cx, int cy);
    void releasePicture();
    // The cache bitmap may shrink; null: none.
    void setCache(ImageCache* cache) { cache_ = cache; }
    // A flag that, once raised, stops the decodes of JPEGs the player decodes
    // itself between rows: bitmap, scaledBitmap and previewBitmap
    // then give null without a prompt (a decode that was overtaken). The flag
    // may be raised from any thread. Null: none.
    void setCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    // Counts the rows those decodes write, for another thread to read.
    // Null: none.
    void setProgress(imaging::jpeg::Progress* progress) { progress_ = progress; }
    // The device context DIB sections are made on; null: a memory context.
    void setDC(HDC dc) { dc_ = dc; }

    bool holdsPicture() const { return picture_ || jpeg_; }
    // Whether the held picture is a JPEG the player decodes itself.
    bool holdsOwnJpeg() const { return static_cast<bool>(jpeg_); }

    // Bitmap creation is tried this often, a millisecond apart, before the
    // bitmap warning is shown.
    static constexpr int bitmapAttempts = 500;

  private:
    // A JPEG's bytes, kept locked in their block while held.
    class HeldJpeg;
    struct HimetricSize {
        OLE_XSIZE_HIMETRIC width = 0;
        OLE_YSIZE_HIMETRIC height = 0;
    };
    HimetricSize himetricSize() const;
    imaging::PixelSize pixelSizeOn(HDC dc) const;
    HBITMAP createSection(HDC fallbackDC, const BITMAPINFOHEADER* header, void** bitsOut) const;
    HBITMAP renderInto(void** bitsOut, BITMAPINFOHEADER* header, imaging::PixelSize size,
                       const char* outOfMemoryMessage);
    bool holdIfOwnJpeg(const std::shared_ptr<platform::UniqueGlobal>& block, std::int32_t size);
    bool loadThroughPlatform(platform::UniqueGlobal block, std::int32_t size);
    bool handJpegToPlatform();
    enum class JpegFailure { platform, nothing };
    HBITMAP decodeJpegInto(void** bitsOut, BITMAPINFOHEADER* header, int eighths,
                           const char* outOfMemoryMessage, JpegFailure onFailure,
                           std::optional<imaging::PixelSize> platformSize = std::nullopt);
    HBITMAP stretchJpegInto(void** bitsOut, BITMAPINFOHEADER* header, imaging::PixelSize target);

    platform::ComRef<IPicture> picture_;
    std::unique_ptr<HeldJpeg> jpeg_;
    const std::atomic<bool>* cancel_ = nullptr;
    imaging::jpeg::Progress* progress_ = nullptr;
    ImageCache* cache_ = nullptr;
    HDC dc_ = nullptr;
};

}  // namespace imaging
