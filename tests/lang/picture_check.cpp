#include "picture_check.h"

#include <cstdio>
#include <cstring>

namespace lumivue::testing {

namespace {

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct ObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, ObjectDeleter>;

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};

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

PicturePtr decodePicture(const void* data, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block == nullptr)
        return nullptr;
    void* target = GlobalLock(block);
    std::memcpy(target, data, size);
    GlobalUnlock(block);
    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &rawStream))) {
        GlobalFree(block);
        return nullptr;
    }
    std::unique_ptr<IStream, StreamRelease> stream(rawStream);
    IPicture* picture = nullptr;
    HRESULT status = OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                                    reinterpret_cast<void**>(&picture));
    if (FAILED(status)) {
        if (picture != nullptr)
            picture->Release();
        return nullptr;
    }
    return PicturePtr(picture);
}

PicturePtr decodeResourcePicture(HMODULE module, int id) {
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "gif");
    if (resource == nullptr)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return nullptr;
    return decodePicture(bytes, SizeofResource(module, resource));
}

PicturePtr decodePictureFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return nullptr;
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    std::fclose(file);
    if (bytes.empty())
        return nullptr;
    return decodePicture(bytes.data(), bytes.size());
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
    MemoryDc dc(CreateCompatibleDC(nullptr));
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
    HDC screen = GetDC(nullptr);
    MemoryDc dc(CreateCompatibleDC(screen));
    BITMAPINFOHEADER header = topDownHeader(pixels.width, pixels.height);
    void* bits = nullptr;
    GdiObject section(CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                       DIB_RGB_COLORS, &bits, nullptr, 0));
    HGDIOBJ old = SelectObject(dc.get(), section.get());
    BitBlt(dc.get(), 0, 0, pixels.width, pixels.height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const std::uint32_t*>(bits);
    pixels.argb.assign(source, source + static_cast<size_t>(pixels.width) * pixels.height);
    for (auto& p : pixels.argb)
        p &= 0x00FFFFFF;
    SelectObject(dc.get(), old);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool writeBmp(const std::string& path, const Pixels& pixels) {
    const int stride = (pixels.width * 3 + 3) & ~3;
    const DWORD imageSize = static_cast<DWORD>(stride) * pixels.height;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + imageSize;
    info.biSize = sizeof info;
    info.biWidth = pixels.width;
    info.biHeight = pixels.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageSize;
    std::vector<unsigned char> rows(imageSize, 0);
    for (int y = 0; y < pixels.height; ++y) {
        unsigned char* row = rows.data() + static_cast<size_t>(pixels.height - 1 - y) * stride;
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t p = pixels.at(x, y);
            row[x * 3] = static_cast<unsigned char>(Pixels::blue(p));
            row[x * 3 + 1] = static_cast<unsigned char>(Pixels::green(p));
            row[x * 3 + 2] = static_cast<unsigned char>(Pixels::red(p));
        }
    }
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
              std::fwrite(&info, sizeof info, 1, out) == 1 &&
              std::fwrite(rows.data(), 1, rows.size(), out) == rows.size();
    return std::fclose(out) == 0 && ok;
}

void pumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

}  // namespace lumivue::testing
