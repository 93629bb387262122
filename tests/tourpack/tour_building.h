// The fixture of the tests that build tours from manifests: the test's own
// folder, a scratch folder for the build's temporary files, a three-scene
// source tour, and a build that succeeds or says why it refused.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "package/package_writer.h"
#include "scoped_temp_directory.h"
#include "tour_source.h"
#include "text/tourpack_error.h"

namespace test_support {

class TourBuilding : public ::testing::Test {
  protected:
    TourBuilding()
        : scratch_(folder_.path() / "tmp"),
          temp_((std::filesystem::create_directories(scratch_), scratch_)),
          source_(makeTourSource(folder_.path() / "source", 3)) {}

    // The tour built from the manifest, as NAME in the test's folder.
    std::filesystem::path build(const std::filesystem::path& manifestFile, const std::string& name,
                                std::vector<std::string>& warnings) {
        const tourpack::Manifest manifest = tourpack::readManifest(manifestFile, warnings);
        const std::filesystem::path output = folder_.path() / name;
        tourpack::buildPackage(manifest, output, {}, warnings);
        return output;
    }
    std::filesystem::path build(const TourSource& source, const std::string& name) {
        std::vector<std::string> ignored;
        return build(source.manifestPath(), name, ignored);
    }

    // Every warning the build of the source's manifest gives, one a line.
    std::string warningsOf(const TourSource& source) {
        std::vector<std::string> warnings;
        build(source.manifestPath(), "warned.exe", warnings);
        std::string all;
        for (const std::string& warning : warnings) {
            all += warning + "\n";
        }
        return all;
    }

    // The message the build refuses the source's manifest with, or "" when it
    // builds; a refused build leaves no output behind.
    std::string refusal(const TourSource& source) {
        const std::filesystem::path output = folder_.path() / "refused.exe";
        try {
            build(source, "refused.exe");
        } catch (const tourpack::TourpackError& error) {
            EXPECT_FALSE(std::filesystem::exists(output)) << "a refused build leaves its output";
            EXPECT_FALSE(std::filesystem::exists(output.string() + ".part"));
            return error.what();
        }
        return "";
    }

    TempFolder folder_;
    std::filesystem::path scratch_;
    ScopedTempDirectory temp_;
    TourSource source_;
};

}  // namespace test_support
