#include "package/package_writer.h"

#include <system_error>

#include "package/angle_and_link_warnings.h"
#include "package/build_inputs.h"
#include "package/companion_files.h"
#include "package/package_file.h"
#include "text/field_names.h"
#include "text/problems.h"
#include "text/tourpack_error.h"

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
