#!/usr/bin/env bash
# kestrelbox-print, the command beside the window. Without any display: a numbered run of 5 labels from
# position 28 written to a PDF (two A4 pages, blue blocks where the window puts them, moved 5 mm down
# and 5 mm left, each label's own number, the same labels --list shows) stores nothing. Then through a
# private CUPS queue: a run of two documents advances the start file; a queue that refuses jobs, a
# stopped queue and an unknown queue end with status 3 and send and store nothing. Last, with the real
# window running, a printing run is refused with status 4 while --list and --output still work. The
# arguments reach the command as typed (a leading byte-order mark, Qt's own option names after --),
# and --list into a full disk fails.
# Usage: cli_test.sh EXECUTABLE [ARTEFACT_DIR] (kestrelbox-print lies beside EXECUTABLE)
source "$(dirname "$0")/lib.sh"
kb_setup cli "$1" "${2:-}"
kb_install_cli
start_file_bytes() { od -An -c "$KB_START_FILE" | tr -s ' \n' ' '; }
# cli [ARGS...]: runs the command without a display; its status in rc, its standard error in err.
cli() {
    rc=0
    env -u QT_QPA_PLATFORM -u DISPLAY "$CLI" "$@" >"$KB_ROOT/out.txt" 2>"$KB_ROOT/err.txt" || rc=$?
    err=$(cat "$KB_ROOT/err.txt")
}
count() { grep -o -w -- "$1" <<<"$2" | wc -l || true; }

# ---- To a PDF, no display: the window's geometry and text, nothing stored ----
kb_write_start_file '28\r\n10\r\n10\r\n'
before=$(start_file_bytes)
pdf=$KB_ROOT/labels.pdf
args=(--number=1 --count=5 --background=Blue --offset-down=5 --offset-right=-5 HELLO ABC)
cli -o "$pdf" "${args[@]}"
kb_check "--output ends with status 0 (got $rc: $err)" [ "$rc" -eq 0 ]
kb_check "standard error: sheet 1 of 2, sheet 2 of 2, what was written ($err)" \
    [ "$err" = $'sheet 1 of 2\nsheet 2 of 2\nwrote 2 sheets to '"$pdf" ]
kb_check "--output stores nothing" [ "$(start_file_bytes)" = "$before" ]
pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
size=$(pdfinfo "$pdf" | awk '/^Page size:/ {print $3 "x" $5}')
kb_check "one page per sheet (got $pages)" [ "$pages" = 2 ]
kb_check "A4 pages (got $size pt)" [ "$size" = 595x842 ]
texts=("" "$(pdftotext -f 1 -l 1 -layout "$pdf" -)" "$(pdftotext -f 2 -l 2 -layout "$pdf" -)")
cli --list "${args[@]}"
listed=$(cat "$KB_ROOT/out.txt")
kb_check "--list shows five labels" [ "$(wc -l <<<"$listed")" -eq 5 ]
for sheet in 1 2; do
    want=$(awk -F'\t' -v s=$sheet '$1 == s {print $5}' <<<"$listed" | sort | tr '\n' ' ')
    got=$(grep -ow 'ABC-[0-9]*' <<<"${texts[sheet]}" | sort | tr '\n' ' ')
    kb_check "page $sheet holds the numbers --list gives its sheet ($want; got $got)" [ "$got" = "$want" ]
    kb_check "page $sheet: HELLO on every label" [ "$(count HELLO "${texts[sheet]}")" -eq "$(wc -w <<<"$want")" ]
done
# Bytes that are no UTF-8, and control characters that would reach the terminal raw.
kb_cli --list $'\xff\xfeAB'
kb_check "an argument that is not UTF-8: status 2 (got $rc)" [ "$rc" -eq 2 ]
kb_check "... refused as not UTF-8, not for a character without Shift-JIS form ($err)" grep -q 'is not valid UTF-8' <<<"$err"
kb_cli --list --start-file=$'\e[31m\u202e\xc2\x85' HELLO
kb_check "control characters in a message: shown escaped ($err)" grep -qF '\x1B[31m<U+202E><U+0085>' <<<"$err"
kb_check "... and none of them raw" [ "$(tr -d '\033' <<<"$err")" = "$err" ]
# Qt's PDF printer puts the printable area's corner 10 pt from the paper's left and top edges; the
# device pixels start there, as in the window's runs. Rasterised at 50 dpi a layout unit is 1/5 pixel.
dpi=50 ML=10 MT=10 SX=-50 SY=50
pdftoppm -r $dpi -png "$pdf" "$KB_ROOT/page"
hx() { echo $(((ML * dpi * 250 + ($1 + SX) * dpi * 72) / 18000)); }
vy() { echo $(((MT * dpi * 250 + ($1 + SY) * dpi * 72) / 18000)); }
near() { local d=$(($1 - $2)); ((d >= -1 && d <= 1)); }
blue_box() {
    convert "$1" -fill black +opaque 'rgb(0,0,255)' -fill white -opaque 'rgb(0,0,255)' -trim \
        -format '%[fx:page.x] %[fx:page.y] %[fx:page.x+w-1] %[fx:page.y+h-1]\n' info:
}
read -r l1 t1 r1 b1 < <(blue_box "$KB_ROOT/page-1.png")
read -r l2 t2 r2 b2 < <(blue_box "$KB_ROOT/page-2.png")
cp "$KB_ROOT/page-1.png" "$KB_ARTEFACTS/cli-output-page1.png"
kb_log "blue on page 1: $l1,$t1..$r1,$b1; page 2: $l2,$t2..$r2,$b2"
# Page 1: positions 28..30 (rows 13 and 14, both columns); page 2: positions 1 and 2 (row 0).
kb_check "page 1 blue starts at the left column ($l1)" near "$l1" "$(hx 305)"
kb_check "page 1 blue starts at row 13 ($t1)" near "$t1" "$(vy $((260 + 168 * 13)))"
kb_check "page 1 blue ends at the right column's edge ($r1)" near "$r1" "$(hx $((305 + 890 + 620)))"
kb_check "page 1 blue ends at the bottom of row 14 ($b1)" near "$b1" "$(vy $((260 + 168 * 14 + 120)))"
kb_check "page 2 blue starts at the left column ($l2)" near "$l2" "$(hx 305)"
kb_check "page 2 blue starts at row 0 ($t2)" near "$t2" "$(vy 260)"
kb_check "page 2 blue ends at the right column's edge ($r2)" near "$r2" "$(hx $((305 + 890 + 620)))"
kb_check "page 2 blue ends at the bottom of row 0 ($b2)" near "$b2" "$(vy $((260 + 120)))"

# ---- The arguments as typed: a leading byte-order mark, Qt's own option names after --, a full disk ----
cli --list $'\xef\xbb\xbfAB'
kb_check "a leading byte-order mark: status 2 (got $rc)" [ "$rc" -eq 2 ]
kb_check "a leading byte-order mark is refused like any other ($err)" grep -q 'LINE1: .*U+feff' <<<"$err"
cli --list -- -reverse
kb_check "-- -reverse: a label line, not an option of Qt's (status $rc)" [ "$(cat "$KB_ROOT/out.txt")" = $'1\t28\t-\t-reverse\t' ]
rc=0
env -u DISPLAY "$CLI" --list HELLO >/dev/full 2>"$KB_ROOT/err.txt" || rc=$?
kb_check "--list into a full disk: status 1 (got $rc)" [ "$rc" -eq 1 ]
kb_check "--list into a full disk: says so" grep -q '^kestrelbox-print: standard output: ' "$KB_ROOT/err.txt"

# ---- To the private queue: one document per sheet, the start file advanced ----
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
cli --number=1 --count=5 --offset-down=1 HELLO ABC
kb_check "the queue run ends with status 0 (got $rc: $err)" [ "$rc" -eq 0 ]
kb_wait_for 30 kb_have_jobs 2 || kb_fail "$(kb_job_count) of 2 documents arrived"
sleep 0.5
kb_check "two documents, no third" [ "$(kb_job_count)" -eq 2 ]
mapfile -t jobs < <(kb_jobs_out)
kb_check "document 2 holds ABC-4 and ABC-5" \
    [ "$(pdftotext "${jobs[1]}" - | grep -ow 'ABC-[0-9]*' | sort | tr '\n' ' ')" = "ABC-4 ABC-5 " ]
kb_check "start file 03, the offset given (12), the saved one (10), empty, 0 with CR LF" \
    [ "$(start_file_bytes)" = " 0 3 \r \n 1 2 \r \n 1 0 \r \n \r \n 0 \r \n " ]

# ---- Queues that cannot take the run: status 3, nothing sent, nothing stored ----
before=$(start_file_bytes)
for state in reject disable unknown; do
    printer=()
    case $state in
    reject) cupsreject kbtest ;;
    disable) cupsdisable kbtest ;;
    unknown) printer=(--printer=nosuch) ;;
    esac
    cli "${printer[@]}" --count=3 HELLO
    kb_check "$state: status 3 (got $rc)" [ "$rc" -eq 3 ]
    name=kbtest
    [[ $state == unknown ]] && name=nosuch
    kb_check "$state: the message names the queue ($err)" grep -q "\"$name\"" <<<"$err"
    case $state in
    reject) cupsaccept kbtest ;;
    disable) cupsenable kbtest ;;
    esac
    sleep 0.3
    kb_check "$state: no document sent" [ "$(kb_job_count)" -eq 2 ]
    kb_check "$state: start file unchanged" [ "$(start_file_bytes)" = "$before" ]
done
kb_check "no job waits in the queue" [ -z "$(lpstat -o kbtest 2>/dev/null)" ]

# ---- The window runs: printing refused, --list and --output still work ----
kb_start_x
kb_start_app
kb_wait_window Main 20 "$KB_APP_PID" >/dev/null || kb_fail "no window \"Main\""
cli HELLO
kb_check "with the window running: status 4 (got $rc: $err)" [ "$rc" -eq 4 ]
sleep 0.3
kb_check "with the window running: no document, start file unchanged" \
    [ "$(kb_job_count)" -eq 2 -a "$(start_file_bytes)" = "$before" ]
cli --list HELLO
kb_check "with the window running: --list works (got $rc)" [ "$rc" -eq 0 ]
cli -o "$KB_ROOT/while.pdf" HELLO
kb_check "with the window running: --output works (got $rc)" [ "$rc" -eq 0 -a -s "$KB_ROOT/while.pdf" ]
kb_check "the window still runs" kb_alive "$KB_APP_PID"
kb_stop_cups
kb_log "command test passed"
