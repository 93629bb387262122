// The message boxes of image loading. Their texts are strings of the language
// module, which the shell names with `setPromptModule` once it has loaded it.
// All boxes are task-modal and have no owner window; while one is open the
// thread's window procedures keep running.
#pragma once

#include <windows.h>

namespace imaging {

// String ids of the language module.
inline constexpr UINT decodePromptText = 32796;
inline constexpr UINT decodePromptCaption = 32797;
inline constexpr UINT bitmapWarningText = 32798;
inline constexpr UINT bitmapWarningCaption = 32799;

// The module whose string table the boxes read (the language module).
void setPromptModule(HMODULE module);
HMODULE promptModule();

// A picture could not be decoded or drawn: asks whether to go on. Returns on
// Yes; No ends the process with exit status 1.
void askToContinueAfterDecodeFailure();

// The platform refused to create a bitmap: says so and returns.
void warnBitmapNotCreated();

// Memory ran out while handling image data: "WM: Out of Memory!" and exit
// status 1. Does not return.
[[noreturn]] void reportOutOfMemoryAndExit();

}  // namespace imaging
