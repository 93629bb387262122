// The manifest's "sampling": what build refuses, what the player's reader
// finds in the tour, and inspect, extract and build again keeping it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "package/opened_tour.h"
#include "package/field_reader.h"
#include "package/package_extractor.h"
#include "package/package_inspector.h"
#include "tour_building.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ManifestSampling : public test_support::TourBuilding {
  protected:
    package::ViewSampling samplingReadBack(const fs::path& tourFile) {
        std::string error;
        const auto opened = tourpack::OpenedTour::open(tourFile.string(), error);
        EXPECT_TRUE(opened) << error;
        EXPECT_EQ(opened->loader().extensionBlock().kind, package::ExtensionBlockStatus::read);
        return opened->tour().sampling();
    }
};

// The section's bytes as package/extension_block.h lays them out: the tag
// (a STRING), the content's LONG length, the word (a STRING).
bool holdsSamplingSection(const test_support::Bytes& tour, const std::string& word) {
    const auto longField = [](std::size_t value) {
        std::string field = std::to_string(value);
        field.resize(package::FieldReader::longWidth, '\0');
        return field;
    };
    const std::string tag = "sampling";
    const std::string section = longField(tag.size()) + tag +
                                longField(package::FieldReader::longWidth + word.size()) +
                                longField(word.size()) + word;
    return std::search(tour.begin(), tour.end(), section.begin(), section.end()) != tour.end();
}

TEST_F(ManifestSampling, NearestSurvivesInspectExtractAndBuild) {
    source_.manifest["sampling"] = "nearest";
    source_.save();
    const fs::path first = build(source_, "first.exe");
    EXPECT_TRUE(holdsSamplingSection(test_support::readFile(first), "nearest"));
    EXPECT_EQ(samplingReadBack(first), package::ViewSampling::nearest);

    const tourpack::InspectReport report = tourpack::inspectTour(first.string());
    EXPECT_TRUE(report.problems.empty()) << tourpack::formatReport(report);
    EXPECT_EQ(report.description["sampling"], "nearest");
    EXPECT_NE(tourpack::formatReport(report).find("\nsampling        nearest\n"), std::string::npos)
        << tourpack::formatReport(report);

    const fs::path manifest = tourpack::extractTour(first.string(), folder_.path() / "extracted");
    json extracted;
    std::ifstream(manifest) >> extracted;
    EXPECT_EQ(extracted["sampling"], "nearest");
    std::vector<std::string> warnings;
    EXPECT_EQ(test_support::readFile(build(manifest, "second.exe", warnings)),
              test_support::readFile(first));
}

TEST_F(ManifestSampling, ATourIsSmoothUnlessItSaysNearestAndSaysSoAlways) {
    source_.manifest.erase("sampling");
    source_.save();
    const fs::path unsaid = build(source_, "unsaid.exe");
    source_.manifest["sampling"] = "smooth";
    source_.save();
    const fs::path said = build(source_, "said.exe");
    EXPECT_EQ(test_support::readFile(unsaid), test_support::readFile(said));
    EXPECT_TRUE(holdsSamplingSection(test_support::readFile(said), "smooth"));
    EXPECT_EQ(samplingReadBack(said), package::ViewSampling::smooth);
    EXPECT_EQ(tourpack::inspectTour(said.string()).description["sampling"], "smooth");
}

TEST_F(ManifestSampling, AnotherValueIsAMistakeNamingTheField) {
    const json saved = source_.manifest;
    for (const json& value : {json("bilinear"), json("Nearest"), json(1), json(true)}) {
        source_.manifest["sampling"] = value;
        source_.manifest["viewSize"] = "large";  // reported with it
        source_.save();
        const std::string message = refusal(source_);
        EXPECT_NE(message.find("tour.json: field 'sampling': expected"), std::string::npos)
            << message;
        EXPECT_NE(message.find("'viewSize'"), std::string::npos) << message;
        if (value.is_string()) {
            EXPECT_NE(message.find("expected \"smooth\" or \"nearest\", found \"" +
                                   value.get<std::string>() + "\""),
                      std::string::npos)
                << message;
        }
        source_.manifest = saved;
    }
}

}  // namespace
