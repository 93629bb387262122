// A helper for the end-to-end scripts: finds the player's main window in the
// Wine desktop and reports or acts on it.
//   window_probe rect      -> "x y width height clientX clientY clientWidth clientHeight"
//   window_probe command N -> posts command N to the main window
//   window_probe close     -> asks the main window to close
//   window_probe box TITLE -> presses the default button of a message box titled TITLE
//   window_probe memory    -> the player process's private bytes
// Exit code 1 when the window is not there.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_probe rect|command N|close|box TITLE\n");
        return 2;
    }
    if (std::strcmp(argv[1], "box") == 0 && argc > 2) {
        HWND box = FindWindowA("#32770", argv[2]);
        if (box == nullptr) {
            return 1;
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    HWND window = FindWindowA("Lumivue QRZ", nullptr);
    if (window == nullptr) {
        return 1;
    }
    if (std::strcmp(argv[1], "rect") == 0) {
        RECT outer;
        RECT client;
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        std::printf("%ld %ld %ld %ld %ld %ld %ld %ld\n", outer.left, outer.top,
                    outer.right - outer.left, outer.bottom - outer.top, origin.x, origin.y,
                    client.right, client.bottom);
    } else if (std::strcmp(argv[1], "command") == 0 && argc > 2) {
        PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0);
    } else if (std::strcmp(argv[1], "memory") == 0) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (process == nullptr ||
            !GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                  sizeof counters)) {
            return 1;
        }
        CloseHandle(process);
        // Wine fills the page-file figure (the private commit) but not always
        // the private usage.
        const SIZE_T privateBytes =
            counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
        std::printf("%llu\n", static_cast<unsigned long long>(privateBytes));
    } else if (std::strcmp(argv[1], "close") == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
        return 2;
    }
    return 0;
}
