#include "package/package_writer.h"

#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "package/angle_and_link_warnings.h"
#include "package/build_inputs.h"
#include "package/companion_files.h"
#include "package/package_file.h"
#include "pictures/scene_preview.h"
#include "process/interruption.h"
#include "text/field_names.h"
#include "text/problems.h"
#include "text/tourpack_error.h"
#include "text/utf8_path.h"

namespace tourpack {

namespace fs = std::filesystem;

std::vector<NamedInput> buildInputFiles(const Manifest& manifest, const BuildOptions& options) {
    std::vector<NamedInput> inputs = {{"the manifest", manifest.file},
                                      {"the player", chosenPlayer(manifest, options)},
                                      {"the language module", chosenLanguage(manifest, options)}};
    inputs.push_back({"field 'backgroundSound'", manifest.backgroundSound});
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const std::string field = "field '" + sceneField(i) + ".";
        inputs.push_back({field + "image'", manifest.scenes[i].image});
        inputs.push_back({field + "sound'", manifest.scenes[i].sound});
        for (std::size_t k = 0; k < manifest.scenes[i].notes.size(); ++k) {
            inputs.push_back({"field '" + noteField(sceneField(i), k) + ".picture'",
                              manifest.scenes[i].notes[k].picture});
        }
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

namespace {

// From the pictures as they are stored, so that the first look matches what
// follows it; a picture several scenes share is reduced once. A picture that
// does not decode (the player asks about it when the scene is shown) is
// stored without a preview.
std::vector<std::string> scenePreviews(const BuildInputs& inputs,
                                       std::vector<std::string>& warnings) {
    std::map<std::size_t, std::string> made;
    std::vector<std::string> previews;
    for (const ScenePayloads& scene : inputs.scenes) {
        auto found = made.find(scene.image);
        if (found == made.end()) {
            stopIfInterrupted();
            std::vector<std::uint8_t> jpeg;
            try {
                jpeg = makeScenePreview(inputs.payloads.at(scene.image).file);
            } catch (const TourpackError& error) {
                warnings.push_back(std::string(error.what()) +
                                   "; the scene is stored without a preview");
            }
            found = made.emplace(scene.image, std::string(jpeg.begin(), jpeg.end())).first;
        }
        previews.push_back(found->second);
    }
    return previews;
}

// The notes' pictures as they are stored, each once.
std::vector<std::string> notePictures(const BuildInputs& inputs) {
    std::vector<std::string> pictures;
    for (const fs::path& file : inputs.notePictureFiles) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad() || bytes.empty()) {
            throw TourpackError(utf8Of(file) + ": cannot be read");
        }
        pictures.push_back(std::move(bytes));
    }
    return pictures;
}

}  // namespace

BuildResult buildPackage(const Manifest& manifest, const fs::path& output,
                         const BuildOptions& options, std::vector<std::string>& warnings) {
    // Every input is checked, and the file sized, before anything is written.
    Problems problems;
    problems.collect([&] { checkBuildOutput(manifest, output, options); });
    BuildInputs inputs =
        checkInputs(manifest, options, PictureRule::asThePlayerTakesThem, problems, warnings);
    problems.throwIfAny("no tour was written");
    inputs.previews = scenePreviews(inputs, warnings);
    inputs.notePictures = notePictures(inputs);
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
