// Where the build put the language module of a language code.
#pragma once

#include <string>

namespace lumivue::testing {

inline std::string modulePath(const std::string& code) {
    return std::string(LUMIVUE_LANG_DIR) + "/" + code + ".dll";
}

}  // namespace lumivue::testing
