#!/usr/bin/env bash
# Start-up of Kestrelbox against a bare Qt window, paired round by round under a private Xvfb (no
# window manager). kb_mapwait times each start from exec until X reports the window mapped (MapNotify
# on the root, no polling), reads the process's resident memory and shared libraries at that moment
# and ends it. Every start gets fresh HOME, TMPDIR and XDG_RUNTIME_DIR, so none meets the registration
# or caches of another; Kestrelbox runs as a copy beside its own start file. The two programs take
# turns, and which one goes first alternates from round to round. One uncounted round warms the disk
# cache first. Then the printing figures (kb_print_figures) on the offscreen platform.
#
# Usage: bench/startup.sh [--breakdown] [--no-print] [--wine WINDOWS_BUILD] [ROUNDS] [BUILD_DIR]
#   ROUNDS     paired rounds (default 20)
#   BUILD_DIR  a configured and built tree with the benchmarks (default build/, which ./test makes)
#   --breakdown  times, in the same rounds, variants of the bare window that each add one thing the
#                program does at start-up (a library linked, the Japanese faces, the pictures, the
#                guard's socket), to show what each costs
#   --wine       the Windows build (tools/windows-check.sh's folder) instead, under Wine in a prefix of
#                its own: Kestrelbox.exe, installed as the zip carries it, against the bare window built
#                with the same Qt (kb_bare.exe, in the same folder); no breakdown, no printing figures
# Needs Xvfb (the test packages) and the xcb headers to build kb_mapwait: ./test installs both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
breakdown=0
print=1
wine_build=""
while [[ ${1:-} == --* ]]; do
    case $1 in
    --breakdown) breakdown=1 ;;
    --no-print) print=0 ;;
    --wine)
        wine_build=$(cd "$2" && pwd)
        print=0
        breakdown=0
        shift
        ;;
    *)
        echo "unknown option $1" >&2
        exit 2
        ;;
    esac
    shift
done
rounds=${1:-20}
build=$(cd "${2:-$root/build}" && pwd)
for f in bin/Kestrelbox bench/kb_mapwait bench/kb_bare bench/kb_print_figures; do
    [[ -x $build/$f ]] || {
        echo "missing $build/$f: build with the benchmarks first (./test, or cmake --build)" >&2
        exit 1
    }
done
# The harness of the end-to-end tests gives the private folder, the Xvfb and the clean-up; its
# watchdog is set well past the longest run.
# A start under Wine takes a second or two.
per_round=4
((breakdown)) && per_round=20
[[ -n $wine_build ]] && per_round=10
export KB_DEADLINE=$((60 + rounds * per_round))
source "$root/tests/e2e/lib.sh"
kb_setup startup "$build/bin/Kestrelbox" >/dev/null
kb_start_x >/dev/null
kb_write_start_file '01\r\n10\r\n10\r\n'
cp "$root"/resources/*.xpm "$KB_ROOT/"

b=$build/bench
names=(Kestrelbox bare)
commands=("$KB_EXE" "$b/kb_bare")
if [[ -n $wine_build ]]; then
    [[ -x $wine_build/bin/Kestrelbox.exe && -f $wine_build/bench/kb_bare.exe ]] ||
        kb_fail "no Windows build with kb_bare.exe in $wine_build: tools/windows-check.sh makes it"
    kb_start_wine "$wine_build"
    kb_install_windows "$wine_build" "$KB_ROOT/win"
    cp "$wine_build/bench/kb_bare.exe" "$KB_ROOT/win/"
    names=(Kestrelbox.exe kb_bare.exe)
    commands=("wine $KB_ROOT/win/Kestrelbox.exe" "wine $KB_ROOT/win/kb_bare.exe")
fi
if ((breakdown)); then
    names+=("+fonts" "+pictures" "+sjis" "+qt-ja" "+PrintSupport" "+libcups" "+Network" "+Network,guard" "+all 3 libs"
        "+all of these")
    commands+=("$b/kb_bare --fonts" "$b/kb_bare --pictures=$KB_ROOT" "$b/kb_bare --sjis" "$b/kb_bare --qt-ja" "$b/kb_bare_print" "$b/kb_bare_cups"
        "$b/kb_bare_network" "$b/kb_bare_network --guard" "$b/kb_bare_all"
        "$b/kb_bare_all --fonts --pictures=$KB_ROOT --sjis --qt-ja --guard")
fi
n=${#names[@]}
results=$KB_ROOT/results # lines: round variant ms rss_kb anon_kb file_kb libs cpu_ms
: >"$results"

start_once() { # start_once ROUND VARIANT
    local w=$KB_ROOT/w$1-$2
    mkdir -p "$w"/{home,tmp,run}
    chmod 0700 "$w/run"
    local line
    # shellcheck disable=SC2086 # the command carries its options
    line=$(HOME=$w/home TMPDIR=$w/tmp XDG_RUNTIME_DIR=$w/run "$b/kb_mapwait" -t 30 ${commands[$2]} 2>"$w/err") ||
        kb_fail "${names[$2]}: $(cat "$w/err")"
    rm -rf "$w"
    (($1 > 0)) || return 0
    # ms=.. rss_kb=.. anon_kb=.. file_kb=.. libs=.. cpu_ms=..
    echo "$1 $2 $(sed 's/[a-z_]*=//g' <<<"$line")" >>"$results"
}

for ((round = 0; round <= rounds; round++)); do
    for ((k = 0; k < n; k++)); do
        # Alternate the order: odd rounds go backwards through the list.
        v=$((round % 2 ? n - 1 - k : k))
        start_once "$round" "$v"
    done
done

echo "Start-up, exec -> window mapped (MapNotify), $rounds paired rounds under Xvfb${wine_build:+ and $(wine --version)} on $(nproc) cores"
echo "($(uname -m), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'))"
printf '%-18s %31s   %14s   %28s\n' "" "time to map, ms" "CPU to map, ms" "resident at map, MB"
printf '%-18s %7s %7s %7s %7s   %6s %7s   %6s %6s %6s %7s  %4s\n' program median min max ratio median ratio \
    median anon file ratio libs
awk -v names="$(
    IFS='|'
    echo "${names[*]}"
)" -v n="$n" '
    function median(arr, cnt,    i, j, t, s) {
        for (i = 1; i <= cnt; i++) s[i] = arr[i]
        for (i = 2; i <= cnt; i++) { t = s[i]; for (j = i - 1; j >= 1 && s[j] > t; j--) s[j + 1] = s[j]; s[j + 1] = t }
        return cnt % 2 ? s[(cnt + 1) / 2] : (s[cnt / 2] + s[cnt / 2 + 1]) / 2
    }
    function mn(arr, cnt,    i, m) { m = arr[1]; for (i = 2; i <= cnt; i++) if (arr[i] < m) m = arr[i]; return m }
    function mx(arr, cnt,    i, m) { m = arr[1]; for (i = 2; i <= cnt; i++) if (arr[i] > m) m = arr[i]; return m }
    { r = $1; v = $2; ms[v, r] = $3; rss[v, r] = $4; anon[v, r] = $5; file[v, r] = $6; libs[v] = $7; cpu[v, r] = $8; if (r > rounds) rounds = r }
    END {
        split(names, name, "|")
        for (v = 0; v < n; v++) {
            delete t; delete m; delete a; delete f; delete c; delete rt; delete rm; delete rc
            for (r = 1; r <= rounds; r++) {
                t[r] = ms[v, r]; c[r] = cpu[v, r]; m[r] = rss[v, r] / 1024; a[r] = anon[v, r] / 1024; f[r] = file[v, r] / 1024
                # Paired: this round of the program against the same round of the bare window.
                rt[r] = ms[v, r] / ms[1, r]; rc[r] = cpu[v, r] / cpu[1, r]; rm[r] = rss[v, r] / rss[1, r]
            }
            printf "%-18s %7.1f %7.1f %7.1f %6.2fx   %6.1f %6.2fx   %6.1f %6.1f %6.1f %6.2fx  %4d\n", name[v + 1],
                median(t, rounds), mn(t, rounds), mx(t, rounds), median(rt, rounds),
                median(c, rounds), median(rc, rounds), median(m, rounds), median(a, rounds), median(f, rounds), median(rm, rounds), libs[v]
        }
    }' "$results"
echo "ratio: median over the rounds of (this start / the bare window's start in the same round);"
echo "CPU: all threads of the process until the map; libs: shared objects mapped at the map"

if ((print)); then
    echo
    echo "Printing, QPrinter HighResolution to PDF (offscreen platform)"
    QT_QPA_PLATFORM=offscreen "$b/kb_print_figures" 20 "$KB_ROOT/tmp"
fi
