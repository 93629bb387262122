#include "imaging/image_prompts.h"

#include <cstdlib>

namespace imaging {
namespace {

HMODULE stringModule = nullptr;
ProcessEnd processEnd = nullptr;

int showLanguageBox(UINT textId, UINT captionId, UINT style) {
    char text[300] = {};
    char caption[300] = {};
    LoadStringA(stringModule, textId, text, sizeof text);
    LoadStringA(stringModule, captionId, caption, sizeof caption);
    return MessageBoxA(nullptr, text, caption, style);
}

}  // namespace

void setPromptModule(HMODULE module) {
    stringModule = module;
}
HMODULE promptModule() {
    return stringModule;
}

void askToContinueAfterDecodeFailure() {
    const int answer = showLanguageBox(decodePromptText, decodePromptCaption,
                                       MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL);
    if (answer == IDNO) {
        endProcess(1);
    }
}

void warnBitmapNotCreated() {
    showLanguageBox(bitmapWarningText, bitmapWarningCaption, MB_ICONWARNING | MB_TASKMODAL);
}

void reportOutOfMemoryAndExit() {
    MessageBoxA(nullptr, "WM: Out of Memory!", "Out of Memory", MB_ICONERROR | MB_TASKMODAL);
    endProcess(1);
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
