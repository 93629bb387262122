#include "package_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <map>
#include <system_error>

#include "field_writer.h"
#include "package/skin_set.h"
#include "package/tea.h"
#include "picture_format.h"
#include "text_encoding.h"
#include "tourpack_error.h"

#ifndef TOURPACK_FALLBACK_BIN
#define TOURPACK_FALLBACK_BIN ""
#endif

namespace tourpack {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t maximumPackageSize = INT32_MAX;  // offsets are signed 32-bit
constexpr std::int64_t copyChunk = 1 << 20;

[[noreturn]] void fail(const Manifest& manifest, const std::string& field,
                       const std::string& what) {
    throw TourpackError(manifest.file.string() + ": field '" + field + "': " + what);
}

std::int64_t sizeOf(const Manifest& manifest, const std::string& field, const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        fail(manifest, field, file.string() + " does not exist or is not a file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fail(manifest, field, file.string() + " cannot be read");
    }
    in.seekg(0, std::ios::end);
    return static_cast<std::int64_t>(in.tellg());
}

FileKind kindOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::uint8_t head[16] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return detectFileKind(head, static_cast<std::size_t>(in.gcount()));
}

void requirePicture(const Manifest& manifest, const std::string& field, const fs::path& file) {
    sizeOf(manifest, field, file);
    const FileKind kind = kindOf(file);
    if (kind == FileKind::png) {
        fail(manifest, field,
             file.string() +
                 " is a PNG picture; the player decodes only JPEG, GIF and BMP "
                 "(convert it, for example to JPEG)");
    }
    if (!isPlayerPicture(kind)) {
        fail(manifest, field,
             file.string() + " is not a JPEG, GIF or BMP picture (it is " + describe(kind) + ")");
    }
}

std::string ansiText(const Manifest& manifest, const std::string& field, const std::string& utf8) {
    std::string text;
    std::string unmappable;
    if (!utf8ToWindows1252(utf8, text, unmappable)) {
        fail(manifest, field,
             "the text holds " + unmappable + ", which the Windows-1252 code page cannot show");
    }
    return text;
}

fs::path firstExisting(const std::vector<fs::path>& candidates) {
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (!candidate.empty() && fs::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return {};
}

std::string listOf(const std::vector<fs::path>& candidates) {
    std::string list;
    for (const fs::path& candidate : candidates) {
        if (!candidate.empty()) {
            list += (list.empty() ? "" : ", ") + candidate.string();
        }
    }
    return list;
}

fs::path resolvePlayer(const Manifest& manifest, const BuildOptions& options) {
    if (!options.player.empty() || !manifest.player.empty()) {
        const fs::path chosen = !options.player.empty() ? options.player : manifest.player;
        sizeOf(manifest, options.player.empty() ? "player" : "player (--player)", chosen);
        return chosen;
    }
    const fs::path fallback = TOURPACK_FALLBACK_BIN;
    const std::vector<fs::path> candidates = {
        options.toolFolder.empty() ? fs::path() : options.toolFolder / "player.exe",
        fallback.empty() ? fs::path() : fallback / "player.exe"};
    fs::path found = firstExisting(candidates);
    if (found.empty()) {
        fail(manifest, "player",
             "no player image given and none found (looked at " + listOf(candidates) +
                 "); name one with --player");
    }
    return found;
}

fs::path resolveLanguage(const Manifest& manifest, const BuildOptions& options) {
    if (!manifest.languagePath.empty()) {
        sizeOf(manifest, "language", manifest.languagePath);
        return manifest.languagePath;
    }
    const std::string file = manifest.language + ".dll";
    const fs::path fallback = TOURPACK_FALLBACK_BIN;
    const std::vector<fs::path> candidates = {
        options.languageFolder.empty() ? fs::path() : options.languageFolder / file,
        options.toolFolder.empty() ? fs::path() : options.toolFolder / "lang" / file,
        fallback.empty() ? fs::path() : fallback / "lang" / file};
    fs::path found = firstExisting(candidates);
    if (found.empty()) {
        fail(manifest, "language",
             "no language module '" + manifest.language + "' found (looked at " +
                 listOf(candidates) + "); give a path to a module DLL or use --lang-dir");
    }
    return found;
}

bool endsWithTrailer(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(-8, std::ios::end);
    char tail[8] = {};
    in.read(tail, 8);
    return in && std::string(tail, 8) == "CAFEBABE";
}

// One payload in the payload area; identical files are stored once.
struct PayloadSlot {
    fs::path file;
    bool encrypted = false;
    std::int64_t size = 0;
    std::int64_t offset = 0;
};

class PayloadArea {
  public:
    // Returns the index of the payload for `file`, adding it when new.
    std::size_t add(const fs::path& file, bool encrypted, std::int64_t size) {
        std::error_code error;
        fs::path key = fs::weakly_canonical(file, error);
        if (error) {
            key = file;
        }
        const auto found = index_.find({key.string(), encrypted});
        if (found != index_.end()) {
            return found->second;
        }
        slots_.push_back({file, encrypted, size, 0});
        index_[{key.string(), encrypted}] = slots_.size() - 1;
        return slots_.size() - 1;
    }
    std::vector<PayloadSlot>& slots() { return slots_; }
    const PayloadSlot& at(std::size_t index) const { return slots_[index]; }

  private:
    std::vector<PayloadSlot> slots_;
    std::map<std::pair<std::string, bool>, std::size_t> index_;
};

class OutputFile {
  public:
    explicit OutputFile(const fs::path& target)
        : target_(target), partial_(target.string() + ".part") {
        out_.open(partial_, std::ios::binary | std::ios::trunc);
        if (!out_) {
            throw TourpackError(target.string() + ": cannot write the tour executable here");
        }
    }
    ~OutputFile() {
        if (!committed_) {
            out_.close();
            std::error_code error;
            fs::remove(partial_, error);
        }
    }
    std::ofstream& stream() { return out_; }
    void commit() {
        out_.close();
        if (!out_) {
            throw TourpackError(target_.string() + ": writing the tour executable failed");
        }
        std::error_code error;
        fs::rename(partial_, target_, error);
        if (error) {
            throw TourpackError(target_.string() + ": cannot replace it: " + error.message());
        }
        committed_ = true;
    }

  private:
    fs::path target_;
    fs::path partial_;
    std::ofstream out_;
    bool committed_ = false;
};

class Progress {
  public:
    Progress(const BuildOptions& options, std::int64_t total) : options_(options), total_(total) {}
    void advance(std::int64_t bytes) {
        done_ += bytes;
        if (options_.progress) {
            options_.progress(done_, total_);
        }
    }

  private:
    const BuildOptions& options_;
    std::int64_t total_;
    std::int64_t done_ = 0;
};

void copyFile(const fs::path& file, std::ostream& out, bool encrypt, Progress& progress) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw TourpackError(file.string() + ": cannot be read");
    }
    std::vector<char> buffer(static_cast<std::size_t>(copyChunk));
    // The chunk is a multiple of 8, so encrypting chunk by chunk gives the same
    // blocks as encrypting the whole file, with only the file's last partial
    // block left plain.
    while (in) {
        in.read(buffer.data(), copyChunk);
        const std::streamsize got = in.gcount();
        if (got <= 0) {
            break;
        }
        if (encrypt) {
            auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.data());
            package::teaEncryptBuffer(bytes, bytes, got, package::playerKeyText);
        }
        out.write(buffer.data(), got);
        progress.advance(got);
    }
}

}  // namespace

std::vector<fs::path> findSkinSlots(const Manifest& manifest) {
    std::error_code error;
    if (!fs::is_directory(manifest.skinFolder, error)) {
        fail(manifest, "skin", manifest.skinFolder.string() + " is not a folder");
    }
    std::vector<fs::path> slots(package::SkinSet::imageCount);
    for (const auto& entry : fs::directory_iterator(manifest.skinFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.size() < 3 ||
            !std::isdigit(static_cast<unsigned char>(name[0])) ||
            !std::isdigit(static_cast<unsigned char>(name[1])) ||
            (name[2] != '.' && name[2] != '-')) {
            continue;
        }
        const int slot = (name[0] - '0') * 10 + (name[1] - '0');
        if (slot >= package::SkinSet::imageCount) {
            continue;
        }
        if (!slots[static_cast<std::size_t>(slot)].empty()) {
            fail(manifest, "skin",
                 "slot " + name.substr(0, 2) + " has two images: " +
                     slots[static_cast<std::size_t>(slot)].filename().string() + " and " + name);
        }
        slots[static_cast<std::size_t>(slot)] = entry.path();
    }
    std::string missing;
    for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
        if (slots[static_cast<std::size_t>(slot)].empty()) {
            missing += (missing.empty() ? "" : ", ") + std::string(slot < 10 ? "0" : "") +
                       std::to_string(slot);
        }
    }
    if (!missing.empty()) {
        fail(manifest, "skin",
             manifest.skinFolder.string() +
                 " does not hold the 26 skin images (slots 00 to 25, "
                 "named NN.gif, NN.bmp or NN-name.ext); missing: " +
                 missing);
    }
    return slots;
}

BuildResult buildPackage(const Manifest& manifest, const fs::path& output,
                         const BuildOptions& options, std::vector<std::string>& warnings) {
    BuildResult result;
    // Every input is checked before anything is written.
    result.player = resolvePlayer(manifest, options);
    if (kindOf(result.player) != FileKind::windowsModule) {
        fail(manifest, "player", result.player.string() + " is not a Windows program");
    }
    if (endsWithTrailer(result.player)) {
        fail(manifest, "player",
             result.player.string() + " already carries a tour; use the bare player image");
    }
    result.languageModule = resolveLanguage(manifest, options);
    if (kindOf(result.languageModule) != FileKind::windowsModule) {
        fail(manifest, "language",
             result.languageModule.string() + " is not a Windows module (DLL)");
    }
    const std::int64_t playerSize = sizeOf(manifest, "player", result.player);
    const std::int64_t languageSize = sizeOf(manifest, "language", result.languageModule);

    const std::string title = ansiText(manifest, "title", manifest.title);
    std::int64_t backgroundSize = 0;
    if (!manifest.backgroundSound.empty()) {
        backgroundSize = sizeOf(manifest, "backgroundSound", manifest.backgroundSound);
    }

    PayloadArea payloads;
    struct ScenePayloads {
        std::string name;
        std::size_t image;
        std::size_t sound;
        bool hasSound;
    };
    std::vector<ScenePayloads> scenes;
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const SceneEntry& scene = manifest.scenes[i];
        const std::string field = "scenes[" + std::to_string(i) + "]";
        requirePicture(manifest, field + ".image", scene.image);
        ScenePayloads entry{ansiText(manifest, field + ".name", scene.name), 0, 0, false};
        entry.image =
            payloads.add(scene.image, true, sizeOf(manifest, field + ".image", scene.image));
        if (!scene.sound.empty()) {
            entry.sound =
                payloads.add(scene.sound, false, sizeOf(manifest, field + ".sound", scene.sound));
            entry.hasSound = true;
        }
        scenes.push_back(entry);
    }
    std::size_t picture = 0;
    const bool hasPicture = !manifest.infoPicture.empty();
    if (hasPicture) {
        requirePicture(manifest, "info.picture", manifest.infoPicture);
        picture = payloads.add(manifest.infoPicture, false,
                               sizeOf(manifest, "info.picture", manifest.infoPicture));
    }
    const std::array<std::string, 6> infoTexts = {
        ansiText(manifest, "info.text1", manifest.infoText1),
        ansiText(manifest, "info.text2", manifest.infoText2),
        ansiText(manifest, "info.text3", manifest.infoText3),
        ansiText(manifest, "info.webAddress", manifest.webAddress),
        ansiText(manifest, "info.emailAddress", manifest.emailAddress),
        ansiText(manifest, "info.text4", manifest.infoText4)};

    const std::vector<fs::path> skin = findSkinSlots(manifest);
    std::vector<std::int64_t> skinSizes;
    for (std::size_t slot = 0; slot < skin.size(); ++slot) {
        const std::string field = "skin (slot " + std::to_string(slot) + ")";
        requirePicture(manifest, field, skin[slot]);
        skinSizes.push_back(sizeOf(manifest, field, skin[slot]));
    }

    // Lay out the payload area and size the whole file before writing.
    std::int64_t offset = playerSize;
    for (PayloadSlot& slot : payloads.slots()) {
        slot.offset = offset;
        offset += slot.size;
    }
    const std::int64_t recordStream = offset;
    std::int64_t streamSize =
        33 + static_cast<std::int64_t>(title.size()) + 3 * 17 + 2 + 17 + 33 + backgroundSize;
    for (const ScenePayloads& scene : scenes) {
        streamSize += 33 + static_cast<std::int64_t>(scene.name.size()) + 3 * 10 + 4 * 33;
    }
    for (const std::string& text : infoTexts) {
        streamSize += 33 + static_cast<std::int64_t>(text.size());
    }
    streamSize += 2 * 33;
    for (const std::int64_t size : skinSizes) {
        streamSize += 33 + size;
    }
    streamSize += 33 + languageSize;
    const std::int64_t total = recordStream + streamSize + 41;
    if (total > maximumPackageSize) {
        throw TourpackError(manifest.file.string() + ": the tour would be " +
                            std::to_string(total) +
                            " bytes; a tour executable holds at most 2 GiB (2147483647 bytes)");
    }
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const SceneEntry& scene = manifest.scenes[i];
        for (const auto& [name, value] : {std::pair{"pan", scene.pan},
                                          {"tilt", scene.tilt},
                                          {"fieldOfView", scene.fieldOfView}}) {
            bool exact = true;
            const std::string text = formatFloatField(static_cast<float>(value), &exact);
            if (!exact) {
                warnings.push_back(manifest.file.string() + ": field 'scenes[" + std::to_string(i) +
                                   "]." + name + "': " + std::to_string(value) + " is stored as " +
                                   text);
            }
        }
    }

    OutputFile file(output);
    std::ofstream& out = file.stream();
    Progress progress(options, total);
    copyFile(result.player, out, false, progress);
    for (const PayloadSlot& slot : payloads.slots()) {
        copyFile(slot.file, out, slot.encrypted, progress);
    }

    FieldWriter fields(out);
    const auto itemRef = [&](std::size_t index) {
        const PayloadSlot& slot = payloads.at(index);
        fields.writeItemRef(static_cast<std::int32_t>(slot.offset),
                            static_cast<std::int32_t>(slot.size));
    };
    const auto blob = [&](const fs::path& path, std::int64_t size) {
        fields.writeLong(static_cast<std::int32_t>(size));
        if (size > 0) {
            copyFile(path, out, false, progress);
        }
    };
    fields.writeString(title);
    fields.writeInt(manifest.viewSize);
    fields.writeInt(manifest.rotationSpeed);
    fields.writeInt(static_cast<std::int32_t>(scenes.size()));
    fields.writeFlag(manifest.soundOn);
    fields.writeFlag(manifest.autoPlay);
    fields.writeInt(manifest.fullScreenMode);
    blob(manifest.backgroundSound, backgroundSize);
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        const SceneEntry& scene = manifest.scenes[i];
        fields.writeString(scenes[i].name);
        fields.writeFloat(static_cast<float>(scene.pan));
        fields.writeFloat(static_cast<float>(scene.tilt));
        fields.writeFloat(static_cast<float>(scene.fieldOfView));
        itemRef(scenes[i].image);
        if (scenes[i].hasSound) {
            itemRef(scenes[i].sound);
        } else {
            fields.writeItemRef(0, 0);
        }
    }
    for (const std::string& text : infoTexts) {
        fields.writeString(text);
    }
    if (hasPicture) {
        itemRef(picture);
    } else {
        fields.writeItemRef(0, 0);
    }
    for (std::size_t slot = 0; slot < skin.size(); ++slot) {
        blob(skin[slot], skinSizes[slot]);
    }
    blob(result.languageModule, languageSize);

    fields.writeLong(static_cast<std::int32_t>(recordStream));
    out.write("CAFEBABE", 8);
    if (static_cast<std::int64_t>(out.tellp()) != total) {
        throw TourpackError(output.string() + ": wrote " + std::to_string(out.tellp()) +
                            " bytes where " + std::to_string(total) + " were planned");
    }
    file.commit();

    result.size = total;
    result.recordStreamOffset = static_cast<std::int32_t>(recordStream);
    return result;
}

}  // namespace tourpack
