// The message boxes of image loading. Their texts are strings of the language
// module, which the shell names with `setPromptModule` once it has loaded it.
// All boxes are task-modal and have no owner window; while one is open the
// thread's window procedures keep running.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "lang_ids.h"
#include "platform/process_end.h"

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

// The boxes a thread owes the user. A scene decode runs on a worker thread,
// where no box may open: while a `DeferredBoxes` lives, the decode prompt and
// the bitmap warning on its thread are recorded instead of shown, and the
// operation goes on as after Yes (or OK); memory that runs out there is thrown
// on rather than ending the process. The window's thread shows the boxes
// afterwards with `showOwedBoxes`, each with its own answers.
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
    platform::ProcessEndHandedOver processEnd_;
    DeferredBoxes* outer_;
    std::vector<OwedBox> owed_;
};
// Shows the boxes in the order they were owed; No to a decode prompt ends
// the process with exit status 1.
void showOwedBoxes(const std::vector<OwedBox>& boxes);

}  // namespace imaging
