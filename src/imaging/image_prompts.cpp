#include "imaging/image_prompts.h"

#include <string>

namespace imaging {
namespace {

HMODULE stringModule = nullptr;
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
    const std::wstring text = moduleString(stringModule, textId);
    const std::wstring caption = moduleString(stringModule, captionId);
    const InputReturn input;
    return MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace

std::wstring moduleString(HMODULE module, UINT id) {
    // A buffer size of 0 gives a pointer to the string in the loaded module:
    // no copy, and no length to cut it at.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, static_cast<std::size_t>(length))
                                         : std::wstring();
}

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
        platform::endProcess(1);
    }
}

void warnBitmapNotCreated() {
    if (deferredBoxes != nullptr) {
        deferredBoxes->record(OwedBox::bitmapWarning);
        return;
    }
    showLanguageBox(bitmapWarningText, bitmapWarningCaption, MB_ICONWARNING | MB_TASKMODAL);
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

}  // namespace imaging
