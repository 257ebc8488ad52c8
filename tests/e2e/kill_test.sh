#!/usr/bin/env bash
# The window killed while it pauses after a sheet, through a private CUPS queue: in a run of two
# sheets (positions 25-30, then 1-4), kill -9 at a random instant 0.1 to 1.9 s after the first sheet
# reached the queue. Every time, the start file names the position after each sheet the queue took
# and the ledger holds a row for each: the next run never prints over them. A ledger that could not
# be written (a folder at its name) is told, and the same window's next run writes its row.
# The command is killed fifteen times at random instants of numbered runs too: the ledger's database
# passes its integrity check and holds the sheets the queue took.
# Usage: kill_test.sh EXECUTABLE [ARTEFACT_DIR] (kestrelbox-print lies beside EXECUTABLE)
export KB_DEADLINE=170
source "$(dirname "$0")/lib.sh"
kb_setup kill "$1" "${2:-}"
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
kb_start_x
first_line() { head -c 2 "$KB_START_FILE"; }
LEDGER=$KB_INSTALL/PrintLog.db
# The sheets the ledger's database holds, once it has passed its integrity check ("bad" when not).
queued_rows() {
    [[ -f $LEDGER ]] || { echo 0; return; }
    python3 -c 'import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
ok = db.execute("PRAGMA integrity_check").fetchone()[0] == "ok"
print(db.execute("SELECT COUNT(*) FROM sheet").fetchone()[0] if ok else "bad")' "$LEDGER"
}

# ---- The command killed at random instants of numbered runs: the ledger opens, passes its integrity
# check, and holds every sheet the queue took (the last may have been met between the queue taking it
# and its rows) and none it did not ----
kb_install_cli
for round in $(seq 1 15); do
    kb_write_start_file '01\r\n10\r\n10\r\n'
    before=$(kb_job_count)
    rows_before=$(queued_rows)
    env -u DISPLAY "$CLI" --again --no-wait --count=3000 --number=$((round * 10000)) KILL ABC >/dev/null 2>&1 &
    k=$!
    ms=$((RANDOM % 1500 + 100))
    sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
    kill -KILL "$k" 2>/dev/null || true
    wait "$k" 2>/dev/null || true
    sleep 0.5 # the scheduler takes what it was handed
    sent=$(($(kb_job_count) - before))
    rows=$(queued_rows)
    [[ $rows == bad ]] && kb_fail "command round $round: the ledger fails its integrity check"
    rows=$((rows - rows_before))
    kb_check "command round $round (kill after ${ms} ms): $rows sheets in the ledger for the $sent the queue took" \
        [ "$rows" -le "$sent" -a "$rows" -ge $((sent - 1)) ]
done

for round in 1 2 3 4 5; do
    kb_write_start_file '25\r\n10\r\n10\r\n'
    kb_start_main
    kb_enter_hello_abc 10
    before=$(kb_job_count)
    rows_before=$(queued_rows)
    kb_print_run "kill-$round"
    ms=$((RANDOM % 1800 + 100))
    delay=$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))
    sleep "$delay"
    kill -KILL "$pid"
    kb_wait_exit "$pid" 10 || kb_fail "round $round: the window did not end"
    sleep 1 # the scheduler prints what it holds
    sent=$(($(kb_job_count) - before))
    rows=$(($(queued_rows) - rows_before))
    want=$([[ $sent -ge 2 ]] && echo 05 || echo 01)
    kb_log "round $round: killed ${delay} s after the first sheet reached the queue; $sent sheets sent"
    kb_check "round $round (kill after ${delay} s): the start file names $want, the position after the $sent sheet(s) sent" \
        [ "$(first_line)" = "$want" ]
    kb_check "round $round: the ledger holds a row for each of the $sent sheet(s) sent (got $rows)" [ "$rows" -eq "$sent" ]
done
kb_log "ok: fifteen kills of the command and five of the window lost no position and no ledger row"

# ---- The window's ledger stays on: one that could not be written is tried afresh by the next run ----
kb_write_start_file '01\r\n10\r\n10\r\n'
mv "$LEDGER" "$KB_ROOT/ledger.kept"
rm -f "$KB_INSTALL/PrintLog.db-journal"
mkdir "$LEDGER"
kb_start_main
kb_enter_hello_abc 1
kb_print_run ledger-off
box=$(kb_wait_window Kestrelbox 10 "$pid") || kb_fail "no word that the labels are not recorded"
kb_screenshot ledger-off >/dev/null
kb_focus "$box"
kb_key Return
rmdir "$LEDGER"
sleep 15 # the pause after the sheet (the position is stored before it), then the hold after the run
kb_print_run ledger-back
kb_wait_for 10 [ "$(queued_rows)" = 1 ] || kb_fail "the next run wrote no ledger row ($(queued_rows))"
kb_log "ok: the next run of the same window wrote its row"
kill "$pid"
kb_wait_exit "$pid" 10 || kb_fail "the window did not end"
