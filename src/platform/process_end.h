// How the player's process ends when something fails that it cannot go on
// from: memory that ran out, or any exception that reached an entry from the
// system. The shell names its own end, which lets go of what the run holds
// and deletes the run's files first; without one the process just exits.
#pragma once

#include <exception>
#include <utility>

namespace platform {

// Marks an exception that says memory ran out (with the operation it names);
// the policy treats it as std::bad_alloc.
class MemoryExhausted {
  public:
    virtual ~MemoryExhausted() = default;
};

using ProcessEnd = void (*)(int exitCode);
void setProcessEnd(ProcessEnd end);
[[noreturn]] void endProcess(int exitCode);

// A thread that hands its failures to the window's thread instead of ending
// the process (a decode worker) holds one of these while it works: there,
// reportOutOfMemoryAndExit throws std::bad_alloc on to its owner.
struct ProcessEndHandedOver {
    ProcessEndHandedOver();
    ~ProcessEndHandedOver();
    // Bound to its thread and scope: neither copied nor moved.
    ProcessEndHandedOver(ProcessEndHandedOver&&) = delete;
};

// Memory ran out (handling image data, in the engine, anywhere): "WM: Out of
// Memory!" and exit status 1. Does not return.
[[noreturn]] void reportOutOfMemoryAndExit();

// How every entry from the system ends an exception that reached it (window,
// dialog and timer procedures, band work rethrown on the calling thread,
// start-up, or a failure another thread caught and hands over): memory
// (MemoryExhausted, std::bad_alloc) shows the out-of-memory box, anything
// else the plain box "The tour cannot go on and closes." ("Error"); then the
// run ends through endProcess with exit status 1, its files deleted. Call it
// on the window's thread (the boxes run a message loop there). A failure met
// while a box of this kind is open ends the run at once, without a second
// box. Does not return.
[[noreturn]] void endOnException(std::exception_ptr failure);

// Runs `work` and returns what it returns; an exception that escapes it ends
// the run through endOnException instead of unwinding into a window
// procedure's caller or the runtime.
template <typename Work>
auto endOnAnyException(Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (...) {
        endOnException(std::current_exception());
    }
}

// The same guard, for the callers that name memory.
template <typename Work>
auto endOnOutOfMemory(Work&& work) -> decltype(work()) {
    return endOnAnyException(std::forward<Work>(work));
}

}  // namespace platform
