// A Windows helper's command-line argument as given, whatever the system's
// code page: the arguments the runtime hands main are in that code page.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace test_support {

inline std::wstring wideArgument(int index) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring argument = arguments != nullptr && index < count ? arguments[index] : L"";
    LocalFree(arguments);
    return argument;
}

}  // namespace test_support
