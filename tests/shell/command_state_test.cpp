// Which commands run: a command whose menu item is greyed does nothing,
// whatever brought it.
#include <gtest/gtest.h>

#include <memory>

#include "lang_ids.h"
#include "shell/shell_core.h"

namespace {

using namespace shell;

TEST(CommandStateTest, VolumeCommandsRunOnlyWhileTheSoundIsOn) {
    const CommandState on{true, false};
    const CommandState off{false, false};
    for (const unsigned id : {IDM_VOLUME_UP, IDM_VOLUME_DOWN}) {
        EXPECT_TRUE(commandEnabled(id, on)) << id;
        EXPECT_FALSE(commandEnabled(id, off)) << id;
    }
    // The sound item itself turns the sound back on.
    EXPECT_TRUE(commandEnabled(IDM_SOUND_OFF, off));
}

TEST(CommandStateTest, TourInformationRunsOnlyWhenThereIsSome) {
    EXPECT_FALSE(commandEnabled(IDM_TOUR_INFO, CommandState{true, true}));
    EXPECT_TRUE(commandEnabled(IDM_TOUR_INFO, CommandState{true, false}));
    // The about box and the help card stay whatever the tour holds.
    const CommandState bare{false, true};
    for (const unsigned id : {IDM_ABOUT, IDM_HELP_CARD, IDM_EXIT, IDM_FULL_SCREEN, IDM_NEXT_SCENE,
                              IDM_PLAY_TOUR, IDM_SHOW_TOOLBAR, IDM_HIDE_TOOLBAR, IDM_FIRST_SCENE}) {
        EXPECT_TRUE(commandEnabled(id, bare)) << id;
    }
}

TEST(CommandStateTest, InformationIsEmptyWithoutPictureAndTheFiveTexts) {
    package::TourInfo info;
    EXPECT_TRUE(tourInfoIsEmpty(info));
    // The sixth text is not looked at; a picture that did not open is none.
    info.setInfoText4("Only the sixth text");
    info.setPicture(std::make_unique<package::FileItem>("tour.exe", 0, -1));
    EXPECT_TRUE(tourInfoIsEmpty(info));
    info.setPicture(std::make_unique<package::FileItem>("tour.exe", 0, 0));
    EXPECT_TRUE(tourInfoIsEmpty(info));

    info.setPicture(std::make_unique<package::FileItem>("tour.exe", 100, 2048));
    EXPECT_FALSE(tourInfoIsEmpty(info));
    info.setPicture(nullptr);
    using Setter = void (package::TourInfo::*)(const char*);
    for (const Setter set : {&package::TourInfo::setInfoText1, &package::TourInfo::setInfoText2,
                             &package::TourInfo::setInfoText3, &package::TourInfo::setWebAddress,
                             &package::TourInfo::setEmailAddress}) {
        (info.*set)("x");
        EXPECT_FALSE(tourInfoIsEmpty(info));
        (info.*set)("");
        EXPECT_TRUE(tourInfoIsEmpty(info));
    }
}

}  // namespace
