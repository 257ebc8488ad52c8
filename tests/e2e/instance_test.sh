#!/usr/bin/env bash
# Single instance with real processes: a second start hands over to the running copy (which comes to
# the front and takes the focus) and ends at once without a window; a copy killed with SIGKILL does not
# block the next start; a copy of the executable under another file name runs beside it.
# Usage: instance_test.sh EXECUTABLE [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
kb_setup instance "$1" "${2:-}"
kb_start_x
kb_write_start_file '01\r\n10\r\n10\r\n'

# True when window $1 is in front of window $2 (xwininfo lists the root's children front first).
in_front() {
    xwininfo -root -children | awk -v a="$(printf '0x%x' "$1")" -v b="$(printf '0x%x' "$2")" \
        '$1 == a && !seen {exit 0} $1 == b {seen = 1} END {exit seen ? 1 : 0}'
}

# ---- Copy 1, then another window in front of it with the focus ----
kb_start_app
pid1=$KB_APP_PID
w1=$(kb_wait_window Main 20 "$pid1") || kb_fail "copy 1: no window \"Main\""
sleep 0.5
xmessage -title Other -geometry 600x400+300+300 "another program" >/dev/null 2>&1 &
KB_PIDS+=($!)
wo=$(kb_wait_window Other 10) || kb_fail "no xmessage window"
kb_focus "$wo"
# The pointer passes over copy 1 without clicking (as a user's would), so its X server time is current.
xdotool mousemove --window "$w1" 5 600
sleep 0.3
kb_check "the other window has the focus" [ "$(kb_focused_window)" = "$wo" ]
kb_check "the other window is in front of Main" in_front "$wo" "$w1"

# ---- Copy 2 hands over and ends ----
t0=$(date +%s%N)
kb_start_app
pid2=$KB_APP_PID
own_windows=0
while kb_alive "$pid2" && (($(date +%s%N) - t0 < 10000000000)); do
    [[ -n $(xdotool search --all --onlyvisible --pid "$pid2" --name '' 2>/dev/null) ]] && own_windows=1
    sleep 0.02
done
kb_wait_exit "$pid2" 1 || kb_fail "copy 2 still running after 10 s"
ms=$((($(date +%s%N) - t0) / 1000000))
kb_check "copy 2 ended with code 0 (got $KB_EXIT_CODE) after $ms ms" [ "$KB_EXIT_CODE" -eq 0 ]
kb_check "copy 2 ended within 3 s ($ms ms)" [ "$ms" -lt 3000 ]
kb_check "copy 2 showed no window" [ "$own_windows" -eq 0 ]
kb_check "still exactly one window Main" [ "$(kb_windows Main | wc -l)" -eq 1 ]
kb_check "copy 1 still runs" kb_alive "$pid1"
kb_check "copy 1 is mapped" [ "$(kb_map_state "$w1")" = IsViewable ]
kb_wait_for 3 bash -c "[ \"\$(xdotool getwindowfocus 2>/dev/null)\" = $w1 ]" ||
    kb_fail "copy 1 did not take the focus (focus: $(kb_focused_window), Main: $w1)"
kb_log "ok: copy 1 has the focus"
kb_check "copy 1 came in front of the other window" in_front "$w1" "$wo"

# ---- A copy that died leaves its registration behind; the next start takes it over ----
kill -KILL "$pid1"
wait "$pid1" 2>/dev/null || true
kb_start_app
pid3=$KB_APP_PID
w3=$(kb_wait_window Main 20 "$pid3") || kb_fail "copy 3 (after kill -9 of copy 1): no window \"Main\""
kb_log "ok: copy 3 runs after kill -9 of copy 1"

# ---- Another file name is another program as far as the guard is concerned ----
cp "$KB_EXE" "$KB_INSTALL/KestrelboxOther"
kb_start_app "$KB_INSTALL/KestrelboxOther"
pid4=$KB_APP_PID
w4=$(kb_wait_window Main 20 "$pid4") || kb_fail "copy under another name: no window \"Main\""
kb_check "both copies show their windows" [ "$(kb_windows Main | wc -l)" -eq 2 ]
kb_check "copy 3 still runs beside it" kb_alive "$pid3"

# A further start of the first name still hands over to copy 3, not to the other name.
kb_start_app
pid5=$KB_APP_PID
kb_wait_exit "$pid5" 10 || kb_fail "copy 5 did not end"
kb_check "copy 5 handed over and ended (code $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 0 ]
kb_check "still two windows Main" [ "$(kb_windows Main | wc -l)" -eq 2 ]

# ---- "End" in each copy removes its registration: the next start runs ----
for w in "$w4" "$w3"; do
    xdotool windowraise "$w"
    sleep 0.2
    kb_click "$w" 124 44
done
kb_wait_exit "$pid4" 10 || kb_fail "the other copy did not end on End"
kb_wait_exit "$pid3" 10 || kb_fail "copy 3 did not end on End"
kb_start_app
pid6=$KB_APP_PID
kb_wait_window Main 20 "$pid6" >/dev/null || kb_fail "no window after both copies ended"
kb_log "ok: a start after End runs normally"
kb_log "instance test passed"
