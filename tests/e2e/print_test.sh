#!/usr/bin/env bash
# A numbered run of 5 labels from position 28, printed by the real program through the print dialog
# to a private CUPS queue whose backend keeps Qt's PDF byte for byte. First a cancelled dialog, a queue
# that refuses jobs and a stopped queue must send and store nothing. Run 1 uses the default colours
# (white labels) and no offset: its text and where its ink lies are checked, and during the hold that
# follows the window must ignore input but keep painting. Then line 1 becomes Japanese, a click on the
# sheet map chooses position 28 again, the print is moved 5 mm down and 5 mm left, the background is
# set to "Blue", and run 2 goes through the same queue: its label blocks are checked by pixel. Each run
# gives two one-page documents (positions 28..30, then 1..2), every label with its own serial number,
# and leaves the start file at position 3 with the offsets of the lists.
# Usage: print_test.sh EXECUTABLE [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
kb_setup print "$1" "${2:-}"
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
kb_start_x
kb_write_start_file '28\r\n10\r\n10\r\n'

kb_start_main

# ---- Entry screen: HELLO / ABC, numbered, 5 labels ----
kb_enter_hello_abc 5
kb_screenshot entry >/dev/null

print_once() { # print_once RUN-NAME JOBS-BEFORE OFFSET-DOWN OFFSET-RIGHT (the saved offset lines)
    local name=$1 before=$2 down=$3 right=$4 dlg
    dlg=$(kb_open_print_dialog "$name")
    kb_focus "$dlg"
    kb_key Return
    local t0
    t0=$(date +%s)
    kb_wait_for 30 kb_have_jobs $((before + 2)) ||
        kb_fail "$name: $(($(kb_job_count) - before)) of 2 documents arrived (queue: $(lpstat -o 2>&1))"
    kb_log "$name: two documents arrived after $(($(date +%s) - t0)) s"
    # The run ends with the start file written and the window enabled again on the entry screen.
    kb_wait_for 30 grep -q '^03' "$KB_START_FILE" || kb_fail "$name: start file not advanced"
    hold_start=$(date +%s%N) # the window is now held for 12 s
    sleep 1
    kb_check "$name: a third document does not follow" [ "$(kb_job_count)" -eq $((before + 2)) ]
    kb_check "$name: start file is 03, $down, $right, empty, 0 with CR LF" \
        [ "$(od -An -c "$KB_START_FILE" | tr -s ' \n' ' ')" = " 0 3 \r \n ${down:0:1} ${down:1:1} \r \n ${right:0:1} ${right:1:1} \r \n \r \n 0 \r \n " ]
}

# PrintSet, leaving the entry screen.
click_panel $((576 + 60)) $((304 + 28))
sleep 0.5
kb_screenshot sheet-1 >/dev/null
start_file_before=$(od -An -c "$KB_START_FILE")
nothing_changed() { # nothing_changed NAME: no document, start file as it was, program running
    sleep 1
    kb_check "$1: no document" [ "$(kb_job_count)" -eq 0 ]
    kb_check "$1: start file unchanged" [ "$(od -An -c "$KB_START_FILE")" = "$start_file_before" ]
    kb_check "$1: program still running" kb_alive "$pid"
}

# ---- Cancelled dialog: nothing happens ----
dlg=$(kb_open_print_dialog cancel)
kb_focus "$dlg"
kb_key Escape
kb_wait_for 5 bash -c "[ -z \"\$(xdotool search --all --onlyvisible --pid $pid --name '.' | grep -vx $w)\" ]" ||
    kb_fail "cancel: the dialog did not close"
nothing_changed cancel

# ---- A queue that refuses jobs, or is stopped: reported, nothing sent, nothing stored ----
for state in reject disable; do
    case $state in
    reject) cupsreject kbtest ;;
    disable) cupsdisable kbtest ;;
    esac
    dlg=$(kb_open_print_dialog "$state")
    kb_focus "$dlg"
    kb_key Return
    box=$(kb_wait_window Kestrelbox 10 "$pid") || kb_fail "$state: no message for a queue that cannot print"
    kb_log "ok: $state: the program reports the queue"
    kb_screenshot "$state-message" >/dev/null
    nothing_changed "$state"
    kb_focus "$box"
    kb_key Return
    kb_wait_for 5 bash -c "[ -z \"\$(xdotool search --all --onlyvisible --pid $pid --name '^Kestrelbox\$')\" ]" ||
        kb_fail "$state: the message did not close"
    case $state in
    reject) cupsaccept kbtest ;;
    disable) cupsenable kbtest ;;
    esac
done
kb_check "no job is waiting in the queue" [ -z "$(lpstat -o kbtest 2>/dev/null)" ]

print_once run1 0 10 10
mapfile -t jobs < <(kb_jobs_out)
# ---- The 12 s hold after run 1: the window takes no input but keeps painting ----
before=$KB_ROOT/hold-before.png
after=$KB_ROOT/hold-after.png
import -window "$w" "$before"
# It keeps its look: the preview (the frame and memo at 334, 238 in the window, 343 x 53) is the one
# of the screenshot taken on the sheet screen before any run, and the busy cursor shows over it (read
# through XFixes, and later compared with the display's busy cursor and with the cursor at the same
# point after the hold).
read -r wx wy < <(xwininfo -id "$w" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}')
convert "$KB_ARTEFACTS/$KB_TEST-sheet-1.png" -crop "343x53+$((wx + 334))+$((wy + 238))" +repage "$KB_ROOT/preview-before.png"
convert "$before" -crop 343x53+334+238 +repage "$KB_ROOT/preview-held.png"
preview_px=$(compare -metric AE "$KB_ROOT/preview-before.png" "$KB_ROOT/preview-held.png" null: 2>&1 || true)
kb_check "the held window's preview looks as before the run ($preview_px pixels differ)" [ "${preview_px%.*}" -eq 0 ]
xdotool mousemove --window "$w" 700 110 # bare window on both screens
sleep 0.2
busy_cursor=$("$KB_E2E_DIR/cursor.py")
xmessage -title Cover -geometry 500x300+350+330 "a window passing over Main" >/dev/null 2>&1 &
cover=$!
KB_PIDS+=("$cover")
kb_wait_window Cover 5 >/dev/null || kb_fail "no covering window"
sleep 0.5
kill "$cover"
wait "$cover" 2>/dev/null || true
sleep 1
import -window "$w" "$after"
cp "$after" "$KB_ARTEFACTS/print-hold-repainted.png"
diff_px=$(compare -metric AE "$before" "$after" null: 2>&1 || true)
kb_check "the held window repaints what another window uncovered ($diff_px pixels differ)" [ "${diff_px%.*}" -le 20 ]
# "End" (at 168 on the sheet screen) must do nothing while the window is held, not even afterwards.
kb_click "$w" $((168 + 36)) 44
left=$((13000 - ($(date +%s%N) - hold_start) / 1000000))
kb_check "still within the hold (${left} ms left)" [ "$left" -gt 1000 ]
sleep "$((left / 1000)).$((left % 1000 / 100))"
sleep 1
kb_check "a click on End during the hold did not end the program" kb_alive "$pid"
xdotool mousemove --window "$w" 700 110
sleep 0.2
normal_cursor=$("$KB_E2E_DIR/cursor.py")
busy_pictures=$("$KB_E2E_DIR/cursor.py" busy) # every picture of the animated busy cursor
kb_check "the busy cursor during the hold ($busy_cursor), the normal one after it ($normal_cursor)" \
    bash -c 'grep -qxF "$1" <<<"$3" && ! grep -qxF "$2" <<<"$3"' _ "$busy_cursor" "$normal_cursor" "$busy_pictures"
# Back on the entry screen: "Exit" hidden, so the second tool-button slot (168, 8, 73 x 73) is bare.
import -window "$w" "$KB_ARTEFACTS/print-after-run1.png"
slot=$(kb_rect_colours "$KB_ARTEFACTS/print-after-run1.png" 168 8 73 73 | wc -l)
kb_check "after the hold the window is back on the entry screen (slot 2 has $slot colours)" [ "$slot" -eq 1 ]

# ---- Run 1: text ----
for i in 0 1; do
    pages=$(pdfinfo "${jobs[i]}" | awk '/^Pages:/ {print $2}')
    kb_check "run1 document $((i + 1)) has one page (got $pages)" [ "$pages" = 1 ]
done
text1=$(pdftotext -layout "${jobs[0]}" -)
text2=$(pdftotext -layout "${jobs[1]}" -)
count() { grep -o -w -- "$1" <<<"$2" | wc -l || true; } # occurrences of a word (0 is no failure)
kb_check "sheet 1 shows HELLO on 3 labels (got $(count HELLO "$text1"))" [ "$(count HELLO "$text1")" -eq 3 ]
kb_check "sheet 2 shows HELLO on 2 labels (got $(count HELLO "$text2"))" [ "$(count HELLO "$text2")" -eq 2 ]
for n in 1 2 3; do
    kb_check "sheet 1 has ABC-$n once" [ "$(count "ABC-$n" "$text1")" -eq 1 ]
    kb_check "sheet 2 has no ABC-$n" [ "$(count "ABC-$n" "$text2")" -eq 0 ]
done
for n in 4 5; do
    kb_check "sheet 2 has ABC-$n once" [ "$(count "ABC-$n" "$text2")" -eq 1 ]
    kb_check "sheet 1 has no ABC-$n" [ "$(count "ABC-$n" "$text1")" -eq 0 ]
done
kb_check "no serial number beyond 5" [ -z "$(grep -oE 'ABC-([6-9]|[1-9][0-9]+)' <<<"$text1$text2" || true)" ]

# ---- Run 2: blue labels from position 28 again, chosen on the sheet map ----
# Line 1 becomes Japanese: it must reach the paper in a face that has its characters.
click_panel $((40 + 30)) $((88 + 12)) # Memo1
kb_key ctrl+Home shift+End
kb_type ラベル
click_panel $((576 + 60)) $((304 + 28)) # PrintSet
sleep 0.5
# Image2 lies at 56, 16 on the sheet screen; position 28 is column 2 (x 146..199), row 14 (y 320..334).
click_panel $((56 + 170)) $((16 + 327))
kb_wait_for 5 grep -q '^28' "$KB_START_FILE" || kb_fail "a click on the map cell of position 28 did not store it"
kb_check "the map click wrote 28, 10, 10 with CR LF" \
    [ "$(od -An -c "$KB_START_FILE" | tr -s ' \n' ' ')" = " 2 8 \r \n 1 0 \r \n 1 0 \r \n " ]
# Offsets: "5" (index 20, 5 mm down) in ListBox7 and "-5" (index 0, 5 mm left) in ListBox6; the
# lists sit in GroupBox2 (280, 176) at 16, 50 and 180, 50 and show the selected "0" at the top.
click_panel $((280 + 16 + 20)) $((176 + 50 + 6)) # ListBox7, item "0"
kb_key End Up                                      # ... to the last item, then back one to "5"
click_panel $((280 + 180 + 20)) $((176 + 50 + 6)) # ListBox6, item "0"
kb_key Home                                        # ... to "-5"
click_panel $((460 + 30)) $((304 + 8)) # ListBox11, item "White"
kb_key Down Down Down Down Down                 # ... to "Blue"
sleep 0.3
kb_screenshot sheet-blue >/dev/null
print_once run2 2 20 00
mapfile -t jobs < <(kb_jobs_out)

# ---- Run 2: pixels ----
# Device coordinates start at the printable area's top-left corner: the queue's PPD puts it 18 pt from
# the left and 36 pt from the top of the A4 page. Rasterised at 50 dpi a layout unit (1/250 inch) is
# 1/5 pixel; edges are checked to a pixel.
dpi=50
ML=18 MT=36
declare -a png
for i in 2 3; do
    pdftoppm -r $dpi -png -singlefile "${jobs[i]}" "$KB_ROOT/sheet$i"
    png[i]=$KB_ROOT/sheet$i.png
    cp "${png[i]}" "$KB_ARTEFACTS/print-run2-sheet$((i - 1)).png"
done
blue_box() { # left top right bottom of the blue pixels
    convert "$1" -fill black +opaque 'rgb(0,0,255)' -fill white -opaque 'rgb(0,0,255)' -trim \
        -format '%[fx:page.x] %[fx:page.y] %[fx:page.x+w-1] %[fx:page.y+h-1]\n' info:
}
px() { echo $(($1 * dpi / 250)); }                         # layout units -> pixels (truncated)
# Layout units -> page pixels, with the print offsets SX, SY (layout units) of the run checked.
hx() { echo $(((ML * dpi * 250 + ($1 + SX) * dpi * 72) / 18000)); }
vy() { echo $(((MT * dpi * 250 + ($1 + SY) * dpi * 72) / 18000)); }
# Run 2 was moved 5 mm (50 units) down and 5 mm left.
SX=-50 SY=50
read -r l1 t1 r1 b1 < <(blue_box "${png[2]}")
read -r l2 t2 r2 b2 < <(blue_box "${png[3]}")
kb_log "blue on sheet 1: $l1,$t1..$r1,$b1; sheet 2: $l2,$t2..$r2,$b2"
near() { local d=$(($1 - $2)); ((d >= -1 && d <= 1)); }
# Sheet 1: positions 28, 29, 30 (rows 13 and 14); sheet 2: 1, 2 (row 0).
kb_check "sheet 1 blue starts at the left column (x $l1)" near "$l1" "$(hx 305)"
kb_check "sheet 1 blue starts at row 13 (y $t1)" near "$t1" "$(vy $((260 + 168 * 13)))"
kb_check "sheet 1 blue ends at the right column's right edge (x $r1)" near "$r1" "$(hx $((305 + 890 + 620)))"
kb_check "sheet 1 blue ends at the bottom of row 14 (y $b1)" near "$b1" "$(vy $((260 + 168 * 14 + 120)))"
kb_check "sheet 2 blue starts at the left column (x $l2)" near "$l2" "$(hx 305)"
kb_check "sheet 2 blue starts at row 0 (y $t2)" near "$t2" "$(vy 260)"
kb_check "sheet 2 blue ends at the right column's right edge (x $r2)" near "$r2" "$(hx $((305 + 890 + 620)))"
kb_check "sheet 2 blue ends at the bottom of row 0 (y $b2)" near "$b2" "$(vy $((260 + 120)))"

# The part of a label right of its text (units 420..600 across, 15..105 down), inset by a pixel.
label_area() { # label_area POSITION -> x y w h in pixels
    local p=$1 x y
    x=$((305 + (p % 2 == 0 ? 890 : 0)))
    y=$((260 + 168 * ((p - 1) / 2)))
    local x0=$(($(hx $((x + 420))) + 1)) y0=$(($(vy $((y + 15))) + 1))
    local x1=$(($(hx $((x + 600))) - 1)) y1=$(($(vy $((y + 105))) - 1))
    echo $x0 $y0 $((x1 - x0)) $((y1 - y0))
}
colours_at() {
    local area
    read -r -a area < <(label_area "$2")
    kb_rect_colours "$1" "${area[@]}" | tr '\n' ' ' | sed 's/ $//'
}
check_label() { # check_label PNG SHEET POSITION WANT
    local got
    got=$(colours_at "$1" "$3")
    kb_check "sheet $2 position $3 is $4 (got $got)" [ "$got" = "$4" ]
}
for p in 28 29 30; do check_label "${png[2]}" 1 $p "0,0,255"; done
for p in 1 2 26 27; do check_label "${png[2]}" 1 $p "255,255,255"; done
for p in 1 2; do check_label "${png[3]}" 2 $p "0,0,255"; done
for p in 3 4 30; do check_label "${png[3]}" 2 $p "255,255,255"; done

# Text of run 2 as well: the Japanese line on every label, and the colour changed nothing of the
# numbering.
text1=$(pdftotext -layout "${jobs[2]}" -)
text2=$(pdftotext -layout "${jobs[3]}" -)
kb_check "run 2 sheet 1 shows ラベル on 3 labels" [ "$(count ラベル "$text1")" -eq 3 ]
kb_check "run 2 sheet 2 shows ラベル on 2 labels" [ "$(count ラベル "$text2")" -eq 2 ]
kb_check "run 2 has no HELLO left" [ "$(count HELLO "$text1$text2")" -eq 0 ]
for i in 2 3; do
    faces=$(pdffonts "${jobs[i]}" | tail -n +3 | awk '{print $1}' | tr '\n' ' ')
    kb_log "fonts in document $((i + 1)): $faces"
    kb_check "document $((i + 1)) embeds a Japanese face (IPA)" grep -q 'IPA' <<<"$faces"
done
kb_check "run 2 numbers 1..3 on sheet 1 and 4..5 on sheet 2" \
    [ "$(grep -ow 'ABC-[0-9]*' <<<"$text1" | sort | tr '\n' ' ')$(grep -ow 'ABC-[0-9]*' <<<"$text2" | sort | tr '\n' ' ')" = "ABC-1 ABC-2 ABC-3 ABC-4 ABC-5 " ]

# ---- Run 1 again, by pixel: text only inside the labels it printed ----
SX=0 SY=0 # run 1 was not moved
for i in 0 1; do
    pdftoppm -r $dpi -png -singlefile "${jobs[i]}" "$KB_ROOT/white$i"
    cp "$KB_ROOT/white$i.png" "$KB_ARTEFACTS/print-run1-sheet$((i + 1)).png"
done
# Paint the expected label rectangles white: nothing else on the page may be other than white.
blank_out() { # blank_out PNG POSITIONS...
    local f=$1 draw="" p x y
    shift
    for p in "$@"; do
        x=$((305 + (p % 2 == 0 ? 890 : 0)))
        y=$((260 + 168 * ((p - 1) / 2)))
        draw+="rectangle $(($(hx x) - 2)),$(($(vy y) - 2)) $(($(hx $((x + 620))) + 2)),$(($(vy $((y + 120))) + 2)) "
    done
    convert "$f" -fill white -draw "$draw" -depth 8 -unique-colors txt:- |
        sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p' | tr '\n' ' ' | sed 's/ $//'
}
kb_check "run 1 sheet 1 prints nothing outside positions 28..30" [ "$(blank_out "$KB_ROOT/white0.png" 28 29 30)" = "255,255,255" ]
kb_check "run 1 sheet 2 prints nothing outside positions 1..2" [ "$(blank_out "$KB_ROOT/white1.png" 1 2)" = "255,255,255" ]
dark_in() { # number of dark pixels in the text half of a label: dark_in PNG POSITION
    local p=$2 x y
    x=$((305 + (p % 2 == 0 ? 890 : 0)))
    y=$((260 + 168 * ((p - 1) / 2)))
    convert "$1" -crop "$(px 350)x$(px 120)+$(hx x)+$(vy y)" +repage \
        -colorspace gray -threshold 50% -negate -format '%[fx:round(mean*w*h)]' info:
}
for p in 28 29 30; do
    kb_check "run 1 sheet 1 position $p carries text" [ "$(dark_in "$KB_ROOT/white0.png" $p)" -ge 10 ]
done
for p in 1 2; do
    kb_check "run 1 sheet 2 position $p carries text" [ "$(dark_in "$KB_ROOT/white1.png" $p)" -ge 10 ]
done

kb_check "program still running" kb_alive "$pid"
kb_stop_cups
kb_log "print test passed"
