#!/usr/bin/env bash
# kestrelbox-print writing numbered runs into one PDF on the offscreen platform: 1 sheet, 100 sheets
# (3 000 labels) and 334 sheets (10 000 labels), each RUNS times. For every size: the median wall time (bash's clock around the run),
# the time per sheet, and the peak resident memory (/usr/bin/time's maximum resident set size, which
# is the process's VmHWM). The time per added sheet between 100 and 334 sheets leaves the start-up
# out, and the peak memory at 334 sheets against 100 shows whether memory grows with the sheets.
# With --lists: lists of 1 000, 10 000 and 100 000 labels printed from a file (--from; rows of 10
# numbered labels with a Japanese line 1) instead; memory that stays flat from 1 000 to 100 000 labels
# shows that neither the list nor the run keeps anything per label or per sheet.
# A benchmark, not a test: it checks nothing and is not run by ./test.
#
# Usage: bench/cli_pdf.sh [--lists] [RUNS] [BUILD_DIR]   (RUNS default 5; BUILD_DIR default build/)
# Needs /usr/bin/time (Debian package "time").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lists=false
[[ ${1:-} == --lists ]] && lists=true && shift
runs=${1:-5}
build=$(cd "${2:-$root/build}" && pwd)
cli=$build/bin/kestrelbox-print
[[ -x $cli ]] || {
    echo "missing $cli: build first (./test, or cmake --build)" >&2
    exit 1
}
[[ -x /usr/bin/time ]] || {
    echo "missing /usr/bin/time: apt-get install time" >&2
    exit 1
}
work=$(mktemp -d "${TMPDIR:-/tmp}/kb-cli-bench.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
chmod 0700 "$work"

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

declare -A wall rss
printf '%-8s %-8s %12s %14s %12s\n' sheets labels "wall (s)" "per sheet (ms)" "peak RSS (MB)"
sizes=(30 3000 10000)
$lists && sizes=(1000 10000 100000)
for labels in "${sizes[@]}"; do
    sheets=$(((labels + 29) / 30))
    what=(--number=1 --count=$labels HELLO ABC)
    if $lists; then
        seq 1 $((labels / 10)) | awk '{printf "試料%05d,LOT,10,0001\n", $1}' >"$work/list.csv"
        what=(--from="$work/list.csv")
    fi
    : >"$work/wall" && : >"$work/rss"
    for ((i = 0; i < runs; i++)); do
        t0=$EPOCHREALTIME
        /usr/bin/time -f '%M' -o "$work/time" "$cli" -q --start=1 --offset-down=0 --offset-right=0 \
            -o "$work/labels.pdf" "${what[@]}"
        t1=$EPOCHREALTIME
        read -r m <"$work/time"
        echo "$t1 - $t0" | bc -l >>"$work/wall"
        echo "$m" >>"$work/rss"
    done
    pages=$(pdfinfo "$work/labels.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}' || true)
    [[ -z $pages || $pages == "$sheets" ]] || echo "warning: $pages pages for $sheets sheets" >&2
    wall[$sheets]=$(median <"$work/wall")
    rss[$sheets]=$(median <"$work/rss")
    printf '%-8s %-8s %12.3f %14.2f %12.1f\n' "$sheets" "$labels" "${wall[$sheets]}" \
        "$(echo "${wall[$sheets]} * 1000 / $sheets" | bc -l)" "$(echo "${rss[$sheets]} / 1024" | bc -l)"
done
$lists && exit 0
printf 'per added sheet, 100 -> 334 sheets: %.2f ms; peak RSS 334 vs 100 sheets: %+.1f MB; PDF of 334 sheets: %s KB\n' \
    "$(echo "(${wall[334]} - ${wall[100]}) * 1000 / 234" | bc -l)" \
    "$(echo "(${rss[334]} - ${rss[100]}) / 1024" | bc -l)" "$(($(stat -c %s "$work/labels.pdf") / 1024))"
