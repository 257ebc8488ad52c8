#!/usr/bin/env bash
# The pictures of docs/images are made again by tools/screenshots.sh from the program as built, and
# must still match: the same sizes, and at a few points the colours the program shows and prints
# (map cells used, planned and free, the list of first numbers shown by "Number", the preview's and
# the printed labels' background). Not every byte: antialiased text may differ between systems.
# Usage: screenshots_test.sh EXECUTABLE [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
kb_setup screenshots-test "$1" "${2:-}"
root=$(cd "$KB_E2E_DIR/../.." && pwd)
made=$KB_ROOT/images
bash "$root/tools/screenshots.sh" "$KB_EXE" "$made" >"$KB_ROOT/log/screenshots.log" 2>&1 ||
    kb_fail "tools/screenshots.sh: $(tail -n 20 "$KB_ROOT/log/screenshots.log")"
cp "$made"/*.png "$KB_ARTEFACTS/"

pixel() { convert "$1" -format "%[fx:round(255*u.r)],%[fx:round(255*u.g)],%[fx:round(255*u.b)]" -crop "1x1+$2+$3" info:; }
near() { # near R,G,B R,G,B: every channel within 8
    local -a p q
    local i
    IFS=, read -r -a p <<<"$1"
    IFS=, read -r -a q <<<"$2"
    for i in 0 1 2; do ((p[i] - q[i] <= 8 && q[i] - p[i] <= 8)) || return 1; done
}
near_both() { near "$1" "$3" && near "$2" "$3"; }
grey=128,128,128 red=255,0,0 white=255,255,255 highlight=48,140,198 skyblue=204,255,255 paper_edge=153,153,153
# picture, point, what is there, its colour. Window points are in the client area of "Main"; the
# printed page is at 96 dpi with a one-pixel frame, the printable area's corner 18 pt and 36 pt in.
checks=(
    "entry-screen.png 400 234 memo,_right_of_the_text $white"
    "entry-screen.png 720 271 first-number_list,_item_1_selected $highlight"
    "sheet-screen.png 168 167 map_cell_1,_used $grey"
    "sheet-screen.png 272 239 map_cell_8,_used $grey"
    "sheet-screen.png 168 263 map_cell_9,_planned $red"
    "sheet-screen.png 272 311 map_cell_14,_planned $red"
    "sheet-screen.png 168 335 map_cell_15,_free $white"
    "sheet-screen.png 636 280 preview_background $skyblue"
    "printed-sheet.png 0 0 paper_edge $paper_edge"
    "printed-sheet.png 334 430 label_9 $skyblue"
    "printed-sheet.png 676 559 label_14 $skyblue"
    "printed-sheet.png 334 365 position_7,_not_printed $white"
)
for name in entry-screen.png sheet-screen.png printed-sheet.png; do
    kept=$root/docs/images/$name
    new=$made/$name
    kb_check "$name was made" [ -s "$new" ]
    kb_check "$name: $(identify -format %wx%h "$new") as in docs/images" \
        [ "$(identify -format %wx%h "$new")" = "$(identify -format %wx%h "$kept")" ]
    n=$(stat -c %s "$new") k=$(stat -c %s "$kept")
    kb_check "$name: $n bytes, docs/images' $k (within half to double)" [ $((2 * n)) -ge "$k" -a "$n" -le $((2 * k)) ]
done
for row in "${checks[@]}"; do
    read -r name x y what want <<<"$row"
    got=$(pixel "$made/$name" "$x" "$y") kept=$(pixel "$root/docs/images/$name" "$x" "$y")
    kb_check "$name ${what//_/ } at $x,$y: $want (made $got, docs/images $kept)" \
        near_both "$got" "$kept" "$want"
done
kb_log "PASS"
