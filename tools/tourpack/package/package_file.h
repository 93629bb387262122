// The tour executable's file: every payload placed and the whole sized before
// anything is written, then the player image, the payload area, the record
// stream and the trailer.
#pragma once

#include <cstdint>
#include <filesystem>

#include "manifest/manifest.h"
#include "package/build_inputs.h"
#include "package/build_options.h"

namespace tourpack {

struct PackagePlan {
    std::int64_t recordStream = 0;
    std::int64_t total = 0;
};

// Places every payload after the player image and sizes the whole file by
// writing the record stream and the trailer into a counter; throws
// TourpackError when the tour would be too large.
PackagePlan planPackage(const Manifest& manifest, BuildInputs& inputs);

// The file replaces `output` only once it is complete.
void writePackage(const std::filesystem::path& output, const Manifest& manifest,
                  const BuildInputs& inputs, const PackagePlan& plan, const BuildOptions& options);

}  // namespace tourpack
