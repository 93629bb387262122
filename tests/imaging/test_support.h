// Helpers of the image-loading tests under Wine: the test language module,
// picture files made by the build, movable blocks, and a helper thread that
// answers a message box the way a user would.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace imaging_test {

// A picture made by the build: bin/imaging-pictures/<name>.
std::string picturePath(const std::string& name);
bool fileExists(const std::string& path);
// A new movable block holding the bytes (padded with zeros to `size` when larger).
HGLOBAL makeBlock(const std::vector<std::uint8_t>& bytes, std::size_t size = 0);

// Loads the test language module (the image prompts' strings) once and
// makes it the prompts' string module.
void useTestLanguageModule();
// The texts the test language module holds.
inline constexpr const char* decodeCaption = "Picture problem";
inline constexpr const char* decodeText = "This picture cannot be shown. Go on?";
inline constexpr const char* warningCaption = "Bitmap problem";
inline constexpr const char* warningText = "No bitmap could be made for this picture.";

// Watches from a helper thread for message boxes (test_support::dialogClassName)
// with the given caption and presses `button` (IDYES, IDNO, IDOK) on each,
// recording how many it answered and the text of the last one.
class BoxAnswerer {
  public:
    // `delayMs`: how long a box stays open before it is answered.
    BoxAnswerer(std::string caption, int button, int delayMs = 0);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    int answered() const { return answered_.load(); }
    std::string lastText() const;

  private:
    void watch();

    std::string caption_;
    int button_;
    int delayMs_;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    mutable std::mutex textMutex_;
    std::string lastText_;
    std::thread thread_;
};

// Bytes (blue, green, red) of the pixel at column x of the picture's row y
// counted from the top, in a bottom-up 24-bit buffer.
struct Bgr {
    int blue, green, red;
};
Bgr pixelAt(const std::uint8_t* bits, std::int32_t stride, std::int32_t height, int x, int y);

// The process's private bytes (its commit charge).
std::uint64_t privateBytes();

}  // namespace imaging_test
