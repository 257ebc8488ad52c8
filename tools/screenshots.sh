#!/usr/bin/env bash
# Makes the pictures of docs/images from the real program: the built Kestrelbox runs under a private
# Xvfb with a start file of its own and prints to a private CUPS queue (the end-to-end tests' harness,
# tests/e2e/lib.sh); xdotool types and clicks where the controls are. It builds nothing.
# Usage: tools/screenshots.sh [EXECUTABLE [OUT_DIR]]   (defaults: build/bin/Kestrelbox, docs/images)
# Writes entry-screen.png, sheet-screen.png and printed-sheet.png into OUT_DIR.
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/lib.sh"
exe=${1:-$root/build/bin/Kestrelbox}
out=${2:-$root/docs/images}
mkdir -p "$out"
out=$(cd "$out" && pwd)
kb_setup screenshots "$exe"
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
kb_start_x
# Earlier runs used the sheet up to position 6; the run below starts at 9, picked on the map.
kb_write_start_file '07\r\n10\r\n10\r\n\r\n0\r\n'

# The pictures go through a palette of 256 colours (the windows hold flat faces and antialiased text), without dithering, metadata or time stamps, so that a picture made again from an
# unchanged window is the same file.
optimise() { # optimise PNG NAME
    convert "$1" -strip +dither -colors 256 -define png:exclude-chunks=date,time \
        -define png:compression-level=9 "PNG8:$out/$2"
    kb_log "$2: $(identify -format '%wx%h' "$out/$2"), $(stat -c %s "$out/$2") bytes"
}
# The mouse rests on the bare window (right of the captions) so that no control shows its hover look.
shoot_window() { # shoot_window NAME
    xdotool mousemove --window "$w" 860 110
    sleep 0.5
    import -window "$w" "$KB_ROOT/$1"
    optimise "$KB_ROOT/$1" "$1"
}

kb_start_main

# ---- The entry screen: two lines typed, "Number" on, 6 labels ----
kb_enter_hello_abc 6
shoot_window entry-screen.png

# ---- The sheet screen: the run placed from position 9, sky-blue labels with blue text ----
click_panel $((576 + 60)) $((304 + 28)) # PrintSet
sleep 0.5
# Image2 lies at 56, 16 on the sheet screen; position 9 is column 1 (x 16..96), row 5 (y 104..118).
click_panel $((56 + 56)) $((16 + 111))
kb_wait_for 5 grep -q '^09' "$KB_START_FILE" || kb_fail "a click on the map cell of position 9 did not store it"
click_panel $((296 + 30)) $((304 + 8)) # ListBox10 (text colour), item "Black"
kb_key Down Down Down                  # ... to "Blue"
click_panel $((460 + 30)) $((304 + 8)) # ListBox11 (background), item "White"
kb_key Down Down Down                  # ... to "Skyblue"
shoot_window sheet-screen.png

# ---- Print: the dialog's default queue is the private one; the page it received, rasterised ----
dlg=$(kb_open_print_dialog print)
kb_focus "$dlg"
kb_key Return
kb_wait_for 30 kb_have_jobs 1 || kb_fail "no document reached the queue ($(lpstat -o 2>&1))"
job=$(kb_jobs_out | head -n1)
kb_wait_for 10 pdfinfo "$job" >/dev/null 2>&1 || kb_fail "the document is not a whole PDF"
pdftoppm -r 96 -png -singlefile "$job" "$KB_ROOT/page"
# A grey line of one pixel around the page marks the paper's edge on a white background.
convert "$KB_ROOT/page.png" -bordercolor 'rgb(153,153,153)' -border 1 "$KB_ROOT/printed-sheet.png"
optimise "$KB_ROOT/printed-sheet.png" printed-sheet.png
kb_log "pictures written to $out"
