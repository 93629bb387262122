#include "imaging/image_prompts.h"

#include <cstdlib>

namespace imaging {
namespace {

HMODULE stringModule = nullptr;
ProcessEnd processEnd = nullptr;
HWND returnWindow = nullptr;
thread_local DeferredBoxes* deferredBoxes = nullptr;

// Gives activation and the keyboard focus back, when the box closes, to the
// window and control that had them (or to the return window).
class InputReturn {
  public:
    InputReturn() : active_(GetActiveWindow()), focus_(GetFocus()) {}
    ~InputReturn() {
        HWND active = IsWindow(active_) ? active_ : returnWindow;
        if (active == nullptr || !IsWindow(active)) {
            return;
        }
        SetForegroundWindow(active);
        SetActiveWindow(active);
        const bool focusInside =
            focus_ != nullptr && IsWindow(focus_) && (focus_ == active || IsChild(active, focus_));
        // The main window hands its focus on to the view.
        SetFocus(focusInside ? focus_ : active);
    }
    InputReturn(const InputReturn&) = delete;
    InputReturn& operator=(const InputReturn&) = delete;

  private:
    HWND active_;
    HWND focus_;
};

int showLanguageBox(UINT textId, UINT captionId, UINT style) {
    char text[300] = {};
    char caption[300] = {};
    LoadStringA(stringModule, textId, text, sizeof text);
    LoadStringA(stringModule, captionId, caption, sizeof caption);
    const InputReturn input;
    return MessageBoxA(nullptr, text, caption, style);
}

}  // namespace

void setPromptModule(HMODULE module) {
    stringModule = module;
}
HMODULE promptModule() {
    return stringModule;
}

void setPromptReturnWindow(HWND window) {
    returnWindow = window;
}

void askToContinueAfterDecodeFailure() {
    if (deferredBoxes != nullptr) {
        deferredBoxes->record(OwedBox::decodePrompt);
        return;
    }
    const int answer = showLanguageBox(decodePromptText, decodePromptCaption,
                                       MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL);
    if (answer == IDNO) {
        endProcess(1);
    }
}

void warnBitmapNotCreated() {
    if (deferredBoxes != nullptr) {
        deferredBoxes->record(OwedBox::bitmapWarning);
        return;
    }
    showLanguageBox(bitmapWarningText, bitmapWarningCaption, MB_ICONWARNING | MB_TASKMODAL);
}

void reportOutOfMemoryAndExit() {
    if (deferredBoxes != nullptr) {
        // A worker thread ends nothing itself: the window's thread does.
        throw OutOfMemoryException(oom::bitmap);
    }
    MessageBoxA(nullptr, "WM: Out of Memory!", "Out of Memory", MB_ICONERROR | MB_TASKMODAL);
    endProcess(1);
}

DeferredBoxes::DeferredBoxes() : outer_(deferredBoxes) {
    deferredBoxes = this;
}

DeferredBoxes::~DeferredBoxes() {
    deferredBoxes = outer_;
}

void showOwedBoxes(const std::vector<OwedBox>& boxes) {
    for (const OwedBox box : boxes) {
        if (box == OwedBox::decodePrompt) {
            askToContinueAfterDecodeFailure();
        } else {
            warnBitmapNotCreated();
        }
    }
}

void setProcessEnd(ProcessEnd end) {
    processEnd = end;
}

void endProcess(int exitCode) {
    if (processEnd != nullptr) {
        processEnd(exitCode);
    }
    std::exit(exitCode);
}

}  // namespace imaging
