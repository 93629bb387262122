#include <string>
#include <vector>

#include "commands/commands.h"

#ifdef _WIN32
#include <windows.h>
// clang-format off
#include <shellapi.h>
// clang-format on

namespace {

// The command line as UTF-8: Windows hands a program its arguments in UTF-16
// (the narrow ones lose every character outside the ANSI code page).
std::vector<std::string> utf8Arguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), bytes, nullptr, nullptr);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace

int main() {
    // Messages are UTF-8 and the console shows them as such.
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments = utf8Arguments();
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return tourpack::runCommandLine(static_cast<int>(arguments.size()), argv.data());
}

#else

int main(int argc, char** argv) {
    return tourpack::runCommandLine(argc, argv);
}

#endif
