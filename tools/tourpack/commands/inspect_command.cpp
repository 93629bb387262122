#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "commands/commands.h"
#include "package/package_inspector.h"

namespace {

struct InspectArguments {
    std::string tour;
    bool json = false;
};

int runInspect(const InspectArguments& arguments) {
    const tourpack::InspectReport report = tourpack::inspectTour(arguments.tour);
    if (arguments.json) {
        std::printf("%s\n", report.description.dump(2).c_str());
    } else {
        // The description to standard output, the problems and warnings to
        // standard error.
        // A file that is no tour is one error.
        const bool unread = report.description.contains("error");
        std::istringstream lines(tourpack::formatReport(report));
        for (std::string line; std::getline(lines, line);) {
            const bool problem =
                unread || line.rfind("problem: ", 0) == 0 || line.rfind("warning: ", 0) == 0;
            std::fprintf(problem ? stderr : stdout, "%s\n", line.c_str());
        }
    }
    return report.problems.empty() ? 0 : 1;
}

const tourpack::RegisterCommand inspectCommand(
    "inspect", "Print a tour executable's settings, scenes and payloads, and check them",
    [](tourpack::Subcommand& command) {
        auto arguments = std::make_shared<InspectArguments>();
        command.required("tour", arguments->tour, "The tour executable");
        command.flag("--json", arguments->json, "Print the description as JSON");
        command.onRun([arguments] { return runInspect(*arguments); });
    });

}  // namespace
