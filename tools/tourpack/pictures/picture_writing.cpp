#include "text/utf8_path.h"
#include "pictures/picture_writing.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <vector>

#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include "pictures/tiff_opening.h"

#include "text/tourpack_error.h"

namespace tourpack {
namespace {

namespace fs = std::filesystem;

enum class WrittenFormat { png, jpeg, bmp, tiff };

struct FormatName {
    const char* extension;
    WrittenFormat format;
};

const std::vector<FormatName>& writableFormats() {
    static const std::vector<FormatName> formats = {
        {".png", WrittenFormat::png},   {".jpg", WrittenFormat::jpeg},
        {".jpeg", WrittenFormat::jpeg}, {".bmp", WrittenFormat::bmp},
#ifdef TOURPACK_HAS_TIFF
        {".tif", WrittenFormat::tiff},  {".tiff", WrittenFormat::tiff},
#endif
    };
    return formats;
}

std::string lowerExtension(const fs::path& file) {
    std::string extension = utf8Of(file.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

WrittenFormat formatOf(const fs::path& file) {
    const std::string extension = lowerExtension(file);
    for (const FormatName& name : writableFormats()) {
        if (extension == name.extension) {
            return name.format;
        }
    }
    const std::string given = extension.empty() ? "no extension" : "the extension " + extension;
    throw TourpackError(utf8Of(file) + ": " + given + " names no format tourpack writes; use " +
                        writablePictureExtensions());
}

// Red, green, blue rows top-down, unpadded: what the encoders take.
std::vector<std::uint8_t> topDownRgb(const BitmapPixels& picture) {
    const auto width = static_cast<std::size_t>(picture.width);
    std::vector<std::uint8_t> rgb(width * 3 * static_cast<std::size_t>(picture.height));
    for (std::int32_t y = 0; y < picture.height; ++y) {
        const std::uint8_t* from =
            picture.pixels.data() +
            static_cast<std::size_t>(picture.height - 1 - y) * picture.stride;
        std::uint8_t* to = rgb.data() + static_cast<std::size_t>(y) * width * 3;
        for (std::size_t x = 0; x < width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return rgb;
}

void appendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int n = 0; n < bytes; ++n) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * n)));
    }
}

// A 24-bit bottom-up BMP holds the rows exactly as the view keeps them.
std::vector<std::uint8_t> bmpFile(const BitmapPixels& picture) {
    const auto imageSize = static_cast<std::uint32_t>(picture.pixels.size());
    const std::uint32_t headerSize = 54;
    std::vector<std::uint8_t> file = {'B', 'M'};
    file.reserve(headerSize + imageSize);
    appendLittleEndian(file, headerSize + imageSize, 4);
    appendLittleEndian(file, 0, 4);
    appendLittleEndian(file, headerSize, 4);
    appendLittleEndian(file, 40, 4);
    appendLittleEndian(file, static_cast<std::uint32_t>(picture.width), 4);
    appendLittleEndian(file, static_cast<std::uint32_t>(picture.height), 4);  // bottom-up
    appendLittleEndian(file, 1, 2);
    appendLittleEndian(file, 24, 2);
    appendLittleEndian(file, 0, 4);
    appendLittleEndian(file, imageSize, 4);
    appendLittleEndian(file, 2835, 4);  // 72 dots per inch
    appendLittleEndian(file, 2835, 4);
    appendLittleEndian(file, 0, 4);
    appendLittleEndian(file, 0, 4);
    file.insert(file.end(), picture.pixels.begin(), picture.pixels.end());
    return file;
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

std::vector<std::uint8_t> encoded(const fs::path& file, WrittenFormat format,
                                  const BitmapPixels& picture, int jpegQuality) {
    if (format == WrittenFormat::bmp) {
        return bmpFile(picture);
    }
    const std::vector<std::uint8_t> rgb = topDownRgb(picture);
    std::vector<std::uint8_t> bytes;
    const int done = format == WrittenFormat::png
                         ? stbi_write_png_to_func(appendBytes, &bytes, picture.width,
                                                  picture.height, 3, rgb.data(), picture.width * 3)
                         : stbi_write_jpg_to_func(appendBytes, &bytes, picture.width,
                                                  picture.height, 3, rgb.data(), jpegQuality);
    if (!done) {
        throw TourpackError(utf8Of(file) + ": the picture could not be encoded");
    }
    return bytes;
}

void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw TourpackError(utf8Of(file) + ": cannot be written");
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::error_code ignored;
        fs::remove(file, ignored);
        throw TourpackError(utf8Of(file) + ": cannot be written completely");
    }
}

#ifdef TOURPACK_HAS_TIFF

// Lossless: 8-bit RGB, deflated when the library has the codec.
void writeTiff(const fs::path& file, const BitmapPixels& picture) {
    std::string message;
    TIFF* tiff = openTiff(file, "w", message);
    if (tiff == nullptr) {
        throw TourpackError(utf8Of(file) + ": cannot be written (" + message + ")");
    }
    const std::vector<std::uint8_t> rgb = topDownRgb(picture);
    const auto rowBytes = static_cast<std::size_t>(picture.width) * 3;
    const bool deflate = TIFFIsCODECConfigured(COMPRESSION_ADOBE_DEFLATE) != 0;
    bool written =
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(picture.width)) &&
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(picture.height)) &&
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3) &&
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8) &&
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
        TIFFSetField(tiff, TIFFTAG_COMPRESSION,
                     deflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE) &&
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    for (std::int32_t y = 0; written && y < picture.height; ++y) {
        written = TIFFWriteScanline(tiff, const_cast<std::uint8_t*>(rgb.data() + y * rowBytes),
                                    static_cast<std::uint32_t>(y), 0) == 1;
    }
    TIFFClose(tiff);
    if (!written) {
        std::error_code ignored;
        fs::remove(file, ignored);
        throw TourpackError(utf8Of(file) + ": cannot be written completely (" + message + ")");
    }
}

#endif

}  // namespace

BitmapPixels bitmapFromRgb(const RgbPicture& picture) {
    BitmapPixels bitmap;
    bitmap.width = picture.size.width;
    bitmap.height = picture.size.height;
    bitmap.stride =
        static_cast<std::int32_t>((static_cast<std::size_t>(bitmap.width) * 3 + 3) & ~3u);
    bitmap.pixels.assign(static_cast<std::size_t>(bitmap.stride) * bitmap.height, 0);
    const auto width = static_cast<std::size_t>(bitmap.width);
    for (std::int32_t y = 0; y < bitmap.height; ++y) {
        const std::uint8_t* from = picture.pixels.data() + static_cast<std::size_t>(y) * width * 3;
        std::uint8_t* to =
            bitmap.pixels.data() + static_cast<std::size_t>(bitmap.height - 1 - y) * bitmap.stride;
        for (std::size_t x = 0; x < width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return bitmap;
}

std::string writablePictureExtensions() {
    std::string list;
    for (const FormatName& name : writableFormats()) {
        list += (list.empty() ? "" : ", ") + std::string(name.extension);
    }
    return list;
}

void requireWritablePicture(const fs::path& file) {
    formatOf(file);
}

void writePicture(const fs::path& file, const BitmapPixels& picture, int jpegQuality) {
    const WrittenFormat format = formatOf(file);
#ifdef TOURPACK_HAS_TIFF
    if (format == WrittenFormat::tiff) {
        writeTiff(file, picture);
        return;
    }
#endif
    writeBytes(file, encoded(file, format, picture, jpegQuality));
}

}  // namespace tourpack
