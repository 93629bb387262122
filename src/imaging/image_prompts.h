// The message boxes of image loading. Their texts are strings of the language
// module, which the shell names with `setPromptModule` once it has loaded it.
// All boxes are task-modal and have no owner window; while one is open the
// thread's window procedures keep running.
#pragma once

#include <windows.h>

#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "imaging/image_exceptions.h"
#include "lang_ids.h"

namespace imaging {

// String ids of the language module.
inline constexpr UINT decodePromptText = IDS_DECODE_PROMPT;
inline constexpr UINT decodePromptCaption = IDS_DECODE_PROMPT_CAPTION;
inline constexpr UINT bitmapWarningText = IDS_BITMAP_WARNING;
inline constexpr UINT bitmapWarningCaption = IDS_BITMAP_WARNING_CAPTION;

// String `id` of `module` through the wide call (a language module's texts
// may lie outside the system's code page); empty when it has none.
std::wstring moduleString(HMODULE module, UINT id);

// The module whose string table the boxes read (the language module).
void setPromptModule(HMODULE module);
HMODULE promptModule();

// The window that gets activation and the keyboard back after a box that
// returns, when no window of the thread was active before it (the main
// window). A task-modal box without an owner leaves no window active when it
// closes, so without this the keys would go nowhere.
void setPromptReturnWindow(HWND window);

// A picture could not be decoded or drawn: asks whether to go on. Returns on
// Yes; No ends the process with exit status 1.
void askToContinueAfterDecodeFailure();

// The platform refused to create a bitmap: says so and returns.
void warnBitmapNotCreated();

// Memory ran out (handling image data, in the engine, anywhere): "WM: Out of
// Memory!" and exit status 1. Does not return.
[[noreturn]] void reportOutOfMemoryAndExit();

// The boxes a thread owes the user. A scene decode runs on a worker thread,
// where no box may open: while a `DeferredBoxes` lives, the decode prompt and
// the bitmap warning on its thread are recorded instead of shown, and the
// operation goes on as after Yes (or OK). The window's thread shows them
// afterwards with `showOwedBoxes`, with the answers they always had.
enum class OwedBox { decodePrompt, bitmapWarning };
class DeferredBoxes {
  public:
    DeferredBoxes();
    ~DeferredBoxes();
    DeferredBoxes(const DeferredBoxes&) = delete;
    DeferredBoxes& operator=(const DeferredBoxes&) = delete;

    // The boxes owed, moved out (never throws).
    std::vector<OwedBox> takeOwed() noexcept { return std::move(owed_); }
    void record(OwedBox box) { owed_.push_back(box); }

  private:
    DeferredBoxes* outer_;
    std::vector<OwedBox> owed_;
};
// Shows the boxes in the order they were owed; No to a decode prompt ends
// the process with exit status 1.
void showOwedBoxes(const std::vector<OwedBox>& boxes);

// How the boxes above end the process. The shell names its own end, which
// lets go of what the run holds and deletes the run's files first; without
// one the process just exits.
using ProcessEnd = void (*)(int exitCode);
void setProcessEnd(ProcessEnd end);
[[noreturn]] void endProcess(int exitCode);

// How every entry from the system ends an exception that reached it (window,
// dialog and timer procedures, band work rethrown on the calling thread,
// start-up, or a failure another thread caught and hands over): memory
// (OutOfMemoryException, std::bad_alloc) shows the out-of-memory box, anything
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

}  // namespace imaging
