#include <cstdio>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "text/utf8_path.h"
#include "commands/commands.h"
#include "manifest/manifest.h"
#include "package/package_writer.h"
#include "pictures/panorama_shape.h"
#include "process/interruption.h"
#include "pictures/picture_preparation.h"
#include "text/problems.h"
#include "process/tool_folder.h"
#include "text/tourpack_error.h"

namespace {

using tourpack::pathFromUtf8;
using tourpack::utf8Of;

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
    // Each once: the checks before the conversion and the build's own may
    // find the same.
    void print() {
        std::set<std::string> printed;
        for (const std::string& warning : warnings_) {
            if (printed.insert(warning).second) {
                std::fprintf(stderr, "warning: %s\n", warning.c_str());
            }
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
    if (!fs::is_directory(tourpack::pathFromUtf8(given), error)) {
        return;
    }
    const fs::path inside = tourpack::pathFromUtf8(given) / "tour.json";
    if (fs::is_regular_file(inside, error)) {
        throw tourpack::TourpackError(given + ": is a folder, not a manifest; did you mean " +
                                      utf8Of(inside) + "?");
    }
    throw tourpack::TourpackError(given +
                                  ": is a folder, not a manifest; make one with "
                                  "tourpack new " +
                                  given);
}

// A percentage rewritten in place is for people watching, not for log files.
bool isTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

int runBuild(const BuildArguments& arguments) {
    tourpack::catchInterruptions();
    BuildWarnings warnings;
    refuseFolderAsManifest(arguments.manifest);
    tourpack::BuildOptions options;
    options.player = tourpack::pathFromUtf8(arguments.player);
    options.languageFolder = tourpack::pathFromUtf8(arguments.languageFolder);
    options.toolFolder = tourpack::toolFolder();
    // Every mistake is found before any picture is converted, and all of them
    // are reported at once.
    tourpack::Problems problems;
    const tourpack::Manifest given = tourpack::readManifest(
        tourpack::pathFromUtf8(arguments.manifest), warnings.list(), problems);
    tourpack::findBuildProblems(given, tourpack::pathFromUtf8(arguments.output), options,
                                tourpack::PictureRule::convertibleToo, problems, warnings.list());
    problems.throwIfAny("nothing was converted and no tour was written");
    tourpack::PreparedPictures prepared;
    tourpack::ConversionOptions conversion = arguments.conversion;
    conversion.pictureDone = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);  // the line is the progress: it shows now, also in a log
    };
    tourpack::preparePictures(given, conversion, prepared, warnings.list());
    const tourpack::Manifest& manifest = prepared.manifest();
    int shownPercent = -1;
    const bool terminal = isTerminal(stderr);
    options.progress = [&shownPercent, terminal](std::int64_t done, std::int64_t total) {
        if (total < progressThreshold || !terminal) {
            return;
        }
        const int percent = static_cast<int>(done * 100 / total);
        if (percent != shownPercent) {
            shownPercent = percent;
            std::fprintf(stderr, "\rwriting tour: %3d%%", percent);
        }
    };
    const auto result = tourpack::buildPackage(manifest, tourpack::pathFromUtf8(arguments.output),
                                               options, warnings.list());
    if (shownPercent >= 0) {
        std::fprintf(stderr, "\n");
    }
    warnings.print();
    std::printf("%s: %lld bytes, %zu scenes (player %s, language module %s)\n",
                arguments.output.c_str(), static_cast<long long>(result.size),
                manifest.scenes.size(), utf8Of(result.player).c_str(),
                utf8Of(result.languageModule).c_str());
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
        command.bounded("--max-width", arguments->conversion.maxWidth, 16,
                        tourpack::largestMaxWidth, "Wider pictures are reduced to this width");
        command.onRun([arguments] { return runBuild(*arguments); });
    });

}  // namespace
