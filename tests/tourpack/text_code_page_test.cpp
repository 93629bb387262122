// The code page of a tour's texts: chosen by build from the texts, recorded in
// the extension block, and given back in UTF-8 by inspect and extract.
#include <gtest/gtest.h>

#include <fstream>

#include "text/code_page_tables.h"
#include "package/opened_tour.h"
#include "package/package_extractor.h"
#include "package/package_inspector.h"
#include "text/text_encoding.h"
#include "tour_building.h"

namespace {

namespace fs = std::filesystem;
using tourpack::NamedText;

TEST(CodePages, EveryByteOfEveryCodePageSurvivesTheRoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    for (const tourpack::CodePageTable& table : tourpack::codePageTables()) {
        std::string back;
        std::string unmappable;
        ASSERT_TRUE(tourpack::utf8ToCodePage(
            table.codePage, tourpack::codePageToUtf8(table.codePage, all), back, unmappable))
            << table.codePage << ": " << unmappable;
        EXPECT_EQ(back, all) << table.codePage;
    }
    EXPECT_EQ(tourpack::codePageToUtf8(1251, "\xC6"), "\xD0\x96");     // Zhe
    EXPECT_EQ(tourpack::codePageToUtf8(1253, "\xE1"), "\xCE\xB1");     // alpha
    EXPECT_EQ(tourpack::codePageToUtf8(874, "\xA1"), "\xE0\xB8\x81");  // ko kai
}

TEST(CodePages, TheChoiceIsWindows1252WhereItCoversEveryTextElseTheOneThatDoes) {
    EXPECT_EQ(tourpack::chooseCodePage({{"title", "Caf\xC3\xA9 \xE2\x82\xAC"}}).codePage, 1252);
    EXPECT_EQ(tourpack::chooseCodePage({{"title", "plain"}}).codePage, 1252);
    // Cyrillic in one text, Latin in another: only Windows-1251 holds both.
    EXPECT_EQ(
        tourpack::chooseCodePage({{"title", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"},
                                  {"scenes[1].name", "Kremlin"}})
            .codePage,
        1251);
    EXPECT_EQ(tourpack::chooseCodePage({{"title", "\xC5\x81\xC3\xB3\x64\xC5\xBA"}}).codePage,
              1250);  // Łódź
    EXPECT_EQ(
        tourpack::chooseCodePage({{"title", "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1"}}).codePage,
        1253);
}

TEST(CodePages, TextsNoSingleCodePageCoversAreRefusedNamingCharactersAndFields) {
    const std::vector<NamedText> texts = {
        {"title", "\xD0\x96"},                    // Cyrillic Zhe
        {"scenes[1].name", "\xCE\xB1 \xD0\x96"},  // Greek alpha with it
        {"info.text2", "\xE6\x97\xA5"}};          // a CJK character
    const tourpack::CodePageChoice choice = tourpack::chooseCodePage(texts);
    EXPECT_EQ(choice.codePage, 0);
    EXPECT_NE(choice.refusal.find("no single code page covers"), std::string::npos);
    EXPECT_NE(choice.refusal.find("\xE6\x97\xA5' in info.text2"), std::string::npos)
        << choice.refusal;
    EXPECT_NE(choice.refusal.find("in scenes[1].name"), std::string::npos) << choice.refusal;
}

using TextCodePage = test_support::TourBuilding;

bool containsMarker(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    return bytes.find("LUMIVUE-EXTENSIONS") != std::string::npos;
}

TEST_F(TextCodePage, ACyrillicTourRecordsItsCodePageAndComesBackInUtf8) {
    const std::string moscow = "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0";
    source_.manifest["title"] = moscow;
    source_.manifest["scenes"][1]["name"] = "\xD0\x9A\xD1\x80\xD0\xB5\xD0\xBC\xD0\xBB\xD1\x8C";
    source_.save();
    const fs::path tour = build(source_, "cyrillic.exe");
    EXPECT_TRUE(containsMarker(tour)) << "a tour without links still records its code page";

    std::string error;
    const auto opened = tourpack::OpenedTour::open(tour.string(), error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->textCodePage(), 1251);
    EXPECT_STREQ(opened->tour().title(), "\xCC\xEE\xF1\xEA\xE2\xE0");  // the bytes the player shows
    const tourpack::InspectReport report = tourpack::inspectTour(tour.string());
    EXPECT_TRUE(report.problems.empty()) << tourpack::formatReport(report);
    EXPECT_EQ(report.description["title"], moscow);
    EXPECT_EQ(report.description["textCodePage"], 1251);

    const fs::path manifest = tourpack::extractTour(tour.string(), folder_.path() / "extracted");
    test_support::TourSource extracted{manifest.parent_path(), {}};
    std::ifstream(manifest) >> extracted.manifest;
    EXPECT_EQ(extracted.manifest["title"], moscow);
    EXPECT_EQ(test_support::readFile(build(extracted, "again.exe")), test_support::readFile(tour));
}

TEST_F(TextCodePage, AWindows1252TourWithoutLinksStillRecordsItsCodePage) {
    // Without the record the player would read "Café" in the system's code
    // page: "Cafй" on a Cyrillic system.
    const fs::path tour = build(source_, "western.exe");  // "Café tour"
    EXPECT_TRUE(containsMarker(tour));
    std::string error;
    const auto opened = tourpack::OpenedTour::open(tour.string(), error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->loader().extensionBlock().kind, package::ExtensionBlockStatus::read);
    EXPECT_EQ(opened->tour().textCodePage(), 1252u) << "as the player's reader finds it";
    EXPECT_EQ(opened->textCodePage(), 1252);
}

TEST_F(TextCodePage, ATourWithLinksRecordsTheCodePageBesideThem) {
    source_.manifest["scenes"][0]["links"] = {{{"to", 2}, {"pan", 10}, {"tilt", 0}}};
    source_.manifest["scenes"][2]["name"] = "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1";  // Athens
    source_.manifest["title"] = "Greece";
    source_.save();
    const fs::path tour = build(source_, "greek.exe");
    std::string error;
    const auto opened = tourpack::OpenedTour::open(tour.string(), error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->textCodePage(), 1253);
    EXPECT_EQ(opened->tour().scene(1)->links().size(), 1u) << "the links are still read";
}

}  // namespace
