#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "commands.h"
#include "manifest.h"
#include "package_writer.h"
#include "picture_preparation.h"
#include "problems.h"
#include "tool_folder.h"
#include "tourpack_error.h"

namespace {

// Tours above this size show their progress while they are written.
constexpr std::int64_t progressThreshold = 32ll << 20;

struct BuildArguments {
    std::string manifest;
    std::string output;
    std::string player;
    std::string languageFolder;
    tourpack::ConversionOptions conversion;
};

// The build's warnings go to stderr once, before whatever ends the build: the
// summary when it succeeds; the error when it fails, as this object goes
// before the command line reports the error.
class BuildWarnings {
  public:
    BuildWarnings() = default;
    BuildWarnings(const BuildWarnings&) = delete;
    BuildWarnings& operator=(const BuildWarnings&) = delete;
    ~BuildWarnings() { print(); }

    std::vector<std::string>& list() { return warnings_; }
    void print() {
        for (const std::string& warning : warnings_) {
            std::fprintf(stderr, "warning: %s\n", warning.c_str());
        }
        warnings_.clear();
    }

  private:
    std::vector<std::string> warnings_;
};

// A folder given for the manifest: the manifest in it, or `new` to make one.
void refuseFolderAsManifest(const std::string& given) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_directory(given, error)) {
        return;
    }
    const fs::path inside = fs::path(given) / "tour.json";
    if (fs::is_regular_file(inside, error)) {
        throw tourpack::TourpackError(given + ": is a folder, not a manifest; did you mean " +
                                      inside.string() + "?");
    }
    throw tourpack::TourpackError(given +
                                  ": is a folder, not a manifest; make one with "
                                  "tourpack new " +
                                  given);
}

int runBuild(const BuildArguments& arguments) {
    BuildWarnings warnings;
    refuseFolderAsManifest(arguments.manifest);
    tourpack::BuildOptions options;
    options.player = arguments.player;
    options.languageFolder = arguments.languageFolder;
    options.toolFolder = tourpack::toolFolder();
    // Every mistake is found before any picture is converted, and all of them
    // are reported at once.
    tourpack::Problems problems;
    const tourpack::Manifest given =
        tourpack::readManifest(arguments.manifest, warnings.list(), problems);
    tourpack::findBuildProblems(given, arguments.output, options,
                                tourpack::PictureRule::convertibleToo, problems);
    problems.throwIfAny("nothing was converted and no tour was written");
    tourpack::PreparedPictures prepared;
    tourpack::preparePictures(given, arguments.conversion, prepared, warnings.list());
    for (const std::string& notice : prepared.notices()) {
        std::printf("%s\n", notice.c_str());
    }
    const tourpack::Manifest& manifest = prepared.manifest();
    int shownPercent = -1;
    options.progress = [&shownPercent](std::int64_t done, std::int64_t total) {
        if (total < progressThreshold) {
            return;
        }
        const int percent = static_cast<int>(done * 100 / total);
        if (percent != shownPercent) {
            shownPercent = percent;
            std::fprintf(stderr, "\rwriting tour: %3d%%", percent);
        }
    };
    const auto result =
        tourpack::buildPackage(manifest, arguments.output, options, warnings.list());
    if (shownPercent >= 0) {
        std::fprintf(stderr, "\n");
    }
    warnings.print();
    std::printf("%s: %lld bytes, %zu scenes (player %s, language module %s)\n",
                arguments.output.c_str(), static_cast<long long>(result.size),
                manifest.scenes.size(), result.player.string().c_str(),
                result.languageModule.string().c_str());
    return 0;
}

const tourpack::RegisterCommand buildCommand(
    "build", "Build a tour executable from a manifest", [](tourpack::Subcommand& command) {
        auto arguments = std::make_shared<BuildArguments>();
        command.required("manifest", arguments->manifest, "The tour's JSON manifest");
        command.required("-o,--output", arguments->output, "The tour executable to write");
        command.optional("--player", arguments->player,
                         "The bare player image (default: the manifest's, else player.exe "
                         "beside tourpack)");
        command.optional("--lang-dir", arguments->languageFolder,
                         "Where language modules CODE.dll are looked up first");
        // The defaults shown are the conversion's own (quality 90, width 8192).
        command.bounded("--quality", arguments->conversion.quality, 1, 100,
                        "JPEG quality of converted pictures (PNG, TGA, TIFF, too wide)");
        command.bounded("--max-width", arguments->conversion.maxWidth, 16, 65500,
                        "Wider pictures are reduced to this width");
        command.onRun([arguments] { return runBuild(*arguments); });
    });

}  // namespace
