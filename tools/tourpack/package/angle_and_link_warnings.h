// Warnings about a manifest's angles, links and notes that a build still writes: an
// angle the record's field cannot hold exactly, a link to its own scene.
#pragma once

#include <string>
#include <vector>

#include "manifest/manifest.h"

namespace tourpack {

void warnAboutAnglesAndLinks(const Manifest& manifest, std::vector<std::string>& warnings);

}  // namespace tourpack
