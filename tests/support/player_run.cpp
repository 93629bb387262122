#include "player_run.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/scoped_handle.h"
#include "shell/window_classes.h"
#include "test_window.h"

namespace test_support {

namespace fs = std::filesystem;

namespace {

struct Search {
    DWORD process;
    std::vector<HWND> windows;
};

BOOL CALLBACK collect(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window)) {
        search->windows.push_back(window);
    }
    return TRUE;
}

std::vector<wchar_t> environmentBlock(const fs::path& temp, const PlayerScript& script) {
    std::wstring block;
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
        block += std::wstring(name) + L"=" + temp.wstring() + L'\0';
    }
    for (const wchar_t* name : {L"SystemRoot", L"WINEPREFIX", L"DISPLAY", L"PATH", L"WINEDEBUG"}) {
        wchar_t value[4096] = {};
        if (GetEnvironmentVariableW(name, value, 4096) > 0) {
            block += std::wstring(name) + L"=" + value + L'\0';
        }
    }
    for (const auto& [name, value] : script.environment) {
        block += name + L"=" + value + L'\0';
    }
    block += L'\0';
    return {block.begin(), block.end()};
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring textOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// A class name as the wide calls give it back (the names are ASCII).
std::wstring widened(const char* name) {
    return std::wstring(name, name + std::strlen(name));
}

}  // namespace

bool answers(HWND window, std::chrono::milliseconds limit) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                               static_cast<UINT>(limit.count()), &result) != 0;
}

PlayerRun runPlayer(const fs::path& exe, const fs::path& temp, const PlayerScript& script) {
    using Clock = std::chrono::steady_clock;
    std::vector<wchar_t> environment = environmentBlock(temp, script);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
    PlayerRun run;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start " << exe << ": " << GetLastError();
        return run;
    }
    const platform::UniqueHandle thread(process.hThread);
    const platform::UniqueHandle child(process.hProcess);
    const auto deadline = Clock::now() + std::chrono::minutes(1);
    bool acted = false;
    HWND answeredBox = nullptr;
    while (WaitForSingleObject(child.get(), 20) == WAIT_TIMEOUT) {
        Search search{process.dwProcessId, {}};
        EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
        for (HWND window : search.windows) {
            if (!run.sawWindow) {
                run.sawWindow = true;
                if (script.onFirstWindow) {
                    script.onFirstWindow(window);
                }
            }
            const std::wstring windowClass = classOf(window);
            if (windowClass == widened(shell::mainWindowClassName)) {
                run.sawMainWindow = true;
                if (script.onMainWindow && !acted &&
                    (!script.mainWindowReady || script.mainWindowReady(window))) {
                    acted = true;
                    script.onMainWindow(window);
                }
            } else if (windowClass == widened(dialogClassName) && window != answeredBox) {
                const std::wstring caption = textOf(window);
                run.boxes.push_back(caption);
                answeredBox = window;
                const auto answer = script.answers.find(caption);
                PostMessageW(window, WM_COMMAND,
                             answer != script.answers.end() ? answer->second : IDOK, 0);
            }
        }
        if (Clock::now() > deadline) {
            ADD_FAILURE() << exe << " still runs after a minute";
            TerminateProcess(child.get(), 99);
        }
    }
    GetExitCodeProcess(child.get(), &run.exitCode);
    return run;
}

}  // namespace test_support
