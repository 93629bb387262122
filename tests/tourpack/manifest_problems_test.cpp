// build finds every mistake of a manifest before it converts anything, and
// reports all of them at once; fields it does not know are warned about with
// the nearest one it does.
#include <gtest/gtest.h>

#include "text/nearest_name.h"
#include "package/package_inspector.h"
#include "text/problems.h"
#include "tour_building.h"

namespace {

namespace fs = std::filesystem;

class ManifestProblems : public test_support::TourBuilding {
  protected:
    // Every problem a build before conversion finds, and the warnings.
    std::vector<std::string> problemsOf(const fs::path& output) {
        tourpack::Problems problems;
        const tourpack::Manifest manifest =
            tourpack::readManifest(source_.manifestPath(), warnings_, problems);
        tourpack::findBuildProblems(manifest, output, {}, tourpack::PictureRule::convertibleToo,
                                    problems, warnings_);
        return problems.list();
    }
    std::string allWarnings() const {
        std::string all;
        for (const std::string& warning : warnings_) {
            all += warning + "\n";
        }
        return all;
    }
    std::vector<std::string> warnings_;
};

bool anyHolds(const std::vector<std::string>& texts, const std::string& phrase) {
    for (const std::string& text : texts) {
        if (text.find(phrase) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(ManifestProblems, FiveMistakesAreReportedTogether) {
    source_.manifest["scenes"][0]["feildOfView"] = 70;
    source_.manifest["scenes"][1]["sound"] = "absent.wav";
    source_.manifest["language"] = "xx";
    source_.manifest["scenes"][2]["name"] = "\xE6\x9D\xB1\xE4\xBA\xAC";  // no code page has it
    source_.save();
    const std::vector<std::string> problems = problemsOf(source_.manifestPath());
    EXPECT_EQ(problems.size(), 4u);
    EXPECT_TRUE(anyHolds(problems, "scenes[2].sound")) << ::testing::PrintToString(problems);
    EXPECT_TRUE(anyHolds(problems, "no language module 'xx'"));
    EXPECT_TRUE(anyHolds(problems, "-o would replace the manifest"));
    EXPECT_TRUE(anyHolds(problems, "in scenes[3].name"));
    EXPECT_NE(allWarnings().find("'scenes[1].feildOfView'"), std::string::npos) << allWarnings();
    EXPECT_NE(allWarnings().find("did you mean 'scenes[1].fieldOfView'"), std::string::npos);

    // The build itself refuses with all of them in one message.
    const std::string message = refusal(source_);
    EXPECT_NE(message.find("3 problems"), std::string::npos) << message;
}

TEST_F(ManifestProblems, ManifestFieldMistakesDoNotHideEachOther) {
    source_.manifest["viewSize"] = "large";
    source_.manifest.erase("title");
    source_.manifest["scenes"][0]["image"] = 7;
    source_.manifest["scenes"][2]["links"] = {{{"to", 9}, {"pan", 0}, {"tilt", 0}},
                                              {{"to", 1}, {"pan", 400}, {"tilt", 0}}};
    source_.save();
    const std::vector<std::string> problems = problemsOf(folder_.path() / "out.exe");
    EXPECT_TRUE(anyHolds(problems, "'viewSize'")) << ::testing::PrintToString(problems);
    EXPECT_TRUE(anyHolds(problems, "'title': is missing"));
    EXPECT_TRUE(anyHolds(problems, "'scenes[1].image'"));
    EXPECT_TRUE(anyHolds(problems, "'scenes[3].links[1].to'"));
    EXPECT_TRUE(anyHolds(problems, "'scenes[3].links[2].pan'"));
}

TEST_F(ManifestProblems, PicturesTheBuildConvertsPassTheFirstCheck) {
    test_support::writeFile(source_.folder / "photo.png",
                            {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13});
    test_support::writeFile(source_.folder / "notes.wav", {'h', 'i'});
    source_.manifest["scenes"][0]["image"] = "photo.png";
    source_.manifest["scenes"][1]["sound"] = "notes.wav";
    source_.save();
    EXPECT_TRUE(problemsOf(folder_.path() / "out.exe").empty());
    EXPECT_NE(allWarnings().find("'scenes[2].sound': " + (source_.folder / "notes.wav").string() +
                                 " is not a sound the player plays"),
              std::string::npos)
        << allWarnings();
}

// An author photo that fills the dialog's photo square exactly is quiet; one
// wider or higher is warned about, and the tour still builds.
TEST_F(ManifestProblems, AnInformationPictureLargerThanItsPlaceIsWarnedAbout) {
    test_support::writeFile(source_.folder / "author.bmp",
                            test_support::bmpPicture(200, 200, 1, 2, 3));
    EXPECT_TRUE(problemsOf(fs::path(source_.folder / "out.exe")).empty());
    EXPECT_EQ(allWarnings().find("info.picture"), std::string::npos) << allWarnings();
    for (const auto& [width, height] : {std::pair{400, 500}, std::pair{201, 10}}) {
        warnings_.clear();
        test_support::writeFile(source_.folder / "author.bmp",
                                test_support::bmpPicture(width, height, 1, 2, 3));
        EXPECT_TRUE(problemsOf(fs::path(source_.folder / "out.exe")).empty());
        const std::string size = std::to_string(width) + " x " + std::to_string(height);
        EXPECT_NE(allWarnings().find("'info.picture': "), std::string::npos) << allWarnings();
        EXPECT_NE(allWarnings().find(size + ", larger than the 200 x 200 place"), std::string::npos)
            << allWarnings();
        // inspect says it of the built tour too.
        const tourpack::InspectReport report =
            tourpack::inspectTour(build(source_, "photo.exe").string());
        EXPECT_TRUE(report.problems.empty()) << ::testing::PrintToString(report.problems);
        ASSERT_EQ(report.warnings.size(), 1u) << ::testing::PrintToString(report.warnings);
        EXPECT_EQ(report.warnings[0].rfind("info picture: " + size +
                                               ", larger than the 200 x 200 "
                                               "place",
                                           0),
                  0u)
            << report.warnings[0];
    }
}

// A skin image is drawn at its natural size from its place's corner: one
// that fits its place exactly is quiet, a larger one is warned about by build
// and inspect alike, and the tour still builds.
TEST_F(ManifestProblems, SkinImagesLargerThanTheirPlacesAreWarnedAbout) {
    const auto setSkinImage = [&](int slot, int width, int height) {
        test_support::writeFile(source_.folder / "skin" / test_support::skinImageName(slot),
                                test_support::bmpPicture(width, height, 1, 2, 3));
    };
    setSkinImage(23, 480, 498);  // the window at the largest view, exactly
    setSkinImage(22, 43, 43);    // the direction pad
    setSkinImage(25, 480, 72);   // the full-screen toolbar
    EXPECT_TRUE(problemsOf(folder_.path() / "out.exe").empty());
    EXPECT_EQ(allWarnings().find("skin"), std::string::npos) << allWarnings();

    setSkinImage(23, 481, 498);
    setSkinImage(11, 31, 32);    // the previous-scene button, pressed
    setSkinImage(4, 18, 17);     // the direction pad's up key, hovered
    setSkinImage(24, 480, 103);  // the toolbar below the view
    warnings_.clear();
    EXPECT_TRUE(problemsOf(folder_.path() / "out.exe").empty());
    const std::string all = allWarnings();
    for (const char* expected :
         {"'skin (slot 23)': ", "481 x 498, larger than the 480 x 498 place",
          "'skin (slot 11)': ", "31 x 32, larger than the 31 x 31 place",
          "'skin (slot 4)': ", "18 x 17, larger than the 17 x 17 place",
          "'skin (slot 24)': ", "480 x 103, larger than the 480 x 102 place"}) {
        EXPECT_NE(all.find(expected), std::string::npos) << expected << "\n" << all;
    }

    std::vector<std::string> warnings;
    const fs::path tour = build(source_.manifestPath(), "skinned.exe", warnings);
    const tourpack::InspectReport report = tourpack::inspectTour(tour.string());
    EXPECT_TRUE(report.problems.empty()) << ::testing::PrintToString(report.problems);
    EXPECT_EQ(report.warnings.size(), 4u) << ::testing::PrintToString(report.warnings);
    EXPECT_NE(tourpack::formatReport(report).find(
                  "warning: skin image 11: 31 x 32, larger than the 31 x 31 place"),
              std::string::npos)
        << tourpack::formatReport(report);
}

TEST_F(ManifestProblems, UnknownFieldsAreWarnedAboutWithTheNearestKnownOne) {
    source_.manifest["scenes"][1]["fieldofview"] = 70;
    source_.manifest["info"]["text5"] = "more";
    source_.manifest["backgroundSond"] = "background.wav";
    source_.manifest["scenes"][0]["links"] = {
        {{"to", 2}, {"pan", 0}, {"tilt", 0}, {"view", {{"fov", 70}}}}};
    source_.save();
    EXPECT_TRUE(problemsOf(folder_.path() / "out.exe").empty());
    const std::string all = allWarnings();
    EXPECT_NE(all.find("'scenes[2].fieldofview' is not a field tourpack knows and is ignored; "
                       "did you mean 'scenes[2].fieldOfView'?"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("'info.text5'"), std::string::npos) << all;
    EXPECT_NE(all.find("did you mean 'backgroundSound'"), std::string::npos) << all;
    EXPECT_NE(all.find("'scenes[1].links[1].view.fov'"), std::string::npos) << all;
}

TEST(NearestName, LettersAreComparedWithoutRegardToCase) {
    EXPECT_EQ(tourpack::nearestName("fieldofview", {"pan", "fieldOfView"}).distance, 0u);
    EXPECT_EQ(tourpack::nearestName("feildOfView", {"pan", "tilt", "fieldOfView"}).name,
              "fieldOfView");
    EXPECT_EQ(tourpack::editDistance("buidl", "build"), 2u);
}

}  // namespace
