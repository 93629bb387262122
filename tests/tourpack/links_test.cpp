// Links in the manifest: what build refuses, what reaches the player's reader,
// and extract then build giving the same tour back.
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>

#include "package/opened_tour.h"
#include "package/package_extractor.h"
#include "package/package_inspector.h"
#include "package/package_writer.h"
#include "scoped_temp_directory.h"
#include "tour_building.h"
#include "tour_source.h"
#include "text/tourpack_error.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ManifestLinks : public test_support::TourBuilding {
  protected:
    ManifestLinks() {
        source_.manifest["scenes"][0]["links"] = {
            {{"to", 2}, {"pan", 42.5}, {"tilt", 4.0}, {"label", "Into the gallery"}},
            {{"to", "Scene 3"},
             {"pan", -180},
             {"tilt", -90},
             {"view", {{"pan", 180}, {"tilt", 0}, {"fieldOfView", 90}}}}};
        source_.manifest["scenes"][2]["links"] = {
            {{"to", "Scene 1"}, {"pan", 0.1}, {"tilt", 0}, {"label", "Caf\xC3\xA9"}}};
        source_.save();
    }

    // The message the build refuses the edited manifest with, or "".
    std::string refusal() {
        source_.save();
        return TourBuilding::refusal(source_);
    }
};

TEST_F(ManifestLinks, ReachThePlayersReaderAndSurviveExtractAndBuild) {
    std::vector<std::string> warnings;
    const fs::path first = build(source_.manifestPath(), "first.exe", warnings);
    {
        std::string error;
        const auto opened = tourpack::OpenedTour::open(first.string(), error);
        ASSERT_TRUE(opened) << error;
        EXPECT_EQ(opened->loader().extensionBlock().kind, package::ExtensionBlockStatus::read);
        const package::Tour& tour = opened->tour();
        const auto& links = tour.scene(1)->links();
        ASSERT_EQ(links.size(), 2u);
        EXPECT_EQ(links[0].target, 2);
        EXPECT_EQ(links[0].pan, 42.5f);
        EXPECT_EQ(links[0].tilt, 4.0f);
        EXPECT_EQ(links[0].label, "Into the gallery");
        EXPECT_FALSE(links[0].hasView);
        EXPECT_EQ(links[1].target, 3);
        EXPECT_EQ(links[1].label, "");
        EXPECT_TRUE(links[1].hasView);
        EXPECT_EQ(links[1].viewPan, 180.0f);
        EXPECT_EQ(links[1].viewFieldOfView, 90.0f);
        EXPECT_TRUE(tour.scene(2)->links().empty());
        ASSERT_EQ(tour.scene(3)->links().size(), 1u);
        EXPECT_EQ(tour.scene(3)->links()[0].label, "Caf\xE9");  // the player's code page
        EXPECT_EQ(tour.scene(3)->links()[0].pan, 0.1f);
    }

    const fs::path manifest = tourpack::extractTour(first.string(), folder_.path() / "extracted");
    json extracted;
    std::ifstream(manifest) >> extracted;
    EXPECT_EQ(extracted["scenes"][0]["links"][0]["to"], "Scene 2");
    EXPECT_EQ(extracted["scenes"][0]["links"][0]["label"], "Into the gallery");
    EXPECT_EQ(extracted["scenes"][0]["links"][1]["view"]["fieldOfView"], 90.0);
    EXPECT_EQ(extracted["scenes"][1]["links"], json::array());
    EXPECT_EQ(extracted["scenes"][2]["links"][0]["pan"], 0.1);
    const fs::path second = build(manifest, "second.exe", warnings);
    EXPECT_EQ(test_support::readFile(first), test_support::readFile(second));

    // Scenes of one name are named by position when extracted.
    source_.manifest["scenes"][1]["name"] = "Scene 3";
    source_.manifest["scenes"][0]["links"][1]["to"] = 3;
    source_.save();
    const fs::path twins = build(source_.manifestPath(), "twins.exe", warnings);
    const fs::path again = tourpack::extractTour(twins.string(), folder_.path() / "twins");
    std::ifstream(again) >> extracted;
    EXPECT_EQ(extracted["scenes"][0]["links"][0]["to"], 2);
    EXPECT_EQ(extracted["scenes"][0]["links"][1]["to"], 3);
    EXPECT_EQ(test_support::readFile(build(again, "twins-again.exe", warnings)),
              test_support::readFile(twins));
}

TEST_F(ManifestLinks, InspectListsThemAndReportsADamagedBlock) {
    source_.manifest["scenes"][1]["links"] = {{{"to", 2}, {"pan", 1}, {"tilt", 2}}};
    source_.save();
    std::vector<std::string> warnings;
    const fs::path tourFile = build(source_.manifestPath(), "tour.exe", warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("scenes[2].links[1].to"), std::string::npos) << warnings[0];

    const tourpack::InspectReport report = tourpack::inspectTour(tourFile.string());
    ASSERT_EQ(report.problems.size(), 1u) << tourpack::formatReport(report);
    EXPECT_NE(report.problems[0].find("scene 2, link 1: leads to its own scene"),
              std::string::npos);
    const json& link = report.description["scenes"][0]["links"][1];
    EXPECT_EQ(link["to"], 3);
    EXPECT_EQ(link["toName"], "Scene 3");
    EXPECT_EQ(link["view"]["fieldOfView"], 90.0);
    const std::string text = tourpack::formatReport(report);
    EXPECT_NE(text.find("link 1 at pan 42.5, tilt 4.0 to 2. Scene 2, label \"Into the gallery\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("opening at pan 180.0, tilt 0.0, field of view 90.0"), std::string::npos)
        << text;

    // The first link's target made 9: the block is ignored as a whole and the
    // tour reads as before.
    test_support::Bytes bytes = test_support::readFile(tourFile);
    const std::string tag = "links";
    const auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
    ASSERT_NE(at, bytes.end());
    *(at + 5 + 33 + 17 + 17) = '9';
    test_support::writeFile(tourFile, bytes);
    const tourpack::InspectReport damaged = tourpack::inspectTour(tourFile.string());
    ASSERT_EQ(damaged.problems.size(), 1u) << tourpack::formatReport(damaged);
    EXPECT_NE(damaged.problems[0].find("extension block: links of scene 1, link 1"),
              std::string::npos)
        << damaged.problems[0];
    EXPECT_EQ(damaged.description["extensionBlock"]["status"], "ignored");
    EXPECT_EQ(damaged.description["scenes"].size(), 3u);
    for (const json& scene : damaged.description["scenes"]) {
        EXPECT_TRUE(scene["links"].empty());
    }
}

TEST_F(ManifestLinks, ATourWithoutLinksCarriesNoLinksSection) {
    std::vector<std::string> warnings;
    const fs::path with = build(source_.manifestPath(), "with.exe", warnings);
    for (json& scene : source_.manifest["scenes"]) {
        scene["links"] = json::array();
    }
    source_.save();
    const fs::path without = build(source_.manifestPath(), "without.exe", warnings);
    source_.manifest["scenes"][0].erase("links");
    source_.manifest["scenes"][2].erase("links");
    source_.save();
    const fs::path absent = build(source_.manifestPath(), "absent.exe", warnings);
    EXPECT_EQ(test_support::readFile(without), test_support::readFile(absent));
    EXPECT_LT(fs::file_size(without), fs::file_size(with));
    std::string error;
    const auto opened = tourpack::OpenedTour::open(without.string(), error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->loader().extensionBlock().kind, package::ExtensionBlockStatus::read)
        << "the block still records the texts' code page";
    for (std::int32_t position = 1; position <= 3; ++position) {
        EXPECT_TRUE(opened->tour().scene(position)->links().empty()) << position;
    }
}

TEST_F(ManifestLinks, BuildRefusesBadLinksNamingTheField) {
    const struct {
        std::function<void(json&)> change;
        std::vector<std::string> phrases;
    } cases[] = {
        {[](json& m) { m["scenes"][0]["links"][0]["to"] = 4; },
         {"scenes[1].links[1].to", "matches no scene"}},
        {[](json& m) { m["scenes"][0]["links"][0]["to"] = 0; }, {"scenes[1].links[1].to"}},
        {[](json& m) { m["scenes"][2]["links"][0]["to"] = "Scene 9"; },
         {"scenes[3].links[1].to", "Scene 9"}},
        {[](json& m) {
             m["scenes"][1]["name"] = "Scene 1";
             m["scenes"][2]["links"][0]["to"] = "Scene 1";
         },
         {"scenes[3].links[1].to", "several scenes", "scenes[1], scenes[2]"}},
        {[](json& m) { m["scenes"][0]["links"][0]["to"] = 2.5; }, {"scenes[1].links[1].to"}},
        {[](json& m) { m["scenes"][0]["links"][0].erase("to"); }, {"scenes[1].links[1].to"}},
        {[](json& m) { m["scenes"][0]["links"][1]["pan"] = 180.01; },
         {"scenes[1].links[2].pan", "outside -180 to 180"}},
        {[](json& m) { m["scenes"][0]["links"][1]["tilt"] = 91; },
         {"scenes[1].links[2].tilt", "outside"}},
        {[](json& m) { m["scenes"][0]["links"][0].erase("tilt"); },
         {"scenes[1].links[1].tilt", "missing"}},
        {[](json& m) { m["scenes"][0]["links"][1]["view"]["fieldOfView"] = 170; },
         {"scenes[1].links[2].view.fieldOfView", "outside 12 to 165"}},
        {[](json& m) { m["scenes"][0]["links"][1]["view"]["tilt"] = -95; },
         {"scenes[1].links[2].view.tilt"}},
        {[](json& m) { m["scenes"][0]["links"][1]["view"] = 3; }, {"scenes[1].links[2].view"}},
        {[](json& m) { m["scenes"][0]["links"][0]["label"] = "\xE6\x97\xA5"; },
         {"scenes[1].links[1].label", "Windows-1252"}},
        {[](json& m) { m["scenes"][1]["links"] = "all"; }, {"scenes[2].links", "list"}},
        {[](json& m) {
             m["scenes"][1]["links"] = json::array();
             for (int k = 0; k < 65; ++k) {
                 m["scenes"][1]["links"].push_back({{"to", 1}, {"pan", 0}, {"tilt", 0}});
             }
         },
         {"scenes[2].links", "at most 64"}},
    };
    const json saved = source_.manifest;
    for (const auto& c : cases) {
        c.change(source_.manifest);
        const std::string message = refusal();
        EXPECT_FALSE(message.empty()) << "accepted: " << source_.manifest.dump();
        EXPECT_NE(message.find("tour.json"), std::string::npos) << message;
        for (const std::string& phrase : c.phrases) {
            EXPECT_NE(message.find(phrase), std::string::npos) << message;
        }
        source_.manifest = saved;
    }
    // 64 links, each angle at its limit, are taken.
    source_.manifest["scenes"][1]["links"] = json::array();
    for (int k = 0; k < 64; ++k) {
        source_.manifest["scenes"][1]["links"].push_back(
            {{"to", 1 + k % 3}, {"pan", k % 2 ? 180 : -180}, {"tilt", k % 2 ? -90 : 90}});
    }
    EXPECT_EQ(refusal(), "");
}

TEST_F(ManifestLinks, InexactAnglesAreWarnedAbout) {
    source_.manifest["scenes"][0]["links"][0]["pan"] = -179.123456;
    source_.manifest["scenes"][0]["links"][1]["view"]["tilt"] = -89.7654321;
    source_.save();
    const std::string all = warningsOf(source_);
    EXPECT_NE(all.find("scenes[1].links[1].pan"), std::string::npos) << all;
    EXPECT_NE(all.find("scenes[1].links[2].view.tilt"), std::string::npos) << all;
}

}  // namespace
