#include "pictures/picture_format.h"

#include <cstring>

namespace tourpack {

FileKind detectFileKind(const std::uint8_t* bytes, std::size_t size) {
    const auto startsWith = [&](const char* magic, std::size_t length) {
        return size >= length && std::memcmp(bytes, magic, length) == 0;
    };
    if (startsWith("\xFF\xD8\xFF", 3)) {
        return FileKind::jpeg;
    }
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) {
        return FileKind::gif;
    }
    if (startsWith("BM", 2) && size >= 14) {
        return FileKind::bmp;
    }
    if (startsWith("\x89PNG\r\n\x1A\n", 8)) {
        return FileKind::png;
    }
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4)) {
        return FileKind::tiff;
    }
    if (size >= 12 && startsWith("RIFF", 4) && std::memcmp(bytes + 8, "WAVE", 4) == 0) {
        return FileKind::wave;
    }
    if (startsWith("ID3", 3) || (size >= 2 && bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0)) {
        return FileKind::mp3;
    }
    if (startsWith("MZ", 2)) {
        return FileKind::windowsModule;
    }
    return FileKind::unknown;
}

std::string foreignPictureFormat(const std::uint8_t* bytes, std::size_t size) {
    if (size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 &&
        std::memcmp(bytes + 8, "WEBP", 4) == 0) {
        return "WebP";
    }
    if (size < 12 || std::memcmp(bytes + 4, "ftyp", 4) != 0) {
        return "";
    }
    const std::string brand(reinterpret_cast<const char*>(bytes + 8), 4);
    if (brand == "avif" || brand == "avis") {
        return "AVIF";
    }
    const bool heic = brand == "heic" || brand == "heix" || brand == "hevc" || brand == "heim" ||
                      brand == "heis" || brand == "mif1" || brand == "msf1";
    return heic ? "HEIC" : "";
}

bool isPlayerPicture(FileKind kind) {
    return kind == FileKind::jpeg || kind == FileKind::gif || kind == FileKind::bmp;
}

const char* extensionFor(FileKind kind) {
    switch (kind) {
        case FileKind::jpeg:
            return "jpg";
        case FileKind::gif:
            return "gif";
        case FileKind::bmp:
            return "bmp";
        case FileKind::png:
            return "png";
        case FileKind::tiff:
            return "tif";
        case FileKind::tga:
            return "tga";
        case FileKind::wave:
            return "wav";
        case FileKind::mp3:
            return "mp3";
        case FileKind::windowsModule:
            return "dll";
        case FileKind::unknown:
            break;
    }
    return "bin";
}

const char* describe(FileKind kind) {
    switch (kind) {
        case FileKind::jpeg:
            return "a JPEG picture";
        case FileKind::gif:
            return "a GIF picture";
        case FileKind::bmp:
            return "a BMP picture";
        case FileKind::png:
            return "a PNG picture";
        case FileKind::tiff:
            return "a TIFF picture";
        case FileKind::tga:
            return "a TGA picture";
        case FileKind::wave:
            return "a WAV sound";
        case FileKind::mp3:
            return "an MP3 sound";
        case FileKind::windowsModule:
            return "a Windows module";
        case FileKind::unknown:
            break;
    }
    return "of unknown kind";
}

}  // namespace tourpack
