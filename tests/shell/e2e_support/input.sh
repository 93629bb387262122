# Input: keys, the pointer, the scene menu and the toolbar's buttons. Sourced
# by e2e_common.sh.

key() { xdotool key --delay 100 "$@"; }
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; } # hold KEY SECONDS
# hover X Y: the pointer to X Y, then a pixel on: Wine takes a move as one.
hover() { xdotool mousemove "$1" "$2" sleep 0.2 mousemove "$(($1 + 1))" "$2"; }
click_at() { hover "$1" "$2"; xdotool sleep 0.3 click 1; }
# focus_view: a click in the view, which the player takes before the next keys.
focus_view() { click_at $((cx + cw / 2)) $((cy + (36 + viewHeight / 2) * scale)); sleep 0.5; }

# The scene menu, opened and shot as Windows draws it.
scene_menu() {
  click_at $((wx + 60)) $((cy - 10))
  wait_until 10 menus_open 1 || true
  gdi_shot "$1"
  key Escape Escape
  focus_view
}
# check_row SHOT: the row of the checked item's mark in the scene menu (a
# filled blue circle in the menu's left column), or -1 when none shows.
check_row() {
  convert "$art/$1.png" -crop "30x200+$((wx + 35))+$cy" +repage txt:- | python3 -c '
import re, sys
rows = [int(m.group(2)) for line in sys.stdin
      for m in [re.match(r"(\d+),(\d+): \((\d+),(\d+),(\d+)", line)] if m
      and int(m.group(3)) < 100 and int(m.group(4)) < 170 and int(m.group(5)) > 150]
print(sum(rows) // len(rows) if rows else -1)'
}

# press_button I PREVIOUS NAME: toolbar button I at its place on the screen:
# its hover look and help text (against the shot PREVIOUS), then a click, its
# pressed look and what it does; the shots are NAME-hover-I, NAME-pressed-I and
# so on. Button 10 (full screen) is only hovered and clicked.
press_button() {
  local i=$1 previous=$2 name=$3 x y s
  read -r x y s _ <<<"$(button_box "$i")"
  hover $((x + s / 2)) $((y + s / 2))
  check "button $i: hover look" shot_when changed "$previous" "$name-hover-$i" "$x" "$y" "$s" "$s"
  check "button $i: help text" shot_when changed "$previous" "$name-hover-$i" $(status_box)
  xdotool click 1
  [ "$i" = 10 ] && return 0
  # The scene buttons draw their pressed look once the scene has loaded.
  check "button $i: pressed look" \
    shot_when changed "$name-hover-$i" "$name-pressed-$i" "$x" "$y" "$s" "$s"
  case $i in
  0 | 1 | 2 | 3 | 8 | 9)
    check "button $i: the view moves" shot_when changed "$name-pressed-$i" "$name-moving-$i" $(view_box)
    ;;
  4)
    # A frame drawn before the stop may still reach the screen: the view is
    # shot once it stands, then after as long as a few frames would take.
    settle "$name-pressed-$i" $(view_box)
    sleep 0.5
    shot "$name-stopped-$i"
    MAX_SAME=0 check "button 4: the view stands still" same "$name-pressed-$i" "$name-stopped-$i" $(view_box)
    ;;
  5 | 6 | 7)
    check "button $i: the view changes" shot_when changed "$name-hover-$i" "$name-changed-$i" $(view_box)
    settle "$name-changed-$i" $(view_box)
    ;;
  esac
}
