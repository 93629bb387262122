// Where the build put the language module of a language code: bin/lang/<code>.dll,
// beside the test programs in bin/.
#pragma once

#include <string>

#include "screen_capture.h"

namespace test_support {

inline std::string modulePath(const std::string& code) {
    return besideThisProgram(("lang\\" + code + ".dll").c_str());
}

}  // namespace test_support
