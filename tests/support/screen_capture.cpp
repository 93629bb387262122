#include "screen_capture.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "bmp_file.h"
#include "platform/scoped_handle.h"

namespace test_support {

Bitmap24 screenshotOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    Bitmap24 shot;
    shot.width = client.right;
    shot.height = client.bottom;
    shot.stride = static_cast<int>(bmpStride(shot.width));

    const platform::WindowDC screen(nullptr);
    const platform::UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const platform::UniqueBitmap section(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const platform::Selection selected(memory.get(), section.get());
    BitBlt(memory.get(), 0, 0, shot.width, shot.height, screen.get(), origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const std::uint8_t*>(bits);
    shot.pixels.assign(first, first + static_cast<std::size_t>(shot.stride) * shot.height);
    return shot;
}

bool readBmp(const std::string& path, Bitmap24& bitmap) {
    std::ifstream stream(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(stream)),
                                         std::istreambuf_iterator<char>());
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
        return false;
    }
    const auto at = [&](std::size_t offset) {
        std::int32_t value = 0;
        std::memcpy(&value, &file[offset], 4);
        return value;
    };
    bitmap.width = at(18);
    bitmap.height = at(22);
    bitmap.stride = static_cast<int>(bmpStride(bitmap.width));
    const auto start = static_cast<std::size_t>(at(10));
    const std::size_t size = static_cast<std::size_t>(bitmap.stride) * bitmap.height;
    if (bitmap.height <= 0 || file.size() < start + size) {
        return false;
    }
    bitmap.pixels.assign(file.begin() + static_cast<std::ptrdiff_t>(start),
                         file.begin() + static_cast<std::ptrdiff_t>(start + size));
    return true;
}

void writeBmp(const std::string& path, const Bitmap24& bitmap) {
    writeBmpFile(path, bitmap.width, bitmap.height, bitmap.pixels.data());
}

int differingPixels(const Bitmap24& a, const Bitmap24& b) {
    if (a.width != b.width || a.height != b.height) {
        return a.width * a.height + b.width * b.height;
    }
    int count = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const std::size_t offset = static_cast<std::size_t>(y) * a.stride + 3 * x;
            if (std::memcmp(&a.pixels[offset], &b.pixels[offset], 3) != 0) {
                ++count;
            }
        }
    }
    return count;
}

std::string besideThisProgram(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

int runProgram(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    const platform::UniqueHandle thread(process.hThread);
    const platform::UniqueHandle child(process.hProcess);
    WaitForSingleObject(child.get(), 120000);
    DWORD code = 1;
    GetExitCodeProcess(child.get(), &code);
    return static_cast<int>(code);
}

}  // namespace test_support
