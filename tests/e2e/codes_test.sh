#!/usr/bin/env bash
# The labels' 2D codes read back from paper by a decoder of its own (zxing-cpp, KB_DECODE_CODES): a
# full sheet of 30 numbered labels with Japanese text on Gray, QR and Data Matrix to a PDF, QR also
# through the private CUPS queue, rasterised at 300 and 600 dpi; every label's code decodes to the label's text
# as --list gives it, in position order. The same sheet without codes differs from it only where the
# codes stand. A text too long for a code that fits, or a line that runs into the code, is refused
# with status 2 and prints nothing.
# Usage: codes_test.sh EXECUTABLE [ARTEFACT_DIR] (kestrelbox-print lies beside EXECUTABLE)
source "$(dirname "$0")/lib.sh"
KB_DEADLINE=280
kb_setup codes "$1" "${2:-}"
kb_install_cli
decode=${KB_DECODE_CODES:?the decoder kb-decode-codes}
kb_write_start_file '01\r\n10\r\n10\r\n'

line1=HELLO
line2=検体ロット # Japanese in Kanji mode: Kanji and katakana, two bytes each in Shift-JIS
base=(--number=1 --count=30 --background=Gray --date=26/12/09)

# expected ARGS...: the text each label's code must carry, in position order, from --list.
expected() {
    kb_cli --list "$@"
    ((rc == 0)) || kb_fail "--list: status $rc: $err"
    local which=line2
    for a in "$@"; do [[ $a == --code-text=* ]] && which=${a#--code-text=}; done
    # With --code, --list gives the code's text itself in a sixth column: it must be the same.
    awk -F'\t' -v w="$which" '{
        sub(/ +$/, "", $4); sub(/ +$/, "", $5)
        if (w == "line1") e = $4; else if (w == "both") e = ($4 == "" || $5 == "" ? $4 $5 : $4 "\\n" $5); else e = ($5 == "" ? $4 : $5)
        if (NF >= 6 && $6 != e) e = "--list says " $6 " for " e
        print e
    }' "$KB_ROOT/out.txt"
}
# decoded PDF DPI FORMAT NAME: every code on the first page, as text in reading order; checks the format.
decoded() {
    pdftoppm -r "$2" -gray -f 1 -l 1 "$1" "$KB_ROOT/$4-$2"
    local page=$KB_ROOT/$4-$2-1.pgm
    [[ -f $page ]] || page=$(ls "$KB_ROOT/$4-$2"-*.pgm | head -n1)
    "$decode" "$page" >"$KB_ROOT/$4-$2.codes"
    kb_check "$4 at $2 dpi: every code is $3" [ -z "$(awk -F'\t' -v f="$3" '$3 != f' "$KB_ROOT/$4-$2.codes")" ]  >&2
    cut -f4 "$KB_ROOT/$4-$2.codes"
}
# reads_back PDF FORMAT NAME ARGS...: at 300 and 600 dpi the codes are the labels' texts.
reads_back() {
    local pdf=$1 format=$2 name=$3
    shift 3
    local want got
    want=$(expected "$@")
    for dpi in 300 600; do
        got=$(decoded "$pdf" "$dpi" "$format" "$name")
        kb_check "$name at $dpi dpi: 30 codes read back (got $(wc -l <<<"$got"))" [ "$(wc -l <<<"$got")" -eq 30 ]
        kb_check "$name at $dpi dpi: each code holds its label's text" [ "$got" = "$want" ]
    done
    kb_log "$name: $(head -n 2 <<<"$want" | tr '\n' ' ')..."
}

# ---- To a PDF: QR (Kanji mode) and Data Matrix (UTF-8), each text choice ----
for kind in qr datamatrix; do
    pdf=$KB_ROOT/$kind.pdf
    args=("${base[@]}" --code=$kind "$line1" "$line2")
    kb_cli -o "$pdf" "${args[@]}"
    kb_check "$kind to a PDF: status 0 (got $rc: $err)" [ "$rc" -eq 0 ]
    reads_back "$pdf" $kind "pdf-$kind" "${args[@]}"
done
pdftoppm -r 150 -png -f 1 -l 1 "$KB_ROOT/qr.pdf" "$KB_ARTEFACTS/codes-qr"
kb_cli -o "$KB_ROOT/both.pdf" --code=qr --code-text=both "${base[@]}" "$line1" "$line2"
kb_check "--code-text=both: status 0 (got $rc: $err)" [ "$rc" -eq 0 ]
reads_back "$KB_ROOT/both.pdf" qr pdf-both --code=qr --code-text=both "${base[@]}" "$line1" "$line2"

# ---- Without a code the sheet is the same but where the codes stand ----
kb_cli -o "$KB_ROOT/plain.pdf" "${base[@]}" "$line1" "$line2"
kb_check "no code: status 0" [ "$rc" -eq 0 ]
kb_check "no code: nothing decodes" [ -z "$(decoded "$KB_ROOT/plain.pdf" 300 qr plain)" ]
# At 300 dpi the page starts 10 pt in (the printable corner); the codes stand in the right 150 units
# of each label (the largest is 41 modules of 0.254 mm and 0.5 mm from the edge: 108 units).
hx() { echo $(((10 * 300 * 250 + $1 * 300 * 72) / 18000)); }
mask=()
for left in 305 1195; do
    mask+=(-draw "rectangle $(hx $((left + 620 - 150))),0 $(hx $((left + 620))),3507")
done
for name in plain pdf-qr; do
    convert "$KB_ROOT/$name-300-1.pgm" -fill black "${mask[@]}" "$KB_ROOT/$name-masked.png"
done
differ=$(compare -metric AE "$KB_ROOT/plain-masked.png" "$KB_ROOT/pdf-qr-masked.png" null: 2>&1 || true)
kb_check "with and without codes the pages differ only where the codes stand ($differ pixels)" [ "$differ" = 0 ]

# ---- Refused before anything prints: status 2, nothing written ----
kb_cli -o "$KB_ROOT/long.pdf" --code=datamatrix "$line1" "$(printf '検体%.0s' {1..12})"
kb_check "too long for a Data Matrix that fits: status 2 (got $rc)" [ "$rc" -eq 2 ]
kb_check "too long: the message names the label and what fits ($err)" \
    grep -q 'position 1 of sheet 1: ".*" is 48 bytes in Shift-JIS; a Data Matrix that fits the label holds [0-9]* of them' <<<"$err"
kb_check "too long: no file written" [ ! -e "$KB_ROOT/long.pdf" ]
kb_cli -o "$KB_ROOT/over.pdf" --code=qr "$line1" "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ"
kb_check "a line into the code: status 2 (got $rc)" [ "$rc" -eq 2 ]
kb_check "a line into the code: the message names the line ($err)" grep -q 'line 2 "ABCD.*" would run into the QR code' <<<"$err"
kb_check "a line into the code: no file written" [ ! -e "$KB_ROOT/over.pdf" ]

# ---- Through the private queue: the document the scheduler holds reads back the same (the queue's
# document is drawn as the PDF's is, whatever the code: QR alone) ----
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
kb_cli --code=qr "${base[@]}" "$line1" "$line2"
kb_check "QR through the queue: status 0 (got $rc: $err)" [ "$rc" -eq 0 ]
kb_wait_for 30 kb_have_jobs 1 || kb_fail "no document arrived"
kb_write_start_file '01\r\n10\r\n10\r\n'
reads_back "$(kb_jobs_out | head -n1)" qr queue-qr --code=qr "${base[@]}" "$line1" "$line2"
kb_stop_cups
kb_log "codes test passed"
