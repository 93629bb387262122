// Notes and transitions in the manifest: what build refuses (naming the
// field), what reaches the player's reader whatever the tour's code page,
// what inspect shows, how a note's picture is fitted, and extract then build
// giving the same tour back.
#include <gtest/gtest.h>

#include <fstream>

#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include "package/opened_tour.h"
#include "package/package_extractor.h"
#include "package/package_inspector.h"
#include "pictures/picture_preparation.h"
#include "pictures/picture_writing.h"
#include "text/problems.h"
#include "tour_building.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string greekTitle = "\xCE\xA6\xCE\xAC\xCF\x81\xCE\xBF\xCF\x82";  // Φάρος
const std::string greekText =
    "\xCE\xA7\xCF\x84\xCE\xAF\xCF\x83\xCF\x84\xCE\xB7\xCE\xBA\xCE\xB5 1871.\n\n"  // Χτίστηκε
    "\xCE\x9F \xCF\x86\xCE\xAC\xCF\x81\xCE\xBF\xCF\x82.";                         // Ο φάρος.
const std::string japaneseTitle = "\xE7\x81\xAF\xE5\x8F\xB0\xE3\x81\xAE\xE9\x8D\xB5";  // 灯台の鍵
const std::string arabicText =
    "\xD9\x85\xD9\x86\xD8\xA7\xD8\xB1\xD8\xA9 \xD9\x82\xD8\xAF\xD9\x8A"
    "\xD9\x85\xD8\xA9";  // منارة قديمة

std::string repeated(const std::string& piece, std::size_t times) {
    std::string all;
    for (std::size_t k = 0; k < times; ++k) {
        all += piece;
    }
    return all;
}

class ManifestNotes : public test_support::TourBuilding {
  protected:
    std::unique_ptr<tourpack::OpenedTour> open(const fs::path& tourFile) {
        std::string error;
        auto opened = tourpack::OpenedTour::open(tourFile.string(), error);
        EXPECT_TRUE(opened) << error;
        return opened;
    }

    // The width and height of the bytes at a note's picture, or 0 x 0.
    std::pair<int, int> pictureSize(const tourpack::OpenedTour& opened,
                                    const package::SceneNote& note) {
        std::vector<std::uint8_t> bytes;
        int width = 0;
        int height = 0;
        int channels = 0;
        if (!note.picture || !opened.readRange(note.picture->offset, note.picture->length, bytes) ||
            !stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                                   &channels)) {
            return {0, 0};
        }
        return {width, height};
    }

    // Every problem the checks before a conversion find, one a line.
    std::string problemsOfManifest() {
        source_.save();
        std::vector<std::string> warnings;
        tourpack::Problems problems;
        const tourpack::Manifest manifest =
            tourpack::readManifest(source_.manifestPath(), warnings, problems);
        tourpack::findBuildProblems(manifest, folder_.path() / "out.exe", {},
                                    tourpack::PictureRule::convertibleToo, problems, warnings);
        std::string all;
        for (const std::string& text : problems.list()) {
            all += text + "\n";
        }
        for (const std::string& text : warnings) {
            all += "warning: " + text + "\n";
        }
        return all;
    }
};

// The tour's own texts are Windows-1252; the notes' Greek, Japanese and
// Arabic reach the reader, inspect and extract as the author wrote them.
TEST_F(ManifestNotes, TextsInThreeScriptsReachThePlayerInspectAndExtract) {
    source_.manifest["transition"] = "fade";
    source_.manifest["scenes"][0]["notes"] = {
        {{"pan", 12.5}, {"tilt", -3}, {"title", greekTitle}, {"text", greekText}}};
    source_.manifest["scenes"][2]["notes"] = {
        {{"pan", -180},
         {"tilt", 90},
         {"title", japaneseTitle},
         {"text", "\xE7\x81\xAF\r\n\r\n" + arabicText},  // CR LF lines, as some editors end them
         {"link", "https://example.org/\xE7\x81\xAF"}}};
    source_.save();
    const fs::path tourFile = build(source_, "tour.exe");

    const auto opened = open(tourFile);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->textCodePage(), 1252);
    EXPECT_EQ(opened->tour().transition(), package::SceneTransition::fade);
    const auto& first = opened->tour().scene(1)->notes();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].title, greekTitle);
    EXPECT_EQ(first[0].text, greekText);
    EXPECT_EQ(first[0].pan, 12.5f);
    EXPECT_FALSE(first[0].picture);
    EXPECT_TRUE(opened->tour().scene(2)->notes().empty());
    const auto& third = opened->tour().scene(3)->notes();
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(third[0].text, "\xE7\x81\xAF\n\n" + arabicText);
    EXPECT_EQ(third[0].link, "https://example.org/\xE7\x81\xAF");

    const tourpack::InspectReport report = tourpack::inspectTour(tourFile.string());
    EXPECT_TRUE(report.problems.empty()) << tourpack::formatReport(report);
    EXPECT_EQ(report.description["transition"], "fade");
    const json& note = report.description["scenes"][2]["notes"][0];
    EXPECT_EQ(note["title"], japaneseTitle);
    EXPECT_EQ(note["textLength"], 14) << "characters, not bytes";
    const std::string text = tourpack::formatReport(report);
    EXPECT_NE(text.find("transition      fade"), std::string::npos) << text;
    EXPECT_NE(text.find("note 1 at pan 12.5, tilt -3.0: \"" + greekTitle + "\", 24 characters"),
              std::string::npos)
        << text;

    const fs::path manifest = tourpack::extractTour(tourFile.string(), folder_.path() / "out");
    json extracted;
    std::ifstream(manifest) >> extracted;
    EXPECT_EQ(extracted["transition"], "fade");
    EXPECT_EQ(extracted["scenes"][0]["notes"][0]["text"], greekText);
    EXPECT_EQ(extracted["scenes"][2]["notes"][0]["title"], japaneseTitle);
    EXPECT_EQ(extracted["scenes"][1]["notes"], json::array());
}

TEST_F(ManifestNotes, ExtractThenBuildGivesIdenticalBytesWithNotesAndTheirPictures) {
    test_support::writeFile(source_.folder / "plaque.bmp",
                            test_support::bmpPicture(300, 200, 200, 40, 40));
    tourpack::writePicture(
        source_.folder / "keeper.jpg",
        tourpack::bitmapFromRgb({{64, 48}, std::vector<std::uint8_t>(64 * 48 * 3, 90)}), 90);
    source_.manifest["transition"] = "none";
    source_.manifest["scenes"][0]["notes"] = {
        {{"pan", 1}, {"tilt", 2}, {"title", "Plaque"}, {"text", ""}, {"picture", "plaque.bmp"}},
        {{"pan", 3}, {"tilt", 4}, {"title", "Keeper"}, {"text", "A"}, {"picture", "keeper.jpg"}}};
    source_.manifest["scenes"][1]["notes"] = {{{"pan", 5},
                                               {"tilt", 6},
                                               {"title", greekTitle},
                                               {"text", greekText},
                                               {"picture", "plaque.bmp"},
                                               {"link", "http://example.org/a"}}};
    source_.save();
    const fs::path first = build(source_, "first.exe");
    const auto opened = open(first);
    ASSERT_TRUE(opened);
    const auto& notes = opened->tour().scene(1)->notes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(pictureSize(*opened, notes[0]), std::make_pair(300, 200));
    EXPECT_EQ(pictureSize(*opened, notes[1]), std::make_pair(64, 48));
    EXPECT_EQ(opened->tour().scene(2)->notes()[0].picture->offset, notes[0].picture->offset)
        << "a picture two notes show is stored once";

    const fs::path manifest = tourpack::extractTour(first.string(), folder_.path() / "extracted");
    EXPECT_EQ(test_support::readFile(folder_.path() / "extracted" / "notes" / "01-01.bmp"),
              test_support::readFile(source_.folder / "plaque.bmp"));
    test_support::TourSource extracted{manifest.parent_path(), {}};
    std::ifstream(manifest) >> extracted.manifest;
    EXPECT_EQ(extracted.manifest["scenes"][1]["notes"][0]["picture"], "notes/01-01.bmp");
    const fs::path second = build(extracted, "second.exe");
    EXPECT_EQ(test_support::readFile(first), test_support::readFile(second));
}

// A picture larger than the card's box is reduced to fit it, its shape
// kept; one the player shows as it is and that fits is stored byte for byte.
TEST_F(ManifestNotes, BuildFitsANotesPictureIntoItsBox) {
    tourpack::RgbPicture wide{{1600, 600}, std::vector<std::uint8_t>(1600 * 600 * 3, 120)};
    tourpack::writePicture(source_.folder / "wide.png", tourpack::bitmapFromRgb(wide));
    test_support::writeFile(source_.folder / "tall.bmp",
                            test_support::bmpPicture(300, 900, 10, 200, 10));
    test_support::writeFile(source_.folder / "small.bmp",
                            test_support::bmpPicture(100, 80, 10, 20, 200));
    source_.manifest["scenes"][0]["notes"] = {
        {{"pan", 0}, {"tilt", 0}, {"title", "Wide"}, {"text", ""}, {"picture", "wide.png"}},
        {{"pan", 0}, {"tilt", 0}, {"title", "Tall"}, {"text", ""}, {"picture", "tall.bmp"}},
        {{"pan", 0}, {"tilt", 0}, {"title", "Small"}, {"text", ""}, {"picture", "small.bmp"}}};
    source_.save();

    std::vector<std::string> warnings;
    const tourpack::Manifest given = tourpack::readManifest(source_.manifestPath(), warnings);
    EXPECT_NE(refusal(source_).find("'scenes[1].notes[1].picture'"), std::string::npos)
        << "unprepared, a PNG is refused as a scene picture is";
    tourpack::PreparedPictures prepared;
    std::vector<std::string> lines;
    tourpack::ConversionOptions options;
    options.pictureDone = [&lines](const std::string& line) { lines.push_back(line); };
    tourpack::preparePictures(given, options, prepared, warnings);
    const fs::path tourFile = folder_.path() / "fitted.exe";
    tourpack::buildPackage(prepared.manifest(), tourFile, {}, warnings);

    const auto opened = open(tourFile);
    ASSERT_TRUE(opened);
    const auto& notes = opened->tour().scene(1)->notes();
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(pictureSize(*opened, notes[0]), std::make_pair(640, 240));
    EXPECT_EQ(pictureSize(*opened, notes[1]), std::make_pair(160, 480));
    std::vector<std::uint8_t> small;
    ASSERT_TRUE(opened->readRange(notes[2].picture->offset, notes[2].picture->length, small));
    EXPECT_EQ(small, test_support::readFile(source_.folder / "small.bmp"));
    const std::string all = ::testing::PrintToString(lines);
    EXPECT_NE(all.find("scenes[1].notes[1].picture: wide.png, a PNG picture of 1600 x 600, reduced "
                       "to 640 x 240"),
              std::string::npos)
        << all;
    EXPECT_EQ(prepared.notices().size(), 2u) << "the two larger than the box are converted";
    EXPECT_TRUE(tourpack::inspectTour(tourFile.string()).problems.empty());
}

// Each mistake is its own problem, named by its field path; the longest
// title and text the rules allow, counted in characters, pass.
TEST_F(ManifestNotes, MistakesAreNamedByTheirFieldPaths) {
    source_.manifest["transition"] = "zoom";
    source_.manifest["scenes"][0]["notes"] = {
        {{"pan", 181}, {"title", ""}, {"text", 7}, {"link", "ftp://example.org"}, {"colour", 1}},
        {{"pan", 0},
         {"tilt", 0},
         {"title", repeated(japaneseTitle.substr(0, 3), 80)},
         {"text", repeated("\xD9\x85", 4000)}},
        {{"pan", 0},
         {"tilt", 0},
         {"title", repeated("\xD9\x85", 81)},
         {"text", repeated("\xD9\x85", 4001)},
         {"picture", "absent.jpg"},
         {"link", "https://example.org/a b"}},
        "a note"};
    source_.manifest["scenes"][1]["notes"] = json::array();
    for (int k = 0; k < 65; ++k) {
        source_.manifest["scenes"][1]["notes"].push_back(
            {{"pan", 0}, {"tilt", 0}, {"title", "T"}, {"text", ""}});
    }
    source_.manifest["scenes"][2]["notes"] = {{"title", "not a list"}};
    const std::string problems = problemsOfManifest();
    for (const char* expected : {
             "'transition': expected \"walk\", \"fade\" or \"none\", found \"zoom\"",
             "'scenes[1].notes[1].pan': 181 is outside -180 to 180",
             "'scenes[1].notes[1].tilt': is missing",
             "'scenes[1].notes[1].title': empty",
             "'scenes[1].notes[1].text': expected a text",
             "'scenes[1].notes[1].link': not an http:// or https:// address",
             "warning: ",
             "'scenes[1].notes[1].colour' is not a field tourpack knows",
             "'scenes[1].notes[3].title': 81 characters; at most 80",
             "'scenes[1].notes[3].text': 4001 characters; at most 4000",
             "'scenes[1].notes[3].picture': ",
             "absent.jpg does not exist",
             "'scenes[1].notes[3].link': an address holds no blanks",
             "'scenes[1].notes[4]': expected an object",
             "'scenes[2].notes': 65 notes; a scene holds at most 64",
             "'scenes[3].notes': expected a list of notes",
         }) {
        EXPECT_NE(problems.find(expected), std::string::npos) << expected << "\n" << problems;
    }
    EXPECT_EQ(problems.find("notes[2]"), std::string::npos) << problems;
}

}  // namespace
