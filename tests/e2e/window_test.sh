#!/usr/bin/env bash
# The real program under Xvfb: its window "Main" appears at 878 x 613, centred, and draws something
# (screenshot kept as a test artefact); the Japanese captions are covered by the installed IPA face;
# "End" ends it without touching the start file. Without a start file the program says so in one
# message box and, once that is closed, ends by itself without creating the file.
# Usage: window_test.sh EXECUTABLE [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
kb_setup window "$1" "${2:-}"
kb_start_x

# ---- With a start file ----
kb_write_start_file '01\r\n10\r\n10\r\n'
kb_start_app
main_pid=$KB_APP_PID
wid=$(kb_wait_window Main 20 "$main_pid") || kb_fail "no window \"Main\" within 20 s"
sleep 0.5 # let it paint
kb_check "window Main is 878x613 (got $(kb_window_size "$wid"))" [ "$(kb_window_size "$wid")" = 878x613 ]

read -r x y < <(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
# Centred on the 1280 x 1024 screen: (1280 - 878) / 2, (1024 - 613) / 2, within a pixel of rounding.
kb_check "window centred (at $x,$y, want 201,205)" [ $((x - 201)) -ge -1 -a $((x - 201)) -le 1 -a $((y - 205)) -ge -1 -a $((y - 205)) -le 1 ]

kb_check "the window carries a 32 x 32 icon" grep -q 'Icon (32 x 32)' <<<"$(xprop -id "$wid" _NET_WM_ICON)"

shot=$KB_ARTEFACTS/main-window.png
import -window "$wid" "$shot"
kb_log "screenshot: $shot"
colours=$(kb_colour_count "$shot")
kb_check "screenshot is not one flat colour ($colours colours)" [ "$colours" -ge 8 ]
# The caption "Finchor /Kestrelbox" is blue bold text on the button face: blue pixels must be there.
blue=$(convert "$shot" -crop 318x33+392+24 +repage -fx 'b>0.5 && r<0.3 && g<0.3 ? 1 : 0' -format '%[fx:mean*w*h]' info:)
kb_check "caption Label3 drawn in blue ($blue blue pixels)" [ "${blue%.*}" -ge 50 ]

# Every Japanese caption of the two screens and the messages must be covered by the IPA face the
# program names after the MS faces; otherwise Qt would draw them glyph by glyph in another face.
captions='印刷する文字を入力してくださいサンプル数初期値付加記入欄枚数縦方向（＋は下）に移動横方向（＋は右）に移動文字の色背景の色単位　ｍｍスタートファイルがありません。起動できません。バージョン情報ファイルが見つかりませんは整数ではありません'
for face in IPAPGothic IPAGothic IPAPMincho; do
    kb_check "fontconfig knows $face" [ "$(fc-match -f '%{family[0]}' "$face")" = "$face" ]
done
hexes=$(printf '%s' "$captions" | iconv -f UTF-8 -t UTF-32BE | od -An -v -tx4 --endian=big |
    tr -s ' \n' '\n' | sed '/^$/d; s/^0*//' | sort -u | tr '\n' ' ')
missing=""
if [[ -z $(fc-list ":family=IPAPGothic:charset=$hexes" family) ]]; then
    for hex in $hexes; do
        [[ -n $(fc-list ":family=IPAPGothic:charset=$hex" family) ]] || missing+=" U+$hex"
    done
    [[ -n $missing ]] || missing="(the set as a whole)"
fi
kb_check "IPAPGothic covers every caption character (missing: '$missing')" [ -z "$missing" ]

# The About box ("Finchor", 8, 8, 73 x 73): while it is shown the main window takes no input; Enter
# in the box hides it and gives the input back.
kb_click "$wid" 44 44
about=$(kb_wait_window 'バージョン情報' 10 "$main_pid") || kb_fail "no About box"
kb_check "About box client area 298x213 (got $(kb_window_size "$about"))" [ "$(kb_window_size "$about")" = 298x213 ]
import -window "$about" "$KB_ARTEFACTS/about-box.png"
kb_click "$wid" 124 44 # "End" while the box is shown: ignored
sleep 0.5
kb_check "End is ignored while the About box is shown" kb_alive "$main_pid"
kb_focus "$about"
kb_key Return
kb_wait_for 5 bash -c "[ -z \"\$(xdotool search --all --onlyvisible --pid $main_pid --name '^バージョン情報\$')\" ]" ||
    kb_fail "Enter did not hide the About box"
kb_log "ok: Enter hides the About box"
sleep 0.3
kb_check "the click on End made while the box was shown was dropped, not kept for later" kb_alive "$main_pid"

# "End" (tool button at 88, 8, 73 x 73 on the entry screen) closes the window and ends the program.
before=$(od -c "$KB_START_FILE")
kb_click "$wid" 124 44
kb_wait_exit "$main_pid" 10 || kb_fail "program still running 10 s after \"End\""
kb_check "program ended with code 0 after End (got $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 0 ]
kb_check "start file untouched by a session without a print" [ "$(od -c "$KB_START_FILE")" = "$before" ]

# ---- Without a start file (nor the hold file that the session above made beside it) ----
rm -f "$KB_START_FILE" "$KB_INSTALL/.StartFile.txt.kestrelbox-lock"
kb_start_app
pid=$KB_APP_PID
box=$(kb_wait_window Kestrelbox 20 "$pid") || kb_fail "no message box titled Kestrelbox"
# Exactly one message box, and the program is waiting for it.
kb_check "one message box" [ "$(kb_windows Kestrelbox "$pid" | wc -l)" -eq 1 ]
sleep 0.3
kb_check "program waits while the message is shown" kb_alive "$pid"
kb_focus "$box"
kb_key Return
kb_wait_exit "$pid" 5 || kb_fail "program still running 5 s after the message was closed"
kb_check "the program ended by itself with the start file's status 6 (code $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 6 ]
kb_check "still no start file" [ ! -e "$KB_START_FILE" ]
kb_check "no file left beside the executable and its print, code and ledger modules" \
    [ "$(ls -A "$KB_INSTALL" | tr '\n' ' ')" = "Kestrelbox libkb_cups.so libkb_ledger.so libkb_zint.so " ]
kb_log "window test passed"
