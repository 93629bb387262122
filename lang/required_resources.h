// The resources every language module must hold: the player refuses a module
// that lacks one of them, and the tests check each module against this table.
#pragma once

#include <windows.h>

#include "lang_ids.h"

namespace lang {

struct RequiredResource {
    LPCSTR type;
    int id;
    const char* kind;  // how a message names it
};

inline const RequiredResource requiredResources[] = {
    {RT_MENU, IDR_MAIN_MENU, "menu"},
    {RT_ACCELERATOR, IDR_ACCELERATORS, "accelerator table"},
    {RT_MENU, IDR_POPUP_MENU, "menu"},
    {RT_DIALOG, IDD_ABOUT, "dialog"},
    {RT_DIALOG, IDD_PICTURE, "dialog"},
    {RT_DIALOG, IDD_TOUR_INFO, "dialog"},
    {RT_BITMAP, IDB_ITEM_UNCHECKED, "bitmap"},
    {"gif", IDP_HELP_CARD, "picture"},
    {"gif", IDP_LOGO, "picture"},
    {"gif", IDP_COMPASS, "picture"},
    {"gif", IDP_ABOUT_FACE, "picture"},
    {"gif", IDP_FULL_SCREEN_OUTLINE, "picture"},
    {"gif", IDP_ITEM_CHECKED, "picture"},
    {RT_GROUP_ICON, IDI_SMALL_ICON, "icon"},
    {RT_GROUP_CURSOR, IDC_MAIN_ARROW, "cursor"},
    {RT_GROUP_CURSOR, IDC_LINK_HAND, "cursor"},
};

// Every string from the caption to the last prompt's caption.
inline constexpr int firstRequiredString = IDS_CAPTION;
inline constexpr int lastRequiredString = IDS_BITMAP_WARNING_CAPTION;

}  // namespace lang
