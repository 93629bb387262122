#include "package/input_requirements.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "pictures/picture_conversion.h"
#include "text/tourpack_error.h"
#include "text/utf8_path.h"
#include "windows_module/module_resources.h"

namespace tourpack {

namespace fs = std::filesystem;

void failOnField(const Manifest& manifest, const std::string& field, const std::string& what) {
    throw TourpackError(utf8Of(manifest.file) + ": field '" + field + "': " + what);
}

std::int64_t requiredFileSize(const Manifest& manifest, const std::string& field,
                              const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        failOnField(manifest, field, utf8Of(file) + " does not exist or is not a file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        failOnField(manifest, field, utf8Of(file) + " cannot be read");
    }
    in.seekg(0, std::ios::end);
    return static_cast<std::int64_t>(in.tellg());
}

void requireWithin(const Manifest& manifest, const std::string& field, const fs::path& file,
                   PictureSize box) {
    const PictureSize size = probePicture(file, pictureKindOf(file));
    if (size.width > box.width || size.height > box.height) {
        failOnField(manifest, field,
                    utf8Of(file) + " is " + describeSize(size) + ", larger than " +
                        describeSize(box) + "; tourpack build reduces it to fit");
    }
}

void warnIfLargerThanItsPlace(const Manifest& manifest, const std::string& field,
                              const fs::path& file, PictureSize place, const std::string& what,
                              std::vector<std::string>& warnings) {
    const PictureSize size = probePicture(file, pictureKindOf(file));
    if (size.width > place.width || size.height > place.height) {
        warnings.push_back(utf8Of(manifest.file) + ": field '" + field + "': " + utf8Of(file) +
                           " is " + describeSize(size) + ", larger than the " +
                           describeSize(place) + " place the player draws it in (" + what +
                           "); make it at most " + describeSize(place));
    }
}

void requireLanguageResources(const Manifest& manifest, const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> module((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    const std::vector<std::string> missing = missingLanguageResources(module);
    if (missing.empty()) {
        return;
    }
    std::string list;
    for (const std::string& what : missing) {
        list += (list.empty() ? "" : ", ") + what;
    }
    failOnField(manifest, "language",
                utf8Of(file) + " lacks what the player needs of a language module: " + list);
}

FileKind fileKindOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::uint8_t head[16] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return detectFileKind(head, static_cast<std::size_t>(in.gcount()));
}

void requirePicture(const Manifest& manifest, const std::string& field, const fs::path& file,
                    PictureRule rule) {
    requiredFileSize(manifest, field, file);
    const FileKind kind =
        rule == PictureRule::convertibleToo ? pictureKindOf(file) : fileKindOf(file);
    if (rule == PictureRule::convertibleToo) {
        if (kind == FileKind::jpeg) {
            try {
                jpegTreatment(file);
            } catch (const TourpackError& error) {
                failOnField(manifest, field, error.what());  // a JPEG tourpack does not read
            }
        }
        if (kind == FileKind::tiff && !readsTiff()) {
            try {
                probePicture(file, kind);
            } catch (const TourpackError& error) {
                failOnField(manifest, field, error.what());  // names the missing TIFF support
            }
        }
        const bool convertible =
            kind == FileKind::png || kind == FileKind::tga || kind == FileKind::tiff;
        if (!isPlayerPicture(kind) && !convertible) {
            failOnField(manifest, field,
                        utf8Of(file) +
                            " is not a JPEG, GIF, BMP, PNG, TGA or TIFF picture (it is " +
                            describe(kind) + ")");
        }
        return;
    }
    if (kind == FileKind::png) {
        failOnField(manifest, field,
                    utf8Of(file) +
                        " is a PNG picture; the player decodes only JPEG, GIF and BMP "
                        "(convert it, for example to JPEG)");
    }
    if (!isPlayerPicture(kind)) {
        failOnField(
            manifest, field,
            utf8Of(file) + " is not a JPEG, GIF or BMP picture (it is " + describe(kind) + ")");
    }
}

void requireSound(const Manifest& manifest, const std::string& field, const fs::path& file,
                  std::vector<std::string>& warnings) {
    requiredFileSize(manifest, field, file);
    const FileKind kind = fileKindOf(file);
    if (kind != FileKind::wave && kind != FileKind::mp3) {
        warnings.push_back(utf8Of(manifest.file) + ": field '" + field + "': " + utf8Of(file) +
                           " is not a sound the player plays (WAV or MP3; it is " + describe(kind) +
                           "), so it stays silent");
    }
}

}  // namespace tourpack
