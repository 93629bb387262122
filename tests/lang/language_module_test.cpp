// Checks each language module the way the player uses it: loaded with
// LoadLibraryA, every resource looked up by id and kind, pictures decoded by
// the platform picture service, menus walked by position.
#include "picture_check.h"

#include "lang_ids.h"
#include "module_path.h"
#include "platform/scoped_handle.h"
#include "required_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace test_support {
namespace {

std::string loadString(HMODULE module, UINT id, int limit = 1000) {
    std::vector<char> buffer(limit, '\0');
    int length = LoadStringA(module, id, buffer.data(), limit);
    return std::string(buffer.data(), length);
}

bool menuHolds(HMENU menu, UINT command) {
    return GetMenuState(menu, command, MF_BYCOMMAND) != static_cast<UINT>(-1);
}

class LanguageModuleTest : public ::testing::TestWithParam<std::string> {
  protected:
    LanguageModuleTest() : module_(LoadLibraryA(modulePath(GetParam()).c_str())) {}
    HMODULE module() const { return module_.get(); }

    platform::ComApartment apartment_;
    platform::UniqueModule module_;
};

TEST_P(LanguageModuleTest, LoadsAndHoldsEveryResourceWithItsKind) {
    ASSERT_NE(module(), nullptr) << "LoadLibraryA failed for " << modulePath(GetParam());
    for (const lang::RequiredResource& entry : lang::requiredResources) {
        const LPCSTR type =
            entry.type.name != nullptr ? entry.type.name : MAKEINTRESOURCEA(entry.type.number);
        EXPECT_NE(FindResourceA(module(), MAKEINTRESOURCEA(entry.id), type), nullptr)
            << "resource " << entry.id;
    }
    // and through the calls the player makes
    platform::UniqueMenu mainMenu(LoadMenuA(module(), MAKEINTRESOURCEA(IDR_MAIN_MENU)));
    platform::UniqueMenu popupMenu(LoadMenuA(module(), MAKEINTRESOURCEA(IDR_POPUP_MENU)));
    EXPECT_NE(mainMenu.get(), nullptr);
    EXPECT_NE(popupMenu.get(), nullptr);
    const platform::UniqueAccelerators accelerators(
        LoadAcceleratorsA(module(), MAKEINTRESOURCEA(IDR_ACCELERATORS)));
    EXPECT_NE(accelerators.get(), nullptr);
    const platform::UniqueBitmap unchecked(
        LoadBitmapA(module(), MAKEINTRESOURCEA(IDB_ITEM_UNCHECKED)));
    EXPECT_NE(unchecked.get(), nullptr);
    const platform::UniqueIcon icon(static_cast<HICON>(
        LoadImageA(module(), MAKEINTRESOURCEA(IDI_SMALL_ICON), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    EXPECT_NE(icon.get(), nullptr);
    EXPECT_NE(LoadCursorA(module(), MAKEINTRESOURCEA(IDC_MAIN_ARROW)), nullptr);
    EXPECT_NE(LoadCursorA(module(), MAKEINTRESOURCEA(IDC_LINK_HAND)), nullptr);
}

TEST_P(LanguageModuleTest, PicturesDecodeAtTheSizesTheirUsesNeed) {
    ASSERT_NE(module(), nullptr);
    std::map<int, Pixels> pictures;
    for (int id = IDP_HELP_CARD; id <= IDP_ITEM_CHECKED; ++id) {
        platform::ComRef<IPicture> picture = decodeResourcePicture(module(), id);
        ASSERT_NE(picture.get(), nullptr) << "picture " << id << " does not decode";
        pictures[id] = picturePixels(picture.get());
        EXPECT_GT(pictures[id].width, 0) << "picture " << id;
    }
    // the full-screen toolbar outline
    EXPECT_EQ(pictures[IDP_FULL_SCREEN_OUTLINE].width, 480);
    EXPECT_EQ(pictures[IDP_FULL_SCREEN_OUTLINE].height, 72);
    // the about face holds the clickable link rectangle
    EXPECT_GE(pictures[IDP_ABOUT_FACE].width, 209);
    EXPECT_GE(pictures[IDP_ABOUT_FACE].height, 182);
    // menu check marks: checked picture and unchecked bitmap alike, at the
    // platform's check-mark size
    const LONG marks = GetMenuCheckMarkDimensions();
    const Pixels& checked = pictures[IDP_ITEM_CHECKED];
    const Pixels unchecked = bitmapPixels(
        platform::UniqueBitmap(LoadBitmapA(module(), MAKEINTRESOURCEA(IDB_ITEM_UNCHECKED))).get());
    for (const Pixels* mark : {&checked, &unchecked}) {
        EXPECT_GE(mark->width, 13);
        EXPECT_LE(mark->width, 16);
        EXPECT_EQ(mark->width, mark->height);
        EXPECT_LE(mark->width, LOWORD(marks));
        EXPECT_LE(mark->height, HIWORD(marks));
    }
    EXPECT_EQ(checked.width, unchecked.width);
    EXPECT_NE(checked.argb, unchecked.argb) << "checked and unchecked marks look alike";
}

// The link markers: the same size, a transparent key around them, a light
// ring and a dark outline (readable on bright and dark panoramas), and the
// highlighted look unlike the normal one.
TEST_P(LanguageModuleTest, LinkMarkersAreKeyedRingsReadableOnAnyPanorama) {
    ASSERT_NE(module(), nullptr);
    std::vector<Pixels> markers;
    for (const int id : {IDB_LINK_MARKER, IDB_LINK_MARKER_HIGHLIGHTED}) {
        const platform::UniqueBitmap bitmap(LoadBitmapA(module(), MAKEINTRESOURCEA(id)));
        ASSERT_NE(bitmap.get(), nullptr) << "marker " << id;
        markers.push_back(bitmapPixels(bitmap.get()));
    }
    const Pixels& normal = markers[0];
    EXPECT_EQ(normal.width, normal.height);
    EXPECT_GE(normal.width, 16);
    EXPECT_EQ(markers[1].width, normal.width);
    EXPECT_EQ(markers[1].height, normal.height);
    EXPECT_NE(markers[1].argb, normal.argb);
    for (const Pixels& marker : markers) {
        const std::uint32_t key = 0xFF00FF;
        EXPECT_EQ(marker.at(0, 0), key);
        EXPECT_EQ(marker.at(marker.width - 1, marker.height - 1), key);
        int light = 0;
        int dark = 0;
        for (const std::uint32_t p : marker.argb) {
            const int least = std::min({Pixels::red(p), Pixels::green(p), Pixels::blue(p)});
            const int most = std::max({Pixels::red(p), Pixels::green(p), Pixels::blue(p)});
            light += p != key && least >= 230 ? 1 : 0;
            dark += most <= 40 ? 1 : 0;
        }
        EXPECT_GT(light, marker.width * 2);
        EXPECT_GT(dark, marker.width * 2);
    }
}

// The note markers: the link markers' size and key, a look of their own
// (never taken for a link's ring), normal and highlighted unlike each other;
// and the note card's texts, which the module carries though the player
// does not require them.
TEST_P(LanguageModuleTest, NoteMarkersAndCardTextsAreThere) {
    ASSERT_NE(module(), nullptr);
    const auto pixelsOf = [&](int id) {
        const platform::UniqueBitmap bitmap(LoadBitmapA(module(), MAKEINTRESOURCEA(id)));
        EXPECT_NE(bitmap.get(), nullptr) << "marker " << id;
        return bitmap ? bitmapPixels(bitmap.get()) : Pixels{};
    };
    const Pixels link = pixelsOf(IDB_LINK_MARKER);
    const Pixels note = pixelsOf(IDB_NOTE_MARKER);
    const Pixels lit = pixelsOf(IDB_NOTE_MARKER_HIGHLIGHTED);
    ASSERT_EQ(note.width, link.width);
    ASSERT_EQ(note.height, link.height);
    EXPECT_EQ(lit.width, note.width);
    EXPECT_NE(note.argb, link.argb);
    EXPECT_NE(lit.argb, note.argb);
    const std::uint32_t key = 0xFF00FF;
    for (const Pixels* marker : {&note, &lit}) {
        EXPECT_EQ(marker->at(0, 0), key);
        // A card reaches into the corners, where a ring leaves the key.
        EXPECT_NE(marker->at(3, 3), key);
        EXPECT_NE(marker->at(marker->width - 4, marker->height - 4), key);
    }
    EXPECT_FALSE(loadString(module(), IDS_NOTE_CLOSE).empty());
    EXPECT_FALSE(loadString(module(), IDS_NOTE_LINK).empty());
    EXPECT_NE(loadString(module(), IDS_NOTE_CLOSE), loadString(module(), IDS_NOTE_LINK));
}

TEST_P(LanguageModuleTest, FullScreenOutlineSeparatesShapeFromBlack) {
    ASSERT_NE(module(), nullptr);
    platform::ComRef<IPicture> picture = decodeResourcePicture(module(), IDP_FULL_SCREEN_OUTLINE);
    ASSERT_NE(picture.get(), nullptr);
    const Pixels outline = picturePixels(picture.get());
    // The toolbar's region keeps every pixel not within 16 of black. A pixel
    // must be clearly outside (pure black) or clearly inside.
    int inside = 0;
    int outside = 0;
    for (std::uint32_t p : outline.argb) {
        const int brightest = std::max({Pixels::red(p), Pixels::green(p), Pixels::blue(p)});
        if (brightest == 0) {
            ++outside;
        } else {
            EXPECT_GT(brightest, 16) << "a near-black pixel inside the shape would be cut away";
            ++inside;
        }
    }
    EXPECT_GT(inside, 480 * 72 / 4);
    EXPECT_GT(outside, 0);
    // the toolbar sits at the bottom left of the screen: its left and bottom
    // edges are part of the shape
    EXPECT_NE(outline.at(0, 71), 0u);
    EXPECT_NE(outline.at(0, 40), 0u);
}

TEST_P(LanguageModuleTest, MainMenuHoldsWhatThePlayerFindsByPosition) {
    ASSERT_NE(module(), nullptr);
    platform::UniqueMenu menu(LoadMenuA(module(), MAKEINTRESOURCEA(IDR_MAIN_MENU)));
    ASSERT_NE(menu.get(), nullptr);
    ASSERT_GE(GetMenuItemCount(menu.get()), 4);

    HMENU scenes = GetSubMenu(menu.get(), 1);
    ASSERT_NE(scenes, nullptr) << "position 1 must be the scene submenu";
    // A menu resource cannot carry an empty submenu, so the scene menu starts
    // with the scene stepping items; the player appends the scenes after them
    // and keeps exactly one scene checked, so nothing here may be checked.
    const int fixedItems = GetMenuItemCount(scenes);
    ASSERT_GT(fixedItems, 0);
    for (int position = 0; position < fixedItems; ++position) {
        EXPECT_EQ(GetMenuState(scenes, position, MF_BYPOSITION) & MF_CHECKED, 0u);
        EXPECT_EQ(GetSubMenu(scenes, position), nullptr);
    }
    EXPECT_TRUE(GetMenuState(scenes, fixedItems - 1, MF_BYPOSITION) & MF_SEPARATOR)
        << "the appended scenes need a separator above them";

    HMENU view = GetSubMenu(menu.get(), 2);
    ASSERT_NE(view, nullptr);
    HMENU sound = GetSubMenu(view, 2);
    ASSERT_NE(sound, nullptr) << "submenu 2 must hold the sound menu at its position 2";
    for (UINT command : {IDM_SOUND_OFF, IDM_VOLUME_UP, IDM_VOLUME_DOWN}) {
        EXPECT_TRUE(menuHolds(sound, command)) << command;
    }

    HMENU help = GetSubMenu(menu.get(), 3);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(menuHolds(help, IDM_TOUR_INFO));
    EXPECT_EQ(GetMenuState(help, IDM_TOUR_INFO, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);

    for (UINT command : {IDM_ABOUT, IDM_EXIT, IDM_PREVIOUS_SCENE, IDM_FULL_SCREEN, IDM_HELP_CARD,
                         IDM_NEXT_SCENE, IDM_RESET_VIEW, IDM_AUTO_ROTATE, IDM_PLAY_TOUR}) {
        EXPECT_TRUE(menuHolds(menu.get(), command)) << "command " << command << " has no item";
    }
    // no item of the module may use the scene commands' range
    for (UINT command = IDM_FIRST_SCENE; command < IDM_FIRST_SCENE + 100; ++command) {
        EXPECT_FALSE(menuHolds(menu.get(), command));
    }
}

TEST_P(LanguageModuleTest, PopupMenuOffersShowAndHideToolbar) {
    ASSERT_NE(module(), nullptr);
    platform::UniqueMenu menu(LoadMenuA(module(), MAKEINTRESOURCEA(IDR_POPUP_MENU)));
    ASSERT_NE(menu.get(), nullptr);
    HMENU first = GetSubMenu(menu.get(), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(menuHolds(first, IDM_SHOW_TOOLBAR));
    EXPECT_TRUE(menuHolds(first, IDM_HIDE_TOOLBAR));
    // the way back to windowed mode when the toolbar is hidden
    EXPECT_TRUE(menuHolds(first, IDM_FULL_SCREEN));
}

TEST_P(LanguageModuleTest, AcceleratorsLeaveTheViewKeysAlone) {
    ASSERT_NE(module(), nullptr);
    const platform::UniqueAccelerators accelerators(
        LoadAcceleratorsA(module(), MAKEINTRESOURCEA(IDR_ACCELERATORS)));
    const HACCEL table = accelerators.get();
    ASSERT_NE(table, nullptr);
    std::vector<ACCEL> entries(CopyAcceleratorTableA(table, nullptr, 0));
    ASSERT_FALSE(entries.empty());
    CopyAcceleratorTableA(table, entries.data(), static_cast<int>(entries.size()));

    const std::set<WORD> viewKeys = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SHIFT, VK_CONTROL,
                                     'A',     'Z',      0x61,  0x7A,    VK_ESCAPE};
    std::set<std::pair<BYTE, WORD>> seen;
    std::set<WORD> commands;
    platform::UniqueMenu menu(LoadMenuA(module(), MAKEINTRESOURCEA(IDR_MAIN_MENU)));
    for (const ACCEL& entry : entries) {
        const BYTE modifiers = entry.fVirt & (FSHIFT | FCONTROL | FALT);
        EXPECT_TRUE(entry.fVirt & FVIRTKEY) << "key " << entry.key << " is not a virtual key";
        EXPECT_EQ(viewKeys.count(entry.key), 0u) << "key " << entry.key << " belongs to the view";
        EXPECT_EQ(modifiers & (FSHIFT | FCONTROL), 0)
            << "Shift and Ctrl zoom the view; key " << entry.key;
        EXPECT_TRUE(seen.insert({modifiers, entry.key}).second) << "key " << entry.key << " twice";
        EXPECT_TRUE(menuHolds(menu.get(), entry.cmd)) << "command " << entry.cmd << " not in menu";
        commands.insert(entry.cmd);
    }
    for (WORD command : {IDM_PREVIOUS_SCENE, IDM_NEXT_SCENE, IDM_RESET_VIEW, IDM_AUTO_ROTATE,
                         IDM_PLAY_TOUR, IDM_FULL_SCREEN, IDM_SOUND_OFF, IDM_VOLUME_UP,
                         IDM_VOLUME_DOWN, IDM_TOUR_INFO, IDM_ABOUT, IDM_EXIT}) {
        EXPECT_EQ(commands.count(command), 1u) << "no key for command " << command;
    }
}

TEST_P(LanguageModuleTest, StringsArePresentAndFitTheirBuffers) {
    ASSERT_NE(module(), nullptr);
    for (UINT id = IDS_CAPTION; id <= IDS_BITMAP_WARNING_CAPTION; ++id) {
        const std::string text = loadString(module(), id);
        EXPECT_FALSE(text.empty()) << "string " << id;
        // decoder boxes load into 300 bytes, the status line into 100, the
        // toolbar help into 50
        size_t limit = 299;
        if (id >= IDS_HELP_EXIT && id <= IDS_HELP_SOUND_ON)
            limit = 99;
        if (id >= IDS_TIP_UP && id <= IDS_TIP_FULL_SCREEN)
            limit = 49;
        EXPECT_LE(text.size(), limit) << "string " << id << ": " << text;
    }
    EXPECT_NE(loadString(module(), IDS_DECODE_PROMPT).find('?'), std::string::npos)
        << "the decode prompt is answered with Yes or No";
}

// Help texts replace the status text, drawn from x = 15 with the device
// context's own font on a toolbar as narrow as the smallest view (320).
TEST_P(LanguageModuleTest, HelpTextsFitTheNarrowestStatusLine) {
    ASSERT_NE(module(), nullptr);
    const platform::UniqueMemoryDC memory = platform::makeMemoryDC();
    const HDC dc = memory.get();
    for (UINT id = IDS_HELP_EXIT; id <= IDS_TIP_FULL_SCREEN; ++id) {
        const std::string text = loadString(module(), id);
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        EXPECT_LE(extent.cx, 320 - 15 - 5) << "string " << id << " is cut off: " << text;
    }
}

TEST(LanguageModules, SecondLanguageTranslatesEveryString) {
    const platform::UniqueModule english(LoadLibraryA(modulePath("en").c_str()));
    const platform::UniqueModule german(LoadLibraryA(modulePath("de").c_str()));
    ASSERT_NE(english.get(), nullptr);
    ASSERT_NE(german.get(), nullptr);
    for (UINT id = IDS_CAPTION; id <= IDS_BITMAP_WARNING_CAPTION; ++id) {
        EXPECT_NE(loadString(english.get(), id), loadString(german.get(), id)) << "string " << id;
    }
    platform::UniqueMenu englishMenu(LoadMenuA(english.get(), MAKEINTRESOURCEA(IDR_MAIN_MENU)));
    platform::UniqueMenu germanMenu(LoadMenuA(german.get(), MAKEINTRESOURCEA(IDR_MAIN_MENU)));
    char englishTitle[64] = {};
    char germanTitle[64] = {};
    GetMenuStringA(englishMenu.get(), 0, englishTitle, sizeof englishTitle, MF_BYPOSITION);
    GetMenuStringA(germanMenu.get(), 0, germanTitle, sizeof germanTitle, MF_BYPOSITION);
    EXPECT_STRNE(englishTitle, germanTitle);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageModuleTest, ::testing::Values("en", "de"));

}  // namespace
}  // namespace test_support
