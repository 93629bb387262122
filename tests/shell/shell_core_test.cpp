// The shell's platform-free arithmetic: window sizes, status text, help
// tables, the toolbar hit test and the key-colour run scan.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "lang_ids.h"
#include "shell/shell_core.h"

namespace {

using namespace shell;

TEST(WindowLayoutTest, ViewSizesGiveTheirViewAndStrips) {
    const WindowLayout two = layoutForViewSize(2);
    EXPECT_EQ(two.viewWidth, 400);
    EXPECT_EQ(two.viewHeight, 300);
    EXPECT_EQ(two.viewTop, 36);
    EXPECT_EQ(two.toolbarHeight, 102);
    EXPECT_EQ(two.windowWidth(), 406);
    EXPECT_EQ(two.windowHeight(0), 441);
    EXPECT_EQ(two.windowHeight(19 + 18), 441 + 37);
    EXPECT_EQ(layoutForViewSize(1).windowWidth(), 326);
    EXPECT_EQ(layoutForViewSize(1).windowHeight(0), 36 + 102 + 240 + 3);
    for (const int other : {0, 3, 7, -1}) {
        const WindowLayout layout = layoutForViewSize(other);
        EXPECT_EQ(layout.viewWidth, 480) << other;
        EXPECT_EQ(layout.viewHeight, 360) << other;
    }
}

TEST(ScreenScaleTest, WholeFactorsFromTheScreensDpi) {
    for (const auto& [dpi, scale] : {std::pair{96, 1},
                                     {120, 1},
                                     {143, 1},
                                     {144, 2},
                                     {192, 2},
                                     {239, 2},
                                     {240, 3},
                                     {288, 3},
                                     {0, 1},
                                     {-96, 1}}) {
        EXPECT_EQ(scaleForDpi(dpi), scale) << dpi;
    }
}

TEST(ScreenScaleTest, TheWindowMustFitTheDesktop) {
    // View size 3: 480 x 498 of content, 966 x 1076 with a frame of 6 x 80 at twice.
    const WindowLayout layout = layoutForViewSize(3);
    EXPECT_EQ(fittingScale(2, layout, 6, 80, 2560, 1440), 2);
    EXPECT_EQ(fittingScale(2, layout, 6, 80, 966, 1076), 2);
    EXPECT_EQ(fittingScale(2, layout, 6, 80, 966, 1075), 1);
    EXPECT_EQ(fittingScale(2, layout, 6, 80, 965, 1076), 1);
    EXPECT_EQ(fittingScale(3, layout, 6, 80, 1920, 1200), 2);
    // Never below 1, even where the window does not fit at all.
    EXPECT_EQ(fittingScale(2, layout, 6, 80, 320, 200), 1);
    EXPECT_EQ(fittingScale(0, layout, 6, 80, 2560, 1440), 1);
    const WindowLayout twice = layout.scaledBy(2);
    EXPECT_EQ(twice.viewWidth, 960);
    EXPECT_EQ(twice.viewHeight, 720);
    EXPECT_EQ(twice.contentHeight(), 2 * (36 + 360 + 102));
}

TEST(ScreenScaleTest, EnlargedToolbarAndLinkAnswerAtTheirEnlargedPlaces) {
    // Button 5 lies at (86, 28), 31 x 31: at twice from (172, 56) to (233, 117).
    EXPECT_EQ(toolbarButtonAt(172, 56, 2), 5);
    EXPECT_EQ(toolbarButtonAt(233, 117, 2), 5);
    EXPECT_EQ(toolbarButtonAt(234, 117, 2), -1);
    EXPECT_EQ(toolbarButtonAt(171, 56, 2), -1);
    EXPECT_EQ(toolbarButtonAt(100, 40), 5);
    EXPECT_EQ(toolbarButtonAt(100, 40, 2), -1);  // inside button 5 at its own size only
    EXPECT_EQ(toolbarButtonAt(613, 117, 2), 10);
    EXPECT_EQ(toolbarButtonAt(36, 58, 2), 0);
    EXPECT_TRUE(aboutLinkContains(142, 344, 2));
    EXPECT_TRUE(aboutLinkContains(417, 363, 2));
    EXPECT_FALSE(aboutLinkContains(418, 350, 2));
    EXPECT_FALSE(aboutLinkContains(200, 364, 2));
    EXPECT_FALSE(aboutLinkContains(100, 175, 2));  // inside the link at its own size only
}

TEST(StatusTextTest, TitleNumbersAndName) {
    EXPECT_EQ(sceneStatusText("Old Town", 2, 5, "Market"), "Old Town(2-5)-Market");
    EXPECT_EQ(sceneStatusText("", 1, 1, "Only"), "(1-1)-Only");
    EXPECT_EQ(sceneStatusText(nullptr, 3, 12, nullptr), "(3-12)-");
}

// In a code page of two-byte characters a cut falls between characters: the
// 80th byte of a title of two-byte characters starting at an odd byte is a
// lead byte, which goes with its character.
TEST(StatusTextTest, CutsNeverSplitATwoByteCharacter) {
    const auto leadByte = [](unsigned char byte) { return byte >= 0x81 && byte <= 0x9F; };
    std::string title = "x";
    while (title.size() < 120) {
        title += "\x82\xA0";  // one character of two bytes
    }
    const std::string text = sceneStatusText(title.c_str(), 1, 2, "", leadByte);
    EXPECT_EQ(text, title.substr(0, 79) + "(1-2)-");
    std::string name;
    while (name.size() < 60) {
        name += "\x82\xA0";
    }
    // 79 + 7 bytes before the name: its characters end at even bytes, and
    // the 99th byte would be the first half of one.
    const std::string both = sceneStatusText(title.c_str(), 1, 12, name.c_str(), leadByte);
    EXPECT_EQ(both, title.substr(0, 79) + "(1-12)-" + name.substr(0, 12));
    // Without a lead-byte test the cut counts bytes alone.
    EXPECT_EQ(sceneStatusText(title.c_str(), 1, 2, "").size(), 80u + 6u);
}

TEST(StatusTextTest, LongTitlesAndNamesStayInsideTheBuffer) {
    const std::string title(200, 't');
    const std::string name(300, 'n');
    // The title is cut to 80 characters before the numbers.
    EXPECT_EQ(sceneStatusText(title.c_str(), 1, 2, ""), std::string(80, 't') + "(1-2)-");
    const std::string both = sceneStatusText(title.c_str(), 7, 9, name.c_str());
    EXPECT_EQ(both.size(), statusTextCapacity - 1);
    EXPECT_EQ(both.substr(0, 86), std::string(80, 't') + "(7-9)-");
    // Even numbers that cannot fit are cut, never written past the end.
    const std::string huge = sceneStatusText(title.c_str(), 2147483647, 2147483647, name.c_str());
    EXPECT_EQ(huge.size(), statusTextCapacity - 1);

    char buffer[100];
    std::memset(buffer, 'x', sizeof buffer);
    copyText(buffer, sizeof buffer, name.c_str());
    EXPECT_EQ(std::string(buffer), std::string(99, 'n'));
    copyText(buffer, sizeof buffer, nullptr);
    EXPECT_EQ(std::string(buffer), "");
}

TEST(HelpTableTest, MenuItemsAndToolbarButtons) {
    EXPECT_EQ(menuHelpStringId(IDM_ABOUT, true), unsigned{IDS_HELP_ABOUT});
    EXPECT_EQ(menuHelpStringId(IDM_EXIT, true), unsigned{IDS_HELP_EXIT});
    EXPECT_EQ(menuHelpStringId(IDM_SOUND_OFF, true), unsigned{IDS_HELP_SOUND_OFF});
    EXPECT_EQ(menuHelpStringId(IDM_SOUND_OFF, false), unsigned{IDS_HELP_SOUND_ON});
    EXPECT_EQ(menuHelpStringId(IDM_NEXT_SCENE, false), unsigned{IDS_HELP_NEXT_SCENE});
    EXPECT_EQ(menuHelpStringId(IDM_PLAY_TOUR, true), 0u);
    EXPECT_EQ(menuHelpStringId(IDM_FIRST_SCENE, true), 0u);
    EXPECT_EQ(toolbarHelpStringId(0), unsigned{IDS_TIP_LEFT});
    EXPECT_EQ(toolbarHelpStringId(2), unsigned{IDS_TIP_UP});
    EXPECT_EQ(toolbarHelpStringId(7), unsigned{IDS_TIP_RESET_VIEW});
    EXPECT_EQ(toolbarHelpStringId(10), unsigned{IDS_TIP_FULL_SCREEN});
    EXPECT_EQ(toolbarHelpStringId(11), 0u);
}

TEST(ToolbarHitTest, EdgesAreInclusiveAtTheTopLeftOnly) {
    EXPECT_EQ(toolbarButtonAt(18, 29), 0);
    EXPECT_EQ(toolbarButtonAt(34, 45), 0);
    EXPECT_EQ(toolbarButtonAt(35, 45), 3);  // the pad's controls overlap: the first wins
    EXPECT_EQ(toolbarButtonAt(86, 28), 5);
    EXPECT_EQ(toolbarButtonAt(116, 58), 5);
    EXPECT_EQ(toolbarButtonAt(117, 58), -1);
    EXPECT_EQ(toolbarButtonAt(306, 58), 10);
    EXPECT_EQ(toolbarButtonAt(307, 58), -1);
    EXPECT_EQ(toolbarButtonAt(0, 0), -1);
    EXPECT_EQ(windowTitle("Old Town", "Player"), "Old Town-Player");
    EXPECT_EQ(windowTitle("", "Player"), "Player");
}

TEST(KeyColourTest, BlackWhiteAndOtherKeysHaveTheirTolerances) {
    const KeyColour black = keyColour(0, 0, 0);
    EXPECT_TRUE(black.matches(16, 16, 16));
    EXPECT_FALSE(black.matches(17, 0, 0));
    const KeyColour white = keyColour(255, 255, 255);
    EXPECT_TRUE(white.matches(239, 255, 239));
    EXPECT_FALSE(white.matches(238, 255, 255));
    const KeyColour green = keyColour(10, 128, 245);
    EXPECT_TRUE(green.matches(0, 111, 255));
    EXPECT_TRUE(green.matches(27, 145, 228));
    EXPECT_FALSE(green.matches(28, 128, 245));
    EXPECT_FALSE(green.matches(10, 110, 245));
    EXPECT_FALSE(green.matches(10, 146, 245));
}

struct Picture {
    int width;
    int height;
    std::vector<int> kept;  // 1 where the pixel is not the key (black)
    PixelReader reader() const {
        return [this](int x, int y, std::uint8_t rgb[3]) {
            const std::uint8_t v = kept[static_cast<std::size_t>(y * width + x)] ? 200 : 0;
            rgb[0] = rgb[1] = rgb[2] = v;
        };
    }
};

std::vector<RunRectangle> scanAll(const Picture& picture, std::size_t batch, int* flushes) {
    std::vector<RunRectangle> all;
    *flushes = 0;
    scanKeyRuns(picture.width, picture.height, picture.reader(), keyColour(0, 0, 0), batch,
                [&](const RegionRectangles& rectangles) {
                    ++*flushes;
                    for (std::size_t i = 0; i < rectangles.count(); ++i) {
                        all.push_back(rectangles.rectangle(i));
                    }
                });
    return all;
}

TEST(RunScanTest, OneRectanglePerRunFromTheTopRow) {
    Picture picture{5, 2, {0, 1, 1, 0, 1, /**/ 1, 1, 1, 1, 1}};
    int flushes = 0;
    const auto runs = scanAll(picture, 3000, &flushes);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].left, 1);
    EXPECT_EQ(runs[0].right, 3);
    EXPECT_EQ(runs[0].top, 0);
    EXPECT_EQ(runs[0].bottom, 1);
    EXPECT_EQ(runs[1].left, 4);
    EXPECT_EQ(runs[1].right, 5);
    EXPECT_EQ(runs[2].left, 0);
    EXPECT_EQ(runs[2].right, 5);
    EXPECT_EQ(runs[2].top, 1);
    EXPECT_EQ(flushes, 1);
}

TEST(RunScanTest, AllKeyGivesNoRectanglesButStillOneFlush) {
    Picture picture{4, 3, std::vector<int>(12, 0)};
    int flushes = 0;
    EXPECT_TRUE(scanAll(picture, 3000, &flushes).empty());
    EXPECT_EQ(flushes, 1);
}

TEST(RunScanTest, BatchesOf3000AndTheRestAtTheEnd) {
    // A checkerboard row of 100 pixels has 50 runs; 70 rows give 3500.
    Picture picture{100, 70, {}};
    for (int y = 0; y < 70; ++y) {
        for (int x = 0; x < 100; ++x) {
            picture.kept.push_back((x + y) % 2);
        }
    }
    int flushes = 0;
    const auto runs = scanAll(picture, 3000, &flushes);
    EXPECT_EQ(runs.size(), 3500u);
    EXPECT_EQ(flushes, 2);
}

TEST(RegionRectanglesTest, HeaderRoomAndBounds) {
    RegionRectangles rectangles;
    EXPECT_EQ(rectangles.allocatedSize(), 32u + 100u * 16u);
    EXPECT_EQ(rectangles.bounds().left, 2147483647);
    for (int i = 0; i < 101; ++i) {
        rectangles.add({i, 2 * i, i + 3, 2 * i + 1});
    }
    EXPECT_EQ(rectangles.count(), 101u);
    EXPECT_EQ(rectangles.allocatedSize(), 32u + 200u * 16u);
    const RunRectangle bounds = rectangles.bounds();
    EXPECT_EQ(bounds.left, 0);
    EXPECT_EQ(bounds.top, 0);
    EXPECT_EQ(bounds.right, 103);
    EXPECT_EQ(bounds.bottom, 201);
    std::int32_t header[8];
    std::memcpy(header, rectangles.data(), sizeof header);
    EXPECT_EQ(header[0], 32);
    EXPECT_EQ(header[1], 1);
    EXPECT_EQ(header[2], 101);
    EXPECT_EQ(header[6], 103);
    EXPECT_EQ(rectangles.rectangle(100).left, 100);
    rectangles.reset();
    EXPECT_EQ(rectangles.count(), 0u);
    std::memcpy(header, rectangles.data(), sizeof header);
    EXPECT_EQ(header[2], 0);
    EXPECT_EQ(header[4], 2147483647);
    EXPECT_EQ(header[6], 0);
}

TEST(DialogArithmeticTest, CentredOnTheOwnerWithHalvesTruncatedTowardZero) {
    const Placement inside = centredOnOwner(100, 50, 486, 541, 281, 185);
    EXPECT_EQ(inside.x, 100 + 102);  // 205 / 2
    EXPECT_EQ(inside.y, 50 + 178);   // 356 / 2
    EXPECT_EQ(inside.width, 281);
    EXPECT_EQ(inside.height, 185);
    // A dialog wider than its owner sticks out on both sides; -201 / 2 is -100.
    const Placement wider = centredOnOwner(10, 10, 100, 100, 301, 303);
    EXPECT_EQ(wider.x, 10 - 100);
    EXPECT_EQ(wider.y, 10 - 101);
}

// The main window lies inside the work area wherever the taskbar is: on a
// 1280 x 1000 desktop with a 40-pixel taskbar at each edge in turn, a window
// that fits is wholly inside, and one that does not keeps its caption's
// corner in the area.
TEST(WindowPlacementTest, CentredInsideTheWorkAreaWithTheTaskbarOnAnyEdge) {
    struct Area {
        const char* taskbar;
        int left, top, right, bottom;
    };
    for (const Area& area : {Area{"bottom", 0, 0, 1280, 960}, Area{"top", 0, 40, 1280, 1000},
                             Area{"left", 40, 0, 1280, 1000}, Area{"right", 0, 0, 1240, 1000}}) {
        SCOPED_TRACE(area.taskbar);
        const Placement fits =
            centredInArea(area.left, area.top, area.right, area.bottom, 1000, 950);
        EXPECT_GE(fits.x, area.left);
        EXPECT_GE(fits.y, area.top);
        EXPECT_LE(fits.x + fits.width, area.right);
        EXPECT_LE(fits.y + fits.height, area.bottom);
        // Equal margins on both sides, to the pixel the halving leaves.
        EXPECT_LE(std::abs((fits.x - area.left) - (area.right - fits.x - fits.width)), 1);
        EXPECT_LE(std::abs((fits.y - area.top) - (area.bottom - fits.y - fits.height)), 1);
        const Placement large =
            centredInArea(area.left, area.top, area.right, area.bottom, 1300, 1100);
        EXPECT_EQ(large.x, area.left);
        EXPECT_EQ(large.y, area.top);
        EXPECT_EQ(large.width, 1300);
        EXPECT_EQ(large.height, 1100);
    }
}

// At 144 dpi the information dialog's template grows by 1.5, and so do its
// photo and link rows: not by the player's whole factor of 2.
TEST(DialogArithmeticTest, TemplatePixelsFollowTheDpiNotTheWholeFactor) {
    EXPECT_EQ(templatePixels(200, 96), 200);
    EXPECT_EQ(templatePixels(200, 120), 250);
    EXPECT_EQ(templatePixels(200, 144), 300);
    EXPECT_EQ(templatePixels(20, 168), 35);
    EXPECT_EQ(templatePixels(200, 192), 400);
    EXPECT_EQ(templatePixels(7, 144), 11);  // 10.5, rounded
}

TEST(DialogArithmeticTest, AboutLinkRectangleExcludesItsRightAndBottomEdges) {
    EXPECT_TRUE(aboutLinkContains(71, 172));
    EXPECT_TRUE(aboutLinkContains(208, 181));
    EXPECT_FALSE(aboutLinkContains(70, 175));
    EXPECT_FALSE(aboutLinkContains(209, 175));
    EXPECT_FALSE(aboutLinkContains(100, 171));
    EXPECT_FALSE(aboutLinkContains(100, 182));
}

TEST(DialogArithmeticTest, LinkTargets) {
    EXPECT_EQ(linkTarget(webAddressControl, "www.example.org"), "www.example.org");
    EXPECT_EQ(linkTarget(webAddressControl, "mailto:a@b.c"), "mailto:a@b.c");
    EXPECT_EQ(linkTarget(emailAddressControl, "author@example.org"), "mailto:author@example.org");
    // The scheme appears once whether or not the author wrote it.
    EXPECT_EQ(linkTarget(emailAddressControl, "mailto:author@example.org"),
              "mailto:author@example.org");
    EXPECT_EQ(linkTarget(emailAddressControl, "MailTo:author@example.org"),
              "MailTo:author@example.org");
    EXPECT_EQ(linkTarget(emailAddressControl, "mailt"), "mailto:mailt");
    // Empty links and plain texts open nothing.
    EXPECT_EQ(linkTarget(emailAddressControl, ""), "");
    EXPECT_EQ(linkTarget(webAddressControl, ""), "");
    EXPECT_EQ(linkTarget(infoText1Control, "https://example.org"), "");
    for (const int id : infoHoverControls) {
        EXPECT_EQ(isLinkControl(id), id == infoHoverControls[0] || id == infoHoverControls[4]);
    }
}

TEST(DialogArithmeticTest, LabelAndPhotoGeometry) {
    EXPECT_FALSE(needsLabel(20));
    EXPECT_TRUE(needsLabel(21));
    EXPECT_EQ(labelWidth(21), 126);
    EXPECT_EQ(authorPhotoOrigin(200, 200).x, 0);
    EXPECT_EQ(authorPhotoOrigin(200, 200).y, 8);
    EXPECT_EQ(authorPhotoOrigin(151, 99).x, 24);
    EXPECT_EQ(authorPhotoOrigin(151, 99).y, 50 + 8);
    // A photo larger than the square is centred on it, sticking out.
    EXPECT_EQ(authorPhotoOrigin(301, 240).x, -50);
    EXPECT_EQ(authorPhotoOrigin(301, 240).y, -20 + 8);
}

}  // namespace
