#include "package/tour_loader.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "package/extension_block.h"
#include "package/field_reader.h"
#include "platform/files.h"

namespace package {

namespace {

constexpr char magic[] = "CAFEBABE";
constexpr std::int64_t trailerSize = 41;
constexpr std::int64_t magicSize = 8;
// The smallest scene record: an empty name, three angles and two byte ranges.
constexpr std::int64_t minimumSceneRecordSize =
    FieldReader::longWidth + 3 * FieldReader::floatWidth + 4 * FieldReader::longWidth;

// Scenes a truncated stream may still claim beyond what the file could hold.
// Every tour executable begins with the player (over a megabyte), so the
// file-size bound alone decides for real tours; this floor only lets a small,
// cut-off file keep a few empty scenes. (At 4096, garbage files claiming
// thousands of empty scenes took three quarters of the fuzzer's time.)
constexpr std::int32_t implausibleSceneCount = 64;

struct CorruptPackage {
    std::int64_t offset;
    std::string what;
};

// One forward pass over the record stream. Fields after the end of the stream
// read as empty; a length that is negative or reaches past the end of the file
// makes the package corrupt.
class RecordStreamReader {
  public:
    RecordStreamReader(const char* exePath, SkinSet& skinSet, std::string& languageModulePath,
                       ExtensionBlockStatus& extensionBlock)
        : exePath_(exePath),
          skinSet_(skinSet),
          languageModulePath_(languageModulePath),
          extensionBlock_(extensionBlock) {}

    std::unique_ptr<Tour> read(PackageError& error);

  private:
    bool trailerMatches();
    void readTour(Tour& tour);
    void readScene(Tour& tour, std::int32_t position);
    void readInfo(TourInfo& info);
    std::int32_t readLength(const char* field);
    std::string readString(const char* field);
    std::unique_ptr<FileItem> readItemRef();
    std::string writeBlob(const char* field, bool languageModule);
    std::int64_t position();
    void deleteMadeFiles();

    const char* exePath_;
    SkinSet& skinSet_;
    std::string& languageModulePath_;
    ExtensionBlockStatus& extensionBlock_;
    std::unique_ptr<std::istream> stream_;
    std::int64_t fileSize_ = 0;
    std::vector<std::string> madeFiles_;
};

std::unique_ptr<Tour> RecordStreamReader::read(PackageError& error) {
    stream_ = platform::openForReading(exePath_);
    if (!trailerMatches()) {
        error = {PackageError::badTrailer, fileSize_ - magicSize,
                 "the file does not end with the CAFEBABE trailer"};
        return nullptr;
    }
    auto tour = std::make_unique<Tour>();
    try {
        readTour(*tour);
    } catch (const CorruptPackage& corrupt) {
        deleteMadeFiles();
        error = {PackageError::corrupt, corrupt.offset, corrupt.what};
        return nullptr;
    }
    error = {};
    return tour;
}

bool RecordStreamReader::trailerMatches() {
    if (!*stream_) {
        return false;
    }
    stream_->seekg(0, std::ios::end);
    fileSize_ = static_cast<std::int64_t>(stream_->tellg());
    if (!*stream_ || fileSize_ < magicSize) {
        return false;
    }
    char found[magicSize + 1] = {};
    stream_->seekg(fileSize_ - magicSize);
    stream_->read(found, magicSize);
    return std::memcmp(found, magic, sizeof magic) == 0;
}

std::int64_t RecordStreamReader::position() {
    if (!*stream_) {
        return fileSize_;
    }
    return static_cast<std::int64_t>(stream_->tellg());
}

void RecordStreamReader::readTour(Tour& tour) {
    FieldReader fields(*stream_);
    if (fileSize_ >= trailerSize) {
        stream_->seekg(fileSize_ - trailerSize);
    } else {
        stream_->setstate(std::ios::failbit);
    }
    const std::int32_t recordStart = fields.readLong();
    stream_->seekg(recordStart);

    tour.setTitle(readString("tour title").c_str());
    tour.setViewSize(fields.readInt());
    tour.setRotationSpeed(fields.readInt());
    const std::int64_t countOffset = position();
    const std::int32_t sceneCount = fields.readInt();
    tour.setSoundOn(fields.readFlag() != 0);
    tour.setAutoPlay(fields.readFlag() != 0);
    tour.setFullScreenMode(fields.readInt());
    tour.setBackgroundSound(
        std::make_unique<FileItem>(writeBlob("background sound", false).c_str()));

    // A count far beyond what the whole file could hold is no truncated stream
    // but garbage: honouring it would make up to two billion empty scenes.
    if (sceneCount > fileSize_ / minimumSceneRecordSize && sceneCount > implausibleSceneCount) {
        throw CorruptPackage{countOffset, "scene count " + std::to_string(sceneCount) +
                                              " is more than the file can hold"};
    }
    for (std::int32_t k = 1; k <= sceneCount; ++k) {
        readScene(tour, k);
    }
    readInfo(tour.info());

    for (int slot = 0; slot < SkinSet::imageCount; ++slot) {
        const std::string field = "skin image " + std::to_string(slot);
        skinSet_.setImagePath(slot, writeBlob(field.c_str(), false).c_str());
    }
    const std::string language = writeBlob("language module", true);
    languageModulePath_ = language;

    // Where the stream ends is known only now; a stream cut short by the end
    // of the file has no block after it.
    extensionBlock_ = {};
    if (*stream_) {
        extensionBlock_ = readExtensionBlock(*stream_, position(), fileSize_ - trailerSize, tour);
    }
}

void RecordStreamReader::readScene(Tour& tour, std::int32_t position) {
    FieldReader fields(*stream_);
    auto scene = std::make_unique<Scene>();
    const std::string field = "scene " + std::to_string(position) + " name";
    scene->setName(readString(field.c_str()).c_str());
    scene->setPan(static_cast<float>(fields.readFloat()));
    scene->setTilt(static_cast<float>(fields.readFloat()));
    scene->setFieldOfView(static_cast<float>(fields.readFloat()));
    scene->setImage(readItemRef());
    scene->setSound(readItemRef());
    tour.addScene(std::move(scene), position);
}

void RecordStreamReader::readInfo(TourInfo& info) {
    info.setInfoText1(readString("first info text").c_str());
    info.setInfoText2(readString("second info text").c_str());
    info.setInfoText3(readString("third info text").c_str());
    info.setWebAddress(readString("web address").c_str());
    info.setEmailAddress(readString("e-mail address").c_str());
    info.setInfoText4(readString("sixth info text").c_str());
    info.setPicture(readItemRef());
}

std::int32_t RecordStreamReader::readLength(const char* field) {
    const std::int64_t offset = position();
    const std::int32_t length = FieldReader(*stream_).readLong();
    if (length < 0) {
        throw CorruptPackage{offset,
                             std::string(field) + ": negative length " + std::to_string(length)};
    }
    const std::int64_t left = *stream_ ? fileSize_ - position() : 0;
    if (length > left) {
        throw CorruptPackage{offset, std::string(field) + ": length " + std::to_string(length) +
                                         " is longer than the " + std::to_string(left) +
                                         " bytes left in the file"};
    }
    return length;
}

std::string RecordStreamReader::readString(const char* field) {
    const std::int32_t length = readLength(field);
    if (length == 0) {
        return {};
    }
    std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
    stream_->read(text.data(), length);
    return text.data();  // cut at the first NUL inside, as the player reads it
}

std::unique_ptr<FileItem> RecordStreamReader::readItemRef() {
    FieldReader fields(*stream_);
    const std::int32_t offset = fields.readLong();
    const std::int32_t length = fields.readLong();
    return std::make_unique<FileItem>(exePath_, offset, length);
}

std::string RecordStreamReader::writeBlob(const char* field, bool languageModule) {
    const std::int32_t length = readLength(field);
    std::vector<char> bytes(static_cast<std::size_t>(length), '\0');
    if (length > 0) {
        stream_->read(bytes.data(), length);
    }
    std::string path = platform::makeTempFile("QRZ");
    if (path.empty()) {
        return path;
    }
    madeFiles_.push_back(path);
    const auto mode =
        languageModule ? platform::WriteMode::replace : platform::WriteMode::intoExisting;
    platform::writeFile(path.c_str(), reinterpret_cast<const std::uint8_t*>(bytes.data()),
                        bytes.size(), mode);
    return path;
}

void RecordStreamReader::deleteMadeFiles() {
    for (const std::string& path : madeFiles_) {
        platform::deleteFile(path.c_str());
    }
    madeFiles_.clear();
    for (int slot = 0; slot < SkinSet::imageCount; ++slot) {
        skinSet_.setImagePath(slot, "");
    }
    languageModulePath_.clear();
}

}  // namespace

TourLoader::TourLoader() = default;

TourLoader::~TourLoader() = default;

std::unique_ptr<Tour> TourLoader::read(const char* exePath, PackageError& error) {
    RecordStreamReader reader(exePath, skinSet_, languageModulePath_, extensionBlock_);
    return reader.read(error);
}

void TourLoader::deleteExtractedFiles(const Tour& tour) {
    // The background sound's file goes with the last handle on it.
    tour.openBackgroundSound();
    for (int slot = 0; slot < SkinSet::imageCount; ++slot) {
        if (*skinSet_.imagePath(slot) != '\0') {
            platform::deleteFile(skinSet_.imagePath(slot));
        }
        skinSet_.setImagePath(slot, "");
    }
    if (!languageModulePath_.empty()) {
        platform::deleteFile(languageModulePath_.c_str());
    }
    languageModulePath_.clear();
}

std::unique_ptr<Tour> TourLoader::load(const char* exePath) {
    PackageError error;
    std::unique_ptr<Tour> tour = read(exePath, error);
    if (!tour) {
        std::exit(0);
    }
    return tour;
}

}  // namespace package
