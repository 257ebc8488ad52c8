#!/usr/bin/env bash
# Start-up time of the real program: from exec until its window "Main" is mapped, under a private Xvfb
# with no window manager, over RUNS starts (one more start before them warms the caches and is not
# counted). Each start is ended with "End", so no start meets a registration left behind.
# Usage: bench/startup.sh [RUNS] [EXECUTABLE]      (default: 20 runs of build/bin/Kestrelbox)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-20}
exe=${2:-$root/build/bin/Kestrelbox}
source "$root/tests/e2e/lib.sh"
kb_setup startup "$exe"
kb_start_x
kb_write_start_file '01\r\n10\r\n10\r\n'

times=()
for ((i = 0; i <= runs; i++)); do
    t0=$(date +%s%N)
    kb_start_app
    # Polled every few milliseconds; each look costs about as much, which bounds the resolution.
    until w=$(xdotool search --all --onlyvisible --pid "$KB_APP_PID" --name '^Main$' 2>/dev/null); do
        kb_alive "$KB_APP_PID" || kb_fail "the program ended before showing its window"
        (($(date +%s%N) - t0 < 30000000000)) || kb_fail "no window within 30 s"
    done
    t1=$(date +%s%N)
    ((i > 0)) && times+=($(((t1 - t0) / 1000000)))
    kb_click "${w%%$'\n'*}" 124 44 # "End"
    kb_wait_exit "$KB_APP_PID" 10 || kb_fail "the program did not end on \"End\""
done

mapfile -t sorted < <(printf '%s\n' "${times[@]}" | sort -n)
n=${#sorted[@]}
if ((n % 2)); then
    median=${sorted[n / 2]}
else
    median=$(((sorted[n / 2 - 1] + sorted[n / 2]) / 2))
fi
echo "startup to mapped window \"Main\" over $n runs ($(basename "$exe")): median ${median} ms, min ${sorted[0]} ms, max ${sorted[n - 1]} ms"
