// The texts the interface shows, all as UTF-16: the language module's strings
// read through the wide call, and the tour's texts converted from the code
// page the tour names (the system's own when it names none).
#include <windows.h>

#include "imaging/image_prompts.h"
#include "platform/code_pages.h"
#include "shell/shell.h"

namespace shell {

std::wstring languageString(UINT id) {
    return imaging::moduleString(shellState.languageModule.get(), id);
}

std::wstring asciiName(const char* name) {
    return platform::widen(name, platform::systemCodePage);
}

std::wstring tourText(const char* text, const package::Tour* tour) {
    if (text == nullptr) {
        return {};
    }
    return platform::widen(text, tour != nullptr ? tour->textCodePage() : platform::systemCodePage);
}

std::wstring tourText(const char* text) {
    return tourText(text, shellState.tour.get());
}

}  // namespace shell
