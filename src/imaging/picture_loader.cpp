#include "imaging/picture_loader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "imaging/image_cache.h"
#include "imaging/image_exceptions.h"
#include "imaging/image_prompts.h"
#include "platform/band_pool.h"
#include "platform/files.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"

namespace imaging {

namespace {

void fillHeader(BITMAPINFOHEADER* header, imaging::PixelSize size) {
    *header = BITMAPINFOHEADER{};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = size.width;
    header->biHeight = size.height;  // positive: rows bottom-up
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
}

// Makes room for the new bitmap's pixels.
void makeRoomFor(ImageCache& cache, imaging::PixelSize size) {
    imaging::makeRoomFor(cache, static_cast<std::uint64_t>(std::max(size.width, 0)) *
                                    static_cast<std::uint64_t>(std::max(size.height, 0)) * 3u);
}

unsigned everyCore() {
    return static_cast<unsigned>(platform::BandPool::threadsForThisProcessor());
}

}  // namespace

class PictureLoader::HeldJpeg {
  public:
    HeldJpeg(std::shared_ptr<platform::UniqueGlobal> block, const std::uint8_t* bytes,
             std::size_t size, const imaging::jpeg::Facts& facts)
        : block_(std::move(block)), bytes_(bytes, size), facts_(facts) {}
    ~HeldJpeg() { GlobalUnlock(block_->get()); }
    HeldJpeg(const HeldJpeg&) = delete;
    HeldJpeg& operator=(const HeldJpeg&) = delete;

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    const imaging::jpeg::Facts& facts() const { return facts_; }

  private:
    // Locked once more for this holder (a block's locks are counted).
    std::shared_ptr<platform::UniqueGlobal> block_;
    std::span<const std::uint8_t> bytes_;
    imaging::jpeg::Facts facts_;
};

PictureLoader::PictureLoader() = default;
PictureLoader::~PictureLoader() = default;

void PictureLoader::releasePicture() {
    picture_.reset();
    jpeg_.reset();
}

bool PictureLoader::loadFromFile(const char* path) {
    releasePicture();
    std::ifstream file(platform::systemPath(path), std::ios::binary);
    if (!file) {
        return false;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    const auto length = static_cast<std::uint32_t>(std::max<std::streamoff>(end, 0));
    std::vector<char> buffer;
    try {
        buffer.resize(length);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryException(imaging::oom::loadFromFile);
    }
    file.seekg(0, std::ios::beg);
    file.read(buffer.data(), static_cast<std::streamsize>(length));
    return loadFromBufferKeepingIt(buffer.data(), length);
}

bool PictureLoader::loadFromBufferKeepingIt(const void* data, std::uint32_t size) {
    platform::MovableCopy copy = platform::copyToMovableBlock(data, size);
    if (copy.failure == platform::MovableCopy::Failure::allocate) {
        throw OutOfMemoryException(imaging::oom::bufferAllocate);
    }
    if (copy.failure == platform::MovableCopy::Failure::lock) {
        throw OutOfMemoryException(imaging::oom::bufferLock);
    }
    return loadFromGlobalKeepingIt(std::move(copy.block), static_cast<std::int32_t>(size));
}

bool PictureLoader::loadFromGlobal(platform::UniqueGlobal block, std::int32_t size) {
    releasePicture();
    return loadFromGlobalKeepingIt(std::move(block), size);
}

// Keeps the block when it holds a JPEG of a kind the player decodes itself.
bool PictureLoader::holdIfOwnJpeg(const std::shared_ptr<platform::UniqueGlobal>& block,
                                  std::int32_t size) {
    if (size <= 0) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(block->get()));
    if (bytes == nullptr) {
        return false;
    }
    const std::span<const std::uint8_t> data(bytes, static_cast<std::size_t>(size));
    const std::optional<imaging::jpeg::Facts> facts = imaging::jpeg::probe(data);
    if (!facts || !imaging::jpeg::takes(*facts)) {
        GlobalUnlock(block->get());
        return false;
    }
    picture_.reset();
    try {
        jpeg_ = std::make_unique<HeldJpeg>(block, bytes, data.size(), *facts);
    } catch (...) {
        GlobalUnlock(block->get());
        throw;
    }
    return true;
}

bool PictureLoader::loadFromGlobalKeepingIt(platform::UniqueGlobal block, std::int32_t size) {
    const auto shared = std::make_shared<platform::UniqueGlobal>(std::move(block));
    if (holdIfOwnJpeg(shared, size)) {
        return true;
    }
    jpeg_.reset();
    return loadThroughPlatform(std::move(*shared), size);
}

bool PictureLoader::loadFromSharedBlock(std::shared_ptr<platform::UniqueGlobal> block,
                                        std::int32_t size) {
    releasePicture();
    if (holdIfOwnJpeg(block, size)) {
        return true;
    }
    if (block.use_count() == 1) {
        return loadThroughPlatform(std::move(*block), size);
    }
    // Others read the block still; the platform's stream gets a copy of its own.
    const void* bytes = GlobalLock(block->get());
    if (bytes == nullptr) {
        return false;
    }
    platform::MovableCopy copy =
        platform::copyToMovableBlock(bytes, static_cast<std::size_t>(size));
    GlobalUnlock(block->get());
    if (copy.failure != platform::MovableCopy::Failure::none) {
        throw OutOfMemoryException(imaging::oom::bufferAllocate);
    }
    return loadThroughPlatform(std::move(copy.block), size);
}

bool PictureLoader::loadThroughPlatform(platform::UniqueGlobal block, std::int32_t size) {
    const std::optional<HRESULT> status =
        platform::decodePicture(std::move(block), static_cast<std::size_t>(size), picture_);
    if (!status) {
        return false;  // no stream over the block: nothing was decoded
    }
    if (*status == S_OK) {
        return true;
    }
    if (*status == E_OUTOFMEMORY) {
        throw OutOfMemoryException(imaging::oom::pictureService);
    }
    imaging::askToContinueAfterDecodeFailure();
    return false;
}

// A JPEG the player's decoder could not finish goes to the platform's picture
// service as every other picture does, with the same prompt when that fails
// too.
bool PictureLoader::handJpegToPlatform() {
    const std::span<const std::uint8_t> bytes = jpeg_->bytes();
    platform::MovableCopy copy = platform::copyToMovableBlock(bytes.data(), bytes.size());
    if (copy.failure != platform::MovableCopy::Failure::none) {
        throw OutOfMemoryException(imaging::oom::bufferAllocate);
    }
    const auto size = static_cast<std::int32_t>(bytes.size());
    jpeg_.reset();
    return loadThroughPlatform(std::move(copy.block), size);
}

PictureLoader::HimetricSize PictureLoader::himetricSize() const {
    HimetricSize size;
    if (picture_) {
        picture_->get_Width(&size.width);
        picture_->get_Height(&size.height);
    }
    return size;
}

imaging::PixelSize PictureLoader::pixelSizeOn(HDC dc) const {
    const HimetricSize himetric = himetricSize();
    return {MulDiv(himetric.width, GetDeviceCaps(dc, LOGPIXELSX), 2540),
            MulDiv(himetric.height, GetDeviceCaps(dc, LOGPIXELSY), 2540)};
}

imaging::PixelSize PictureLoader::pixelSize() const {
    if (jpeg_) {
        // The platform's size for a JPEG: its pixels, through HIMETRIC and
        // back at the same resolution, which changes nothing.
        return jpeg_->facts().size;
    }
    if (!picture_) {
        return {};
    }
    platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    return pixelSizeOn(dc.get());
}

HBITMAP PictureLoader::createSection(HDC fallbackDC, const BITMAPINFOHEADER* header,
                                     void** bitsOut) const {
    const HDC dc = dc_ != nullptr ? dc_ : fallbackDC;
    for (int attempt = 0; attempt < bitmapAttempts; ++attempt) {
        HBITMAP bitmap = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(header),
                                          DIB_RGB_COLORS, bitsOut, nullptr, 0);
        if (bitmap != nullptr) {
            GdiFlush();
            return bitmap;
        }
        Sleep(1);
    }
    *bitsOut = nullptr;
    imaging::warnBitmapNotCreated();
    return nullptr;
}

HBITMAP PictureLoader::renderInto(void** bitsOut, BITMAPINFOHEADER* header, imaging::PixelSize size,
                                  const char* outOfMemoryMessage) {
    platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    fillHeader(header, size);
    platform::UniqueBitmap bitmap(createSection(dc.get(), header, bitsOut));
    if (bitmap.get() == nullptr) {
        return nullptr;  // nothing to draw into; the warning has been shown
    }
    HRESULT status = S_OK;
    {
        platform::Selection selection(dc.get(), bitmap.get());
        status = renderPicture(dc.get(), 0, 0, size.width, size.height);
    }
    if (status == E_OUTOFMEMORY) {
        *bitsOut = nullptr;
        throw OutOfMemoryException(outOfMemoryMessage);
    }
    if (status != S_OK) {
        imaging::askToContinueAfterDecodeFailure();  // Yes: keep what was drawn
    }
    return bitmap.release();
}

// Decodes the held JPEG at `eighths` / 8 straight into a new section. When
// the decode fails the platform's service gets the picture and renders it at
// `platformSize` (the natural size without one), or nothing is made.
HBITMAP PictureLoader::decodeJpegInto(void** bitsOut, BITMAPINFOHEADER* header, int eighths,
                                      const char* outOfMemoryMessage, JpegFailure onFailure,
                                      std::optional<imaging::PixelSize> platformSize) {
    platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    const imaging::PixelSize size = imaging::jpeg::scaledSize(jpeg_->facts().size, eighths);
    fillHeader(header, size);
    platform::UniqueBitmap bitmap(createSection(dc.get(), header, bitsOut));
    if (bitmap.get() == nullptr) {
        return nullptr;
    }
    const imaging::jpeg::BgrRows rows{static_cast<std::uint8_t*>(*bitsOut), size.width, size.height,
                                      imaging::dibStride(size.width)};
    const imaging::jpeg::Outcome outcome =
        imaging::jpeg::decode(jpeg_->bytes(), eighths, rows, everyCore(), cancel_, progress_);
    if (outcome == imaging::jpeg::Outcome::outOfMemory) {
        *bitsOut = nullptr;
        throw OutOfMemoryException(outOfMemoryMessage);
    }
    if (outcome == imaging::jpeg::Outcome::decoded) {
        return bitmap.release();
    }
    bitmap.reset();
    *bitsOut = nullptr;
    if (outcome == imaging::jpeg::Outcome::cancelled || onFailure == JpegFailure::nothing ||
        !handJpegToPlatform()) {
        return nullptr;
    }
    return renderInto(bitsOut, header, platformSize.value_or(pixelSize()), outOfMemoryMessage);
}

// The reduced mode's stretch: the JPEG is decoded at the smallest DCT scale
// that still covers the target, then stretched into it the way the platform
// stretches a rendered picture.
HBITMAP PictureLoader::stretchJpegInto(void** bitsOut, BITMAPINFOHEADER* header,
                                       imaging::PixelSize target) {
    const int eighths = imaging::jpeg::eighthsCovering(jpeg_->facts().size, target);
    BITMAPINFOHEADER decodedHeader{};
    void* decodedBits = nullptr;
    // A picture that fails comes back from the platform at the target size.
    platform::UniqueBitmap decoded(decodeJpegInto(&decodedBits, &decodedHeader, eighths,
                                                  imaging::oom::scaledBitmap, JpegFailure::platform,
                                                  target));
    if (decoded.get() == nullptr ||
        (decodedHeader.biWidth == target.width && decodedHeader.biHeight == target.height)) {
        *bitsOut = decodedBits;
        *header = decodedHeader;
        return decoded.release();
    }
    platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    fillHeader(header, target);
    platform::UniqueBitmap bitmap(createSection(dc.get(), header, bitsOut));
    if (bitmap.get() == nullptr) {
        return nullptr;
    }
    platform::Selection selection(dc.get(), bitmap.get());
    StretchDIBits(dc.get(), 0, 0, target.width, target.height, 0, 0, decodedHeader.biWidth,
                  decodedHeader.biHeight, decodedBits,
                  reinterpret_cast<const BITMAPINFO*>(&decodedHeader), DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
    return bitmap.release();
}

LoadedBitmap PictureLoader::bitmap() {
    LoadedBitmap loaded;
    if (!picture_ && !jpeg_) {
        return loaded;
    }
    const imaging::PixelSize size = pixelSize();
    if (cache_ != nullptr) {
        makeRoomFor(*cache_, size);
    }
    loaded.bitmap.reset(jpeg_
                            ? decodeJpegInto(&loaded.bits, &loaded.header, imaging::jpeg::wholeSize,
                                             imaging::oom::bitmap, JpegFailure::platform)
                            : renderInto(&loaded.bits, &loaded.header, size, imaging::oom::bitmap));
    return loaded;
}

LoadedBitmap PictureLoader::scaledBitmap(std::int32_t width, std::int32_t height) {
    LoadedBitmap loaded;
    if ((width <= 0 && height <= 0) || !holdsPicture()) {
        return loaded;
    }
    const auto target = imaging::stretchTarget(pixelSize(), width, height);
    if (!target) {
        return loaded;
    }
    loaded.bitmap.reset(
        jpeg_ ? stretchJpegInto(&loaded.bits, &loaded.header, *target)
              : renderInto(&loaded.bits, &loaded.header, *target, imaging::oom::scaledBitmap));
    return loaded;
}

LoadedBitmap PictureLoader::previewBitmap(int eighths) {
    LoadedBitmap loaded;
    if (jpeg_) {
        loaded.bitmap.reset(decodeJpegInto(&loaded.bits, &loaded.header, eighths,
                                           imaging::oom::scaledBitmap, JpegFailure::nothing));
    }
    return loaded;
}

HRESULT PictureLoader::renderPicture(HDC dc, int x, int y, int cx, int cy) {
    if (jpeg_) {
        void* bits = nullptr;
        BITMAPINFOHEADER header{};
        platform::UniqueBitmap decoded(decodeJpegInto(&bits, &header, imaging::jpeg::wholeSize,
                                                      imaging::oom::bitmap, JpegFailure::nothing));
        if (decoded.get() == nullptr) {
            return E_FAIL;
        }
        StretchDIBits(dc, x, y, cx, cy, 0, 0, header.biWidth, header.biHeight, bits,
                      reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, SRCCOPY);
        return S_OK;
    }
    if (!picture_) {
        return E_POINTER;
    }
    const HimetricSize himetric = himetricSize();
    return picture_->Render(dc, x, y, cx, cy, 0, himetric.height, himetric.width, -himetric.height,
                            nullptr);
}

}  // namespace imaging
