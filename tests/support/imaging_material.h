// Material of the image-loading tests under Wine: the test language module
// and the texts of its prompts, the picture files the imaging tests' build
// makes, movable blocks, pixels of decoded pictures and the process's memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/scoped_handle.h"

namespace test_support {

// A picture made by the build: bin/imaging-pictures/<name>.
std::string picturePath(const std::string& name);
bool fileExists(const std::string& path);
// A new movable block holding the bytes (padded with zeros to `size` when larger).
platform::UniqueGlobal makeBlock(const std::vector<std::uint8_t>& bytes, std::size_t size = 0);

// Loads the test language module (the image prompts' strings) once and
// makes it the prompts' string module.
void useTestLanguageModule();
// The texts the test language module holds.
inline constexpr const char* decodeCaption = "Picture problem";
inline constexpr const char* decodeText = "This picture cannot be shown. Go on?";
inline constexpr const char* warningCaption = "Bitmap problem";
inline constexpr const char* warningText = "No bitmap could be made for this picture.";

// Bytes (blue, green, red) of the pixel at column x of the picture's row y
// counted from the top, in a bottom-up 24-bit buffer.
struct Bgr {
    int blue, green, red;
};
Bgr pixelAt(const std::uint8_t* bits, std::int32_t stride, std::int32_t height, int x, int y);

// The process's private bytes (its commit charge).
std::uint64_t privateBytes();

}  // namespace test_support
