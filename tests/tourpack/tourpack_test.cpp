#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "text/field_writer.h"
#include "lang_ids.h"
#include "module_image.h"
#include "package/opened_tour.h"
#include "package/package_extractor.h"
#include "package/package_inspector.h"
#include "package/package_writer.h"
#include "scoped_temp_directory.h"
#include "text/text_encoding.h"
#include "tour_building.h"
#include "tour_source.h"
#include "text/tourpack_error.h"

namespace {

namespace fs = std::filesystem;
using test_support::Bytes;

using TourpackTest = test_support::TourBuilding;

TEST_F(TourpackTest, BuildInspectExtractBuildGivesIdenticalBytes) {
    const fs::path first = build(source_, "first.exe");
    const tourpack::InspectReport report = tourpack::inspectTour(first.string());
    EXPECT_TRUE(report.problems.empty()) << tourpack::formatReport(report);
    EXPECT_EQ(report.description["scenes"].size(), 3u);

    const fs::path manifest = tourpack::extractTour(first.string(), folder_.path() / "extracted");
    test_support::TourSource extracted{manifest.parent_path(), {}};
    std::ifstream(manifest) >> extracted.manifest;
    const fs::path second = build(extracted, "second.exe");
    EXPECT_EQ(test_support::readFile(first), test_support::readFile(second));
    // The extracted payloads are the sources themselves (images decrypted).
    EXPECT_EQ(test_support::readFile(folder_.path() / "extracted" / "scenes" / "02-image.bmp"),
              test_support::readFile(source_.folder / "scene2.bmp"));
    // The readers' temporary files are gone again.
    EXPECT_TRUE(test_support::filesWithPrefix(scratch_, "QRZ").empty());
    EXPECT_TRUE(test_support::filesWithPrefix(scratch_, "QRX").empty());
}

TEST_F(TourpackTest, EveryValueReachesThePlayersReader) {
    const fs::path tourFile = build(source_, "tour.exe");
    std::string error;
    const auto opened = tourpack::OpenedTour::open(tourFile.string(), error);
    ASSERT_TRUE(opened) << error;
    const package::Tour& tour = opened->tour();
    EXPECT_STREQ(tour.title(), "Caf\xE9 tour");  // stored in the Windows-1252 code page
    EXPECT_EQ(tour.viewSize(), 2);
    EXPECT_EQ(tour.rotationSpeed(), 3);
    EXPECT_FALSE(tour.soundOn());
    EXPECT_TRUE(tour.autoPlay());
    EXPECT_EQ(tour.fullScreenMode(), 2);
    EXPECT_EQ(test_support::readFile(tour.backgroundSound().path()),
              test_support::readFile(source_.folder / "background.wav"));
    ASSERT_EQ(tour.sceneCount(), 3);
    for (int k = 1; k <= 3; ++k) {
        const package::Scene& scene = *tour.scene(k);
        EXPECT_EQ(scene.name(), "Scene " + std::to_string(k));
        EXPECT_EQ(scene.pan(), static_cast<float>(10.5 * k));
        EXPECT_EQ(scene.tilt(), static_cast<float>(-3.0 * k));
        EXPECT_EQ(scene.fieldOfView(), static_cast<float>(60 + 5 * k));
        Bytes bytes;
        ASSERT_TRUE(opened->sceneImage(k, bytes, error)) << error;
        EXPECT_EQ(bytes,
                  test_support::readFile(source_.folder / ("scene" + std::to_string(k) + ".bmp")));
        ASSERT_TRUE(opened->sceneSound(k, bytes, error)) << error;
        EXPECT_EQ(bytes,
                  test_support::readFile(source_.folder / ("scene" + std::to_string(k) + ".wav")));
    }
    const package::TourInfo& info = tour.info();
    EXPECT_STREQ(info.infoText1(), "First line");
    EXPECT_STREQ(info.infoText2(), "Second line");
    EXPECT_STREQ(info.infoText3(), "Third line");
    EXPECT_STREQ(info.webAddress(), "https://example.org/tour");
    EXPECT_STREQ(info.emailAddress(), "author@example.org");
    EXPECT_STREQ(info.infoText4(), "Sixth text");
    Bytes picture;
    ASSERT_TRUE(opened->readRange(info.picture()->offset(), info.picture()->length(), picture));
    EXPECT_EQ(picture, test_support::readFile(source_.folder / "author.bmp"));
    for (int slot = 0; slot < 26; ++slot) {
        Bytes skin;
        tourpack::OpenedTour::readFile(opened->loader().skinSet().imagePath(slot), skin);
        EXPECT_EQ(skin, test_support::readFile(source_.folder / "skin" /
                                               test_support::skinImageName(slot)))
            << slot;
    }
    Bytes language;
    tourpack::OpenedTour::readFile(opened->loader().languageModulePath(), language);
    EXPECT_EQ(language, test_support::readFile(source_.folder / "language.dll"));
}

TEST_F(TourpackTest, ScenesSharingAFileStoreItOnce) {
    const fs::path three = build(source_, "three.exe");
    source_.manifest["scenes"][1]["image"] = "scene1.bmp";
    source_.manifest["scenes"][2]["sound"] = "scene1.wav";
    source_.save();
    const fs::path shared = build(source_, "shared.exe");
    std::string error;
    const auto opened = tourpack::OpenedTour::open(shared.string(), error);
    ASSERT_TRUE(opened);
    const auto before = tourpack::OpenedTour::open(three.string(), error);
    ASSERT_TRUE(before);
    // Every scene keeps a preview of its own: scene 2's is now scene 1's.
    const auto previewChange = static_cast<std::intmax_t>(before->tour().preview(2)->length) -
                               opened->tour().preview(1)->length;
    EXPECT_EQ(static_cast<std::intmax_t>(fs::file_size(three) - fs::file_size(shared)),
              static_cast<std::intmax_t>(fs::file_size(source_.folder / "scene2.bmp") +
                                         fs::file_size(source_.folder / "scene3.wav")) +
                  previewChange);
    EXPECT_EQ(opened->tour().scene(1)->image()->offset(),
              opened->tour().scene(2)->image()->offset());
    EXPECT_TRUE(tourpack::inspectTour(shared.string()).problems.empty());
}

TEST_F(TourpackTest, BadManifestsNameTheFieldAndTheFile) {
    const auto expectError = [&](const std::function<void(nlohmann::json&)>& change,
                                 const std::vector<std::string>& phrases) {
        const nlohmann::json saved = source_.manifest;
        change(source_.manifest);
        source_.save();
        const std::string message = refusal(source_);
        EXPECT_FALSE(message.empty()) << "accepted: " << source_.manifest.dump();
        EXPECT_NE(message.find("tour.json"), std::string::npos) << message;
        for (const std::string& phrase : phrases) {
            EXPECT_NE(message.find(phrase), std::string::npos) << message;
        }
        source_.manifest = saved;
        source_.save();
    };
    test_support::writeFile(source_.folder / "picture.png",
                            {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13});
    test_support::writeFile(source_.folder / "notes.txt", {'h', 'i'});

    expectError([](auto& m) { m["scenes"][0]["image"] = "absent.jpg"; },
                {"scenes[1].image", "absent.jpg"});
    expectError([](auto& m) { m["scenes"][1]["image"] = "picture.png"; },
                {"scenes[2].image", "PNG"});
    expectError([](auto& m) { m["info"]["picture"] = "notes.txt"; }, {"info.picture", "notes.txt"});
    expectError([](auto& m) { m["scenes"][2]["sound"] = "absent.wav"; }, {"scenes[3].sound"});
    expectError([](auto& m) { m["backgroundSound"] = "absent.mp3"; }, {"backgroundSound"});
    expectError([](auto& m) { m["viewSize"] = "large"; }, {"viewSize", "whole number"});
    expectError([](auto& m) { m.erase("title"); }, {"title", "missing"});
    expectError([](auto& m) { m["scenes"] = 5; }, {"scenes"});
    expectError([](auto& m) { m["title"] = "\xE6\x97\xA5\xE6\x9C\xAC"; },
                {"title", "Windows-1252"});
    expectError([](auto& m) { m["language"] = "xx"; }, {"language", "xx"});
    expectError([](auto& m) { m["language"] = "notes.txt"; }, {"language", "not a Windows module"});
    expectError([](auto& m) { m["player"] = "absent.exe"; }, {"player"});
    expectError([](auto& m) { m["skin"] = "nowhere"; }, {"skin", "not a folder"});

    fs::remove(source_.folder / "skin" / "17-slot.bmp");
    expectError([](auto&) {}, {"skin", "missing: 17"});
    test_support::writeFile(source_.folder / "skin" / "17-slot.png",
                            test_support::readFile(source_.folder / "picture.png"));
    test_support::writeFile(source_.folder / "skin" / "17.png",
                            test_support::readFile(source_.folder / "picture.png"));
    expectError([](auto&) {}, {"skin", "slot 17 has two images"});
    fs::remove(source_.folder / "skin" / "17.png");
    expectError([](auto&) {}, {"skin (slot 17)", "PNG"});
}

TEST_F(TourpackTest, NotJsonAndAPlayerThatAlreadyCarriesATour) {
    { std::ofstream(source_.manifestPath()) << "{ \"title\": "; }
    EXPECT_NE(refusal(source_).find("not valid JSON"), std::string::npos);
    source_.save();
    const fs::path tourFile = build(source_, "tour.exe");
    source_.manifest["player"] = tourFile.string();
    source_.save();
    EXPECT_NE(refusal(source_).find("already carries a tour"), std::string::npos);
}

TEST_F(TourpackTest, AResultOverTwoGibibytesIsRefused) {
    const fs::path huge = source_.folder / "huge.wav";
    test_support::writeFile(huge, test_support::waveSound(10, 1));
    fs::resize_file(huge, 2147483000ull);  // sparse: nothing is really written
    source_.manifest["backgroundSound"] = "huge.wav";
    source_.save();
    const std::string message = refusal(source_);
    EXPECT_NE(message.find("2 GiB"), std::string::npos) << message;
}

TEST_F(TourpackTest, WarnsAboutStartViewsThePlayerWillReplace) {
    source_.manifest["scenes"][0]["pan"] = 200;
    source_.manifest["scenes"][1]["tilt"] = -95;
    source_.manifest["scenes"][2]["fieldOfView"] = 170;
    source_.manifest["viewSize"] = 7;
    source_.save();
    const std::string all = warningsOf(source_);
    EXPECT_NE(all.find("scenes[1].pan"), std::string::npos) << all;
    EXPECT_NE(all.find("scenes[2].tilt"), std::string::npos) << all;
    EXPECT_NE(all.find("scenes[3].fieldOfView"), std::string::npos) << all;
    EXPECT_NE(all.find("viewSize"), std::string::npos) << all;
}

TEST_F(TourpackTest, InspectFindsDamageThePlayerWouldOnlyMeetLater) {
    const fs::path tourFile = build(source_, "tour.exe");
    Bytes bytes = test_support::readFile(tourFile);
    std::string error;
    std::int32_t imageOffset = 0;
    {
        const auto opened = tourpack::OpenedTour::open(tourFile.string(), error);
        imageOffset = opened->tour().scene(2)->image()->offset();
    }
    bytes[static_cast<std::size_t>(imageOffset)] ^=
        0xFF;  // the first block no longer decrypts to "BM"
    test_support::writeFile(tourFile, bytes);
    const auto report = tourpack::inspectTour(tourFile.string());
    ASSERT_EQ(report.problems.size(), 1u) << tourpack::formatReport(report);
    EXPECT_NE(report.problems[0].find("scene 2"), std::string::npos);

    test_support::writeFile(tourFile, Bytes(100, 'x'));
    const auto notATour = tourpack::inspectTour(tourFile.string());
    ASSERT_FALSE(notATour.problems.empty());
    EXPECT_NE(notATour.problems[0].find("CAFEBABE"), std::string::npos);
}

// A language module without what the player needs is refused by build, naming
// each missing resource, and reported by inspect of a tour that carries one.
TEST_F(TourpackTest, LanguageModulesAreCheckedAgainstThePlayersTable) {
    test_support::writeFile(source_.folder / "language.dll",
                            test_support::standInLanguageModule({IDP_LOGO, IDS_CAPTION + 1}));
    const std::string message = refusal(source_);
    EXPECT_NE(message.find("field 'language'"), std::string::npos) << message;
    EXPECT_NE(message.find("picture IDP_LOGO (155)"), std::string::npos) << message;
    EXPECT_NE(message.find("string " + std::to_string(IDS_CAPTION + 1)), std::string::npos);
    EXPECT_EQ(message.find("IDP_COMPASS"), std::string::npos) << message;

    const Bytes complete = test_support::standInLanguageModule();
    test_support::writeFile(source_.folder / "language.dll", complete);
    const fs::path tourFile = build(source_, "tour.exe");
    EXPECT_TRUE(tourpack::inspectTour(tourFile.string()).problems.empty());
    // The pictures' type renamed inside the carried module: all six are gone.
    Bytes bytes = test_support::readFile(tourFile);
    const auto module = std::search(bytes.begin(), bytes.end(), complete.begin(), complete.end());
    ASSERT_NE(module, bytes.end());
    const std::uint8_t typeName[] = {'G', 0, 'I', 0, 'F', 0};
    const auto name = std::search(module, module + static_cast<std::ptrdiff_t>(complete.size()),
                                  std::begin(typeName), std::end(typeName));
    ASSERT_NE(name, module + static_cast<std::ptrdiff_t>(complete.size()));
    name[4] = 'X';
    test_support::writeFile(tourFile, bytes);
    const auto report = tourpack::inspectTour(tourFile.string());
    EXPECT_EQ(report.problems.size(), 6u) << tourpack::formatReport(report);
    EXPECT_NE(tourpack::formatReport(report).find("lacks picture IDP_ITEM_CHECKED"),
              std::string::npos);
}

TEST(FloatField, ShortestTextThatReadsBackExactly) {
    EXPECT_EQ(tourpack::formatFloatField(12.5f), "12.5");
    EXPECT_EQ(tourpack::formatFloatField(100.0f), "100");
    EXPECT_EQ(tourpack::formatFloatField(-0.75f), "-0.75");
    EXPECT_EQ(tourpack::formatFloatField(0.1f), "0.1");
    bool exact = true;
    const std::string cut = tourpack::formatFloatField(-123.456789f, &exact);
    EXPECT_FALSE(exact);
    EXPECT_LE(cut.size(), 9u);
    EXPECT_NEAR(std::strtod(cut.c_str(), nullptr), -123.456789, 1e-3);
    std::uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        const float value =
            static_cast<float>(static_cast<std::int32_t>(state) % 3600000) / 10000.0f;
        const std::string text = tourpack::formatFloatField(value, &exact);
        ASSERT_LE(text.size(), 9u);
        if (exact) {
            ASSERT_EQ(static_cast<float>(std::strtod(text.c_str(), nullptr)), value) << text;
        }
    }
}

// The build sizes the file with the counter before writing it with the field
// writer; a count that differs by a byte would misplace the trailer.
TEST(CountingFieldWriter, CountsWhatTheFieldWriterWrites) {
    std::ostringstream stream;
    tourpack::FieldWriter fields(stream);
    tourpack::CountingFieldWriter counter;
    const auto both = [&](const auto& write) {
        write(fields);
        write(counter);
        ASSERT_EQ(counter.written(), fields.written());
        ASSERT_EQ(counter.written(), static_cast<std::int64_t>(stream.str().size()));
    };
    both([](auto& writer) { writer.writeFlag(true); });
    both([](auto& writer) { writer.writeFlag(false); });
    for (const float value : {0.0f, -123.456789f, 1e-7f, -3.4e38f}) {
        both([value](auto& writer) { writer.writeFloat(value); });
    }
    for (const std::int32_t value : {0, -1, INT32_MIN, INT32_MAX}) {
        both([value](auto& writer) { writer.writeInt(value); });
        both([value](auto& writer) { writer.writeLong(value); });
        both([value](auto& writer) { writer.writeItemRef(value, value); });
    }
    for (const std::string& text :
         {std::string(), std::string("Caf\xE9"), std::string(5000, 'x')}) {
        both([&text](auto& writer) { writer.writeString(text); });
    }
}

TEST(TextEncoding, EveryCodePageByteSurvivesTheRoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    std::string back;
    std::string unmappable;
    ASSERT_TRUE(tourpack::utf8ToWindows1252(tourpack::windows1252ToUtf8(all), back, unmappable));
    EXPECT_EQ(back, all);
    EXPECT_EQ(tourpack::windows1252ToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign
    EXPECT_FALSE(tourpack::utf8ToWindows1252("a\xE2\x82", back, unmappable));
    EXPECT_FALSE(tourpack::utf8ToWindows1252("\xF0\x9F\x98\x80", back, unmappable));
    EXPECT_EQ(unmappable, "\xF0\x9F\x98\x80");
}

}  // namespace
