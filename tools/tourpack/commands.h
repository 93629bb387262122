// Each tourpack subcommand lives in its own *_command.cpp and registers itself
// here at static initialisation; main() adds them all to the command line.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

namespace tourpack {

// Adds the subcommand to `app`; the callback it installs stores the process
// exit code in `exitCode`.
using CommandSetup = std::function<void(CLI::App& app, int& exitCode)>;

std::vector<CommandSetup>& registeredCommands();

struct RegisterCommand {
    explicit RegisterCommand(CommandSetup setup) {
        registeredCommands().push_back(std::move(setup));
    }
};

}  // namespace tourpack
