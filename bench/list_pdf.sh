#!/usr/bin/env bash
# kestrelbox-print printing lists of labels (--from) into one PDF on the offscreen platform: lists of
# 1 000, 10 000 and 100 000 labels (rows of 10 numbered labels with a Japanese line 1), each RUNS
# times. For every size: the median wall time, the time per sheet and the median peak resident memory
# (/usr/bin/time's maximum resident set size). Memory that stays flat from 1 000 to 100 000 labels
# shows that neither the list nor the run keeps anything per label or per sheet.
# A benchmark, not a test: it checks nothing and is not run by ./test.
#
# Usage: bench/list_pdf.sh [RUNS] [BUILD_DIR]   (RUNS default 3; BUILD_DIR default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
build=$(cd "${2:-$root/build}" && pwd)
cli=$build/bin/kestrelbox-print
[[ -x $cli && -x /usr/bin/time ]] || {
    echo "needs $cli (build first) and /usr/bin/time (Debian package \"time\")" >&2
    exit 1
}
work=$(mktemp -d "${TMPDIR:-/tmp}/kb-list-bench.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
chmod 0700 "$work"
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

printf '%-8s %-8s %12s %14s %12s\n' labels sheets "wall (s)" "per sheet (ms)" "peak RSS (MB)"
for labels in 1000 10000 100000; do
    sheets=$(((labels + 29) / 30))
    seq 1 $((labels / 10)) | awk '{printf "試料%05d,LOT,10,0001\n", $1}' >"$work/list.csv"
    : >"$work/wall" && : >"$work/rss"
    for ((i = 0; i < runs; i++)); do
        t0=$EPOCHREALTIME
        /usr/bin/time -f '%M' -o "$work/time" "$cli" -q --start=1 --offset-down=0 --offset-right=0 \
            --from="$work/list.csv" -o "$work/labels.pdf"
        t1=$EPOCHREALTIME
        echo "$t1 - $t0" | bc -l >>"$work/wall"
        cat "$work/time" >>"$work/rss"
    done
    pages=$(pdfinfo "$work/labels.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}' || true)
    [[ -z $pages || $pages == "$sheets" ]] || echo "warning: $pages pages for $sheets sheets" >&2
    wall=$(median <"$work/wall")
    printf '%-8s %-8s %12.3f %14.2f %12.1f\n' "$labels" "$sheets" "$wall" "$(echo "$wall * 1000 / $sheets" | bc -l)" \
        "$(echo "$(median <"$work/rss") / 1024" | bc -l)"
done
