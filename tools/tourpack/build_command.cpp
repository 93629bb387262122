#include <cstdio>
#include <string>

#include "commands.h"
#include "manifest.h"
#include "package_writer.h"
#include "picture_preparation.h"
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

int runBuild(const BuildArguments& arguments) {
    std::vector<std::string> warnings;
    try {
        const tourpack::Manifest given = tourpack::readManifest(arguments.manifest, warnings);
        tourpack::PreparedPictures prepared;
        tourpack::preparePictures(given, arguments.conversion, prepared, warnings);
        for (const std::string& notice : prepared.notices()) {
            std::printf("%s\n", notice.c_str());
        }
        const tourpack::Manifest& manifest = prepared.manifest();
        tourpack::BuildOptions options;
        options.player = arguments.player;
        options.languageFolder = arguments.languageFolder;
        options.toolFolder = tourpack::toolFolder();
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
        const auto result = tourpack::buildPackage(manifest, arguments.output, options, warnings);
        if (shownPercent >= 0) {
            std::fprintf(stderr, "\n");
        }
        for (const std::string& warning : warnings) {
            std::fprintf(stderr, "warning: %s\n", warning.c_str());
        }
        std::printf("%s: %lld bytes, %zu scenes (player %s, language module %s)\n",
                    arguments.output.c_str(), static_cast<long long>(result.size),
                    manifest.scenes.size(), result.player.string().c_str(),
                    result.languageModule.string().c_str());
        return 0;
    } catch (const tourpack::TourpackError& error) {
        for (const std::string& warning : warnings) {
            std::fprintf(stderr, "warning: %s\n", warning.c_str());
        }
        std::fprintf(stderr, "tourpack build: %s\n", error.what());
        return 1;
    }
}

const tourpack::RegisterCommand registration([](CLI::App& app, int& exitCode) {
    auto arguments = std::make_shared<BuildArguments>();
    CLI::App* command = app.add_subcommand("build", "Build a tour executable from a manifest");
    command->add_option("manifest", arguments->manifest, "The tour's JSON manifest")->required();
    command->add_option("-o,--output", arguments->output, "The tour executable to write")
        ->required();
    command->add_option("--player", arguments->player,
                        "The bare player image (default: the manifest's, else player.exe "
                        "beside tourpack)");
    command->add_option("--lang-dir", arguments->languageFolder,
                        "Where language modules CODE.dll are looked up first");
    command
        ->add_option("--quality", arguments->conversion.quality,
                     "JPEG quality of converted pictures (PNG, TGA, TIFF, too wide)")
        ->check(CLI::Range(1, 100))
        ->default_val(90);
    command
        ->add_option("--max-width", arguments->conversion.maxWidth,
                     "Wider pictures are reduced to this width")
        ->check(CLI::Range(16, 65500))
        ->default_val(8192);
    command->callback([arguments, &exitCode] { exitCode = runBuild(*arguments); });
});

}  // namespace
