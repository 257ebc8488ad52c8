#!/usr/bin/env bash
# The real program against start files and folders that are not what they should be. A named pipe and
# a link to /dev/zero at the start file's name are refused at once with an error box (no hang, no
# endless read), and the program ends by itself once the box is closed. Run as an ordinary user
# (the test drops root for it), an installation folder the user cannot write still keeps the position
# picked on the sheet map (the file is rewritten in place), a read-only start file is refused and kept,
# a runtime folder the user cannot write, whose path is too long for a socket, or which others may write
# (another user listening there under the program's name) does not stop the program or its hand-over,
# and when no folder at all can hold the registration the program says so and ends with a non-zero status.
# kestrelbox-print -o never writes through a link or over a named pipe or a device, and the print module
# is loaded only from beside the executable (not from a module planted where the build put it).
# Usage: hostile_test.sh EXECUTABLE [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
kb_setup hostile "$1" "${2:-}"
# Folders made read-only below must not keep the clean-up from removing them.
trap 'rc=$?; trap - ERR; set +e; chmod -R u+rwX "$KB_ROOT" 2>/dev/null; (exit $rc); kb_teardown' EXIT
kb_start_x

# A start whose creation fails shows one error box; closing it ends the program: refused_start WHAT
refused_start() {
    local what=$1 pid=$KB_APP_PID box
    box=$(kb_wait_window Kestrelbox 10 "$pid") || kb_fail "$what: no error box within 10 s"
    kb_check "$what: one box" [ "$(kb_windows Kestrelbox "$pid" | wc -l)" -eq 1 ]
    local hwm
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
    kb_check "$what: peak memory ${hwm} kB stays below 200 MB" [ "$hwm" -lt 200000 ]
    kb_focus "$box"
    kb_key Return
    kb_wait_exit "$pid" 5 || kb_fail "$what: program still running 5 s after the box was closed"
    kb_check "$what: the program ended by itself with the start file's status 6 (code $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 6 ]
}

# The program under a memory cap, so that a regression that reads without end fails instead of
# taking the machine's memory; as root, the program runs as nobody (root may write every file).
wrapper=$KB_ROOT/user-start
if ((EUID == 0)); then
    printf '#!/bin/sh\nulimit -v 2000000\nexec setpriv --reuid=nobody --regid=nogroup --clear-groups -- "%s"\n' \
        "$KB_EXE" >"$wrapper"
    chmod o+x "$KB_ROOT"
    chown nobody:nogroup "$KB_ROOT"/{home,tmp,run}
    user=nobody
else
    printf '#!/bin/sh\nulimit -v 2000000\nexec "%s"\n' "$KB_EXE" >"$wrapper"
    user=$(id -un)
fi
chmod 0755 "$wrapper"
as_user() { if ((EUID == 0)); then setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; else "$@"; fi; }

# ---- A named pipe: no writer will ever come ----
mkfifo "$KB_START_FILE"
kb_start_app "$wrapper"
refused_start "named pipe"
kb_check "the pipe is still a pipe" [ -p "$KB_START_FILE" ]
rm -f "$KB_START_FILE"

# ---- A link to /dev/zero: it never ends ----
ln -s /dev/zero "$KB_START_FILE"
kb_start_app "$wrapper"
refused_start "link to /dev/zero"
kb_check "the link is still a link to /dev/zero" [ "$(readlink "$KB_START_FILE")" = /dev/zero ]
rm -f "$KB_START_FILE"

# ---- An installation folder the user cannot write, and a runtime folder the user cannot write ----
kb_write_start_file '01\r\n10\r\n10\r\n'
if ((EUID == 0)); then
    chown nobody:nogroup "$KB_START_FILE" # the folder stays root's, as after an installation by root
else
    chmod 0555 "$KB_INSTALL"
fi
chmod 0500 "$XDG_RUNTIME_DIR"
kb_check "the installation folder refuses a new file" as_user bash -c "! : 2>/dev/null >'$KB_INSTALL/probe'"
kb_start_app "$wrapper"
pid=$KB_APP_PID
w=$(kb_wait_window Main 20 "$pid") || kb_fail "runtime folder $user cannot write: no window \"Main\""
kb_start_app "$wrapper"
kb_wait_exit "$KB_APP_PID" 10 || kb_fail "a second start did not end"
kb_check "a second start hands over and ends (code $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 0 ]
kb_check "still one window Main" [ "$(kb_windows Main | wc -l)" -eq 1 ]
sleep 0.3
# A line of text in Memo1 (at 40, 88 in the panel at 56, 136), PrintSet (at 576, 304), then position 5
# on the map (Image2 at 56, 16 in the panel; position 5 is column 1, x 16..97, row 3, y 56..70).
kb_click "$w" $((56 + 40 + 30)) $((136 + 88 + 12))
kb_type A
kb_click "$w" $((56 + 576 + 60)) $((136 + 304 + 28))
sleep 0.3
kb_click "$w" $((56 + 56 + 40)) $((136 + 16 + 63))
kb_wait_for 5 grep -q '^05' "$KB_START_FILE" || kb_fail "the map click did not store position 5: $(od -c "$KB_START_FILE")"
kb_check "the map click wrote 05, 10, 10 with CR LF in place" \
    [ "$(od -An -c "$KB_START_FILE" | tr -s ' \n' ' ')" = " 0 5 \r \n 1 0 \r \n 1 0 \r \n " ]
kb_check "nothing else in the installation folder" \
    [ "$(ls -A "$KB_INSTALL" | tr '\n' ' ')" = "Kestrelbox StartFile.txt libkb_cups.so libkb_ledger.so libkb_zint.so " ]
kb_check "no error box" [ -z "$(kb_windows Kestrelbox "$pid")" ]

# ---- A read-only start file in a folder the user can write: refused, and kept ----
if ((EUID == 0)); then chown nobody:nogroup "$KB_INSTALL"; else chmod 0755 "$KB_INSTALL"; fi
chmod 0444 "$KB_START_FILE"
kb_click "$w" $((56 + 56 + 40)) $((136 + 16 + 87)) # position 7: row 4
box=$(kb_wait_window Kestrelbox 10 "$pid") || kb_fail "read-only start file: no error box"
kb_check "read-only start file kept as it was" \
    [ "$(od -An -c "$KB_START_FILE" | tr -s ' \n' ' ')" = " 0 5 \r \n 1 0 \r \n 1 0 \r \n " ]
kb_check "read-only start file still read-only" [ "$(stat -c %a "$KB_START_FILE")" = 444 ]
kb_focus "$box"
kb_key Return
kb_wait_for 5 bash -c "[ -z \"\$(xdotool search --all --onlyvisible --pid $pid --name '^Kestrelbox\$')\" ]" ||
    kb_fail "the error box did not close"
kb_click "$w" $((168 + 36)) 44 # End, beside Exit on the sheet screen
kb_wait_exit "$pid" 10 || kb_fail "program still running 10 s after End"
kb_check "ended with code 0 after End (got $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 0 ]

# Starts the program with XDG_RUNTIME_DIR=$1: its window opens, a second start hands over to it and
# ends, and "End" ends it: hand_over_in FOLDER WHAT
hand_over_in() {
    local pid
    XDG_RUNTIME_DIR=$1 kb_start_app "$wrapper"
    pid=$KB_APP_PID
    w=$(kb_wait_window Main 20 "$pid") || kb_fail "$2: no window \"Main\""
    XDG_RUNTIME_DIR=$1 kb_start_app "$wrapper"
    kb_wait_exit "$KB_APP_PID" 10 || kb_fail "$2: a second start did not end"
    kb_check "$2: a second start hands over and ends (code $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 0 ]
    kb_check "$2: still one window Main" [ "$(kb_windows Main | wc -l)" -eq 1 ]
    kb_check "$2: the registration is in the private folder" [ -S "$TMPDIR/kestrelbox-$uid/kestrelbox-$uid-Kestrelbox" ]
    sleep 0.3
    kb_click "$w" 124 44 # End
    kb_wait_exit "$pid" 10 || kb_fail "$2: program still running 10 s after End"
}
uid=$(as_user id -u)

# ---- A runtime folder whose path leaves no room for the socket's name (104 bytes) ----
long=$KB_ROOT/r
long+=$(printf 'r%.0s' $(seq $((104 - ${#long}))))
mkdir -m 0700 "$long"
((EUID != 0)) || chown nobody:nogroup "$long"
hand_over_in "$long" "104-byte runtime folder"

# ---- A shared runtime folder (mode 1777, like /tmp) where another user listens under our name ----
# As root the program runs as nobody and the listener is root's; as an ordinary user the listener is
# the user's own, standing in for another's.
shared=$KB_ROOT/shared
mkdir -m 1777 "$shared"
python3 -c '
import os, socket, sys
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1])
os.chmod(sys.argv[1], 0o777)
s.listen(4)
while True:
    c, _ = s.accept()
    with open(sys.argv[2], "ab") as log:
        log.write(c.recv(64) or b"(looked)")
    c.close()
' "$shared/kestrelbox-$uid-Kestrelbox" "$KB_ROOT/listener.log" &
KB_PIDS+=($!)
kb_wait_for 5 test -S "$shared/kestrelbox-$uid-Kestrelbox" || kb_fail "the other listener did not start"
hand_over_in "$shared" "shared runtime folder"
kb_check "the other user's listener was never called" [ ! -e "$KB_ROOT/listener.log" ]

# ---- kestrelbox-print -o at a link, a named pipe and (as root) a device: status 5, nothing written ----
cp "$(dirname "$1")/kestrelbox-print" "$KB_INSTALL/"
cli() { # cli ARGS...: its status in rc, its standard error in err
    rc=0
    env -u DISPLAY timeout 20 "$KB_INSTALL/kestrelbox-print" "$@" >"$KB_ROOT/out.txt" 2>"$KB_ROOT/err.txt" || rc=$?
    err=$(cat "$KB_ROOT/err.txt")
}
out=$KB_ROOT/out
mkdir "$out"
printf 'keep me\n' >"$KB_ROOT/victim"
ln -s "$KB_ROOT/victim" "$out/link.pdf"
mkfifo "$out/fifo.pdf"
targets=(link.pdf fifo.pdf)
if ((EUID == 0)); then
    mknod "$out/null.pdf" c 1 3 # a copy of /dev/null
    targets+=(null.pdf)
fi
for t in "${targets[@]}"; do
    kind=$(stat -c %F "$out/$t")
    cli -o "$out/$t" HELLO
    kb_check "-o $t: status 5 (got $rc)" [ "$rc" -eq 5 ]
    kb_check "-o $t: the message names the file and why ($err)" grep -q "^kestrelbox-print: file \"$out/$t\" not written: ." <<<"$err"
    kb_check "-o $t: still a $kind" [ "$(stat -c %F "$out/$t")" = "$kind" ]
done
kb_check "-o at a link: its target kept" [ "$(cat "$KB_ROOT/victim")" = "keep me" ]
kb_check "-o: nothing else in the folder" [ "$(ls -A "$out" | wc -l)" -eq ${#targets[@]} ]

# ---- No print module beside the executable, and one planted at the path of the build's ----
# In a mount namespace of its own, the module the build made is covered by one that leaves a mark when
# loaded; the program must load neither, and say which module it misses.
kb_start_cups
rm "$KB_INSTALL/libkb_cups.so"
printf '#include <fcntl.h>\n#include <unistd.h>\n__attribute__((constructor)) static void planted(void) {
    close(open("%s", O_CREAT | O_WRONLY, 0644)); }\n' "$KB_ROOT/planted-ran" >"$KB_ROOT/planted.c"
cc -shared -fPIC -o "$KB_ROOT/planted.so" "$KB_ROOT/planted.c"
ns=(unshare -m)
((EUID == 0)) || ns=(unshare -r -m)
if "${ns[@]}" true 2>/dev/null; then
    rc=0
    "${ns[@]}" bash -c 'mount --bind "$0" "$1" && exec env -u DISPLAY "$2" --printer=kbtest HELLO' \
        "$KB_ROOT/planted.so" "$(dirname "$1")/libkb_cups.so" "$KB_INSTALL/kestrelbox-print" 2>"$KB_ROOT/err.txt" || rc=$?
    err=$(cat "$KB_ROOT/err.txt")
    kb_check "no module: the planted module was never loaded" [ ! -e "$KB_ROOT/planted-ran" ]
    kb_check "no module: a non-zero status (got $rc)" [ "$rc" -ne 0 ]
    kb_check "no module: the message names it ($err)" grep -q "libkb_cups.so" <<<"$err"
    kb_check "no module: nothing sent" [ "$(kb_job_count)" -eq 0 ]
else
    kb_log "SKIPPED: no mount namespace here to plant a module at the build's path"
fi
kb_stop_cups

# ---- No folder can hold the registration: the program says so and fails ----
export TMPDIR=$KB_ROOT/no-such-folder
kb_start_app "$wrapper"
pid=$KB_APP_PID
box=$(kb_wait_window Kestrelbox 10 "$pid") || kb_fail "no folder for the registration: no message box"
kb_check "no window Main" [ -z "$(kb_windows Main "$pid")" ]
kb_focus "$box"
kb_key Return
kb_wait_exit "$pid" 5 || kb_fail "no folder for the registration: still running after the message"
kb_check "no folder for the registration: non-zero exit status (got $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -ne 0 ]
kb_log "hostile test passed"
