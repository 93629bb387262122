// The resources every language module must hold: the player refuses a module
// that lacks one of them, tourpack checks a module against this table before
// it packs or after it opens a tour, and the tests check each module against
// it. Free of Windows headers so that tourpack's native build reads it too.
#pragma once

#include <cstdint>

#include "lang_ids.h"

namespace lang {

// A resource type as a module's resource directory holds it: a number (the
// standard types) or a name (the custom "gif" type).
struct ResourceType {
    std::uint16_t number;  // 0 when the type is named
    const char* name;      // nullptr when the type is numbered
};

inline constexpr ResourceType bitmapType{2, nullptr};
inline constexpr ResourceType menuType{4, nullptr};
inline constexpr ResourceType dialogType{5, nullptr};
inline constexpr ResourceType stringTableType{6, nullptr};
inline constexpr ResourceType acceleratorType{9, nullptr};
inline constexpr ResourceType groupCursorType{12, nullptr};
inline constexpr ResourceType groupIconType{14, nullptr};
inline constexpr ResourceType pictureType{0, "gif"};

struct RequiredResource {
    ResourceType type;
    int id;
    const char* kind;  // how a message names it
    const char* name;  // its name in the resource scripts
};

inline constexpr RequiredResource requiredResources[] = {
    {menuType, IDR_MAIN_MENU, "menu", "IDR_MAIN_MENU"},
    {acceleratorType, IDR_ACCELERATORS, "accelerator table", "IDR_ACCELERATORS"},
    {menuType, IDR_POPUP_MENU, "menu", "IDR_POPUP_MENU"},
    {dialogType, IDD_ABOUT, "dialog", "IDD_ABOUT"},
    {dialogType, IDD_PICTURE, "dialog", "IDD_PICTURE"},
    {dialogType, IDD_TOUR_INFO, "dialog", "IDD_TOUR_INFO"},
    {bitmapType, IDB_ITEM_UNCHECKED, "bitmap", "IDB_ITEM_UNCHECKED"},
    {pictureType, IDP_HELP_CARD, "picture", "IDP_HELP_CARD"},
    {pictureType, IDP_LOGO, "picture", "IDP_LOGO"},
    {pictureType, IDP_COMPASS, "picture", "IDP_COMPASS"},
    {pictureType, IDP_ABOUT_FACE, "picture", "IDP_ABOUT_FACE"},
    {pictureType, IDP_FULL_SCREEN_OUTLINE, "picture", "IDP_FULL_SCREEN_OUTLINE"},
    {pictureType, IDP_ITEM_CHECKED, "picture", "IDP_ITEM_CHECKED"},
    {groupIconType, IDI_SMALL_ICON, "icon", "IDI_SMALL_ICON"},
    {groupCursorType, IDC_MAIN_ARROW, "cursor", "IDC_MAIN_ARROW"},
    {groupCursorType, IDC_LINK_HAND, "cursor", "IDC_LINK_HAND"},
};

// Every string from the caption to the last prompt's caption.
inline constexpr int firstRequiredString = IDS_CAPTION;
inline constexpr int lastRequiredString = IDS_BITMAP_WARNING_CAPTION;

}  // namespace lang
