// Each tourpack subcommand lives in its own *_command.cpp and registers itself
// here at static initialisation; the command line (command_line.cpp) adds them
// all. Commands declare their arguments through Subcommand, so the parser's
// header-only library is compiled once, in command_line.cpp, and not again in
// every command.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tourpack {

// One subcommand's arguments. NAMES is a positional name ("tour") or the
// option's spellings ("-o,--output"); each value is written into the variable
// given, which must outlive the parse.
class Subcommand {
  public:
    // The exit code of the subcommand, once run, goes to `exitCode`.
    Subcommand(CLI::App& command, int& exitCode) : command_(&command), exitCode_(&exitCode) {}

    void required(const std::string& names, std::string& value, const std::string& description);
    void optional(const std::string& names, std::string& value, const std::string& description);
    void optional(const std::string& names, int& value, const std::string& description);
    void optional(const std::string& names, std::optional<float>& value,
                  const std::string& description);
    // An integer from `lowest` to `highest`; the help shows the variable's
    // present value as the default.
    void bounded(const std::string& names, int& value, int lowest, int highest,
                 const std::string& description);
    void flag(const std::string& names, bool& value, const std::string& description);
    // What the subcommand does once its arguments are read; returns the
    // process's exit code. A TourpackError it throws is printed as
    // "tourpack NAME: what" and ends the process with exit code 1.
    void onRun(std::function<int()> run);

  private:
    CLI::App* command_;
    int* exitCode_;
};

struct Command {
    std::string name;
    std::string description;
    std::function<void(Subcommand&)> declare;
};

std::vector<Command>& registeredCommands();

struct RegisterCommand {
    RegisterCommand(std::string name, std::string description,
                    std::function<void(Subcommand&)> declare) {
        registeredCommands().push_back(
            {std::move(name), std::move(description), std::move(declare)});
    }
};

// Parses the command line and runs the subcommand it names.
int runCommandLine(int argc, char** argv);

}  // namespace tourpack
