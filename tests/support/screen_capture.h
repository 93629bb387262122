// What reaches the screen, for Windows tests: 24-bit pictures read from the
// screen or from BMP files, compared pixel by pixel; and child programs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

struct Bitmap24 {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> pixels;  // bottom-up rows, blue green red
};

// The screen's pixels where `window`'s client area lies.
Bitmap24 screenshotOf(HWND window);
bool readBmp(const std::string& path, Bitmap24& bitmap);
void writeBmp(const std::string& path, const Bitmap24& bitmap);
// Pixels of a and b (same size) whose colours differ.
int differingPixels(const Bitmap24& a, const Bitmap24& b);

// A program in this test program's folder.
std::string besideThisProgram(const char* name);
// Runs the command line and returns its exit code (-1 when it does not start).
int runProgram(const std::string& commandLine);

}  // namespace test_support
