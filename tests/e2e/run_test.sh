#!/usr/bin/env bash
# The print run kept on disk sheet by sheet and followed to the end, through kestrelbox-print and a
# private CUPS queue. kill -9 in the middle of a long run leaves the start file at the position after
# the sheets the queue took. A start file on a read-only file system is refused before anything is
# sent (status 6, the reason named; root only, which may mount one). The ledger beside it names every
# sheet the queue took and how its job ended, read back with a CSV reader; --history shows the last;
# the same numbers again are refused (status 10) and --again prints them; a ledger that cannot be
# written stops nothing and is told once. A first job that the printer
# aborts and a second that prints, then the reprint the message advises: it prints at the next free
# position and never moves the start file back. A job the printer aborts at once while the machine is
# busy counts as failed (status 8, the position after it stored), never as refused. A held job with --wait-timeout ends with status 9 and
# says that it is held, also under -q. A queue instance that nobody defined is refused like a missing
# queue. The scheduler stopped during the wait ends the command with status 9, not 0, and a command
# started then says that the print system cannot be reached.
# Usage: run_test.sh EXECUTABLE [ARTEFACT_DIR] (kestrelbox-print lies beside EXECUTABLE)
source "$(dirname "$0")/lib.sh"
kb_setup run "$1" "${2:-}"
kb_install_cli
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
first_line() { head -c 2 "$KB_START_FILE"; }
LEDGER=$KB_INSTALL/PrintLog.db
# ledger_rows: every label of the ledger's database (after its integrity check), one line each:
# program,printer,job,sheet,position,line1,line2,stem,serial,state,detail.
ledger_rows() {
    python3 - "$LEDGER" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
assert db.execute('PRAGMA integrity_check').fetchone()[0] == 'ok'
for r in db.execute("""SELECT s.program, s.printer, s.job, s.sheet, l.position, l.line1, l.line2, l.stem,
                              IFNULL(l.serial, ''), s.state, s.detail
                       FROM label l JOIN sheet s ON s.id = l.sheet_id ORDER BY l.id"""):
    print(','.join(str(x) for x in r))
PY
}
# ledger_sheets LINE1: how many sheets hold labels with that line 1.
ledger_sheets() {
    python3 -c 'import sqlite3, sys
print(sqlite3.connect(sys.argv[1]).execute("SELECT COUNT(DISTINCT sheet_id) FROM label WHERE line1 = ?", (sys.argv[2],)).fetchone()[0])' "$LEDGER" "$1"
}
cli() { kb_cli "$@"; }

# ---- kill -9 in the middle of 3000 labels: the start file names the position after the queued sheets ----
kb_write_start_file '07\r\n10\r\n10\r\n'
env -u DISPLAY "$CLI" --count=3000 --number=1 --no-wait KILL ABC >/dev/null 2>"$KB_ROOT/k.err" &
k=$!
kb_wait_for 30 kb_have_jobs 3 || kb_fail "the long run sent too little"
kill -KILL "$k"
wait "$k" 2>/dev/null || true
kb_check "kill -9 after $(kb_job_count) sheets: position 01 stored (the first sheet ended at 30), not 07" \
    [ "$(first_line)" = 01 ]
kb_check "kill -9: the start file keeps its five lines" \
    [ "$(od -An -c "$KB_START_FILE" | tr -d ' \n')" = '01\r\n10\r\n10\r\n\r\n0\r\n' ]
sleep 1 # the scheduler prints what it holds
jobs_before=$(kb_job_count)
# The ledger names at least every sheet the start file counts as used: a row for each job but perhaps
# the one the kill met between the queue taking it and its row.
kb_check "kill -9: the ledger holds each of the $jobs_before sheets the queue took (but the last), and passes its integrity check" \
    [ "$(ledger_sheets KILL)" -ge $((jobs_before - 1)) ]

# ---- A start file on a read-only file system: nothing sent, the reason named ----
if ((EUID == 0)) && mkdir -p "$KB_ROOT/ro" && mount -t tmpfs -o size=64k tmpfs "$KB_ROOT/ro" 2>/dev/null; then
    KB_MOUNTS+=("$KB_ROOT/ro")
    printf '05\r\n10\r\n10\r\n' >"$KB_ROOT/ro/StartFile.txt"
    mount -o remount,ro "$KB_ROOT/ro"
    cli --start-file="$KB_ROOT/ro/StartFile.txt" HELLO
    kb_check "read-only file system: status 6 (got $rc: $err)" [ "$rc" -eq 6 ]
    kb_check "read-only file system: the file and the reason named" \
        grep -q "start file $KB_ROOT/ro/StartFile.txt.*: .*読み取り専用" <<<"$err"
    sleep 0.5
    kb_check "read-only file system: nothing sent" [ "$(kb_job_count)" -eq "$jobs_before" ]
else
    kb_log "SKIPPED: the read-only file system case needs root to mount a tmpfs (running as $(id -un))"
fi

# ---- A first job aborted, a second printed, then the advised reprint ----
lpadmin -p kbtest -o printer-error-policy=abort-job
kb_write_start_file '29\r\n10\r\n10\r\n'
touch "$KB_PRINT_OUT/.fail-next"
cli --count=4 --number=1 HELLO ABC
kb_check "first job aborted: status 8 (got $rc: $err)" [ "$rc" -eq 8 ]
kb_check "first job aborted: its sheet named" grep -q 'sheet 1 (positions 29-30, serials 1-2) did not print' <<<"$err"
advice=$(grep -o 'the same arguments with --count=[0-9]* --number=[0-9]*' <<<"$err" | sed 's/.* with //')
kb_check "first job aborted: the advice prints the two labels at the next free position ($advice)" \
    [ "$advice" = "--count=2 --number=1" ]
kb_check "first job aborted: the start file holds 03, after the second sheet" [ "$(first_line)" = 03 ]
jobs_before=$(kb_job_count)
# shellcheck disable=SC2086 # the advice is two options
cli $advice HELLO ABC
kb_check "the reprint: status 0 (got $rc: $err)" [ "$rc" -eq 0 ]
kb_check "the reprint printed at 03-04 and stored 05: the start file never went back" [ "$(first_line)" = 05 ]
kb_wait_for 10 kb_have_jobs $((jobs_before + 1)) || kb_fail "the reprint's sheet did not arrive"
kb_check "the reprint carries serials 1 and 2" \
    [ "$(pdftotext "$(kb_jobs_out | tail -n1)" - | grep -ow 'ABC-[0-9]*' | sort | tr '\n' ' ')" = "ABC-1 ABC-2 " ]

# ---- The ledger of those runs, --history, and the same numbers again ----
rows=$(ledger_rows)
kb_check "ledger: the aborted sheet's labels, failed in place, with the printer and their serials" \
    grep -qz 'command,kbtest,[0-9]*,1,29,HELLO,ABC-1,ABC,1,failed,aborted.command,kbtest,[0-9]*,1,30,HELLO,ABC-2,ABC,2,failed,aborted' <<<"$rows"
kb_check "ledger: the second sheet printed" grep -q 'command,kbtest,[0-9]*,2,1,HELLO,ABC-3,ABC,3,printed,' <<<"$rows"
kb_check "ledger: the reprint at 3-4 printed" grep -q 'command,kbtest,[0-9]*,1,4,HELLO,ABC-2,ABC,2,printed,' <<<"$rows"
copy=$KB_INSTALL/PrintLog.csv
kb_check "the copy for people: a row per label, with its state" \
    python3 -c 'import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8-sig", newline="")))
assert rows[0][:3] == ["time", "program", "printer"], rows[0]
assert any(r[8] == "ABC-3" and r[-2] == "printed" for r in rows[1:]), rows[-1]' "$copy"
history=$(env -u DISPLAY "$CLI" --history=3)
kb_check "--history=3: three lines, the last the reprint, printed" \
    [ "$(wc -l <<<"$history")" -eq 3 -a -n "$(tail -n1 <<<"$history" | grep 'kbtest  positions 3-4  HELLO / ABC-1 – HELLO / ABC-2  printed')" ]
jobs_before=$(kb_job_count)
cli --count=3 --number=2 HELLO ABC
kb_check "the same numbers again: status 10 (got $rc: $err)" [ "$rc" -eq 10 ]
kb_check "the same numbers again: the first such label named, with when and where" \
    grep -q 'the label "HELLO / ABC-2" (serial 2) was printed on 20[0-9-]*T[0-9:]*[-+][0-9][0-9]:[0-9][0-9] on printer "kbtest"' <<<"$err"
kb_check "the same numbers again: the start file kept (05)" [ "$(first_line)" = 05 ]
cli --again --count=3 --number=2 HELLO ABC
kb_check "--again prints them: status 0 (got $rc: $err)" [ "$rc" -eq 0 ]
kb_check "--again: the start file advanced to 08" [ "$(first_line)" = 08 ]
cli --list --number=next HELLO ABC
kb_check "--number=next: from the number after the series' highest, ABC-5 (got $rc: $(cat "$KB_ROOT/out.txt"))" \
    grep -q 'ABC-5' "$KB_ROOT/out.txt"
kb_wait_for 10 kb_have_jobs $((jobs_before + 1)) || kb_fail "--again sent nothing"

# ---- A job the printer aborts at once, on a busy machine: it went to the printer, so it failed ----
# The command, held back by busy processors, asks after its job only once the printer aborted it.
busy=()
for _ in 1 2; do timeout 60 sh -c 'while :; do :; done' & busy+=($!); done
touch "$KB_PRINT_OUT/.fail"
for i in 1 2 3; do
    kb_write_start_file '11\r\n10\r\n10\r\n'
    rc=0
    env -u DISPLAY nice -n 19 "$CLI" --again --count=1 --number=1 BUSY >/dev/null 2>"$KB_ROOT/err.txt" || rc=$?
    kb_check "aborted at once, run $i: status 8, not refused, 12 stored (got $rc, $(first_line): $(cat "$KB_ROOT/err.txt"))" \
        [ "$rc" -eq 8 -a "$(first_line)" = 12 ]
done
kill "${busy[@]}" 2>/dev/null
wait "${busy[@]}" 2>/dev/null || true
rm -f "$KB_PRINT_OUT/.fail"
kb_write_start_file '08\r\n10\r\n10\r\n'

# ---- A held job: --wait-timeout ends the wait, says held, even with -q ----
lpadmin -p kbtest -o job-hold-until-default=indefinite
cli -q --wait-timeout=2 HELLO
kb_check "held job: status 9 (got $rc: $err)" [ "$rc" -eq 9 ]
kb_check "held job: said to be held under -q" grep -q 'sheet 1 (positions 8), job [0-9]*, is held (held until released)' <<<"$err"
kb_check "held job: named as still queued" grep -q 'not known whether printed: sheet 1 (positions 8) (job [0-9]* still queued after 2 s)' <<<"$err"
kb_check "held job: the position after it stored" [ "$(first_line)" = 09 ]
cancel -a kbtest
cli --history=1
kb_check "a sheet left queued is asked after by --history: the cancelled job's sheet failed ($(cat "$KB_ROOT/out.txt"))" \
    grep -q 'positions 8  HELLO / .*failed (cancelled)' "$KB_ROOT/out.txt"

# ---- A ledger that cannot be written never stops a run; it is said once ----
mkdir -p "$KB_ROOT/other/PrintLog.db"
printf '01\r\n10\r\n10\r\n' >"$KB_ROOT/other/StartFile.txt"
lpadmin -p kbtest -o job-hold-until-default=no-hold
cli --start-file="$KB_ROOT/other/StartFile.txt" --count=31 HELLO
kb_check "no ledger: printed all the same (got $rc: $err)" [ "$rc" -eq 0 ]
kb_check "no ledger: said once, with the file" [ "$(grep -c "no ledger is kept: $KB_ROOT/other/PrintLog.db" <<<"$err")" -eq 1 ]
kb_check "no ledger: the position stored" [ "$(head -c 2 "$KB_ROOT/other/StartFile.txt")" = 02 ]

# ---- A ledger of the last version (PrintLog.csv, one row per sheet) is read in once and guards ----
mkdir -p "$KB_ROOT/old"
printf '01\r\n10\r\n10\r\n' >"$KB_ROOT/old/StartFile.txt"
printf '\xef\xbb\xbftime,program,printer,job,sheet,positions,first_line1,first_line2,last_line1,last_line2,first_serial,last_serial,state,detail\r\n2026-12-01T10:00:00+09:00,window,kbtest,7,1,1-3,HELLO,OLD-1,HELLO,OLD-3,1,3,queued,\r\n2026-12-01T10:00:09+09:00,window,kbtest,7,1,1-3,HELLO,OLD-1,HELLO,OLD-3,1,3,printed,\r\n' >"$KB_ROOT/old/PrintLog.csv"
cp "$KB_ROOT/old/PrintLog.csv" "$KB_ROOT/old.csv"
cli --start-file="$KB_ROOT/old/StartFile.txt" --number=3 --count=2 HELLO OLD
kb_check "the last version's ledger: its OLD-3 guards (status 10, got $rc: $err)" [ "$rc" -eq 10 ]
kb_check "the last version's ledger: left as it was" cmp -s "$KB_ROOT/old/PrintLog.csv" "$KB_ROOT/old.csv"
cli --start-file="$KB_ROOT/old/StartFile.txt" --list --number=next HELLO OLD
kb_check "the last version's ledger: the series goes on at OLD-4" grep -q 'OLD-4' "$KB_ROOT/out.txt"

# ---- Instances nobody defined: refused like a missing queue ----
for name in kbtest/nosuch kbtest/; do
    cli --printer="$name" HELLO
    kb_check "printer $name: status 3 (got $rc: $err)" [ "$rc" -eq 3 ]
    kb_check "printer $name: reported missing" grep -q '見つかりません' <<<"$err"
done

# ---- The printer stopped, then the scheduler gone during the wait: not known whether printed ----
lpadmin -p kbtest -o job-hold-until-default=indefinite
env -u DISPLAY "$CLI" -q --count=1 HELLO >/dev/null 2>"$KB_ROOT/s.err" &
s=$!
kb_wait_for 10 grep -q 'is held' "$KB_ROOT/s.err" || kb_fail "the held job was not told: $(cat "$KB_ROOT/s.err")"
cupsdisable kbtest
kb_wait_for 10 grep -q 'printer "kbtest" is stopped' "$KB_ROOT/s.err" ||
    kb_fail "the stopped printer was not told: $(cat "$KB_ROOT/s.err")"
kb_stop_cups
rc=0
wait "$s" || rc=$?
err=$(cat "$KB_ROOT/s.err")
kb_check "scheduler gone during the wait: status 9 (got $rc: $err)" [ "$rc" -eq 9 ]
kb_check "scheduler gone: the sheet named, not known whether printed" \
    grep -q 'not known whether printed: sheet 1 (positions 9) (job [0-9]*: the print system can no longer be asked' <<<"$err"
kb_check "ledger: the scheduler gone, the sheet's end unknown" \
    grep -q 'command,kbtest,[0-9]*,1,9,HELLO,,,,unknown,the print system could not be asked' <<<"$(ledger_rows)"
cli HELLO
kb_check "no scheduler: status 3 (got $rc: $err)" [ "$rc" -eq 3 ]
kb_check "no scheduler: says the print system cannot be reached" grep -q '印刷システム' <<<"$err"
kb_log "run test passed"
