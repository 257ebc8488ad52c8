#!/usr/bin/env bash
# Lists of labels as Excel saves them, printed to a private CUPS queue: an Excel-style CSV in code
# page 932 (a header row, a wave dash, a quoted comma, a first serial with leading zeros) and a UTF-16
# tab-separated file, each through the window (List, the file dialog, PrintSet, for the first a click
# on the map at position 29, Print) and through the command. Each page is read back label by label;
# the command's list of what would print matches what printed, the ledger holds each label with its
# row, Ctrl-C stops a long list naming the rows not printed, and a list that repeats printed labels
# is refused.
# Usage: list_test.sh EXECUTABLE [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
kb_setup list "$1" "${2:-}"
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
kb_start_x
kb_install_cli
kb_write_start_file '07\r\n10\r\n10\r\n'

csv=$KB_ROOT/samples.csv
printf '試料,ロット,枚数,開始番号\r\nサンプル〜A,LOT,3,0001\r\n"B, quoted",,2,\r\n' | iconv -f UTF-8 -t CP932 >"$csv"
tsv=$KB_ROOT/unicode.txt
{
    printf '\xff\xfe'
    printf 'Line 1\tLine 2\tCount\tFirst\r\n検体\tK\t2\t9\r\n\r\nEND\tlast\t\t\r\n' | iconv -f UTF-8 -t UTF-16LE
} >"$tsv"

# The labels of one printed document in print order: line 1 and line 2 of each, "|"-joined. The
# full-width tilde that code page 932's wave dash prints as reads back as either wave dash: "~" here.
labels_of() { pdftotext -raw "$1" - | grep -v '^\s*$' | sed 's/[〜～]/~/g' | paste -sd'|'; }

# ---- The window: List, PrintSet, a click on position 29, Print ----
kb_start_main
# "List", and the file's path typed into the file dialog.
open_list() { # open_list FILE
    local dlg="" i
    # Clicked again until it answers: clicks made while the window holds after a run are dropped.
    for ((i = 0; i < 100; i++)); do
        [[ -z $dlg ]] || break
        ((i % 10)) || click_panel $((440 + 56)) $((304 + 28)) # cmdList "List"
        dlg=$(kb_windows ラベルの一覧を開く "$pid" | head -n1)
        sleep 0.2
    done
    [[ -n $dlg ]] || kb_fail "List: no file dialog"
    sleep 0.5
    kb_screenshot list-dialog >/dev/null
    kb_focus "$dlg"
    kb_type "$1"
    kb_key Return
    sleep 1
}
open_list "$csv"
kb_screenshot list-entry >/dev/null
click_panel $((576 + 60)) $((304 + 28)) # PrintSet
sleep 0.5
click_panel $((56 + 50)) $((16 + 350))  # the map: row 15, column 1, position 29
sleep 0.5
kb_check "the map click stored position 29" grep -q '^29' "$KB_START_FILE"
kb_screenshot list-sheet >/dev/null
dlg=$(kb_open_print_dialog list-window)
kb_focus "$dlg"
kb_key Return
kb_wait_for 30 kb_have_jobs 2 || kb_fail "the window's list sent $(kb_job_count) of 2 documents"
kb_wait_for 30 grep -q '^04' "$KB_START_FILE" || kb_fail "start file not advanced past the list"
mapfile -t jobs < <(kb_jobs_out)
kb_check "sheet 1: positions 29 and 30 ($(labels_of "${jobs[0]}"))" \
    [ "$(labels_of "${jobs[0]}")" = "サンプル~A|LOT-0001|サンプル~A|LOT-0002" ]
kb_check "sheet 2: positions 1 to 3 ($(labels_of "${jobs[1]}"))" \
    [ "$(labels_of "${jobs[1]}")" = "サンプル~A|LOT-0003|B, quoted|B, quoted" ]

# After the hold the window is back on the entry screen, the list still loaded: the UTF-16 file in its
# place goes on from position 4.
open_list "$tsv"
click_panel $((576 + 60)) $((304 + 28)) # PrintSet
sleep 0.5
dlg=$(kb_open_print_dialog list-window-utf16)
kb_focus "$dlg"
kb_key Return
kb_wait_for 30 kb_have_jobs 3 || kb_fail "the window's UTF-16 list sent nothing"
mapfile -t jobs < <(kb_jobs_out)
kb_check "the UTF-16 list's sheet ($(labels_of "${jobs[2]}"))" [ "$(labels_of "${jobs[2]}")" = "検体|K-9|検体|K-10|END|last" ]
kb_wait_for 30 grep -q '^07' "$KB_START_FILE" || kb_fail "start file not advanced past the UTF-16 list"

# ---- The command: the UTF-16 file to the same queue, from a start file of its own ----
mkdir -p "$KB_ROOT/cli"
printf '05\r\n10\r\n10\r\n' >"$KB_ROOT/cli/StartFile.txt"
kb_cli --list --from="$tsv" --start-file="$KB_ROOT/cli/StartFile.txt"
kb_check "--list names sheet, position and row of each label" \
    [ "$(tr '\t' ' ' <"$KB_ROOT/out.txt" | paste -sd'|')" = "1 5 2 9 検体 K-9|1 6 2 10 検体 K-10|1 7 4 - END last" ]
kb_cli --from="$tsv" --printer=kbtest --start-file="$KB_ROOT/cli/StartFile.txt"
kb_check "the command printed the list ($rc: $err)" [ "$rc" -eq 0 ]
mapfile -t jobs < <(kb_jobs_out)
kb_check "the command's sheet ($(labels_of "${jobs[3]}"))" \
    [ "$(labels_of "${jobs[3]}")" = "検体|K-9|検体|K-10|END|last" ]
kb_check "the command stored position 8" grep -q '^08' "$KB_ROOT/cli/StartFile.txt"
kb_cli --history-csv=- --start-file="$KB_ROOT/cli/StartFile.txt"
kb_check "the ledger: one row per label with position, lines, serial and list row" \
    [ "$(tail -n +2 "$KB_ROOT/out.txt" | tr -d '\r' | cut -d, -f7-9,11,12 | paste -sd'|')" = "5,検体,K-9,9,2|6,検体,K-10,10,2|7,END,last,,4" ]

kb_cli --from="$csv" --printer=kbtest --start-file="$KB_ROOT/cli/StartFile.txt"
mapfile -t jobs < <(kb_jobs_out)
# Positions 8 to 12; the two one-line labels at 11 and 12 share their row, and a line of text.
kb_check "the command printed the code page 932 CSV from position 8 ($rc: $(labels_of "${jobs[4]}"))" \
    [ "$(labels_of "${jobs[4]}")" = "サンプル~A|LOT-0001|サンプル~A|LOT-0002|サンプル~A|LOT-0003|B, quoted B, quoted" ]

# ---- A refused list names the file, row and column, and nothing prints ----
printf 'A,B,1\r\nC,D,0\r\n' >"$KB_ROOT/bad.csv"
kb_cli --from="$KB_ROOT/bad.csv" --printer=kbtest --start-file="$KB_ROOT/cli/StartFile.txt"
kb_check "a count of 0 is refused with status 2 ($err)" [ "$rc" -eq 2 ]
kb_check "the refusal names file, row and column" grep -q 'bad.csv.*row 2.*column 3' "$KB_ROOT/err.txt"
# ---- Ctrl-C during a long list: it ends after the sheet in progress, naming the rows not printed ----
seq 1 100 | awk '{printf "R%d,S,30,\r\n", $1}' >"$KB_ROOT/long.csv"
printf '01\r\n10\r\n10\r\n' >"$KB_ROOT/cli/StartFile.txt"
sent=$(kb_job_count)
env -u DISPLAY "$CLI" --from="$KB_ROOT/long.csv" --printer=kbtest --start-file="$KB_ROOT/cli/StartFile.txt" \
    >"$KB_ROOT/long.out" 2>"$KB_ROOT/long.err" &
long=$!
KB_PIDS+=("$long")
kb_wait_for 30 kb_have_jobs $((sent + 2)) || kb_fail "the long list sent nothing"
kill -INT "$long"
kb_wait_exit "$long" 30 || kb_fail "the command did not end after Ctrl-C"
taken=$(($(kb_job_count) - sent))
kb_log "Ctrl-C after $taken of 100 sheets: $(cat "$KB_ROOT/long.err" | tail -n1)"
kb_check "Ctrl-C ends with 130" [ "$KB_EXIT_CODE" -eq 130 ]
kb_check "the rows not printed are named from row $((taken + 1))" \
    grep -q "not printed: sheets $((taken + 1))-100 (.*list rows $((taken + 1))-100" "$KB_ROOT/long.err"

# ---- The same list again: its numbered labels are in the ledger as printed ----
sent=$(kb_job_count)
kb_cli --from="$tsv" --printer=kbtest --start-file="$KB_ROOT/cli/StartFile.txt"
kb_check "the same list again is refused ($rc: $err)" [ "$rc" -eq 10 ]
kb_check "the refusal names the label's row" grep -q 'serial 9 of list row 2' "$KB_ROOT/err.txt"
kb_check "nothing more was sent" [ "$(kb_job_count)" -eq "$sent" ]
