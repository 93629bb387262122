// Windows module bytes made here, laid out as a linker lays out a
// resource-only module: headers, one ".rsrc" section with the three levels of
// the resource directory (type, name, language) and the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scratch_files.h"

namespace test_support {

struct ModuleResource {
    std::uint32_t type = 0;  // numbered type, when `typeName` is empty
    std::string typeName;    // a named type ("GIF")
    std::uint32_t id = 0;
    Bytes data;
};

// A 64-bit module holding the resources.
Bytes moduleWithResources(const std::vector<ModuleResource>& resources);

// A stand-in language module: every resource and string the player needs
// (placeholder contents) except those whose ids are in `leftOut`; strings
// are left out by their own ids.
Bytes standInLanguageModule(const std::vector<int>& leftOut = {});

}  // namespace test_support
