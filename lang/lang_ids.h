// Resource ids that the player takes from a language module. Shared by the
// resource scripts of every language and by the tests that check them.
#ifndef LUMIVUE_LANG_IDS_H
#define LUMIVUE_LANG_IDS_H

// menus, accelerators, dialogs
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109
#define IDR_POPUP_MENU 130
#define IDD_ABOUT 103
#define IDD_PICTURE 134
#define IDD_TOUR_INFO 139
// the square, in pixels at 96 dpi, the tour information dialog paints the
// author's photo into, left of its texts
#define AUTHOR_PHOTO_SIDE 200

// pictures of the custom type "gif" (GIF or JPEG data), bitmap, icon, cursors
#define IDB_ITEM_UNCHECKED 131
#define IDP_HELP_CARD 154
#define IDP_LOGO 155
#define IDP_COMPASS 156
#define IDP_ABOUT_FACE 157
#define IDP_FULL_SCREEN_OUTLINE 158
#define IDP_ITEM_CHECKED 159
#define IDI_SMALL_ICON 149
#define IDC_MAIN_ARROW 32512
#define IDC_LINK_HAND 141
// link markers laid over the panorama: 24-bit bitmaps whose magenta pixels
// are transparent; a module without them gets the player's own
#define IDB_LINK_MARKER 160
#define IDB_LINK_MARKER_HIGHLIGHTED 161
// note markers, the same kind of bitmaps; a module without them gets the
// player's own
#define IDB_NOTE_MARKER 162
#define IDB_NOTE_MARKER_HIGHLIGHTED 163
// icons beside the links of the information dialog
#define IDI_WEB 150
#define IDI_MAIL 151

// commands
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_PREVIOUS_SCENE 32771
#define IDM_FULL_SCREEN 32773
#define IDM_SOUND_OFF 32775
#define IDM_VOLUME_UP 32776
#define IDM_VOLUME_DOWN 32777
#define IDM_HELP_CARD 32778
#define IDM_TOUR_INFO 32779
#define IDM_NEXT_SCENE 32782
#define IDM_RESET_VIEW 32783
#define IDM_AUTO_ROTATE 32784
#define IDM_PLAY_TOUR 32785
#define IDM_SHOW_TOOLBAR 32786
#define IDM_HIDE_TOOLBAR 32787
// The scene menu's items, which the player makes (no module holds them):
// this id for the first scene, one more for each next.
#define IDM_FIRST_SCENE 10000

// controls of the tour information dialog
#define IDC_INFO_TEXT1 1002
#define IDC_INFO_TEXT2 1003
#define IDC_INFO_TEXT3 1004
#define IDC_INFO_WEB 1005
#define IDC_INFO_EMAIL 1006
#define IDC_INFO_TEXT4 1012

// strings
#define IDS_CAPTION 32773
#define IDS_HELP_EXIT 32774
#define IDS_HELP_PREVIOUS_SCENE 32775
#define IDS_HELP_NEXT_SCENE 32776
#define IDS_HELP_FULL_SCREEN 32777
#define IDS_HELP_SOUND_OFF 32778
#define IDS_HELP_VOLUME_UP 32779
#define IDS_HELP_VOLUME_DOWN 32780
#define IDS_HELP_HELP_CARD 32781
#define IDS_HELP_TOUR_INFO 32782
#define IDS_HELP_ABOUT 32783
#define IDS_HELP_SOUND_ON 32784
#define IDS_TIP_UP 32785
#define IDS_TIP_DOWN 32786
#define IDS_TIP_LEFT 32787
#define IDS_TIP_RIGHT 32788
#define IDS_TIP_STOP 32789
#define IDS_TIP_PREVIOUS_SCENE 32790
#define IDS_TIP_NEXT_SCENE 32791
#define IDS_TIP_AUTO_ROTATE 32792
#define IDS_TIP_PLAY_TOUR 32793
#define IDS_TIP_RESET_VIEW 32794
#define IDS_TIP_FULL_SCREEN 32795
#define IDS_DECODE_PROMPT 32796
#define IDS_DECODE_PROMPT_CAPTION 32797
#define IDS_BITMAP_WARNING 32798
#define IDS_BITMAP_WARNING_CAPTION 32799
// the note card's fixed texts, past the required range: a module without
// them (an older tour's) gets the player's own English ones
#define IDS_NOTE_CLOSE 32800
#define IDS_NOTE_LINK 32801

#endif
