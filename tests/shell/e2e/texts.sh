#!/usr/bin/env bash
# Texts in any language on a system whose code page is 1252: a language
# module with Cyrillic strings shows them in the title, the status line and a
# message box; a tour titled in Greek, which tourpack stores in code page
# 1253 and names so in its extension block, shows that title in its caption
# and status line.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

patch_tour() { run "$build/bin/tour_patch.exe" "$@"; }
title_is() { [ "$(probe title)" = "$1" ]; }
box_is() { [ "$(probe boxes)" = "$1" ]; }

# Scene 2 of the Cyrillic tour is spoilt: going there asks, in Cyrillic,
# whether to go on.
pack cyrillic "language=\"$build/bin/test-lang/cyrillic.dll\""
patch_tour spoil-scene "$work/cyrillic.exe" 2 || fail "scene 2 could not be spoilt"
start cyrillic
check "the caption is the module's Cyrillic ($(probe title))" \
  title_is "Harbour Town-Виртуальный тур"
read -r x y s _ <<<"$(button_box 6)"
hover $((x + s / 2)) $((y + s / 2))
check "the next-scene button's help shows in Cyrillic in the status line" \
  wait_until 10 status_reads "Следующая сцена"
gdi_shot cyrillic-status
hover $((cx + cw / 2)) $((cy + 100))
probe command IDM_NEXT_SCENE
wait_until 30 box_is "Картинку не показать	Картинку тура не прочитать. Продолжить?" || true
gdi_shot cyrillic-box
check "the decode prompt's caption and text are the module's Cyrillic ($(probe boxes | tr '\t' '|'))" \
  box_is "Картинку не показать	Картинку тура не прочитать. Продолжить?"
probe box "Картинку не показать" no
ended "$player" || fail "the player did not end after No"
check "No ends the run with 1 ($status)" [ "$status" = 1 ]
check "it leaves nothing behind" [ "$(temp_files)" = "$files_before_start" ]

greek="Λιμάνι της πόλης"
pack greek "title=\"$greek\""
start greek
check "the Greek title shows in the caption ($(probe title))" \
  title_is "$greek-Lumivue virtual tour"
check "and in the status line" wait_until 10 status_reads "$greek(1-5)-Old quay"
gdi_shot greek
probe close
finish
conclude
