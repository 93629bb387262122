#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "commands.h"
#include "tourpack_error.h"

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
        } catch (const TourpackError& error) {
            std::fprintf(stderr, "tourpack %s: %s\n", name.c_str(), error.what());
            *exitCode = 1;
        }
    });
}

int runCommandLine(int argc, char** argv) {
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
        return app.exit(error);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tourpack: %s\n", error.what());
        return 1;
    }
    return exitCode;
}

}  // namespace tourpack
