#include <gtest/gtest.h>

#include <algorithm>

#include "commands/folder_guess.h"
#include "text/natural_order.h"
#include "pictures/picture_format.h"

namespace {

using tourpack::FolderGuess;
using tourpack::guessTour;

std::vector<std::string> sortedNaturally(std::vector<std::string> names) {
    std::sort(names.begin(), names.end(), tourpack::naturalLess);
    return names;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

TEST(NaturalOrder, NumbersCompareByValueAndLettersWithoutCase) {
    EXPECT_EQ(sortedNaturally({"10.jpg", "2.jpg", "1.jpg", "100.jpg", "20.jpg"}),
              (std::vector<std::string>{"1.jpg", "2.jpg", "10.jpg", "20.jpg", "100.jpg"}));
    EXPECT_EQ(sortedNaturally({"pano10b", "Pano2", "pano10a", "pano1"}),
              (std::vector<std::string>{"pano1", "Pano2", "pano10a", "pano10b"}));
    // UTF-8 letters after ASCII ones: Cyrillic after Latin.
    EXPECT_EQ(sortedNaturally({"\xD0\xA1\xD1\x82.jpg", "Caf\xC3\xA9.jpg", "Zoo.jpg"}),
              (std::vector<std::string>{"Caf\xC3\xA9.jpg", "Zoo.jpg", "\xD0\xA1\xD1\x82.jpg"}));
    // Leading zeros do not change a number's place; longer runs than any
    // integer type still order by value.
    EXPECT_EQ(sortedNaturally({"img-010", "img-9", "img-0011"}),
              (std::vector<std::string>{"img-9", "img-010", "img-0011"}));
    EXPECT_TRUE(tourpack::naturalLess("x99999999999999999999999", "x100000000000000000000000"));
    // A prefix comes first; a name is never before itself.
    EXPECT_TRUE(tourpack::naturalLess("room", "room 2"));
    EXPECT_FALSE(tourpack::naturalLess("room", "room"));
    // Names equal but for case or zeros are still ordered, one way only.
    EXPECT_NE(tourpack::naturalLess("A.jpg", "a.jpg"), tourpack::naturalLess("a.jpg", "A.jpg"));
    EXPECT_NE(tourpack::naturalLess("7.jpg", "07.jpg"), tourpack::naturalLess("07.jpg", "7.jpg"));
}

TEST(SceneNames, SeparatorsBecomeOneSpaceAndTheFirstLetterACapital) {
    EXPECT_EQ(tourpack::nameFromFileStem("old_harbour"), "Old harbour");
    EXPECT_EQ(tourpack::nameFromFileStem("market-square.evening"), "Market square evening");
    EXPECT_EQ(tourpack::nameFromFileStem("__lobby  --  east__"), "Lobby east");
    EXPECT_EQ(tourpack::nameFromFileStem("01-quay"), "01 Quay");
    EXPECT_EQ(tourpack::nameFromFileStem("Église"), "Église");  // UTF-8 left as it is
    EXPECT_EQ(tourpack::nameFromFileStem("42"), "42");
}

TEST(FolderGuessing, ScenesSoundsTourSoundAndInformationPicture) {
    const FolderGuess guess =
        guessTour("harbour_walk", {"10-quay.PNG", "2_market.jpg", "2_market.mp3", "10-quay.wav",
                                   "ambience.wav", "Author.png", "lighthouse.tif", "notes.txt",
                                   "gallery.tga", "gallery.mp3", "gallery.WAV", "orphan.mp3"});
    EXPECT_EQ(guess.title, "Harbour walk");
    ASSERT_EQ(guess.scenes.size(), 4u);
    EXPECT_EQ(guess.scenes[0].picture, "2_market.jpg");
    EXPECT_EQ(guess.scenes[0].name, "2 Market");
    EXPECT_EQ(guess.scenes[0].sound, "2_market.mp3");
    EXPECT_EQ(guess.scenes[1].picture, "10-quay.PNG");
    EXPECT_EQ(guess.scenes[1].sound, "10-quay.wav");
    EXPECT_EQ(guess.scenes[2].picture, "gallery.tga");
    EXPECT_EQ(guess.scenes[2].sound, "gallery.WAV");  // WAV before MP3
    EXPECT_EQ(guess.scenes[3].picture, "lighthouse.tif");
    EXPECT_EQ(guess.scenes[3].sound, "");
    EXPECT_EQ(guess.tourSound, "ambience.wav");
    EXPECT_EQ(guess.infoPicture, "Author.png");

    // Every file not used is named with the reason.
    std::vector<std::string> leftOut;
    for (const auto& file : guess.leftOut) {
        leftOut.push_back(file.file);
    }
    EXPECT_EQ(leftOut, (std::vector<std::string>{"gallery.mp3", "notes.txt", "orphan.mp3"}));
}

TEST(FolderGuessing, OneTourSoundAndOneInformationPictureAreChosen) {
    const FolderGuess guess = guessTour("t", {"background.mp3", "ambience.mp3", "ambience.wav",
                                              "author.jpg", "author.png", "a.bmp", "a.gif"});
    EXPECT_EQ(guess.tourSound, "ambience.wav");
    EXPECT_EQ(guess.infoPicture, "author.jpg");
    ASSERT_EQ(guess.scenes.size(), 2u);  // pictures of one base name are two scenes
    EXPECT_EQ(guess.leftOut.size(), 3u);
    EXPECT_TRUE(guessTour("empty", {"readme.md", "author.jpg"}).scenes.empty());
}

TEST(FolderGuessing, TheDescriptionShowsEveryGuessAndHowToChangeIt) {
    FolderGuess guess = guessTour("tour", {"a.png", "b.jpg", "b.wav", "ambience.mp3", "x.doc"});
    guess.scenes[0].size = {6000, 3000};
    guess.scenes[1].size = {12000, 4000};
    const std::string text = joined(tourpack::describeGuess(guess, {"tour", "/skin", "en", 8192}));
    EXPECT_NE(text.find("\"Tour\" (from the folder name tour)"), std::string::npos) << text;
    EXPECT_NE(text.find("scene 1               \"A\": a.png (6000 x 3000), no sound"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"B\": b.jpg (12000 x 4000), sound b.wav"), std::string::npos) << text;
    // The 3:1 picture is warned about and its reduction announced; the 2:1
    // picture is not.
    EXPECT_NE(text.find("warning: 12000 x 4000 is not twice as wide as high"), std::string::npos);
    EXPECT_NE(text.find("build reduces it to 8192 x 2731; --max-width 16384 keeps it whole"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("6000 x 3000 is not"), std::string::npos);
    EXPECT_NE(text.find("tour sound            ambience.mp3"), std::string::npos) << text;
    EXPECT_NE(text.find("information picture   none (a picture named author.* would be one)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("left out              x.doc: not a picture"), std::string::npos) << text;
    EXPECT_NE(text.find("--force"), std::string::npos);
}

TEST(PanoramaShape, FullTurnWithinOnePercentAndReductionInProportion) {
    EXPECT_TRUE(tourpack::coversFullTurn({8000, 4000}));
    EXPECT_TRUE(tourpack::coversFullTurn({8000, 4030}));
    EXPECT_FALSE(tourpack::coversFullTurn({8000, 4100}));
    EXPECT_FALSE(tourpack::coversFullTurn({3000, 1000}));
    EXPECT_EQ(tourpack::reducedSize({10000, 5000}, 8192).height, 4096);
    EXPECT_EQ(tourpack::reducedSize({8192, 100}, 8192).width, 8192);
    EXPECT_EQ(tourpack::reducedSize({100000, 2}, 8192).height, 1);
    // How a larger --max-width would keep more of a reduced picture.
    EXPECT_EQ(tourpack::largerWidthHint({16384, 8192}, 8192), "--max-width 16384 keeps it whole");
    EXPECT_EQ(tourpack::largerWidthHint({20000, 10000}, 8192),
              "--max-width 16384 keeps it at 16384 x 8192");
    EXPECT_EQ(tourpack::largerWidthHint({20000, 10000}, 16384), "");
    EXPECT_EQ(tourpack::largerWidthHint({8192, 4096}, 8192), "");
}

TEST(FolderGuess, TelephonePicturesAreNamedAsPicturesTourpackDoesNotRead) {
    const FolderGuess guess = guessTour("trip", {"a.jpg", "b.HEIC", "c.webp", "d.txt"});
    ASSERT_EQ(guess.leftOut.size(), 3u);
    EXPECT_EQ(guess.leftOut[0].reason, "a format tourpack does not read; convert it to JPEG");
    EXPECT_EQ(guess.leftOut[1].reason, guess.leftOut[0].reason);
    EXPECT_NE(guess.leftOut[2].reason.find("not a picture"), std::string::npos);

    const auto format = [](const std::string& head) {
        return tourpack::foreignPictureFormat(reinterpret_cast<const std::uint8_t*>(head.data()),
                                              head.size());
    };
    EXPECT_EQ(format(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16)), "WebP");
    EXPECT_EQ(format(std::string("\0\0\0\x18"
                                 "ftypheic\0\0\0\0",
                                 16)),
              "HEIC");
    EXPECT_EQ(format(std::string("\0\0\0\x18"
                                 "ftypavif\0\0\0\0",
                                 16)),
              "AVIF");
    EXPECT_EQ(format(std::string("\0\0\0\x18"
                                 "ftypisom\0\0\0\0",
                                 16)),
              "");  // a video
    EXPECT_EQ(format(std::string("RIFF\x10\0\0\0WAVEfmt ", 16)), "");
}

}  // namespace
