#!/usr/bin/env bash
# Two copies started at the same instant, 20 times over: each time exactly one window "Main" ends up
# shown, the other copy hands over and ends with code 0, and no other window (no "cannot start"
# message) appears. Each round ends the surviving copy with "End", so the next round starts clean.
# Usage: twins_test.sh EXECUTABLE [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
kb_setup twins "$1" "${2:-}"
kb_start_x
kb_write_start_file '01\r\n10\r\n10\r\n'
rounds=${KB_TWIN_ROUNDS:-20}

# Both copies wait on one pipe and are let go by one write, so their exec calls come within a
# fraction of a millisecond of each other. The test keeps the pipe open itself, so a copy that opens
# it late still finds its line waiting.
gate=$KB_ROOT/gate
mkfifo "$gate"
exec 7<>"$gate"

# Every mapped window but the root, whatever its name or owner.
root_window=$(printf '%d' "$(xwininfo -root | awk '/Window id:/ {print $4}')")
visible_windows() { xdotool search --all --onlyvisible --name '' 2>/dev/null | grep -cvx "$root_window"; }

for ((round = 1; round <= rounds; round++)); do
    pids=()
    for copy in a b; do
        (
            read -r _ <"$gate"
            exec "$KB_EXE"
        ) >"$KB_ROOT/log/round$round-$copy.log" 2>&1 &
        pids+=($!)
        KB_PIDS+=($!)
    done
    sleep 0.2 # both copies are waiting at the gate
    printf '\n\n' >&7

    # One copy ends (it handed over), the other shows its window.
    ended=""
    end=$(($(date +%s%N) + 20000000000))
    while [[ -z $ended ]]; do
        for pid in "${pids[@]}"; do
            kb_alive "$pid" || ended=$pid
        done
        (($(date +%s%N) < end)) || kb_fail "round $round: both copies still run after 20 s"
        [[ -n $ended ]] || sleep 0.02
    done
    survivor=${pids[0]}
    [[ $survivor == "$ended" ]] && survivor=${pids[1]}
    kb_wait_exit "$ended" 1 || true
    [[ $KB_EXIT_CODE == 0 ]] ||
        kb_fail "round $round: the copy that ended had code $KB_EXIT_CODE: $(cat "$KB_ROOT"/log/round$round-*.log)"
    w=$(kb_wait_window Main 20 "$survivor") || kb_fail "round $round: the remaining copy shows no window \"Main\""
    # Long enough for a late second window or message box to show up.
    sleep 0.3
    kb_alive "$survivor" || kb_fail "round $round: the remaining copy ended too"
    [[ $(kb_windows Main | wc -l) -eq 1 && $(visible_windows) -eq 1 ]] ||
        kb_fail "round $round: $(kb_windows Main | wc -l) windows \"Main\", $(visible_windows) windows in all"
    kb_log "ok: round $round: one window, pid $survivor; pid $ended handed over"

    kb_click "$w" 124 44 # "End"
    kb_wait_exit "$survivor" 10 || kb_fail "round $round: the remaining copy did not end on \"End\""
done
kb_log "twins test passed: $rounds rounds, one window each"
