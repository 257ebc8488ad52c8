#!/usr/bin/env bash
# Printing on a real printer's queue: one made from a vendor's PPD that Debian ships (cups-filters),
# whose own default paper is Letter, with every job passing through the queue's real filter chain.
# First the scheduler's spool and the program's TMPDIR are full (a tmpfs filled to the last byte; only
# when run as root, which may mount one): the run must say so, send nothing and store nothing. Then
# 10 numbered blue labels from position 21 go through the print dialog as the user leaves it (Return):
# the document must be A4, and every block, the bottom row included, where the layout puts it, to a
# pixel at 600 dpi.
# Usage: field_test.sh EXECUTABLE [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
kb_setup field "$1" "${2:-}"
ppd=/usr/share/ppd/cupsfilters/HP-Color_LaserJet_CM3530_MFP-PDF.ppd
[[ -r $ppd ]] || kb_fail "no vendor PPD at $ppd (cups-filters is not installed)"
KB_CUPS_FILTERS=1 kb_start_cups "$ppd"
kb_check "the queue's own default paper is Letter" grep -q '^\*DefaultPageSize: Letter' "$KB_CUPS/etc/ppd/kbtest.ppd"
kb_start_x
kb_write_start_file '21\r\n10\r\n10\r\n'

kb_start_main

# HELLO / ABC, numbered from 1, 10 labels, PrintSet, blue labels.
kb_enter_hello_abc 10
click_panel $((576 + 60)) $((304 + 28)) # PrintSet
sleep 0.5
click_panel $((460 + 30)) $((304 + 8)) # ListBox11, item "White"
kb_key Down Down Down Down Down          # ... to "Blue"
start_file_before=$(od -An -c "$KB_START_FILE")

# ---- A full spool and a full TMPDIR: reported, nothing sent, nothing stored ----
fill() { # fill FOLDER: a small tmpfs on it, filled to the last byte; fails where mounting is not allowed
    mount -t tmpfs -o size=256k,mode=0777 tmpfs "$1" 2>/dev/null || return 1
    KB_MOUNTS+=("$1")
    mkdir -p "$1/tmp" && chmod 1777 "$1/tmp"
    dd if=/dev/zero of="$1/fill" bs=4k 2>/dev/null || true
}
if ((EUID != 0)); then
    kb_log "SKIPPED: the full-spool case needs root to mount a small tmpfs (running as $(id -un))"
elif ! fill "$KB_CUPS/spool" || ! fill "$TMPDIR"; then
    for m in "${KB_MOUNTS[@]}"; do umount -l "$m"; done
    KB_MOUNTS=()
    kb_log "SKIPPED: the full-spool case: this machine does not let root mount a tmpfs"
else
    dlg=$(kb_open_print_dialog field)
    kb_focus "$dlg"
    kb_key Return
    box=$(kb_wait_window Kestrelbox 20 "$pid") || kb_fail "full spool: no message"
    kb_log "ok: full spool: the program reports the failed run"
    kb_screenshot full-spool-message >/dev/null
    kb_focus "$box"
    kb_key Return
    sleep 1
    kb_check "full spool: start file byte-identical" [ "$(od -An -c "$KB_START_FILE")" = "$start_file_before" ]
    kb_check "full spool: no document came out" [ "$(kb_job_count)" -eq 0 ]
    kb_check "full spool: no job is left in the queue" [ -z "$(lpstat -o kbtest 2>/dev/null)" ]
    for m in "${KB_MOUNTS[@]}"; do umount -l "$m"; done
    KB_MOUNTS=()
fi

# ---- The run through the vendor queue, with the dialog as it opens ----
dlg=$(kb_open_print_dialog field)
kb_screenshot field-dialog >/dev/null
kb_focus "$dlg"
kb_key Return
kb_wait_for 60 kb_have_jobs 1 || kb_fail "no document came out of the filter chain (queue: $(lpstat -o 2>&1))"
kb_wait_for 20 grep -q '^01' "$KB_START_FILE" || kb_fail "start file not advanced to 01"
doc=$(kb_jobs_out | head -n1)
cp "$doc" "$KB_ARTEFACTS/field-run.pdf"
size=$(pdfinfo "$doc" | awk -F': *' '/^Page size/ {print $2}')
kb_check "the document is A4 (page size: $size)" grep -q '^595\(\.[0-9]*\)\? x 842\(\.[0-9]*\)\? pts' <<<"$size"
text=$(pdftotext -layout "$doc" -)
kb_check "serial numbers 1..10, each once" \
    [ "$(grep -ow 'ABC-[0-9]*' <<<"$text" | sort -V | tr '\n' ' ')" = "ABC-1 ABC-2 ABC-3 ABC-4 ABC-5 ABC-6 ABC-7 ABC-8 ABC-9 ABC-10 " ]

# Every blue block at 600 dpi, from the printable corner the PPD gives for A4 (18 pt left, 36 pt top).
dpi=600
hx() { echo $(((18 * dpi * 250 + $1 * dpi * 72) / 18000)); } # layout units -> page pixels
vy() { echo $(((36 * dpi * 250 + $1 * dpi * 72) / 18000)); }
near() { local d=$(($1 - $2)); ((d >= -1 && d <= 1)); }
pdftoppm -r 100 -png -singlefile "$doc" "$KB_ARTEFACTS/field-run"
# Rows 9..14 only (positions 17..30), read once: Y0 is the page row of the crop's top.
Y0=$(($(vy $((260 + 168 * 8))) - 40))
pdftoppm -r $dpi -x 0 -y $Y0 -W "$(hx 2600)" -H $(($(vy 2800) - Y0)) -singlefile "$doc" "$KB_ROOT/field"
png=$KB_ROOT/field.ppm
for p in $(seq 21 30); do
    x=$((305 + (p % 2 == 0 ? 890 : 0)))
    y=$((260 + 168 * ((p - 1) / 2)))
    l=$(hx $x) t=$(vy $y) r=$(hx $((x + 620))) b=$(vy $((y + 120)))
    # The blue pixels around where the block belongs (20 px to spare on every side).
    read -r gl gt gr gb < <(convert "$png" -crop "$((r - l + 40))x$((b - t + 40))+$((l - 20))+$((t - 20 - Y0))" +repage \
        -fill black +opaque 'rgb(0,0,255)' -fill white -opaque 'rgb(0,0,255)' -trim \
        -format "%[fx:page.x+$l-20] %[fx:page.y+$t-20] %[fx:page.x+w+$l-20] %[fx:page.y+h+$t-20]\n" info:)
    kb_check "position $p: block $gl,$gt..$gr,$gb where the layout puts it ($l,$t..$r,$b)" \
        eval 'near "$gl" "$l" && near "$gt" "$t" && near "$gr" "$r" && near "$gb" "$b"'
done
for p in 19 20; do # above the run: paper only
    y=$((260 + 168 * ((p - 1) / 2)))
    got=$(kb_rect_colours "$png" "$(hx 400)" $(($(vy $((y + 20))) - Y0)) 40 40 | tr '\n' ' ')
    kb_check "position $p is left blank (got $got)" [ "$got" = "255,255,255 " ]
done
kb_check "program still running" kb_alive "$pid"
kb_stop_cups
kb_log "field test passed"
