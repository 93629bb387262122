#include "text/utf8_path.h"
#include "pictures/picture_conversion.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include "pictures/tiff_opening.h"

#include "pictures/jpeg_reading.h"
#include "text/tourpack_error.h"

namespace tourpack {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const fs::path& file, const std::string& what) {
    throw TourpackError(utf8Of(file) + ": " + what);
}

std::vector<std::uint8_t> readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fail(file, "cannot be read");
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) {
        fail(file, "cannot be read");
    }
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        fail(file, "is empty or larger than 2 GiB");
    }
    return bytes;
}

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

// Each pixel over black: what shows through is dark, as an unphotographed
// part of a panorama usually is.
std::vector<std::uint8_t> flattenOverBlack(const std::uint8_t* rgba, std::size_t pixels) {
    std::vector<std::uint8_t> rgb(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned alpha = rgba[4 * i + 3];
        for (int c = 0; c < 3; ++c) {
            rgb[3 * i + c] = static_cast<std::uint8_t>((rgba[4 * i + c] * alpha + 127) / 255);
        }
    }
    return rgb;
}

// The header of a picture stb_image reads: its size and channel count.
struct StbHeader {
    PictureSize size;
    int channels = 0;
};

StbHeader readStbHeader(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    StbHeader header;
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &header.size.width,
                               &header.size.height, &header.channels)) {
        fail(file,
             std::string("is not a picture that can be read (") + stbi_failure_reason() + ")");
    }
    return header;
}

RgbPicture decodeWithStb(const fs::path& file) {
    const std::vector<std::uint8_t> bytes = readAll(file);
    const int size = static_cast<int>(bytes.size());
    const int channels = readStbHeader(file, bytes).channels;
    int width = 0;
    int height = 0;
    int decodedChannels = 0;
    const bool hasAlpha = channels == 2 || channels == 4;
    std::unique_ptr<stbi_uc, StbFree> pixels(stbi_load_from_memory(
        bytes.data(), size, &width, &height, &decodedChannels, hasAlpha ? 4 : 3));
    if (!pixels) {
        fail(file, std::string("is truncated or corrupt (") + stbi_failure_reason() + ")");
    }
    RgbPicture picture{{width, height}, {}};
    const std::size_t count = static_cast<std::size_t>(width) * height;
    if (hasAlpha) {
        picture.pixels = flattenOverBlack(pixels.get(), count);
    } else {
        picture.pixels.assign(pixels.get(), pixels.get() + count * 3);
    }
    return picture;
}

#ifdef TOURPACK_HAS_TIFF

class OpenedTiff {
  public:
    explicit OpenedTiff(const fs::path& file) : file_(file) {
        tiff_ = openTiff(file, "r", message_);
        if (tiff_ == nullptr) {
            fail(file, "is not a TIFF picture that can be read (" + message_ + ")");
        }
    }
    ~OpenedTiff() { TIFFClose(tiff_); }
    OpenedTiff(const OpenedTiff&) = delete;
    OpenedTiff& operator=(const OpenedTiff&) = delete;

    PictureSize size() const {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height);
        if (width == 0 || height == 0 || width > INT32_MAX / 4 || height > INT32_MAX / 4) {
            fail(file_, "has no usable picture size");
        }
        return {static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    }

    RgbPicture decode() {
        const PictureSize picture = size();
        const std::size_t count = static_cast<std::size_t>(picture.width) * picture.height;
        // Any sample depth and layout, 8 bits per channel out, as ABGR words.
        std::vector<std::uint32_t> raster(count);
        if (!TIFFReadRGBAImageOriented(tiff_, static_cast<std::uint32_t>(picture.width),
                                       static_cast<std::uint32_t>(picture.height), raster.data(),
                                       ORIENTATION_TOPLEFT, 1)) {
            fail(file_, "is truncated or corrupt (" + message_ + ")");
        }
        std::vector<std::uint8_t> rgba(count * 4);
        for (std::size_t i = 0; i < count; ++i) {
            rgba[4 * i] = static_cast<std::uint8_t>(TIFFGetR(raster[i]));
            rgba[4 * i + 1] = static_cast<std::uint8_t>(TIFFGetG(raster[i]));
            rgba[4 * i + 2] = static_cast<std::uint8_t>(TIFFGetB(raster[i]));
            rgba[4 * i + 3] = static_cast<std::uint8_t>(TIFFGetA(raster[i]));
        }
        return {picture, flattenOverBlack(rgba.data(), count)};
    }

  private:
    fs::path file_;
    std::string message_;
    TIFF* tiff_ = nullptr;
};

#endif

void requireTiffSupport(const fs::path& file) {
    if (!readsTiff()) {
        fail(
            file,
            "is a TIFF picture, and this build of tourpack does not read TIFF (it was built "
            "without libtiff; the Linux tourpack reads it, or convert the picture to PNG or JPEG)");
    }
}

}  // namespace

FileKind pictureKindOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::uint8_t head[16] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const FileKind kind = detectFileKind(head, static_cast<std::size_t>(in.gcount()));
    std::string extension = utf8Of(file.extension());
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return kind == FileKind::unknown && extension == ".tga" ? FileKind::tga : kind;
}

std::string foreignPictureFormat(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::uint8_t head[16] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return foreignPictureFormat(head, static_cast<std::size_t>(in.gcount()));
}

bool readsTiff() {
#ifdef TOURPACK_HAS_TIFF
    return true;
#else
    return false;
#endif
}

std::optional<JpegFacts> jpegFactsOf(const fs::path& file) {
    const std::vector<std::uint8_t> bytes = readAll(file);
    std::optional<JpegFacts> facts = readJpegFacts(bytes);
    if (facts && (facts->precision != 8 || facts->lossless())) {
        fail(file, "is " + facts->kind() +
                       ", which tourpack does not read (it reads 8-bit "
                       "JPEG); save it as an 8-bit JPEG");
    }
    return facts;
}

PictureSize probePicture(const fs::path& file, FileKind kind) {
    if (kind == FileKind::tiff) {
        requireTiffSupport(file);
#ifdef TOURPACK_HAS_TIFF
        return OpenedTiff(file).size();
#endif
    }
    if (kind == FileKind::jpeg) {
        const std::optional<JpegFacts> facts = jpegFactsOf(file);
        if (!facts || !facts->arithmetic()) {
            // Names a JPEG stb_image cannot read.
            const PictureSize stored = readStbHeader(file, readAll(file)).size;
            if (!facts) {
                return stored;
            }
        }
        const LosslessTurn turn = facts->turn();
        return turn.possible() ? turn.upright : facts->upright();
    }
    return readStbHeader(file, readAll(file)).size;
}

RgbPicture decodePicture(const fs::path& file, FileKind kind) {
    if (kind == FileKind::tiff) {
        requireTiffSupport(file);
#ifdef TOURPACK_HAS_TIFF
        return OpenedTiff(file).decode();
#endif
    }
    if (kind != FileKind::jpeg) {
        return decodeWithStb(file);
    }
    const std::optional<JpegFacts> facts = jpegFactsOf(file);
    RgbPicture picture;
    if (facts && facts->arithmetic()) {
        std::string error;
        auto pixels = decodeJpegWithLibrary(readAll(file), picture.size, error);
        if (!pixels) {
            fail(file, "is truncated or corrupt (" + error + ")");
        }
        picture.pixels = std::move(*pixels);
    } else {
        // stb_image fills in damaged entropy data without a word; the
        // library names it.
        if (const std::optional<std::string> damage = jpegDamage(readAll(file))) {
            fail(file, "is truncated or corrupt (" + *damage + ")");
        }
        picture = decodeWithStb(file);
    }
    if (facts && facts->orientation != 1) {
        picture.pixels = orientUpright(picture.pixels, picture.size, facts->orientation);
    }
    return picture;
}

PictureSize readPictureThrough(const fs::path& file) {
    const FileKind kind = pictureKindOf(file);
    const PictureSize size = probePicture(file, kind);
    decodePicture(file, kind);
    return size;
}

JpegTreatment jpegTreatment(const fs::path& file) {
    const std::optional<JpegFacts> facts = jpegFactsOf(file);
    JpegTreatment treatment;
    if (facts) {
        treatment.arithmetic = facts->arithmetic();
        treatment.orientation = facts->orientation;
        treatment.turn = facts->turn();
    }
    return treatment;
}

RgbPicture reducePicture(const RgbPicture& picture, std::int32_t width, PictureEdges edges) {
    RgbPicture reduced{reducedSize(picture.size, width), {}};
    reduced.pixels.resize(static_cast<std::size_t>(reduced.size.width) * reduced.size.height * 3);
    const int done = stbir_resize(
        picture.pixels.data(), picture.size.width, picture.size.height, picture.size.width * 3,
        reduced.pixels.data(), reduced.size.width, reduced.size.height, reduced.size.width * 3,
        STBIR_TYPE_UINT8, 3, STBIR_ALPHA_CHANNEL_NONE, 0,
        edges == PictureEdges::wrapAround ? STBIR_EDGE_WRAP : STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP,
        STBIR_FILTER_MITCHELL, STBIR_FILTER_MITCHELL, STBIR_COLORSPACE_SRGB, nullptr);
    if (!done) {
        throw TourpackError("reducing a " + describeSize(picture.size) +
                            " picture failed (out of memory)");
    }
    return reduced;
}

std::vector<std::uint8_t> encodeJpeg(const RgbPicture& picture, int quality) {
    std::vector<std::uint8_t> jpeg;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
    };
    if (!stbi_write_jpg_to_func(append, &jpeg, picture.size.width, picture.size.height, 3,
                                picture.pixels.data(), quality)) {
        throw TourpackError("encoding a " + describeSize(picture.size) + " picture as JPEG failed");
    }
    return jpeg;
}

std::optional<BitmapPixels> decodeBitmapPixels(const std::uint8_t* bytes, std::size_t size,
                                               std::string& error) {
    if (size == 0 || size > static_cast<std::size_t>(INT32_MAX)) {
        error = "not a picture (empty or too large)";
        return std::nullopt;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    std::unique_ptr<stbi_uc, StbFree> rgb(
        stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 3));
    if (!rgb) {
        error = std::string("not a picture that can be decoded (") + stbi_failure_reason() + ")";
        return std::nullopt;
    }
    BitmapPixels picture;
    picture.width = width;
    picture.height = height;
    picture.stride = static_cast<std::int32_t>((static_cast<std::size_t>(width) * 3 + 3) & ~3u);
    picture.pixels.assign(static_cast<std::size_t>(picture.stride) * height, 0);
    // stb gives red, green, blue rows top-down.
    for (int y = 0; y < height; ++y) {
        const stbi_uc* from = rgb.get() + static_cast<std::size_t>(y) * width * 3;
        std::uint8_t* to =
            picture.pixels.data() + static_cast<std::size_t>(height - 1 - y) * picture.stride;
        for (int x = 0; x < width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return picture;
}

}  // namespace tourpack
