// Reads a tour executable with the player's reader and checks what the player
// would only find out when it shows a scene: every byte range inside the file,
// every scene image decrypting to a picture the player decodes, every skin
// image a picture, the language module a Windows module.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tourpack {

struct InspectReport {
    nlohmann::json description;         // every setting, scene, info field and payload
    std::vector<std::string> problems;  // empty when the tour is sound
    std::vector<std::string> warnings;  // what the player shows otherwise than meant
};

InspectReport inspectTour(const std::string& exePath);

// The report as text for people.
std::string formatReport(const InspectReport& report);

}  // namespace tourpack
