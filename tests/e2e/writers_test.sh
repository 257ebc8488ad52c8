#!/usr/bin/env bash
# One start file, many writers, through a private CUPS queue: two commands at once take turns (the
# positions of the second follow the first's, the file advanced by both); Ctrl-C in the middle of a
# 3000-label run stores the position after the sheets the queue took and names the labels printed and
# not; the window refuses nothing but holds the file, so that a command beside it is refused with
# status 4 without XDG_RUNTIME_DIR and under another file name; a window started during a command run
# prints from where the run left the file; a printer that fails a job it took (printer-error-policy
# abort-job) ends the command with status 8 naming the labels and the arguments that print them again,
# and makes the window offer to set the start position back.
# Usage: writers_test.sh EXECUTABLE [ARTEFACT_DIR] (kestrelbox-print lies beside EXECUTABLE)
export KB_DEADLINE=170
source "$(dirname "$0")/lib.sh"
kb_setup writers "$1" "${2:-}"
kb_install_cli
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
first_line() { head -c 2 "$KB_START_FILE"; }
# cli_bg NAME ARGS...: starts the command without a display; its pid in the variable NAME.
cli_bg() {
    local name=$1
    shift
    env -u DISPLAY "$CLI" "$@" >"$KB_ROOT/$name.out" 2>"$KB_ROOT/$name.err" &
    printf -v "$name" '%s' $!
}
finish() { # finish PID -> status in rc
    rc=0
    wait "$1" || rc=$?
}

# ---- Two commands at once: the second waits, then prints after the first ----
kb_write_start_file '01\r\n10\r\n10\r\n'
cli_bg a --count=595 --no-wait A   # 20 sheets: positions 1 .. 25 of sheet 20
kb_wait_for 20 kb_have_jobs 1 || kb_fail "the first run sent nothing"
cli_bg b --count=5 --number=1 --no-wait B X
finish "$a"
kb_check "first run: status 0 (got $rc: $(cat "$KB_ROOT/a.err"))" [ "$rc" -eq 0 ]
finish "$b"
kb_check "second run: status 0 (got $rc: $(cat "$KB_ROOT/b.err"))" [ "$rc" -eq 0 ]
kb_check "the second run said that it waits" grep -q 'waiting for another run' "$KB_ROOT/b.err"
kb_wait_for 30 kb_have_jobs 21 || kb_fail "$(kb_job_count) of 21 documents arrived"
kb_check "advanced by both: 26 + 5 -> 01" [ "$(first_line)" = 01 ]
# Both runs' labels in the ledger's database, each once: none lost, none doubled.
counts=$(python3 -c 'import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
assert db.execute("PRAGMA integrity_check").fetchone()[0] == "ok"
a = db.execute("SELECT COUNT(*), COUNT(DISTINCT sheet_id || \"/\" || position) FROM label WHERE line1 = ?", ("A",)).fetchone()
b = db.execute("SELECT COUNT(*), COUNT(DISTINCT serial) FROM label WHERE line1 = ?", ("B",)).fetchone()
print(*a, *b)' "$KB_INSTALL/PrintLog.db")
kb_check "two commands at once: 595 + 5 labels in the ledger, each once (got $counts)" [ "$counts" = "595 595 5 5" ]
last=$(kb_jobs_out | tail -n1)
kb_check "the second run printed X-1 .. X-5 on one page after the first's" \
    [ "$(pdftotext "$last" - | grep -ow 'X-[0-9]*' | sort | tr '\n' ' ')" = "X-1 X-2 X-3 X-4 X-5 " ]
# Position 26 is the right column of row 13: the second run's page has text in no row above it.
pdftotext -bbox "$last" "$KB_ROOT/last.html"
top=$(sed -n 's/.*yMin="\([0-9.]*\)".*>X-1<.*/\1/p' "$KB_ROOT/last.html" | cut -d. -f1)
kb_check "X-1 stands in row 13 (y $top pt), not at the top of the sheet" [ "${top:-0}" -gt 600 ]

# ---- Ctrl-C in the middle of 3000 labels: what the queue took is stored and named ----
kb_write_start_file '07\r\n10\r\n10\r\n'
jobs_before=$(kb_job_count)
cli_bg c --count=3000 --number=1 --no-wait HELLO ABC
kb_wait_for 30 kb_have_jobs $((jobs_before + 3)) || kb_fail "the long run sent too little"
kill -INT "$c"
finish "$c"
err=$(cat "$KB_ROOT/c.err")
kb_check "Ctrl-C: status 130 (got $rc: ${err: -300})" [ "$rc" -eq 130 ]
done_sheets=$(sed -n 's/.*stopped by signal 2 after sheet \([0-9]*\) of 101.*/\1/p' <<<"$err")
kb_check "Ctrl-C: the message names the sheets printed ($done_sheets)" [ -n "$done_sheets" ]
printed=$((24 + 30 * (done_sheets - 1)))
kb_check "Ctrl-C: serials 1-$printed printed, $((printed + 1))-3000 not" \
    grep -q "serials 1-$printed); not printed: .*serials $((printed + 1))-3000)" <<<"$err"
kb_check "Ctrl-C: the rest is printed by --count=$((3000 - printed)) --number=$((printed + 1))" \
    grep -q -- "the same arguments with --count=$((3000 - printed)) --number=$((printed + 1))" <<<"$err"
kb_check "Ctrl-C: position 01 stored (after the last sheet the queue took)" [ "$(first_line)" = 01 ]
kb_wait_for 60 kb_have_jobs $((jobs_before + done_sheets)) || kb_fail "not every sheet taken reached the printer"
sleep 0.5
kb_check "Ctrl-C: exactly $done_sheets documents printed" [ "$(kb_job_count)" -eq $((jobs_before + done_sheets)) ]

# ---- The window holds the start file: refused without XDG_RUNTIME_DIR and under another name ----
kb_start_x
kb_write_start_file '05\r\n10\r\n10\r\n'
for name in Kestrelbox Labels; do
    [[ $name == Labels ]] && cp "$KB_EXE" "$KB_INSTALL/Labels"
    kb_start_app "$KB_INSTALL/$name"
    kb_wait_window Main 20 "$KB_APP_PID" >/dev/null || kb_fail "$name: no window \"Main\""
    jobs_before=$(kb_job_count)
    cli_bg d HELLO
    finish "$d"
    kb_check "window $name, command with XDG_RUNTIME_DIR: status 4 (got $rc)" [ "$rc" -eq 4 ]
    env -u XDG_RUNTIME_DIR -u DISPLAY "$CLI" HELLO 2>"$KB_ROOT/d.err" && rc=0 || rc=$?
    kb_check "window $name, command without XDG_RUNTIME_DIR: status 4 (got $rc: $(cat "$KB_ROOT/d.err"))" \
        [ "$rc" -eq 4 ]
    kb_check "window $name: nothing printed, start file kept" \
        [ "$(kb_job_count)" -eq "$jobs_before" -a "$(first_line)" = 05 ]
    kill "$KB_APP_PID"
    kb_wait_exit "$KB_APP_PID" 10 || kb_fail "$name did not end"
done

# ---- A window started during a command run prints from where the run left the file ----
kb_write_start_file '01\r\n10\r\n10\r\n'
cli_bg e --count=2995 --no-wait A # 100 sheets, the last one up to position 25
kb_wait_for 20 kb_have_jobs $(($(kb_job_count) + 1)) || kb_fail "the run sent nothing"
kb_start_main
kb_check "the window came up while the run still held the file" kb_alive "$e"
finish "$e"
kb_check "the run beside the starting window: status 0 (got $rc: $(cat "$KB_ROOT/e.err"))" [ "$rc" -eq 0 ]
sleep 1.5 # the window takes the file over within a second
kb_enter_hello_abc 1
kb_print_run after-run
kb_wait_for 10 grep -q '^27' "$KB_START_FILE" ||
    kb_fail "the window did not print at 26 (start file $(first_line))"
kb_log "ok: the window printed at position 26 and stored 27"
# The window's run and the commands' beside it in the ledger: every label once, none lost.
counts=$(python3 -c 'import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
assert db.execute("PRAGMA integrity_check").fetchone()[0] == "ok"
a = db.execute("SELECT COUNT(*), COUNT(DISTINCT sheet_id || \"/\" || position) FROM label WHERE line1 = ?", ("A",)).fetchone()
w = db.execute("SELECT COUNT(*) FROM label JOIN sheet ON sheet.id = sheet_id WHERE program = ? AND line2 = ?", ("window", "ABC-1")).fetchone()
print(*a, *w)' "$KB_INSTALL/PrintLog.db")
kb_check "the window's run beside the commands': 595 + 2995 labels A and the window's ABC-1, each once (got $counts)" \
    [ "$counts" = "3590 3590 1" ]

# ---- A printer that fails a job it took ----
lpadmin -p kbtest -o printer-error-policy=abort-job
touch "$KB_PRINT_OUT/.fail"
# The window: during the hold after the run the job fails; the window offers to go back to 27.
sleep 15 # the pause after the sheet (the position is stored before it), then the hold of the last run
click_panel $((576 + 60)) $((304 + 28)) # PrintSet
sleep 0.5
dlg=$(kb_open_print_dialog failing)
kb_focus "$dlg"
kb_key Return
# HELLO / ABC-1 is in the ledger from the run before: the window asks first.
kb_yes_to_repeat
kb_wait_for 10 grep -q '^28' "$KB_START_FILE" || kb_fail "the run did not store 28"
box=$(kb_wait_window Kestrelbox 20 "$pid") || kb_fail "no question after the failed job"
kb_screenshot failed-job >/dev/null
kb_focus "$box"
kb_key alt+y
kb_wait_for 10 grep -q '^27' "$KB_START_FILE" || kb_fail "the start position did not go back to 27 ($(first_line))"
kb_log "ok: the window set the start position back to 27 after the failed job"
kill "$pid"
kb_wait_exit "$pid" 10 || kb_fail "the window did not end"

# The command: status 8, the labels that did not print and how to print them again.
cli_bg f --again --count=3 --number=5 HELLO ABC # the Ctrl-C run printed these numbers
finish "$f"
err=$(cat "$KB_ROOT/f.err")
kb_check "failing printer: status 8 (got $rc: $err)" [ "$rc" -eq 8 ]
kb_check "failing printer: names the sheet and its serials" grep -q 'sheet 1 (positions 27-29, serials 5-7) did not print' <<<"$err"
kb_check "failing printer: the arguments that print them again" grep -q -- 'with --count=3 --number=5' <<<"$err"
rm -f "$KB_PRINT_OUT/.fail"
kb_log "writers test passed"
