#!/usr/bin/env bash
# The start file's hold against what lies outside the program's own runs, through a private CUPS queue:
# another local user who may only read the start file holds every lock a reader can take on it (as
# root; skipped otherwise): the owner's command prints at once, no message claims the window, and the
# window still takes the file; the start file saved by an editor (a new file renamed over it) while the
# window runs: a command 3 s later is refused as beside the window, the window says once that the file
# was changed outside the program and prints from the new file's position; the command started with
# standard input, output and error closed leaves exactly the start file's lines in it.
# Usage: hold_test.sh EXECUTABLE [ARTEFACT_DIR] (kestrelbox-print lies beside EXECUTABLE)
export KB_DEADLINE=110
source "$(dirname "$0")/lib.sh"
kb_setup hold "$1" "${2:-}"
kb_install_cli
kb_start_cups "$KB_E2E_DIR/kbtest.ppd"
five_lines() { printf '%s\r\n10\r\n10\r\n\r\n0\r\n' "$1"; }
holds() { cmp -s "$KB_START_FILE" <(five_lines "$1"); } # holds NN: the start file after a run, exactly
cli() { kb_cli "$@"; }

# ---- Standard descriptors closed: none of them is the start file's, its hold's or the queue's ----
# The printer is kept busy, so that the command waits for its jobs, holding the start file, while its
# descriptors are looked at.
hold_file=$KB_INSTALL/.StartFile.txt.kestrelbox-lock
kb_write_start_file '01\r\n10\r\n10\r\n'
touch "$KB_PRINT_OUT/.wait"
env -u DISPLAY "$CLI" --count=35 HELLO ABC 0<&- 1>&- 2>&- &
cli_pid=$!
KB_PIDS+=("$cli_pid")
kb_wait_for 30 holds 06 || kb_fail "closed descriptors: the run stored nothing: $(od -An -c "$KB_START_FILE")"
for fd in 0 1 2; do
    to=$(readlink "/proc/$cli_pid/fd/$fd" || echo closed)
    kb_check "closed descriptors: descriptor $fd is the null device (got $to)" [ "$to" = /dev/null ]
done
kill -INT "$cli_pid"
kb_wait_exit "$cli_pid" 20 || kb_fail "closed descriptors: the command did not stop"
rm -f "$KB_PRINT_OUT/.wait"
kb_check "closed descriptors: the start file holds exactly its lines" holds 06
kb_check "closed descriptors: nothing written into the hold file" [ ! -s "$hold_file" ]

# ---- A hold file planted as a link: refused, and named as the hold file, not as the start file ----
mv "$hold_file" "$KB_ROOT/hold.kept"
ln -s "$KB_ROOT/elsewhere" "$hold_file"
cli HELLO
kb_check "a link at the hold file: status 6 (got $rc)" [ "$rc" -eq 6 ]
kb_check "a link at the hold file: named as the hold file ($err)" grep -q "the hold file $hold_file beside the start file" <<<"$err"
kb_check "a link at the hold file: nothing made through it" [ ! -e "$KB_ROOT/elsewhere" ]
rm "$hold_file"
mv "$KB_ROOT/hold.kept" "$hold_file"

# ---- A second local user who may only read the start file holds every lock a reader can take ----
if ((EUID == 0)); then
    chmod o+x "$KB_ROOT" # the start file's folder reachable by the other user; the file stays 0644
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- /usr/bin/python3 -c '
import fcntl, os, struct, sys, time
fd = os.open(sys.argv[1], os.O_RDONLY)
fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
whole = struct.pack("hhqqi", fcntl.F_RDLCK, 0, 0, 0, 0)
fcntl.fcntl(fd, 37, whole)       # F_OFD_SETLK: the whole file
fcntl.fcntl(fd, fcntl.F_SETLK, whole)  # a process lock on the whole file
mark = os.open(sys.argv[1], os.O_RDONLY)
fcntl.fcntl(mark, 37, struct.pack("hhqqi", fcntl.F_RDLCK, 0, 1, 1, 0))  # the byte a window once marked
print("locked", flush=True)
time.sleep(600)
' "$KB_START_FILE" >"$KB_ROOT/reader.out" 2>&1 &
    KB_PIDS+=($!)
    kb_wait_for 10 grep -q locked "$KB_ROOT/reader.out" || kb_fail "the reader took no lock: $(cat "$KB_ROOT/reader.out")"
    kb_write_start_file '01\r\n10\r\n10\r\n'
    begin=$(date +%s)
    cli --count=2 HELLO ABC
    took=$(($(date +%s) - begin))
    kb_check "reader's locks: the owner's command prints (status $rc: $err)" [ "$rc" -eq 0 ]
    kb_check "reader's locks: at once (${took} s)" [ "$took" -lt 15 ]
    kb_check "reader's locks: no word of a window" bash -c "! grep -qi window <<<\"\$0\"" "$err"
    kb_check "reader's locks: the position after the run stored" holds 03
    kb_check "the hold file beside it is the owner's alone (mode $(stat -c %a "$hold_file"))" \
        [ "$(stat -c %a "$hold_file")" = 600 ]
    # A ledger that user may only read, and that holds nothing yet: told why it cannot be used.
    mkdir -m 0755 "$KB_ROOT/readonly" && : >"$KB_ROOT/readonly/PrintLog.db"
    printf '01\r\n10\r\n10\r\n' >"$KB_ROOT/readonly/StartFile.txt" && chmod 0644 "$KB_ROOT"/readonly/*
    out=$(env -u DISPLAY setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
        "$CLI" --start-file="$KB_ROOT/readonly/StartFile.txt" --history 2>&1) || true
    kb_check "a ledger only read, and empty: said so ($out)" grep -q 'empty, and may only be read by this user' <<<"$out"
else
    kb_log "SKIPPED: a second user who may only read the start file needs root"
fi

# ---- The start file saved by an editor while the window runs ----
kb_start_x
kb_write_start_file '01\r\n10\r\n10\r\n'
kb_start_main
# The window holds the file (despite the reader, as root): a command beside it is refused.
cli HELLO
kb_check "beside the window: status 4 (got $rc)" [ "$rc" -eq 4 ]
kb_check "beside the window: the message names the window" grep -q window <<<"$err"

# changed_outside WHAT: the window tells once that the start file changed; a command 3 s after the
# change is refused as beside the window.
changed_outside() {
    local box
    box=$(kb_wait_window Kestrelbox 5 "$pid") || kb_fail "$1: the window said nothing within 5 s"
    kb_screenshot "$1" >/dev/null
    sleep 2
    cli HELLO
    kb_check "$1: a command 3 s later: status 4 (got $rc: $err)" [ "$rc" -eq 4 ]
    kb_check "$1: the command is refused as beside the window" grep -q window <<<"$err"
    kb_focus "$box"
    kb_key Return
    kb_wait_for 5 bash -c "[ -z \"\$(xdotool search --all --onlyvisible --pid $pid --name '^Kestrelbox\$')\" ]" ||
        kb_fail "$1: the message did not close"
    sleep 2
    kb_check "$1: said once" [ -z "$(kb_windows Kestrelbox "$pid")" ]
}

printf '05\r\n10\r\n10\r\n' >"$KB_INSTALL/StartFile.txt.new"
mv "$KB_INSTALL/StartFile.txt.new" "$KB_START_FILE"
changed_outside renamed-over
kb_enter_hello_abc 2
kb_print_run after-edit
kb_wait_for 10 holds 07 || kb_fail "the window did not print at 5-6 and store 07: $(od -An -c "$KB_START_FILE")"
kb_log "ok: the window printed from the edited position 05 and stored 07"
kb_log "hold test passed"
