#include "process/interruption.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tourpack {
namespace {

// Process-wide by nature: a signal reaches the process, not an object.
std::atomic<bool> interruption{false};

#ifdef _WIN32

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (interruption.exchange(true)) {
        return FALSE;  // the second time: the default handler ends the process
    }
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The process ends when this handler returns: the build gets the few
        // seconds Windows allows to remove its files.
        Sleep(4000);
    }
    return TRUE;
}

#else

extern "C" void onSignal(int signal) {
    if (interruption.exchange(true)) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

#endif

}  // namespace

void catchInterruptions() {
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
#endif
}

void stopIfInterrupted() {
    if (interruption.load()) {
        throw Interrupted();
    }
}

}  // namespace tourpack
