# The player's window: where its parts lie on the screen, its mode, its
# dialogs and its status text. Sourced by e2e_common.sh.

# The layout in windowed mode (client coordinates from the probe; viewHeight
# and the skin's places at 96 dpi, enlarged by the scale).
view_box() { echo "$cx $((cy + 36 * scale)) $((cw)) $((viewHeight * scale))"; }
toolbar_y() { echo $((cy + (36 + viewHeight) * scale)); }
status_box() { echo "$((cx + 10 * scale)) $(( $(toolbar_y) + (102 - 34) * scale)) $((300 * scale)) $((20 * scale))"; }
# Centre of toolbar button i (screen coordinates) and its 17 or 31 pixel box.
buttons=("18 29 17" "44 29 17" "31 16 17" "32 42 17" "32 29 17" "86 28 31" "124 28 31" "162 28 31"
  "200 28 31" "238 28 31" "276 28 31")
button_box() { # button_box I
  read -r bx by bs <<<"${buttons[$1]}"
  echo "$((cx + bx * scale)) $(($(toolbar_y) + by * scale)) $((bs * scale)) $((bs * scale))"
}
# in_full_screen, windowed: the main window's mode; its place goes to fx fy fw fh.
in_full_screen() {
  read -r fx fy fw fh _ < <(probe rect) && [ "$fw" -eq "$desktopWidth" -a "$fh" -eq "$desktopHeight" ]
}
# view_has_keys: the keyboard focus is in the player's view, where keys such
# as Escape go to the main window; while a mode changes it may be elsewhere.
view_has_keys() { [ "$(probe focus || true)" = OrbiViewer ]; }
windowed() { read -r fx fy fw fh _ < <(probe rect) && [ "$fw" -lt "$desktopWidth" ]; }
# dialog_open: whether a dialog box of the player shows; dialog_up reads its
# place (dx dy dw dh) and its client area's origin (dcx dcy).
dialog_open() { probe dialog >/dev/null; }
no_dialog() { ! dialog_open; }
dialog_up() { read -r dx dy dw dh dcx dcy < <(probe dialog); }
menus_open() { local count; count=$(probe menus) || count=0; [ "$count" -ge "$1" ]; } # N or more
# status_reads TEXT: the status text on the screen is TEXT, to a few pixels.
status_reads() {
  local differing _
  read -r differing _ < <(probe status "$1")
  [ "${differing:-9999}" -le 3 ]
}
