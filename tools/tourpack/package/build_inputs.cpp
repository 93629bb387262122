#include "package/build_inputs.h"

#include <system_error>

#include "lang_ids.h"
#include "pictures/picture_preparation.h"
#include "package/companion_files.h"
#include "package/tour_trailer.h"
#include "text/field_names.h"
#include "text/problems.h"
#include "text/utf8_path.h"
#include "windows_module/module_resources.h"
#include "windows_module/skin_places.h"

namespace tourpack {

namespace fs = std::filesystem;

std::size_t PayloadArea::add(const fs::path& file, bool encrypted, std::int64_t size) {
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

namespace {

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
            if (fileKindOf(inputs_.player) != FileKind::windowsModule) {
                failOnField(manifest_, "player",
                            utf8Of(inputs_.player) + " is not a Windows program");
            }
            if (endsWithTrailer(inputs_.player)) {
                failOnField(
                    manifest_, "player",
                    utf8Of(inputs_.player) + " already carries a tour; use the bare player image");
            }
            inputs_.playerSize = requiredFileSize(manifest_, "player", inputs_.player);
        });
        problems_.collect([&] {
            inputs_.languageModule = resolveLanguage(manifest_, options_);
            if (fileKindOf(inputs_.languageModule) != FileKind::windowsModule) {
                failOnField(manifest_, "language",
                            utf8Of(inputs_.languageModule) + " is not a Windows module (DLL)");
            }
            inputs_.languageSize = requiredFileSize(manifest_, "language", inputs_.languageModule);
            requireLanguageResources(manifest_, inputs_.languageModule);
        });
    }

    void backgroundSound() {
        if (!manifest_.backgroundSound.empty()) {
            problems_.collect([&] {
                requireSound(manifest_, "backgroundSound", manifest_.backgroundSound, warnings_);
                inputs_.backgroundSize =
                    requiredFileSize(manifest_, "backgroundSound", manifest_.backgroundSound);
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
                    scene.image, true, requiredFileSize(manifest_, field + ".image", scene.image));
            });
            if (!scene.sound.empty()) {
                problems_.collect([&] {
                    requireSound(manifest_, field + ".sound", scene.sound, warnings_);
                    entry.sound = inputs_.payloads.add(
                        scene.sound, false,
                        requiredFileSize(manifest_, field + ".sound", scene.sound));
                    entry.hasSound = true;
                });
            }
            inputs_.hasLinks = inputs_.hasLinks || !scene.links.empty();
            notes(scene, field, entry);
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
                inputs_.picture = inputs_.payloads.add(
                    manifest_.infoPicture, false,
                    requiredFileSize(manifest_, "info.picture", manifest_.infoPicture));
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
                inputs_.skinSizes.push_back(requiredFileSize(manifest_, field, inputs_.skin[slot]));
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
    // A note's picture must be one the player shows as it is, and (once build
    // has prepared it) fit the note's box.
    void notes(const SceneEntry& scene, const std::string& sceneFieldName, ScenePayloads& entry) {
        inputs_.hasNotes = inputs_.hasNotes || !scene.notes.empty();
        for (std::size_t k = 0; k < scene.notes.size(); ++k) {
            const fs::path& picture = scene.notes[k].picture;
            entry.notePictures.push_back(0);
            if (picture.empty()) {
                continue;
            }
            const std::string field = noteField(sceneFieldName, k) + ".picture";
            problems_.collect([&] {
                requirePicture(manifest_, field, picture, rule_);
                if (rule_ == PictureRule::asThePlayerTakesThem) {
                    requireWithin(manifest_, field, picture, notePictureBox);
                }
                entry.notePictures.back() = notePictureNumber(picture);
            });
        }
    }

    std::int32_t notePictureNumber(const fs::path& picture) {
        std::error_code error;
        fs::path key = fs::weakly_canonical(picture, error);
        if (error) {
            key = picture;
        }
        const auto [found, added] = notePictureNumbers_.try_emplace(
            utf8Of(key), static_cast<std::int32_t>(inputs_.notePictureFiles.size()) + 1);
        if (added) {
            inputs_.notePictureFiles.push_back(picture);
        }
        return found->second;
    }

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
    std::map<std::string, std::int32_t> notePictureNumbers_;
};

}  // namespace

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

}  // namespace tourpack
