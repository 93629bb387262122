// The Windows renderer on a real window: what reaches the screen is, pixel for
// pixel, what `tourpack render` makes of the same panorama and view.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/angles.h"
#include "engine/view_renderer.h"

namespace {

constexpr int viewWidth = 480;
constexpr int viewHeight = 360;

struct Bitmap24 {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> pixels;  // bottom-up, blue green red
};

int strideOf(int width) {
    return ((width * 24 + 31) / 32) * 4;
}

void put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int n = 0; n < bytes; ++n) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * n)));
    }
}

void writeBmp(const std::string& path, const Bitmap24& bitmap) {
    std::vector<std::uint8_t> file{'B', 'M'};
    put(file, 54 + static_cast<std::uint32_t>(bitmap.pixels.size()), 4);
    put(file, 0, 4);
    put(file, 54, 4);
    put(file, 40, 4);
    put(file, static_cast<std::uint32_t>(bitmap.width), 4);
    put(file, static_cast<std::uint32_t>(bitmap.height), 4);
    put(file, 1, 2);
    put(file, 24, 2);
    for (int n = 0; n < 6; ++n) {
        put(file, 0, 4);
    }
    file.insert(file.end(), bitmap.pixels.begin(), bitmap.pixels.end());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
}

bool readBmp(const std::string& path, Bitmap24& bitmap) {
    std::ifstream stream(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(stream)),
                                         std::istreambuf_iterator<char>());
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
        return false;
    }
    auto at = [&](std::size_t offset) {
        std::int32_t value = 0;
        std::memcpy(&value, &file[offset], 4);
        return value;
    };
    bitmap.width = at(18);
    bitmap.height = at(22);
    bitmap.stride = strideOf(bitmap.width);
    const std::size_t start = static_cast<std::size_t>(at(10));
    const std::size_t size = static_cast<std::size_t>(bitmap.stride) * bitmap.height;
    if (file.size() < start + size) {
        return false;
    }
    bitmap.pixels.assign(file.begin() + static_cast<std::ptrdiff_t>(start),
                         file.begin() + static_cast<std::ptrdiff_t>(start + size));
    return true;
}

std::string besideThisProgram(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
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
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// A file in the temporary folder, deleted with this object.
class TemporaryPath {
  public:
    explicit TemporaryPath(const char* name) {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        path_ = std::string(folder) + name;
    }
    ~TemporaryPath() { DeleteFileA(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A visible top-level window without frame whose client area is the view.
class ViewWindow {
  public:
    ViewWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "EngineTestView";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(WS_EX_TOPMOST, "EngineTestView", "view", WS_POPUP | WS_VISIBLE, 0,
                                  0, viewWidth, viewHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        pumpMessages();
    }
    ~ViewWindow() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    HWND handle() const { return window_; }

    static void pumpMessages() {
        for (int round = 0; round < 20; ++round) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(10);
        }
    }

    // The screen's pixels where the window lies, as a 24-bit bottom-up bitmap.
    Bitmap24 screenshot() const {
        RECT rect{};
        GetWindowRect(window_, &rect);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = viewWidth;
        info.bmiHeader.biHeight = viewHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, section);
        BitBlt(memory, 0, 0, viewWidth, viewHeight, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        Bitmap24 shot;
        shot.width = viewWidth;
        shot.height = viewHeight;
        shot.stride = strideOf(viewWidth);
        const auto* first = static_cast<const std::uint8_t*>(bits);
        shot.pixels.assign(first, first + static_cast<std::size_t>(shot.stride) * viewHeight);
        SelectObject(memory, old);
        DeleteObject(section);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return shot;
    }

  private:
    HWND window_ = nullptr;
};

Bitmap24 noisePanorama(int width, int height) {
    Bitmap24 panorama;
    panorama.width = width;
    panorama.height = height;
    panorama.stride = strideOf(width);
    panorama.pixels.assign(static_cast<std::size_t>(panorama.stride) * height, 0);
    std::mt19937 random(42);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * 3; ++x) {
            panorama.pixels[static_cast<std::size_t>(y) * panorama.stride + x] =
                static_cast<std::uint8_t>(random());
        }
    }
    return panorama;
}

int differingPixels(const Bitmap24& a, const Bitmap24& b) {
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

struct View {
    float pan;
    float tilt;
    float fov;
};

class WindowView : public ::testing::TestWithParam<View> {};

TEST_P(WindowView, ScreenEqualsTourpackRender) {
    const View view = GetParam();
    const Bitmap24 panorama = noisePanorama(1001, 500);
    const TemporaryPath panoramaFile("engine-test-panorama.bmp");
    const TemporaryPath renderedFile("engine-test-render.bmp");
    writeBmp(panoramaFile.path(), panorama);
    char arguments[256];
    std::snprintf(
        arguments, sizeof arguments, " render \"%s\" --pan %g --tilt %g --fov %g -o \"%s\"",
        panoramaFile.path().c_str(), static_cast<double>(view.pan), static_cast<double>(view.tilt),
        static_cast<double>(view.fov), renderedFile.path().c_str());
    ASSERT_EQ(runProgram("\"" + besideThisProgram("tourpack.exe") + "\"" + arguments), 0);
    Bitmap24 expected;
    ASSERT_TRUE(readBmp(renderedFile.path(), expected));
    ASSERT_EQ(expected.width, viewWidth);
    ASSERT_EQ(expected.height, viewHeight);

    ViewWindow window;
    ASSERT_NE(window.handle(), nullptr);
    ViewRenderer renderer;
    renderer.attachWindow(window.handle());
    EXPECT_NE(renderer.deviceContext(), nullptr);
    EXPECT_EQ(renderer.view().viewWidth(), viewWidth);
    EXPECT_EQ(renderer.view().viewHeight(), viewHeight);
    const SourceImage image{panorama.pixels.data(), panorama.width, panorama.height,
                            panorama.stride};
    renderer.setImage(&image);
    const ViewRadians radians = viewRadiansFromDegrees(view.pan, view.tilt, view.fov);
    renderer.view().setView(radians.pan, radians.tilt, radians.fov);
    renderer.timerTick(1);
    ViewWindow::pumpMessages();
    renderer.draw();
    GdiFlush();
    ViewWindow::pumpMessages();
    const Bitmap24 shot = window.screenshot();
    EXPECT_EQ(differingPixels(shot, expected), 0);
    EXPECT_TRUE(renderer.detachWindow());
}

INSTANTIATE_TEST_SUITE_P(Views, WindowView,
                         ::testing::Values(View{30.0f, 10.0f, 90.0f}, View{-120.0f, -35.0f, 60.0f},
                                           View{179.0f, 0.0f, 150.0f}));

// Without an image the renderer paints its background colour.
TEST(WindowBackground, NoImageShowsTheBackgroundBrush) {
    ViewWindow window;
    ViewRenderer renderer;
    renderer.attachWindow(window.handle());
    renderer.setImage(nullptr);
    renderer.timerTick(1);
    renderer.draw();
    GdiFlush();
    ViewWindow::pumpMessages();
    const Bitmap24 shot = window.screenshot();
    const std::size_t middle = static_cast<std::size_t>(viewHeight / 2) * shot.stride + 3 * 240;
    EXPECT_EQ(shot.pixels[middle], 198);      // blue
    EXPECT_EQ(shot.pixels[middle + 1], 195);  // green
    EXPECT_EQ(shot.pixels[middle + 2], 198);  // red
    EXPECT_FALSE(renderer.view().hasViewBitmap());
}

}  // namespace
