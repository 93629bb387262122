#include "text/utf8_path.h"
#include "pictures/picture_preparation.h"

#include <fstream>
#include <map>
#include <random>

#include "text/field_names.h"
#include "process/interruption.h"
#include "pictures/jpeg_reading.h"
#include "pictures/jpeg_transcoding.h"
#include "pictures/picture_conversion.h"
#include "text/tourpack_error.h"

namespace tourpack {
namespace {

namespace fs = std::filesystem;

fs::path newScratchFolder() {
    std::random_device entropy;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = base / ("tourpack-" + std::to_string(entropy()));
        if (fs::create_directory(folder, error)) {
            return folder;
        }
    }
    throw TourpackError(utf8Of(base) + ": cannot make a folder for converted pictures here");
}

bool playerTakesAsItIs(FileKind kind) {
    return kind == FileKind::jpeg || kind == FileKind::gif || kind == FileKind::bmp;
}

class PictureConverter {
  public:
    PictureConverter(const Manifest& manifest, const ConversionOptions& options,
                     const fs::path& scratch, std::vector<std::string>& notices)
        : manifest_(manifest), options_(options), scratch_(scratch), notices_(notices) {}

    // The file to pack for a note's picture: itself when the player shows it
    // as it is and it fits the note's box, else a JPEG reduced to fit.
    fs::path prepareNote(const std::string& field, const fs::path& picture) {
        const auto known = preparedNotes_.find(picture);
        if (known != preparedNotes_.end()) {
            return known->second;
        }
        try {
            stopIfInterrupted();
            std::string line;
            const fs::path result = fitNote(field, picture, line);
            preparedNotes_[picture] = result;
            if (options_.pictureDone) {
                options_.pictureDone(line);
            }
            return result;
        } catch (const Interrupted&) {
            throw;  // an interruption is no fault of the picture
        } catch (const TourpackError& error) {
            throw forField(field, error);
        }
    }

    // The file to pack for `picture` (itself, or its converted copy); sets
    // `size` to the picture's own size.
    fs::path prepare(const std::string& field, const fs::path& picture, PictureSize& size) {
        // A picture used twice is converted once (and then stored once).
        const auto known = prepared_.find(picture);
        if (known != prepared_.end()) {
            size = known->second.second;
            return known->second.first;
        }
        try {
            stopIfInterrupted();
            const fs::path converted = convert(field, picture, size);
            stopIfInterrupted();
            const fs::path result = storedWithRestartMarkers(converted, scratch_);
            prepared_[picture] = {result, size};
            if (options_.pictureDone) {
                options_.pictureDone(converted == picture
                                         ? keptLine(field, picture, size, result != picture)
                                         : notices_.back());
            }
            return result;
        } catch (const Interrupted&) {
            throw;  // an interruption is no fault of the picture
        } catch (const TourpackError& error) {
            throw forField(field, error);
        }
    }

  private:
    // The error of the picture in `field`, named by the manifest and the field.
    TourpackError forField(const std::string& field, const TourpackError& error) const {
        return TourpackError(utf8Of(manifest_.file) + ": field '" + field + "': " + error.what());
    }

    // A picture the player takes: stored byte for byte, or, a JPEG not yet in
    // row bands, copied coefficient for coefficient with restart markers.
    static std::string keptLine(const std::string& field, const fs::path& picture, PictureSize size,
                                bool markersAdded) {
        return field + ": " + utf8Of(picture.filename()) + ", " + describe(pictureKindOf(picture)) +
               " of " + describeSize(size) + ", " +
               (markersAdded ? "stored with restart markers, pixels unchanged" : "stored as it is");
    }

    // The kind of a picture build reads.
    static FileKind readableKind(const fs::path& picture) {
        std::error_code error;
        if (!fs::is_regular_file(picture, error)) {
            throw TourpackError(utf8Of(picture) + " does not exist or is not a file");
        }
        const FileKind kind = pictureKindOf(picture);
        const bool convertible =
            kind == FileKind::png || kind == FileKind::tga || kind == FileKind::tiff;
        if (!playerTakesAsItIs(kind) && !convertible) {
            throw TourpackError(utf8Of(picture) +
                                " is not a JPEG, GIF, BMP, PNG, TGA or TIFF picture (it is " +
                                describe(kind) + ")");
        }
        return kind;
    }

    // A note's picture is small and shown once: it is kept or encoded anew,
    // never given restart markers.
    fs::path fitNote(const std::string& field, const fs::path& picture, std::string& line) {
        const FileKind kind = readableKind(picture);
        const PictureSize size = probePicture(picture, kind);
        const PictureSize fitted = sizeToFit(size, notePictureBox);
        const bool fits = fitted.width == size.width && fitted.height == size.height;
        if (playerTakesAsItIs(kind) && fits &&
            (kind != FileKind::jpeg || !jpegTreatment(picture).needed())) {
            decodePicture(picture, kind);  // damage found now, by name
            line = keptLine(field, picture, size, false);
            return picture;
        }
        RgbPicture pixels = decodePicture(picture, kind);
        std::string done = field + ": " + utf8Of(picture.filename()) + ", " + describe(kind) +
                           " of " + describeSize(pixels.size) + ", ";
        const PictureSize target = sizeToFit(pixels.size, notePictureBox);
        if (target.width < pixels.size.width) {
            pixels = reducePicture(pixels, target.width, PictureEdges::extended);
            done += "reduced to " + describeSize(pixels.size) + " (Mitchell filter) and ";
        }
        const fs::path converted = writeJpeg(pixels, picture);
        line = done + "stored as JPEG (quality " + std::to_string(options_.quality) + ")";
        notices_.push_back(line);
        return converted;
    }

    fs::path writeJpeg(const RgbPicture& pixels, const fs::path& picture) {
        const std::vector<std::uint8_t> jpeg = encodeJpeg(pixels, options_.quality);
        const fs::path converted = scratch_ / pathFromUtf8(std::to_string(++count_) + "-" +
                                                           utf8Of(picture.stem()) + ".jpg");
        std::ofstream out(converted, std::ios::binary);
        out.write(reinterpret_cast<const char*>(jpeg.data()),
                  static_cast<std::streamsize>(jpeg.size()));
        if (!out.flush()) {
            throw TourpackError(utf8Of(converted) + ": cannot write the converted picture");
        }
        return converted;
    }

    fs::path convert(const std::string& field, const fs::path& picture, PictureSize& size) {
        const FileKind kind = readableKind(picture);
        const PictureSize original = probePicture(picture, kind);
        size = original;
        const JpegTreatment treatment =
            kind == FileKind::jpeg ? jpegTreatment(picture) : JpegTreatment{};
        const bool wideEnough = original.width <= options_.maxWidth;
        if (playerTakesAsItIs(kind) && wideEnough && !treatment.needed()) {
            // Decoded only to find a truncated or corrupt file now, by name,
            // rather than in the player.
            decodePicture(picture, kind);
            return picture;
        }
        if (kind == FileKind::jpeg && wideEnough && treatment.turn.possible()) {
            decodePicture(picture, kind);  // as above
            const std::optional<fs::path> stored =
                storedUprightLosslessly(picture, scratch_, treatment.orientation);
            if (stored) {
                notices_.push_back(storedLosslesslyLine(field, picture, treatment));
                return *stored;
            }
        }
        return reencode(field, picture, kind, treatment, size);
    }

    // A JPEG kept as it is but for its coding and the way it stands.
    static std::string storedLosslesslyLine(const std::string& field, const fs::path& picture,
                                            const JpegTreatment& treatment) {
        const LosslessTurn& turn = treatment.turn;
        const PictureSize upright{turn.upright.width + turn.trimmedLeft,
                                  turn.upright.height + turn.trimmedTop};
        std::string done =
            field + ": " + utf8Of(picture.filename()) + ", " +
            (treatment.arithmetic ? "an arithmetic-coded JPEG picture" : describe(FileKind::jpeg)) +
            " of " + describeSize(upright) + ", ";
        if (treatment.orientation == 1) {
            return done + "stored as baseline JPEG (losslessly)";
        }
        done += "turned upright losslessly (its orientation tag: " +
                describeOrientation(treatment.orientation) + "), ";
        if (!turn.trimmedText().empty()) {
            done += turn.trimmedText() + " (now " + describeSize(turn.upright) + "), ";
        }
        return done + "stored as baseline JPEG";
    }

    // Decoded (turned upright), reduced where it is too wide and encoded anew.
    fs::path reencode(const std::string& field, const fs::path& picture, FileKind kind,
                      const JpegTreatment& treatment, PictureSize& size) {
        RgbPicture pixels = decodePicture(picture, kind);
        // Each step of a large picture takes seconds: an interruption is
        // taken between them, not only between pictures.
        stopIfInterrupted();
        size = pixels.size;
        std::string done =
            field + ": " + utf8Of(picture.filename()) + ", " +
            (treatment.arithmetic ? "an arithmetic-coded JPEG picture" : describe(kind)) + " of " +
            describeSize(pixels.size) + ", ";
        if (treatment.orientation != 1) {
            done += "turned upright (its orientation tag: " +
                    describeOrientation(treatment.orientation) + "), ";
        }
        const std::string hint = largerWidthHint(pixels.size, options_.maxWidth);
        if (pixels.size.width > options_.maxWidth) {
            pixels = reducePicture(pixels, options_.maxWidth);
            done += "reduced to " + describeSize(pixels.size) + " (Mitchell filter) and ";
            stopIfInterrupted();
        }
        const fs::path converted = writeJpeg(pixels, picture);
        notices_.push_back(done + "stored as JPEG (quality " + std::to_string(options_.quality) +
                           ")" + (hint.empty() ? "" : "; " + hint));
        return converted;
    }

    const Manifest& manifest_;
    const ConversionOptions& options_;
    fs::path scratch_;
    std::vector<std::string>& notices_;
    int count_ = 0;
    std::map<fs::path, std::pair<fs::path, PictureSize>> prepared_;
    std::map<fs::path, fs::path> preparedNotes_;
};

}  // namespace

PreparedPictures::PreparedPictures() = default;

PreparedPictures::~PreparedPictures() {
    if (!scratch_.empty()) {
        std::error_code error;
        fs::remove_all(scratch_, error);
    }
}

void preparePictures(const Manifest& manifest, const ConversionOptions& options,
                     PreparedPictures& prepared, std::vector<std::string>& warnings) {
    prepared.manifest_ = manifest;
    prepared.scratch_ = newScratchFolder();
    PictureConverter converter(manifest, options, prepared.scratch_, prepared.notices_);
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const std::string field = sceneField(i) + ".image";
        PictureSize size;
        prepared.manifest_.scenes[i].image =
            converter.prepare(field, manifest.scenes[i].image, size);
        if (!coversFullTurn(size)) {
            warnings.push_back(utf8Of(manifest.file) + ": field '" + field +
                               "': " + utf8Of(manifest.scenes[i].image.filename()) + ": " +
                               partialPanoramaWarning(size));
        }
    }
    if (!manifest.infoPicture.empty()) {
        PictureSize size;
        prepared.manifest_.infoPicture =
            converter.prepare("info.picture", manifest.infoPicture, size);
    }
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const std::vector<NoteEntry>& notes = manifest.scenes[i].notes;
        for (std::size_t k = 0; k < notes.size(); ++k) {
            if (!notes[k].picture.empty()) {
                prepared.manifest_.scenes[i].notes[k].picture = converter.prepareNote(
                    noteField(sceneField(i), k) + ".picture", notes[k].picture);
            }
        }
    }
}

}  // namespace tourpack
