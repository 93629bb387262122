#include <cstdio>
#include <memory>
#include <string>

#include "text/utf8_path.h"
#include "commands/commands.h"
#include "package/package_extractor.h"
#include "text/tourpack_error.h"

namespace {

struct ExtractArguments {
    std::string tour;
    std::string folder;
};

int runExtract(const ExtractArguments& arguments) {
    const auto manifest =
        tourpack::extractTour(arguments.tour, tourpack::pathFromUtf8(arguments.folder));
    std::printf("%s\n", tourpack::utf8Of(manifest).c_str());
    return 0;
}

const tourpack::RegisterCommand extractCommand(
    "extract", "Write a tour executable's manifest and every payload into a folder",
    [](tourpack::Subcommand& command) {
        auto arguments = std::make_shared<ExtractArguments>();
        command.required("tour", arguments->tour, "The tour executable");
        command.required("-o,--output", arguments->folder, "The folder to write");
        command.onRun([arguments] { return runExtract(*arguments); });
    });

}  // namespace
