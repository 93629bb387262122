// Recognises the files a tour carries by their first bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tourpack {

// TGA has no signature: detectFileKind never gives it; see pictureKindOf.
enum class FileKind { jpeg, gif, bmp, png, tiff, tga, wave, mp3, windowsModule, unknown };

FileKind detectFileKind(const std::uint8_t* bytes, std::size_t size);

// The name of a picture format tourpack does not read that the bytes begin
// ("WebP", "HEIC", "AVIF"), or "".
std::string foreignPictureFormat(const std::uint8_t* bytes, std::size_t size);

// True for the picture formats the player's decoder takes: JPEG, GIF and BMP.
bool isPlayerPicture(FileKind kind);

// "jpg", "gif", "bmp", "png", "tif", "tga", "wav", "mp3", "dll" or "bin".
const char* extensionFor(FileKind kind);
const char* describe(FileKind kind);

}  // namespace tourpack
