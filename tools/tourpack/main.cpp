#include <cstdio>
#include <exception>

#include "commands.h"

namespace tourpack {

std::vector<CommandSetup>& registeredCommands() {
    static std::vector<CommandSetup> commands;
    return commands;
}

}  // namespace tourpack

int main(int argc, char** argv) {
    CLI::App app{"tourpack: builds, inspects, extracts and renders tour executables"};
    app.require_subcommand(1);
    // Paths like /home/me/tour.json are paths on every platform, not options.
    app.allow_windows_style_options(false);
    int exitCode = 0;
    for (const auto& setup : tourpack::registeredCommands()) {
        setup(app, exitCode);
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
