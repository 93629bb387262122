#include "imaging/picture_loader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <vector>

#include "imaging/image_cache.h"
#include "imaging/image_exceptions.h"
#include "imaging/image_prompts.h"
#include "platform/files.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"

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

// Gives up the cache's oldest images while the physical memory reported free
// does not cover the new bitmap's pixels.
void makeRoomFor(ImageCache& cache, imaging::PixelSize size) {
    const std::uint64_t needed = static_cast<std::uint64_t>(std::max(size.width, 0)) *
                                 static_cast<std::uint64_t>(std::max(size.height, 0)) * 3u;
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    while (static_cast<std::uint64_t>(status.dwAvailPhys) < needed && cache.count() > 0) {
        cache.removeOldest();
        GlobalMemoryStatus(&status);
    }
}

}  // namespace

bool PictureLoader::LoadFromFile(const char* path) {
    ReleasePicture();
    std::ifstream file(platform::nativePath(path), std::ios::binary);
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
    return LoadFromBufferNoRelease(buffer.data(), length);
}

bool PictureLoader::LoadFromBufferNoRelease(const void* data, std::uint32_t size) {
    platform::MovableCopy copy = platform::copyToMovableBlock(data, size);
    if (copy.failure == platform::MovableCopy::Failure::allocate) {
        throw OutOfMemoryException(imaging::oom::bufferAllocate);
    }
    if (copy.failure == platform::MovableCopy::Failure::lock) {
        throw OutOfMemoryException(imaging::oom::bufferLock);
    }
    return LoadFromHGlobalNoRelease(copy.block.release(), static_cast<std::int32_t>(size));
}

bool PictureLoader::LoadFromHGlobal(HGLOBAL block, std::int32_t size) {
    ReleasePicture();
    return LoadFromHGlobalNoRelease(block, size);
}

bool PictureLoader::LoadFromHGlobalNoRelease(HGLOBAL block, std::int32_t size) {
    // The block is the loader's now, whatever comes of it.
    const std::optional<HRESULT> status = platform::decodePicture(
        platform::UniqueGlobal(block), static_cast<std::size_t>(size), picture_);
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

imaging::PixelSize PictureLoader::GetPixelSize() const {
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
        status = RenderPicture(dc.get(), 0, 0, size.width, size.height);
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

HBITMAP PictureLoader::GetBitmap(void** bitsOut, BITMAPINFOHEADER* header) {
    *bitsOut = nullptr;
    if (!picture_) {
        return nullptr;
    }
    const imaging::PixelSize size = GetPixelSize();
    if (cache_ != nullptr) {
        makeRoomFor(*cache_, size);
    }
    return renderInto(bitsOut, header, size, imaging::oom::bitmap);
}

HBITMAP PictureLoader::GetScaledBitmap(void** bitsOut, BITMAPINFOHEADER* header, std::int32_t width,
                                       std::int32_t height) {
    *bitsOut = nullptr;
    if ((width <= 0 && height <= 0) || !picture_) {
        return nullptr;
    }
    const auto target = imaging::stretchTarget(GetPixelSize(), width, height);
    if (!target) {
        return nullptr;
    }
    return renderInto(bitsOut, header, *target, imaging::oom::scaledBitmap);
}

HRESULT PictureLoader::RenderPicture(HDC dc, int x, int y, int cx, int cy) {
    if (!picture_) {
        return E_POINTER;
    }
    const HimetricSize himetric = himetricSize();
    return picture_->Render(dc, x, y, cx, cy, 0, himetric.height, himetric.width, -himetric.height,
                            nullptr);
}
