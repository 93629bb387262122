#include <cstdio>
#include <string>

#include "commands.h"
#include "package_extractor.h"
#include "tourpack_error.h"

namespace {

struct ExtractArguments {
    std::string tour;
    std::string folder;
};

int runExtract(const ExtractArguments& arguments) {
    try {
        const auto manifest = tourpack::extractTour(arguments.tour, arguments.folder);
        std::printf("%s\n", manifest.string().c_str());
        return 0;
    } catch (const tourpack::TourpackError& error) {
        std::fprintf(stderr, "tourpack extract: %s\n", error.what());
        return 1;
    }
}

const tourpack::RegisterCommand registration([](CLI::App& app, int& exitCode) {
    auto arguments = std::make_shared<ExtractArguments>();
    CLI::App* command = app.add_subcommand(
        "extract", "Write a tour executable's manifest and every payload into a folder");
    command->add_option("tour", arguments->tour, "The tour executable")->required();
    command->add_option("-o,--output", arguments->folder, "The folder to write")->required();
    command->callback([arguments, &exitCode] { exitCode = runExtract(*arguments); });
});

}  // namespace
