#include "picture_check.h"

#include "bmp_file.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"
#include "scratch_files.h"

namespace test_support {

namespace {

BITMAPINFOHEADER topDownHeader(int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}

}  // namespace

platform::ComRef<IPicture> decodeResourcePicture(HMODULE module, int id) {
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "gif");
    if (resource == nullptr)
        return {};
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return {};
    return platform::decodePicture(bytes, SizeofResource(module, resource));
}

platform::ComRef<IPicture> decodePictureFile(const std::string& path) {
    const test_support::Bytes bytes = test_support::readFile(path);
    if (bytes.empty())
        return {};
    return platform::decodePicture(bytes.data(), bytes.size());
}

Pixels bitmapPixels(HBITMAP bitmap) {
    Pixels pixels;
    BITMAP info{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0)
        return pixels;
    pixels.width = info.bmWidth;
    pixels.height = info.bmHeight;
    pixels.argb.assign(static_cast<size_t>(pixels.width) * pixels.height, 0);
    BITMAPINFOHEADER header = topDownHeader(pixels.width, pixels.height);
    const platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    GetDIBits(dc.get(), bitmap, 0, pixels.height, pixels.argb.data(),
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    for (auto& p : pixels.argb)
        p &= 0x00FFFFFF;
    return pixels;
}

Pixels picturePixels(IPicture* picture) {
    OLE_HANDLE handle = 0;
    if (picture == nullptr || FAILED(picture->get_Handle(&handle)))
        return {};
    return bitmapPixels(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
}

Pixels captureWindow(HWND window) {
    Pixels pixels;
    RECT rect{};
    GetWindowRect(window, &rect);
    pixels.width = rect.right - rect.left;
    pixels.height = rect.bottom - rect.top;
    if (pixels.width <= 0 || pixels.height <= 0)
        return {};
    const platform::WindowDC screen(nullptr);
    const platform::UniqueMemoryDC dc(CreateCompatibleDC(screen.get()));
    BITMAPINFOHEADER header = topDownHeader(pixels.width, pixels.height);
    void* bits = nullptr;
    const platform::UniqueBitmap section(CreateDIBSection(
        screen.get(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0));
    const platform::Selection selected(dc.get(), section.get());
    BitBlt(dc.get(), 0, 0, pixels.width, pixels.height, screen.get(), rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const std::uint32_t*>(bits);
    pixels.argb.assign(source, source + static_cast<size_t>(pixels.width) * pixels.height);
    for (auto& p : pixels.argb)
        p &= 0x00FFFFFF;
    return pixels;
}

bool writeBmp(const std::string& path, const Pixels& pixels) {
    const std::size_t stride = bmpStride(pixels.width);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(pixels.height), 0);
    for (int y = 0; y < pixels.height; ++y) {
        std::uint8_t* row = rows.data() + static_cast<size_t>(pixels.height - 1 - y) * stride;
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t p = pixels.at(x, y);
            row[x * 3] = static_cast<std::uint8_t>(Pixels::blue(p));
            row[x * 3 + 1] = static_cast<std::uint8_t>(Pixels::green(p));
            row[x * 3 + 2] = static_cast<std::uint8_t>(Pixels::red(p));
        }
    }
    return writeBmpFile(path, pixels.width, pixels.height, rows.data());
}

}  // namespace test_support
