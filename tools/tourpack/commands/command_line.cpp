#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <exception>

#include "commands/commands.h"
#include "commands/dropped_folder.h"
#include "process/interruption.h"
#include "text/nearest_name.h"
#include "text/tourpack_error.h"

namespace tourpack {

std::vector<Command>& registeredCommands() {
    static std::vector<Command> commands;
    return commands;
}

void Subcommand::required(const std::string& names, std::string& value,
                          const std::string& description) {
    command_->add_option(names, value, description)->required();
}

void Subcommand::optional(const std::string& names, std::string& value,
                          const std::string& description) {
    command_->add_option(names, value, description);
}

void Subcommand::optional(const std::string& names, int& value, const std::string& description) {
    command_->add_option(names, value, description);
}

void Subcommand::optional(const std::string& names, std::optional<float>& value,
                          const std::string& description) {
    command_->add_option(names, value, description);
}

void Subcommand::bounded(const std::string& names, int& value, int lowest, int highest,
                         const std::string& description) {
    const int initial = value;
    command_->add_option(names, value, description)
        ->check(CLI::Range(lowest, highest))
        ->default_val(initial);
}

void Subcommand::flag(const std::string& names, bool& value, const std::string& description) {
    command_->add_flag(names, value, description);
}

void Subcommand::onRun(std::function<int()> run) {
    // A command's error for people ends it with exit code 1, named by the
    // command; any other exception reaches runCommandLine.
    command_->callback([name = command_->get_name(), exitCode = exitCode_, run = std::move(run)] {
        try {
            *exitCode = run();
        } catch (const Interrupted& error) {
            std::fprintf(stderr, "tourpack %s: %s\n", name.c_str(), error.what());
            *exitCode = interruptedExitCode;
        } catch (const TourpackError& error) {
            std::fprintf(stderr, "tourpack %s: %s\n", name.c_str(), error.what());
            *exitCode = 1;
        }
    });
}

namespace {

// Usage errors (an unknown command, a bad option) end with this exit code.
constexpr int usageExitCode = 2;

// A first word that is no command: the nearest one is suggested when it is
// a typing slip away, else every command is listed. True when it said so.
bool reportUnknownCommand(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        return false;
    }
    const std::string given = argv[1];
    std::string nearest;
    std::size_t nearestDistance = given.size();
    std::string names;
    for (const Command& command : registeredCommands()) {
        if (command.name == given) {
            return false;
        }
        names += (names.empty() ? "" : ", ") + command.name;
        const std::size_t distance = editDistance(given, command.name);
        if (distance < nearestDistance) {
            nearest = command.name;
            nearestDistance = distance;
        }
    }
    if (!nearest.empty() && nearestDistance <= 2) {
        std::fprintf(stderr, "tourpack: no command '%s'; did you mean `%s`?\n", given.c_str(),
                     nearest.c_str());
    } else {
        std::fprintf(stderr, "tourpack: no command '%s'; the commands are %s\n", given.c_str(),
                     names.c_str());
    }
    return true;
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    if (isDroppedFolder(argc, argv)) {
        return runDroppedFolder(argv[1]);
    }
    if (explainWithoutArguments(argc)) {
        return 0;
    }
    if (reportUnknownCommand(argc, argv)) {
        return usageExitCode;
    }
    CLI::App app{"tourpack: builds, inspects, extracts and renders tour executables"};
    app.require_subcommand(1);
    // Paths like /home/me/tour.json are paths on every platform, not options.
    app.allow_windows_style_options(false);
    int exitCode = 0;
    for (const Command& command : registeredCommands()) {
        Subcommand arguments(*app.add_subcommand(command.name, command.description), exitCode);
        command.declare(arguments);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // CLI11 prints the message; its own codes (105, 106, ...) mean nothing to a script.
        const int code = app.exit(error);
        return code == 0 ? 0 : usageExitCode;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tourpack: %s\n", error.what());
        return 1;
    }
    return exitCode;
}

}  // namespace tourpack
