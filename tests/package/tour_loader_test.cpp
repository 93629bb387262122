#include "package/tour_loader.h"

#include <gtest/gtest.h>

#include "raw_package.h"
#include "scoped_temp_directory.h"
#include "tour_source.h"

namespace {

namespace fs = std::filesystem;
using test_support::filesWithPrefix;

class TourLoaderTest : public ::testing::Test {
  protected:
    TourLoaderTest()
        : scratch_(folder_.path() / "tmp"), temp_((fs::create_directories(scratch_), scratch_)) {}

    std::string write(const std::string& bytes) {
        const fs::path file = folder_.path() / ("tour" + std::to_string(serial_++) + ".exe");
        test_support::writeFile(file, test_support::Bytes(bytes.begin(), bytes.end()));
        return file.string();
    }

    std::unique_ptr<package::Tour> read(const std::string& bytes, package::PackageError& error) {
        path_ = write(bytes);
        return loader_.read(path_.c_str(), error);
    }

    std::string fileText(const char* path) {
        const auto bytes = test_support::readFile(path);
        return std::string(bytes.begin(), bytes.end());
    }

    std::size_t leftOver() { return filesWithPrefix(scratch_, "QRZ").size(); }

    test_support::TempFolder folder_;
    fs::path scratch_;
    test_support::ScopedTempDirectory temp_;
    package::TourLoader loader_;
    std::string path_;
    int serial_ = 0;
};

TEST_F(TourLoaderTest, ReadsEveryFieldOfACompleteStream) {
    RawPackage package;
    const auto start = static_cast<std::int64_t>(package.size());
    package.header("Harbour", 3, "background-bytes");
    package.scene("Quay", 2, 9).scene("Market").scene("Tower");
    package.info().skinAndLanguage();
    package::PackageError error;
    const auto tour = read(package.finish(start), error);
    ASSERT_TRUE(tour) << error.what;

    EXPECT_STREQ(tour->title(), "Harbour");
    EXPECT_EQ(tour->viewSize(), 2);
    EXPECT_EQ(tour->rotationSpeed(), 3);
    EXPECT_TRUE(tour->soundOn());
    EXPECT_FALSE(tour->autoPlay());
    EXPECT_EQ(tour->fullScreenMode(), 1);
    EXPECT_EQ(fileText(tour->backgroundSound().path()), "background-bytes");
    EXPECT_EQ(tour->backgroundSound().offset(), 0);
    EXPECT_EQ(tour->backgroundSound().length(), 16);

    ASSERT_EQ(tour->sceneCount(), 3);
    const std::int32_t firstId = tour->scene(1)->id();
    for (std::int32_t position = 1; position <= 3; ++position) {
        EXPECT_EQ(tour->scene(position)->id(), firstId + position - 1);
        EXPECT_EQ(tour->positionOfScene(firstId + position - 1), position);
    }
    const package::Scene& quay = *tour->scene(1);
    EXPECT_STREQ(quay.name(), "Quay");
    EXPECT_EQ(quay.pan(), 10.5f);
    EXPECT_EQ(quay.tilt(), -20.0f);
    EXPECT_EQ(quay.fieldOfView(), 75.0f);
    EXPECT_STREQ(quay.image()->path(), path_.c_str());
    EXPECT_EQ(quay.image()->offset(), 2);
    EXPECT_EQ(quay.image()->length(), 9);
    EXPECT_STREQ(tour->scene(3)->name(), "Tower");

    const package::TourInfo& info = tour->info();
    EXPECT_STREQ(info.infoText1(), "one");
    EXPECT_STREQ(info.infoText2(), "two");
    EXPECT_STREQ(info.infoText3(), "three");
    EXPECT_STREQ(info.webAddress(), "http://example.org/");
    EXPECT_STREQ(info.emailAddress(), "me@example.org");
    EXPECT_STREQ(info.infoText4(), "six");
    EXPECT_EQ(info.picture()->length(), 0);

    for (int slot = 0; slot < 26; ++slot) {
        EXPECT_EQ(fileText(loader_.skinSet().imagePath(slot)), "skin" + std::to_string(slot));
    }
    EXPECT_EQ(fileText(loader_.languageModulePath()), "MZlanguage");
    // Background sound, 26 skin images and the language module: all "QRZ" files.
    EXPECT_EQ(leftOver(), 28u);
    loader_.deleteExtractedFiles(*tour);
    EXPECT_EQ(leftOver(), 0u);
}

TEST_F(TourLoaderTest, AWrongTrailerIsRejectedBeforeAnythingIsWritten) {
    RawPackage package;
    package.header("t", 0).info().skinAndLanguage();
    std::string bytes = package.finish(15);
    const std::string variants[] = {bytes.substr(0, bytes.size() - 8) + "cafebabe",
                                    bytes.substr(0, bytes.size() - 1) + "F", "CAFEBAB", "", "x"};
    for (const std::string& variant : variants) {
        package::PackageError error;
        EXPECT_FALSE(read(variant, error));
        EXPECT_EQ(error.kind, package::PackageError::badTrailer);
    }
    package::PackageError error;
    EXPECT_FALSE(loader_.read((folder_.path() / "absent.exe").string().c_str(), error));
    EXPECT_EQ(error.kind, package::PackageError::badTrailer);
    EXPECT_EQ(leftOver(), 0u);
}

TEST_F(TourLoaderTest, NoScenesWhenTheCountIsZeroOrNegative) {
    for (const std::int64_t count : {0, -5}) {
        RawPackage package;
        const auto start = static_cast<std::int64_t>(package.size());
        package.header("t", count).info().skinAndLanguage();
        package::PackageError error;
        const auto tour = read(package.finish(start), error);
        ASSERT_TRUE(tour);
        EXPECT_EQ(tour->sceneCount(), 0);
        EXPECT_STREQ(tour->info().infoText1(), "one");
        EXPECT_EQ(fileText(loader_.languageModulePath()), "MZlanguage");
        loader_.deleteExtractedFiles(*tour);
    }
}

TEST_F(TourLoaderTest, TextsAreCutAtANulButEveryByteIsConsumed) {
    RawPackage package;
    const auto start = static_cast<std::int64_t>(package.size());
    package.header(std::string("Ab\0cd", 5), 1, "").scene(std::string("\0hidden", 7));
    package.text("")
        .text("two")
        .text("")
        .text("")
        .text("")
        .text("")
        .itemRef(0, 0)
        .skinAndLanguage();
    package::PackageError error;
    const auto tour = read(package.finish(start), error);
    ASSERT_TRUE(tour);
    EXPECT_STREQ(tour->title(), "Ab");
    EXPECT_EQ(tour->viewSize(), 2);
    EXPECT_STREQ(tour->scene(1)->name(), "");
    EXPECT_EQ(tour->scene(1)->pan(), 10.5f);
    EXPECT_STREQ(tour->info().infoText1(), "");
    EXPECT_STREQ(tour->info().infoText2(), "two");
    // An empty BLOB still makes its (empty) file.
    EXPECT_EQ(tour->backgroundSound().length(), 0);
    EXPECT_TRUE(fs::exists(tour->backgroundSound().path()));
    loader_.deleteExtractedFiles(*tour);
}

TEST_F(TourLoaderTest, ATruncatedStreamLeavesTheRestEmpty) {
    RawPackage package("");
    const std::int64_t start = 0;
    package.header("Cut", 3).scene("One");
    // The trailer follows the first scene: the stream runs into it (its offset
    // "0" reads as an empty name) and ends.
    package::PackageError error;
    const auto tour = read(package.finish(start), error);
    ASSERT_TRUE(tour) << error.what;
    EXPECT_STREQ(tour->title(), "Cut");
    ASSERT_EQ(tour->sceneCount(), 3);
    EXPECT_STREQ(tour->scene(1)->name(), "One");
    EXPECT_EQ(tour->scene(3)->pan(), 0.0f);
    EXPECT_EQ(tour->scene(3)->image()->length(), 0);
    EXPECT_STREQ(tour->info().webAddress(), "");
    for (int slot = 0; slot < 26; ++slot) {
        EXPECT_EQ(fileText(loader_.skinSet().imagePath(slot)), "");
    }
    EXPECT_EQ(leftOver(), 28u);
    loader_.deleteExtractedFiles(*tour);
}

TEST_F(TourLoaderTest, BadLengthsMakeACorruptPackageAndLeaveNoFiles) {
    struct Case {
        const char* what;
        std::function<void(RawPackage&)> body;
    };
    const Case cases[] = {
        {"negative title length", [](RawPackage& p) { p.longValue(-1).raw("abc"); }},
        {"title past the end", [](RawPackage& p) { p.longValue(100000).raw("abc"); }},
        {"negative scene name", [](RawPackage& p) { p.header("t", 1).longValue(-3); }},
        {"negative background sound",
         [](RawPackage& p) {
             p.text("t").integer(1).integer(1).integer(0).flag('1').flag('1').integer(0).longValue(
                 -8);
         }},
        {"skin image past the end",
         [](RawPackage& p) {
             p.header("t", 0).info();
             for (int slot = 0; slot < 5; ++slot)
                 p.text("skin");
             p.longValue(2000000000);
         }},
        {"language module past the end",
         [](RawPackage& p) {
             p.header("t", 0).info();
             for (int slot = 0; slot < 26; ++slot)
                 p.text("s");
             p.longValue(999);
         }},
        {"scene count the file cannot hold", [](RawPackage& p) { p.header("t", 2000000000); }},
    };
    for (const Case& c : cases) {
        RawPackage package;
        const auto start = static_cast<std::int64_t>(package.size());
        c.body(package);
        package::PackageError error;
        EXPECT_FALSE(read(package.finish(start), error)) << c.what;
        EXPECT_EQ(error.kind, package::PackageError::corrupt) << c.what;
        EXPECT_FALSE(error.what.empty());
        EXPECT_EQ(leftOver(), 0u) << c.what;
        EXPECT_STREQ(loader_.languageModulePath(), "");
        EXPECT_STREQ(loader_.skinSet().imagePath(0), "");
    }
}

TEST_F(TourLoaderTest, ARecordStreamOffsetOutsideTheFileGivesAnEmptyTour) {
    for (const std::int64_t start : {-40, 1000000}) {
        RawPackage package;
        package.header("t", 1).scene("s").info().skinAndLanguage();
        package::PackageError error;
        const auto tour = read(package.finish(start), error);
        ASSERT_TRUE(tour) << start;
        EXPECT_STREQ(tour->title(), "");
        EXPECT_EQ(tour->sceneCount(), 0);
        loader_.deleteExtractedFiles(*tour);
    }
}

}  // namespace
