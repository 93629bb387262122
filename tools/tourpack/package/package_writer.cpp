#include "text/utf8_path.h"
#include "package/package_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <map>
#include <system_error>

#include "text/field_names.h"
#include "text/field_writer.h"
#include "process/interruption.h"
#include "lang_ids.h"
#include "windows_module/module_resources.h"
#include "process/output_guard.h"
#include "package/extension_block.h"
#include "package/field_reader.h"
#include "package/skin_set.h"
#include "package/tea.h"
#include "pictures/picture_conversion.h"
#include "pictures/picture_format.h"
#include "text/problems.h"
#include "manifest/sampling_words.h"
#include "windows_module/skin_places.h"
#include "text/text_encoding.h"
#include "process/tool_folder.h"
#include "text/tourpack_error.h"

#ifndef TOURPACK_FALLBACK_BIN
#define TOURPACK_FALLBACK_BIN ""
#endif

namespace tourpack {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t maximumPackageSize = INT32_MAX;  // offsets are signed 32-bit
constexpr std::int64_t copyChunk = 1 << 20;
// The tour's last bytes, after the record stream's offset.
constexpr char trailerMarker[] = "CAFEBABE";
constexpr std::streamsize trailerMarkerSize = sizeof trailerMarker - 1;

[[noreturn]] void fail(const Manifest& manifest, const std::string& field,
                       const std::string& what) {
    throw TourpackError(utf8Of(manifest.file) + ": field '" + field + "': " + what);
}

std::int64_t sizeOf(const Manifest& manifest, const std::string& field, const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        fail(manifest, field, utf8Of(file) + " does not exist or is not a file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fail(manifest, field, utf8Of(file) + " cannot be read");
    }
    in.seekg(0, std::ios::end);
    return static_cast<std::int64_t>(in.tellg());
}

// A picture larger than the place the player draws it in spills over what
// lies beside it: said, since the tour still works.
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

// A language module the player would refuse at start ("Failed to load
// language") is refused here, naming all that it lacks.
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
    fail(manifest, "language",
         utf8Of(file) + " lacks what the player needs of a language module: " + list);
}

FileKind kindOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::uint8_t head[16] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return detectFileKind(head, static_cast<std::size_t>(in.gcount()));
}

void requirePicture(const Manifest& manifest, const std::string& field, const fs::path& file,
                    PictureRule rule = PictureRule::asThePlayerTakesThem) {
    sizeOf(manifest, field, file);
    const FileKind kind = rule == PictureRule::convertibleToo ? pictureKindOf(file) : kindOf(file);
    if (rule == PictureRule::convertibleToo) {
        if (kind == FileKind::jpeg) {
            try {
                jpegTreatment(file);
            } catch (const TourpackError& error) {
                fail(manifest, field, error.what());  // a JPEG tourpack does not read
            }
        }
        if (kind == FileKind::tiff && !readsTiff()) {
            try {
                probePicture(file, kind);
            } catch (const TourpackError& error) {
                fail(manifest, field, error.what());  // names the missing TIFF support
            }
        }
        const bool convertible =
            kind == FileKind::png || kind == FileKind::tga || kind == FileKind::tiff;
        if (!isPlayerPicture(kind) && !convertible) {
            fail(manifest, field,
                 utf8Of(file) + " is not a JPEG, GIF, BMP, PNG, TGA or TIFF picture (it is " +
                     describe(kind) + ")");
        }
        return;
    }
    if (kind == FileKind::png) {
        fail(manifest, field,
             utf8Of(file) +
                 " is a PNG picture; the player decodes only JPEG, GIF and BMP "
                 "(convert it, for example to JPEG)");
    }
    if (!isPlayerPicture(kind)) {
        fail(manifest, field,
             utf8Of(file) + " is not a JPEG, GIF or BMP picture (it is " + describe(kind) + ")");
    }
}

// A sound must exist; one the player cannot play leaves its scene silent,
// which the author hears of.
void requireSound(const Manifest& manifest, const std::string& field, const fs::path& file,
                  std::vector<std::string>& warnings) {
    sizeOf(manifest, field, file);
    const FileKind kind = kindOf(file);
    if (kind != FileKind::wave && kind != FileKind::mp3) {
        warnings.push_back(utf8Of(manifest.file) + ": field '" + field + "': " + utf8Of(file) +
                           " is not a sound the player plays (WAV or MP3; it is " + describe(kind) +
                           "), so it stays silent");
    }
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
            list += (list.empty() ? "" : ", ") + utf8Of(candidate);
        }
    }
    return list;
}

std::vector<fs::path> playerCandidates(const BuildOptions& options) {
    std::vector<fs::path> candidates;
    for (const fs::path& folder : companionFolders(options.toolFolder)) {
        candidates.push_back(folder / "player.exe");
    }
    const fs::path fallback = TOURPACK_FALLBACK_BIN;
    if (!fallback.empty()) {
        candidates.push_back(fallback / "player.exe");
    }
    return candidates;
}

// The player named by --player or the manifest, else the first default found.
fs::path chosenPlayer(const Manifest& manifest, const BuildOptions& options) {
    if (!options.player.empty()) {
        return options.player;
    }
    if (!manifest.player.empty()) {
        return manifest.player;
    }
    return firstExisting(playerCandidates(options));
}

// For the Linux tourpack of a checkout whose Windows build (which makes the
// player and the language modules) has not been made yet: how to make it.
std::string windowsBuildHint(const std::string& target) {
    const fs::path fallback = TOURPACK_FALLBACK_BIN;
    std::error_code error;
    if (fallback.empty() || fs::exists(fallback, error)) {
        return "";
    }
    const fs::path checkout = fallback.parent_path().parent_path().parent_path();
    return "; or make it with the Windows build of " + utf8Of(checkout) +
           ": cmake --preset win && cmake --build --preset win --target " + target;
}

fs::path resolvePlayer(const Manifest& manifest, const BuildOptions& options) {
    const fs::path chosen = chosenPlayer(manifest, options);
    if (!options.player.empty() || !manifest.player.empty()) {
        sizeOf(manifest, options.player.empty() ? "player" : "player (--player)", chosen);
    } else if (chosen.empty()) {
        fail(manifest, "player",
             "no player image given and none found (looked at " +
                 listOf(playerCandidates(options)) + "); name one with --player" +
                 windowsBuildHint("player"));
    }
    return chosen;
}

std::vector<fs::path> languageCandidates(const Manifest& manifest, const BuildOptions& options) {
    const fs::path file = pathFromUtf8(manifest.language + ".dll");
    std::vector<fs::path> candidates;
    if (!options.languageFolder.empty()) {
        candidates.push_back(options.languageFolder / file);
    }
    for (const fs::path& folder : companionFolders(options.toolFolder)) {
        candidates.push_back(folder / "lang" / file);
    }
    const fs::path fallback = TOURPACK_FALLBACK_BIN;
    if (!fallback.empty()) {
        candidates.push_back(fallback / "lang" / file);
    }
    return candidates;
}

fs::path resolveLanguage(const Manifest& manifest, const BuildOptions& options) {
    if (!manifest.languagePath.empty()) {
        sizeOf(manifest, "language", manifest.languagePath);
        return manifest.languagePath;
    }
    const std::vector<fs::path> candidates = languageCandidates(manifest, options);
    fs::path found = firstExisting(candidates);
    if (found.empty()) {
        fail(manifest, "language",
             "no language module '" + manifest.language + "' found (looked at " +
                 listOf(candidates) + "); give a path to a module DLL or use --lang-dir" +
                 windowsBuildHint("lumivue_lang_" + manifest.language));
    }
    return found;
}

bool endsWithTrailer(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(-trailerMarkerSize, std::ios::end);
    char tail[trailerMarkerSize] = {};
    in.read(tail, trailerMarkerSize);
    return in && std::string(tail, trailerMarkerSize) == trailerMarker;
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
        const auto found = index_.find({utf8Of(key), encrypted});
        if (found != index_.end()) {
            return found->second;
        }
        slots_.push_back({file, encrypted, size, 0});
        index_[{utf8Of(key), encrypted}] = slots_.size() - 1;
        return slots_.size() - 1;
    }
    std::vector<PayloadSlot>& slots() { return slots_; }
    const std::vector<PayloadSlot>& slots() const { return slots_; }
    const PayloadSlot& at(std::size_t index) const { return slots_[index]; }

  private:
    std::vector<PayloadSlot> slots_;
    std::map<std::pair<std::string, bool>, std::size_t> index_;
};

class OutputFile {
  public:
    explicit OutputFile(const fs::path& target)
        : target_(target), partial_(fs::path(target) += ".part") {
        out_.open(partial_, std::ios::binary | std::ios::trunc);
        if (!out_) {
            throw TourpackError(utf8Of(target) + ": cannot write the tour executable here");
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
            throw TourpackError(utf8Of(target_) + ": writing the tour executable failed");
        }
        std::error_code error;
        fs::rename(partial_, target_, error);
        if (error) {
            throw TourpackError(utf8Of(target_) + ": cannot replace it: " + error.message());
        }
        committed_ = true;
        // A tour runs where it is written: on Linux (through Wine) as on Windows.
        fs::permissions(target_,
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, error);
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
        stopIfInterrupted();
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
        throw TourpackError(utf8Of(file) + ": cannot be read");
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

fs::path skinFolderOf(const Manifest& manifest) {
    if (!manifest.skinFolder.empty()) {
        return manifest.skinFolder;
    }
    const std::vector<fs::path> candidates = defaultSkinCandidates();
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (fs::is_directory(candidate, error)) {
            return candidate;
        }
    }
    fail(manifest, "skin",
         "no skin given and the default skin is not installed (looked at " + listOf(candidates) +
             "); name a skin folder");
}

std::vector<fs::path> findSkinSlots(const Manifest& manifest) {
    const fs::path folder = skinFolderOf(manifest);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        fail(manifest, "skin", utf8Of(folder) + " is not a folder");
    }
    std::vector<fs::path> slots(package::SkinSet::imageCount);
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = utf8Of(entry.path().filename());
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
                     utf8Of(slots[static_cast<std::size_t>(slot)].filename()) + " and " + name);
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
             utf8Of(folder) +
                 " does not hold the 26 skin images (slots 00 to 25, "
                 "named NN.gif, NN.bmp or NN-name.ext); missing: " +
                 missing);
    }
    return slots;
}

namespace {

// A scene's name in the tour's code page and its payloads' places in the
// payload area.
struct ScenePayloads {
    std::string name;
    std::size_t image = 0;
    std::size_t sound = 0;
    bool hasSound = false;
    std::vector<std::string> linkLabels;  // in the tour's code page
};

// What a build copies and writes, every input checked: the files and their
// sizes, the texts in the tour's code page, the payload area.
struct BuildInputs {
    fs::path player;
    std::int64_t playerSize = 0;
    fs::path languageModule;
    std::int64_t languageSize = 0;
    int textCodePage = defaultTextCodePage;
    std::string title;
    std::int64_t backgroundSize = 0;
    PayloadArea payloads;
    std::vector<ScenePayloads> scenes;
    bool hasLinks = false;
    bool hasPicture = false;
    std::size_t picture = 0;
    std::array<std::string, 6> infoTexts;
    std::vector<fs::path> skin;
    std::vector<std::int64_t> skinSizes;
};

// Every text the tour stores, named by its field.
std::vector<NamedText> tourTexts(const Manifest& manifest) {
    std::vector<NamedText> texts = {{"title", manifest.title},
                                    {"info.text1", manifest.infoText1},
                                    {"info.text2", manifest.infoText2},
                                    {"info.text3", manifest.infoText3},
                                    {"info.webAddress", manifest.webAddress},
                                    {"info.emailAddress", manifest.emailAddress},
                                    {"info.text4", manifest.infoText4}};
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const std::string field = sceneField(i);
        texts.push_back({field + ".name", manifest.scenes[i].name});
        for (std::size_t k = 0; k < manifest.scenes[i].links.size(); ++k) {
            texts.push_back({linkField(field, k) + ".label", manifest.scenes[i].links[k].label});
        }
    }
    return texts;
}

// Checks every input of a build and notes each problem; what passes is
// entered into the build's inputs.
class InputCheck {
  public:
    InputCheck(const Manifest& manifest, const BuildOptions& options, PictureRule rule,
               BuildInputs& inputs, Problems& problems, std::vector<std::string>& warnings)
        : manifest_(manifest),
          options_(options),
          rule_(rule),
          inputs_(inputs),
          problems_(problems),
          warnings_(warnings) {}

    void modules() {
        problems_.collect([&] {
            inputs_.player = resolvePlayer(manifest_, options_);
            if (kindOf(inputs_.player) != FileKind::windowsModule) {
                fail(manifest_, "player", utf8Of(inputs_.player) + " is not a Windows program");
            }
            if (endsWithTrailer(inputs_.player)) {
                fail(manifest_, "player",
                     utf8Of(inputs_.player) + " already carries a tour; use the bare player image");
            }
            inputs_.playerSize = sizeOf(manifest_, "player", inputs_.player);
        });
        problems_.collect([&] {
            inputs_.languageModule = resolveLanguage(manifest_, options_);
            if (kindOf(inputs_.languageModule) != FileKind::windowsModule) {
                fail(manifest_, "language",
                     utf8Of(inputs_.languageModule) + " is not a Windows module (DLL)");
            }
            inputs_.languageSize = sizeOf(manifest_, "language", inputs_.languageModule);
            requireLanguageResources(manifest_, inputs_.languageModule);
        });
    }

    void backgroundSound() {
        if (!manifest_.backgroundSound.empty()) {
            problems_.collect([&] {
                requireSound(manifest_, "backgroundSound", manifest_.backgroundSound, warnings_);
                inputs_.backgroundSize =
                    sizeOf(manifest_, "backgroundSound", manifest_.backgroundSound);
            });
        }
    }

    void scenes() {
        for (std::size_t i = 0; i < manifest_.scenes.size(); ++i) {
            const SceneEntry& scene = manifest_.scenes[i];
            const std::string field = sceneField(i);
            ScenePayloads entry;
            problems_.collect([&] {
                requirePicture(manifest_, field + ".image", scene.image, rule_);
                entry.image = inputs_.payloads.add(
                    scene.image, true, sizeOf(manifest_, field + ".image", scene.image));
            });
            if (!scene.sound.empty()) {
                problems_.collect([&] {
                    requireSound(manifest_, field + ".sound", scene.sound, warnings_);
                    entry.sound = inputs_.payloads.add(
                        scene.sound, false, sizeOf(manifest_, field + ".sound", scene.sound));
                    entry.hasSound = true;
                });
            }
            inputs_.hasLinks = inputs_.hasLinks || !scene.links.empty();
            inputs_.scenes.push_back(entry);
        }
    }

    void info() {
        inputs_.hasPicture = !manifest_.infoPicture.empty();
        if (inputs_.hasPicture) {
            problems_.collect([&] {
                requirePicture(manifest_, "info.picture", manifest_.infoPicture, rule_);
                warnIfLargerThanItsPlace(manifest_, "info.picture", manifest_.infoPicture,
                                         {AUTHOR_PHOTO_SIDE, AUTHOR_PHOTO_SIDE},
                                         "it would cover the information dialog's texts",
                                         warnings_);
                inputs_.picture =
                    inputs_.payloads.add(manifest_.infoPicture, false,
                                         sizeOf(manifest_, "info.picture", manifest_.infoPicture));
            });
        }
    }

    void skin() {
        problems_.collect([&] { inputs_.skin = findSkinSlots(manifest_); });
        for (std::size_t slot = 0; slot < inputs_.skin.size(); ++slot) {
            const std::string field = "skin (slot " + std::to_string(slot) + ")";
            problems_.collect([&] {
                requirePicture(manifest_, field, inputs_.skin[slot]);
                const SkinPlace place = skinPlace(static_cast<int>(slot));
                warnIfLargerThanItsPlace(manifest_, field, inputs_.skin[slot], place.size,
                                         place.what, warnings_);
                inputs_.skinSizes.push_back(sizeOf(manifest_, field, inputs_.skin[slot]));
            });
        }
    }

    // The code page that holds every text, and the texts in it.
    void texts() {
        const CodePageChoice choice = chooseCodePage(tourTexts(manifest_));
        if (choice.codePage == 0) {
            problems_.add(utf8Of(manifest_.file) + ": " + choice.refusal);
            return;
        }
        inputs_.textCodePage = choice.codePage;
        inputs_.title = encoded(manifest_.title);
        inputs_.infoTexts = {encoded(manifest_.infoText1),    encoded(manifest_.infoText2),
                             encoded(manifest_.infoText3),    encoded(manifest_.webAddress),
                             encoded(manifest_.emailAddress), encoded(manifest_.infoText4)};
        for (std::size_t i = 0; i < inputs_.scenes.size(); ++i) {
            inputs_.scenes[i].name = encoded(manifest_.scenes[i].name);
            for (const LinkEntry& link : manifest_.scenes[i].links) {
                inputs_.scenes[i].linkLabels.push_back(encoded(link.label));
            }
        }
    }

  private:
    std::string encoded(const std::string& utf8) const {
        std::string text;
        std::string unmappable;
        utf8ToCodePage(inputs_.textCodePage, utf8, text, unmappable);  // chosen to hold it
        return text;
    }

    const Manifest& manifest_;
    const BuildOptions& options_;
    PictureRule rule_;
    BuildInputs& inputs_;
    Problems& problems_;
    std::vector<std::string>& warnings_;
};

// Checks the inputs in the order a manifest names them, so that the problems
// are listed in the manifest's order.
BuildInputs checkInputs(const Manifest& manifest, const BuildOptions& options, PictureRule rule,
                        Problems& problems, std::vector<std::string>& warnings) {
    BuildInputs inputs;
    InputCheck check(manifest, options, rule, inputs, problems, warnings);
    check.modules();
    check.backgroundSound();
    check.scenes();
    check.info();
    check.skin();
    check.texts();
    return inputs;
}

// The links section's content: per scene the number of links, then each link.
template <class Fields>
void writeLinksSection(Fields& fields, const Manifest& manifest, const BuildInputs& inputs) {
    fields.writeInt(static_cast<std::int32_t>(manifest.scenes.size()));
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const std::vector<LinkEntry>& links = manifest.scenes[i].links;
        fields.writeInt(static_cast<std::int32_t>(links.size()));
        for (std::size_t k = 0; k < links.size(); ++k) {
            const LinkEntry& link = links[k];
            fields.writeInt(link.target);
            fields.writeFloat(static_cast<float>(link.pan));
            fields.writeFloat(static_cast<float>(link.tilt));
            fields.writeString(inputs.scenes[i].linkLabels[k]);
            fields.writeFlag(link.hasView);
            fields.writeFloat(link.hasView ? static_cast<float>(link.viewPan) : 0.0f);
            fields.writeFloat(link.hasView ? static_cast<float>(link.viewTilt) : 0.0f);
            fields.writeFloat(link.hasView ? static_cast<float>(link.viewFieldOfView) : 0.0f);
        }
    }
}

// The extension block after the record stream (see package/extension_block.h):
// the links, when there are any; the texts' code page, always: a tour that
// names none has its texts read in the showing system's code page, so a
// Windows-1252 tour would show garbled on a Cyrillic or Greek system; and the
// sampling, always, so that the tour says what its author chose. Each
// section's length is counted before its content is written.
template <class Fields>
void writeExtensionBlock(Fields& fields, const Manifest& manifest, const BuildInputs& inputs) {
    namespace block = package::extension_block;
    fields.writeString(block::marker);
    fields.writeInt(block::version);
    fields.writeInt(inputs.hasLinks ? 3 : 2);
    if (inputs.hasLinks) {
        fields.writeString(block::linksTag);
        CountingFieldWriter content;
        writeLinksSection(content, manifest, inputs);
        fields.writeLong(static_cast<std::int32_t>(content.written()));
        writeLinksSection(fields, manifest, inputs);
    }
    fields.writeString(block::textCodePageTag);
    fields.writeLong(package::FieldReader::intWidth);
    fields.writeInt(inputs.textCodePage);
    const std::string sampling = samplingWord(manifest.sampling);
    fields.writeString(block::samplingTag);
    CountingFieldWriter samplingContent;
    samplingContent.writeString(sampling);
    fields.writeLong(static_cast<std::int32_t>(samplingContent.written()));
    fields.writeString(sampling);
}

// The record stream, into a FieldWriter or a CountingFieldWriter. A file
// stored in a record (sound, skin image, language module) is a LONG length
// and then the file's bytes, which `copyFile(path, size)` delivers.
template <class Fields, class CopyFile>
void writeRecordStream(Fields& fields, const Manifest& manifest, const BuildInputs& inputs,
                       CopyFile copyFile) {
    const auto itemRef = [&](bool present, std::size_t index) {
        if (!present) {
            fields.writeItemRef(0, 0);
            return;
        }
        const PayloadSlot& slot = inputs.payloads.at(index);
        fields.writeItemRef(static_cast<std::int32_t>(slot.offset),
                            static_cast<std::int32_t>(slot.size));
    };
    const auto blob = [&](const fs::path& path, std::int64_t size) {
        fields.writeLong(static_cast<std::int32_t>(size));
        if (size > 0) {
            copyFile(path, size);
        }
    };
    fields.writeString(inputs.title);
    fields.writeInt(manifest.viewSize);
    fields.writeInt(manifest.rotationSpeed);
    fields.writeInt(static_cast<std::int32_t>(inputs.scenes.size()));
    fields.writeFlag(manifest.soundOn);
    fields.writeFlag(manifest.autoPlay);
    fields.writeInt(manifest.fullScreenMode);
    blob(manifest.backgroundSound, inputs.backgroundSize);
    for (std::size_t i = 0; i < inputs.scenes.size(); ++i) {
        const SceneEntry& scene = manifest.scenes[i];
        fields.writeString(inputs.scenes[i].name);
        fields.writeFloat(static_cast<float>(scene.pan));
        fields.writeFloat(static_cast<float>(scene.tilt));
        fields.writeFloat(static_cast<float>(scene.fieldOfView));
        itemRef(true, inputs.scenes[i].image);
        itemRef(inputs.scenes[i].hasSound, inputs.scenes[i].sound);
    }
    for (const std::string& text : inputs.infoTexts) {
        fields.writeString(text);
    }
    itemRef(inputs.hasPicture, inputs.picture);
    for (std::size_t slot = 0; slot < inputs.skin.size(); ++slot) {
        blob(inputs.skin[slot], inputs.skinSizes[slot]);
    }
    blob(inputs.languageModule, inputs.languageSize);
    writeExtensionBlock(fields, manifest, inputs);
}

struct PackagePlan {
    std::int64_t recordStream = 0;
    std::int64_t total = 0;
};

// Places every payload after the player image and sizes the whole file by
// writing the record stream and the trailer into a counter.
PackagePlan planPackage(const Manifest& manifest, BuildInputs& inputs) {
    std::int64_t offset = inputs.playerSize;
    for (PayloadSlot& slot : inputs.payloads.slots()) {
        slot.offset = offset;
        offset += slot.size;
    }
    PackagePlan plan;
    plan.recordStream = offset;
    CountingFieldWriter counter;
    std::int64_t storedFiles = 0;
    writeRecordStream(counter, manifest, inputs,
                      [&storedFiles](const fs::path&, std::int64_t size) { storedFiles += size; });
    counter.writeLong(static_cast<std::int32_t>(plan.recordStream));  // the trailer's
    plan.total = plan.recordStream + counter.written() + storedFiles + trailerMarkerSize;
    if (plan.total > maximumPackageSize) {
        throw TourpackError(utf8Of(manifest.file) + ": the tour would be " +
                            std::to_string(plan.total) +
                            " bytes; a tour executable holds at most 2 GiB (2147483647 bytes)");
    }
    return plan;
}

// An angle the record's field cannot hold exactly reaches the player
// rounded; the author hears of it.
void warnIfInexact(const Manifest& manifest, const std::string& field, double value,
                   std::vector<std::string>& warnings) {
    bool exact = true;
    const std::string text = formatFloatField(static_cast<float>(value), &exact);
    if (!exact) {
        warnings.push_back(utf8Of(manifest.file) + ": field '" + field +
                           "': " + std::to_string(value) + " is stored as " + text);
    }
}

void warnAboutAnglesAndLinks(const Manifest& manifest, std::vector<std::string>& warnings) {
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const SceneEntry& scene = manifest.scenes[i];
        const std::string field = sceneField(i);
        warnIfInexact(manifest, field + ".pan", scene.pan, warnings);
        warnIfInexact(manifest, field + ".tilt", scene.tilt, warnings);
        warnIfInexact(manifest, field + ".fieldOfView", scene.fieldOfView, warnings);
        for (std::size_t k = 0; k < scene.links.size(); ++k) {
            const LinkEntry& link = scene.links[k];
            const std::string linkFieldName = linkField(field, k);
            if (link.target == static_cast<std::int32_t>(i) + 1) {
                warnings.push_back(utf8Of(manifest.file) + ": field '" + linkFieldName +
                                   ".to': the link leads to its own scene");
            }
            warnIfInexact(manifest, linkFieldName + ".pan", link.pan, warnings);
            warnIfInexact(manifest, linkFieldName + ".tilt", link.tilt, warnings);
            if (link.hasView) {
                warnIfInexact(manifest, linkFieldName + ".view.pan", link.viewPan, warnings);
                warnIfInexact(manifest, linkFieldName + ".view.tilt", link.viewTilt, warnings);
                warnIfInexact(manifest, linkFieldName + ".view.fieldOfView", link.viewFieldOfView,
                              warnings);
            }
        }
    }
}

// The player image, the payload area, the record stream and the trailer, in
// that order; the file replaces `output` only once it is complete.
void writePackage(const fs::path& output, const Manifest& manifest, const BuildInputs& inputs,
                  const PackagePlan& plan, const BuildOptions& options) {
    OutputFile file(output);
    std::ofstream& out = file.stream();
    Progress progress(options, plan.total);
    copyFile(inputs.player, out, false, progress);
    for (const PayloadSlot& slot : inputs.payloads.slots()) {
        copyFile(slot.file, out, slot.encrypted, progress);
    }
    FieldWriter fields(out);
    writeRecordStream(fields, manifest, inputs, [&](const fs::path& path, std::int64_t) {
        copyFile(path, out, false, progress);
    });
    fields.writeLong(static_cast<std::int32_t>(plan.recordStream));
    out.write(trailerMarker, trailerMarkerSize);
    if (static_cast<std::int64_t>(out.tellp()) != plan.total) {
        throw TourpackError(utf8Of(output) + ": wrote " + std::to_string(out.tellp()) +
                            " bytes where " + std::to_string(plan.total) + " were planned");
    }
    file.commit();
}

}  // namespace

std::vector<NamedInput> buildInputFiles(const Manifest& manifest, const BuildOptions& options) {
    std::vector<NamedInput> inputs = {{"the manifest", manifest.file},
                                      {"the player", chosenPlayer(manifest, options)}};
    const fs::path language = manifest.languagePath.empty()
                                  ? firstExisting(languageCandidates(manifest, options))
                                  : manifest.languagePath;
    inputs.push_back({"the language module", language});
    inputs.push_back({"field 'backgroundSound'", manifest.backgroundSound});
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const std::string field = "field '" + sceneField(i) + ".";
        inputs.push_back({field + "image'", manifest.scenes[i].image});
        inputs.push_back({field + "sound'", manifest.scenes[i].sound});
    }
    inputs.push_back({"field 'info.picture'", manifest.infoPicture});
    std::error_code error;
    fs::path skin;
    try {
        skin = skinFolderOf(manifest);
    } catch (const TourpackError&) {
        return inputs;  // no skin, nothing in it to replace
    }
    for (const auto& entry : fs::directory_iterator(skin, error)) {
        if (entry.is_regular_file(error)) {
            inputs.push_back({"a skin image", entry.path()});
        }
    }
    return inputs;
}

void checkBuildOutput(const Manifest& manifest, const fs::path& output,
                      const BuildOptions& options) {
    requireOutputFile(output, "tour.exe");
    refuseToReplace(output, buildInputFiles(manifest, options));
}

void findBuildProblems(const Manifest& manifest, const fs::path& output,
                       const BuildOptions& options, PictureRule rule, Problems& problems,
                       std::vector<std::string>& warnings) {
    problems.collect([&] { checkBuildOutput(manifest, output, options); });
    checkInputs(manifest, options, rule, problems, warnings);
}

BuildResult buildPackage(const Manifest& manifest, const fs::path& output,
                         const BuildOptions& options, std::vector<std::string>& warnings) {
    // Every input is checked, and the file sized, before anything is written.
    Problems problems;
    problems.collect([&] { checkBuildOutput(manifest, output, options); });
    BuildInputs inputs =
        checkInputs(manifest, options, PictureRule::asThePlayerTakesThem, problems, warnings);
    problems.throwIfAny("no tour was written");
    const PackagePlan plan = planPackage(manifest, inputs);
    warnAboutAnglesAndLinks(manifest, warnings);
    writePackage(output, manifest, inputs, plan, options);

    BuildResult result;
    result.player = inputs.player;
    result.languageModule = inputs.languageModule;
    result.size = plan.total;
    result.recordStreamOffset = static_cast<std::int32_t>(plan.recordStream);
    return result;
}

}  // namespace tourpack
