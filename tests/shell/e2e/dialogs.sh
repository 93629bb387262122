#!/usr/bin/env bash
# The about box, the picture dialog and the information dialog, each opened
# by its command and from the Help menu: their sizes and places, their links
# (Wine's browser and mailer record what they are given) and how they close;
# then tours without information and without a photo.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

centred() { [ "$dx" -eq $((wx + (ww - dw) / 2)) -a "$dy" -eq $((wy + (wh - dh) / 2)) ]; }
# open_dialog HOW COMMAND MNEMONIC: from a posted command or the Help menu;
# the dialog's place is read once it shows.
open_dialog() {
  if [ "$1" = command ]; then probe command "$2"; else key alt+h "$3"; fi
  wait_until 10 dialog_open && dialog_up || true
}
centre_of() { # centre_of CONTROL: the centre of the dialog's control
  local x y w h
  read -r x y w h < <(probe control "$1")
  echo "$((x + w / 2)) $((y + h / 2))"
}
label_shows() { probe label >/dev/null; }

record_opened
maker=$(probe maker-address)
web='https://tours.example.net/harbour/index.html?from=player&scene=2'
email='tours@example.org'
info=$(python3 -c 'import json, sys; print(json.dumps({"text1": "Harbour Town: a walk along the water",
  "text2": "Twenty characters ok", "text3": "Twenty-one characters", "webAddress": sys.argv[1],
  "emailAddress": sys.argv[2], "text4": "A demo tour.", "picture": "author.jpg"}))' "$web" "$email")
pack dialogs "info=$info"
start dialogs
focus_view

for how in command menu; do
  # The about box: the picture's size, centred; the link opens the maker's
  # address and leaves it open; a click beside the link closes it.
  open_dialog $how IDM_ABOUT p
  check "$how: the about box opens" dialog_open
  gdi_shot "about-$how"
  check "$how: the about box is the picture's 280 x 200 ($dw x $dh)" [ "$dw" -eq 280 -a "$dh" -eq 200 ]
  check "$how: the about box is centred on the main window" centred
  if [ $how = command ]; then
    opened_before=$(opened_count)
    click_at $((dx + 140)) $((dy + 177))
    wait_until 10 opened_more_than "$opened_before" || true
    check "the about link opens the maker's address ($(last_opened))" [ "$(last_opened)" = "$maker" ]
    # The box would have closed in the click's handler, before the address
    # reached the browser.
    check "the about box stays open after its link" dialog_open
  fi
  click_at $((dx + 20)) $((dy + 20))
  check "$how: a click beside the link closes the about box" wait_until 10 no_dialog

  # The picture dialog: the help card's size, centred; a click closes it.
  open_dialog $how IDM_HELP_CARD h
  check "$how: the picture dialog opens" dialog_open
  gdi_shot "picture-$how"
  check "$how: the picture dialog is the card's 440 x 341 ($dw x $dh)" [ "$dw" -eq 440 -a "$dh" -eq 341 ]
  check "$how: the picture dialog is centred" centred
  click_at $((dx + 200)) $((dy + 150))
  check "$how: a click closes the picture dialog" wait_until 10 no_dialog

  # The information dialog keeps its own size, centred; Enter leaves it.
  open_dialog $how IDM_TOUR_INFO a
  check "$how: the information dialog opens" dialog_open
  gdi_shot "info-$how"
  check "$how: the information dialog is centred" centred
  check "$how: the author's photo shows" [ "$(spread "$art/info-$how.png" $((dcx + 20 + 5)) $((dcy + 13 + 5)) 150 180)" -gt 30 ]
  key Return
  # What Enter would close closes within a second.
  sleep 1 # what Enter would close is gone within a second
  check "$how: Enter leaves the information dialog open" dialog_open
  if [ $how = command ]; then
    read -r x y < <(centre_of IDC_INFO_TEXT2)
    hover "$x" "$y"
    # The label of a text that does not fit shows as the pointer comes.
    sleep 0.5
    check "a text of 20 characters shows no label" [ -z "$(probe label || true)" ]
    read -r x y < <(centre_of IDC_INFO_TEXT3)
    hover "$x" "$y"
    wait_until 10 label_shows || true
    read -r lx ly lw lh ltext < <(probe label || echo "0 0 0 0 none")
    gdi_shot info-label
    check "a text of 21 characters shows a label 126 x 20 ($lw x $lh: $ltext)" \
      [ "$lw" -eq 126 -a "$lh" -eq 20 -a "$ltext" = "Twenty-one characters" ]
    # Light yellow over most of it (the rest is its text and border): the
    # label lies above the dialog, whole.
    yellow=$(convert "$art/info-label.png" -crop "${lw}x${lh}+$lx+$ly" +repage \
      -fill white -opaque "rgb(255,250,205)" -fill black +opaque white -format "%[fx:int(mean*100)]" info:)
    check "the label shows above the dialog ($yellow% light yellow)" [ "$yellow" -ge 50 ]
    # Each link opens its address once: the web link's, then the e-mail
    # link's, each one more line of the recorder's.
    read -r x y < <(centre_of IDC_INFO_WEB)
    opened_before=$(opened_count)
    click_at "$x" "$y"
    wait_until 10 opened_more_than "$opened_before" || true
    check "the web link opens the web text unchanged ($(last_opened))" \
      [ "$(opened_count)" -eq $((opened_before + 1)) -a "$(last_opened)" = "$web" ]
    read -r x y < <(centre_of IDC_INFO_EMAIL)
    click_at "$x" "$y"
    wait_until 10 opened_more_than $((opened_before + 1)) || true
    check "the e-mail link opens mailto: once ($(last_opened))" \
      [ "$(opened_count)" -eq $((opened_before + 2)) -a "$(last_opened)" = "mailto:$email" ]
    check "the information dialog stays open after its links" dialog_open
    click_at $((dcx + 100)) $((dcy + 100))
    check "a click beside the links closes the information dialog" wait_until 10 no_dialog
  else
    key Escape
    check "Escape closes the information dialog" wait_until 10 no_dialog
  fi
done
probe close
finish

# No information and no photo: the menu item is greyed (even with the
# sixth text set), and neither the menu, its key I nor the command from
# outside opens the dialog; F1 still opens the about box. Each way is given
# a second and a half, longer than the dialog takes to open above.
pack noinfo 'info={"text4": "Only the sixth text"}'
start noinfo
focus_view
key alt+h a
sleep 1.5 # a dialog the item opened would show by now
check "the greyed information item opens nothing" no_dialog
key Escape Escape
wait_until 10 not menus_open 1 || true
focus_view
key i
sleep 1.5 # a dialog I opened would show by now
check "I opens nothing on a tour without information" no_dialog
probe command IDM_TOUR_INFO
sleep 1.5 # a dialog the command opened would show by now
check "nor does the command" no_dialog
key F1
check "F1 still opens the about box" wait_until 10 dialog_open
key Escape
wait_until 10 no_dialog || true
probe close
finish

# Information without a photo: the dialog paints none.
pack nophoto 'info={"text1": "A tour without a photo"}'
start nophoto
probe command IDM_TOUR_INFO
wait_until 10 dialog_open || true
# A photo is painted with the dialog, within a second of its showing.
sleep 1 # a photo would be painted within a second
dialog_up
gdi_shot info-empty
check "no photo is painted without one" [ "$(spread "$art/info-empty.png" $((dcx + 10)) $((dcy + 18)) 190 190)" -lt 3 ]
key Escape
wait_until 10 no_dialog || true
probe close
finish
conclude
