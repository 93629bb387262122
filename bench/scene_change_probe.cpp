// Scene changes of the real player, measured from outside it, for
// scripts/bench.sh:
//
//   scene_change_probe.exe platform PICTURE REPETITIONS
//       the platform picture service alone on the picture: OleLoadPicture
//       and IPicture::Render into a 24-bit DIB section, as the player used
//       it for every scene; prints "platform MS" (the median)
//   scene_change_probe.exe change next|SCENE|link
//       asks the running player's main window for the next scene (the
//       toolbar's command) or scene SCENE (the scene menu's), or follows the
//       leftmost link on screen (Tab, half a second, Enter), and watches the
//       view on the screen until it changed and then stayed the same for
//       three seconds; meanwhile another thread sends the window WM_NULL
//       every 10 ms. Prints "shown MS settled MS unanswered MS frames N gap
//       MS": when the view first changed, when it last changed, the longest
//       time the window took to answer, how many different frames were seen
//       and the longest time between two of them
//   scene_change_probe.exe peak
//       the player process's peak working set in bytes
//   scene_change_probe.exe close
//       asks the player's main window to close
//
// Exit code 1 when the player's window is not there or the view never
// changes.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lang_ids.h"
#include "platform/com_apartment.h"
#include "platform/com_ref.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"
#include "platform/worker_thread.h"
#include "shell/window_classes.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// One decode and render through the platform picture service, in ms.
double platformSceneImage(const std::vector<std::uint8_t>& bytes) {
    const auto start = Clock::now();
    platform::ComRef<IPicture> picture = platform::decodePicture(bytes.data(), bytes.size());
    if (!picture) {
        return -1.0;
    }
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    const platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = MulDiv(width, GetDeviceCaps(dc.get(), LOGPIXELSX), 2540);
    header.biHeight = MulDiv(height, GetDeviceCaps(dc.get(), LOGPIXELSY), 2540);
    header.biPlanes = 1;
    header.biBitCount = 24;
    void* bits = nullptr;
    const platform::UniqueBitmap section(CreateDIBSection(
        dc.get(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section) {
        return -1.0;
    }
    {
        const platform::Selection selected(dc.get(), section.get());
        picture->Render(dc.get(), 0, 0, header.biWidth, header.biHeight, 0, height, width, -height,
                        nullptr);
    }
    GdiFlush();
    return msSince(start);
}

int platformCommand(const char* path, int repetitions) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    const platform::ComApartment apartment;
    std::vector<double> times;
    for (int k = 0; k < repetitions; ++k) {
        const double ms = platformSceneImage(bytes);
        if (ms < 0) {
            std::fprintf(stderr, "%s does not decode\n", path);
            return 1;
        }
        times.push_back(ms);
    }
    std::printf("platform %.0f\n", median(times));
    return 0;
}

HWND playerWindow() {
    return FindWindowA(shell::mainWindowClassName, nullptr);
}

// A patch of the view as the screen shows it: up to 128 x 128 pixels about
// its centre. Reading the whole view from the screen every few milliseconds
// would take a good part of a core from the player being measured.
std::vector<std::uint8_t> viewPixels(HWND view) {
    RECT client{};
    GetClientRect(view, &client);
    const int width = std::min<int>(client.right, 128);
    const int height = std::min<int>(client.bottom, 128);
    POINT origin{(client.right - width) / 2, (client.bottom - height) / 2};
    ClientToScreen(view, &origin);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    const platform::WindowDC screen(nullptr);
    const platform::UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    const platform::UniqueBitmap section(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || width <= 0 || height <= 0) {
        return {};
    }
    {
        const platform::Selection selected(memory.get(), section.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), origin.x, origin.y, SRCCOPY);
    }
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    const std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<std::uint8_t> sample;
    sample.reserve(count);
    for (std::size_t at = 0; at < count; ++at) {
        sample.push_back(
            static_cast<std::uint8_t>(pixels[at] ^ (pixels[at] >> 8) ^ (pixels[at] >> 16)));
    }
    return sample;
}

// More than a tenth of the sampled pixels differ.
bool differs(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) {
        return true;
    }
    std::size_t differing = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        differing += a[k] != b[k] ? 1 : 0;
    }
    return differing * 10 > a.size();
}

// Sends WM_NULL every 10 ms and keeps the longest wait for an answer.
class Pinger {
  public:
    explicit Pinger(HWND window) {
        thread_.start([this, window] {
            while (!stop_) {
                const auto start = Clock::now();
                DWORD_PTR result = 0;
                SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result);
                const double waited = msSince(start);
                longest_ = std::max(longest_.load(), waited);
                Sleep(5);
            }
        });
    }
    ~Pinger() { stop(); }
    double stop() {
        stop_ = true;
        thread_.join();
        return longest_;
    }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_{0.0};
    platform::WorkerThread thread_;
};

// A view unchanged this long has settled: long enough for the largest
// panorama's full picture to follow its first look.
constexpr double quietMs = 3000.0;

// The main window's command for the next scene or for scene N.
WPARAM sceneCommand(const std::string& target) {
    return target == "next" ? IDM_NEXT_SCENE
                            : static_cast<WPARAM>(IDM_FIRST_SCENE - 1 + std::atoi(target.c_str()));
}

int changeCommand(const std::string& target) {
    const HWND window = playerWindow();
    const HWND view =
        window != nullptr ? FindWindowExA(window, nullptr, "OrbiViewer", nullptr) : nullptr;
    if (view == nullptr) {
        std::fprintf(stderr, "no player window\n");
        return 1;
    }
    // A link is highlighted first, and its scene given half a second to
    // decode ahead, as under a resting pointer; Enter then follows it.
    if (target == "link") {
        PostMessageA(view, WM_KEYDOWN, VK_TAB, 0);
        Sleep(500);
    }
    const std::vector<std::uint8_t> before = viewPixels(view);
    Pinger pinger(window);
    Sleep(50);
    const auto start = Clock::now();
    if (target == "link") {
        PostMessageA(view, WM_KEYDOWN, VK_RETURN, 0);
    } else {
        PostMessageA(window, WM_COMMAND, sceneCommand(target), 0);
    }
    double shown = -1.0;
    double settled = -1.0;
    double longestGap = 0.0;
    int frames = 0;
    std::vector<std::uint8_t> last = before;
    while (msSince(start) < 30000.0) {
        const std::vector<std::uint8_t> now = viewPixels(view);
        const double at = msSince(start);
        if (differs(now, last)) {
            if (shown < 0) {
                shown = at;
            } else {
                longestGap = std::max(longestGap, at - settled);
            }
            settled = at;
            last = now;
            ++frames;
        } else if (shown >= 0 && at - settled > quietMs) {
            break;
        }
        Sleep(2);
    }
    const double unanswered = pinger.stop();
    if (shown < 0) {
        std::fprintf(stderr, "the view did not change\n");
        return 1;
    }
    std::printf("shown %.0f settled %.0f unanswered %.0f frames %d gap %.0f\n", shown, settled,
                unanswered, frames, longestGap);
    return 0;
}

int peakCommand() {
    const HWND window = playerWindow();
    DWORD processId = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0) {
        return 1;
    }
    const platform::UniqueHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!process || !GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) {
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "platform" && argc > 3) {
        return platformCommand(argv[2], std::max(1, std::atoi(argv[3])));
    }
    if (command == "change" && argc > 2) {
        return changeCommand(argv[2]);
    }
    if (command == "peak") {
        return peakCommand();
    }
    if (command == "close") {
        const HWND window = playerWindow();
        return window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    std::fprintf(
        stderr,
        "usage: scene_change_probe platform PICTURE N | change next|SCENE | peak | close\n");
    return 2;
}
