#include <gtest/gtest.h>
#include <fstream>
#include <functional>

#include "process/output_guard.h"
#include "package/package_extractor.h"
#include "tour_building.h"
#include "text/tourpack_error.h"

namespace {

namespace fs = std::filesystem;

using OutputGuardTest = test_support::TourBuilding;

// The message building over `name` (relative to the test's folder) gives, and
// whether the file kept its bytes.
std::string refusalOver(const std::string& name,
                        const std::function<fs::path(const std::string&)>& build,
                        const fs::path& file) {
    const auto before = test_support::readFile(file);
    try {
        build(name);
    } catch (const tourpack::TourpackError& error) {
        EXPECT_EQ(test_support::readFile(file), before) << name << " was changed";
        return error.what();
    }
    return "";
}

TEST_F(OutputGuardTest, BuildRefusesToWriteOverAnyOfItsInputs) {
    const auto buildAs = [this](const std::string& name) { return build(source_, name); };
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"source/tour.json", "the manifest"},
        {"source/player.exe", "the player"},
        {"source/language.dll", "the language module"},
        {"source/background.wav", "field 'backgroundSound'"},
        {"source/scene2.bmp", "field 'scenes[2].image'"},
        {"source/./scene3.wav", "field 'scenes[3].sound'"},
        {"source/author.bmp", "field 'info.picture'"},
        {"source/skin/../skin/" +
             fs::directory_iterator(source_.folder / "skin")->path().filename().string(),
         "a skin image"}};
    for (const auto& [name, what] : inputs) {
        const std::string message =
            refusalOver(name, buildAs, folder_.path() / fs::path(name).lexically_normal());
        EXPECT_NE(message.find("-o would replace " + what), std::string::npos)
            << name << ": " << message;
    }
    EXPECT_NO_THROW(build(source_, "source/tour.exe"));
}

TEST_F(OutputGuardTest, BuildSaysWhatTheOutputShouldBe) {
    fs::create_directories(folder_.path() / "out");
    for (const std::string name : {"out", "out/"}) {
        std::string message;
        try {
            build(source_, name);
        } catch (const tourpack::TourpackError& error) {
            message = error.what();
        }
        EXPECT_NE(message.find("is a folder; -o names the file to write, e.g. "), std::string::npos)
            << message;
        EXPECT_NE(message.find("out/tour.exe"), std::string::npos) << message;
    }
    EXPECT_THROW(
        {
            try {
                build(source_, "nowhere/tour.exe");
            } catch (const tourpack::TourpackError& error) {
                EXPECT_NE(std::string(error.what()).find("nowhere does not exist"),
                          std::string::npos)
                    << error.what();
                throw;
            }
        },
        tourpack::TourpackError);
}

TEST_F(OutputGuardTest, ExtractRefusesAFolderWhereItWouldReplaceTheTour) {
    const fs::path tour = build(source_, "tour.exe");
    fs::create_directories(folder_.path() / "kept" / "scenes");
    for (const fs::path& place :
         {folder_.path() / "kept" / "player.exe", folder_.path() / "kept" / "tour.json",
          folder_.path() / "kept" / "scenes" / "01-image.bmp"}) {
        fs::copy_file(tour, place);
        const fs::path folder = place.parent_path().filename() == "scenes"
                                    ? place.parent_path().parent_path()
                                    : place.parent_path();
        EXPECT_THROW(tourpack::extractTour(place.string(), folder), tourpack::TourpackError)
            << place;
        EXPECT_EQ(test_support::readFile(place), test_support::readFile(tour));
    }
    EXPECT_THROW(tourpack::extractTour(tour.string(), tour), tourpack::TourpackError);
    // Beside the tour, under a name extraction does not use, is fine.
    EXPECT_NO_THROW(tourpack::extractTour(tour.string(), folder_.path()));
    EXPECT_EQ(test_support::readFile(tour),
              test_support::readFile(folder_.path() / "kept" / "player.exe"));
}

TEST(SameFile, ComparesExistingFilesByIdentityAndOthersByNormalisedPath) {
    test_support::TempFolder folder;
    const fs::path file = folder.path() / "a.txt";
    std::ofstream(file) << "x";
    EXPECT_TRUE(tourpack::sameFile(file, folder.path() / "sub" / ".." / "a.txt"));
#ifndef _WIN32
    fs::create_symlink(file, folder.path() / "link.txt");
    EXPECT_TRUE(tourpack::sameFile(folder.path() / "link.txt", file));
#endif
    EXPECT_TRUE(tourpack::sameFile(folder.path() / "new.txt", folder.path() / "." / "new.txt"));
    EXPECT_FALSE(tourpack::sameFile(folder.path() / "new.txt", file));
    EXPECT_FALSE(tourpack::sameFile(folder.path() / "new.txt", folder.path() / "new2.txt"));
}

}  // namespace
