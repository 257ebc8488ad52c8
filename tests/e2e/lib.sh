# shellcheck shell=bash
# Shared harness of the end-to-end tests; sourced by each test script.
#
# Every test gets a private world in one temporary folder: its own Xvfb display (no window manager),
# HOME, TMPDIR and XDG_RUNTIME_DIR (so the single-instance guard and lpoptions of the user never leak
# in), a copy of the executable in an "install" folder beside its start file and print module, and,
# when asked, its own CUPS scheduler on a unix socket with a queue that copies every job into a folder.
# Everything started here is stopped by its process id and the folder is removed on exit, whatever
# happens.

set -euo pipefail

KB_E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
KB_PIDS=()       # every process started here, stopped in reverse order on exit
KB_MOUNTS=()     # file systems a test mounted in its folder, unmounted on exit
KB_ROOT=""

kb_log() { echo "[$(date +%H:%M:%S.%N | cut -c1-12)] $*"; }

# kb_setup NAME EXECUTABLE [ARTEFACT_DIR]
kb_setup() {
    KB_TEST=$1
    KB_EXE_SRC=$2
    KB_ARTEFACTS=${3:-}
    [[ -x $KB_EXE_SRC ]] || {
        echo "no executable: $KB_EXE_SRC" >&2
        exit 1
    }
    local base=${TMPDIR:-/tmp}
    # The scheduler's socket path must stay short (a unix socket path holds 107 bytes).
    ((${#base} > 40)) && base=/tmp
    KB_ROOT=$(mktemp -d "$base/kb-$KB_TEST.XXXXXX")
    trap kb_teardown EXIT
    trap 'exit 130' INT TERM HUP
    # A command that fails outside a check still says where.
    set -o errtrace
    trap 'echo "FAIL: ${BASH_SOURCE[0]##*/} line $LINENO: $BASH_COMMAND (exit $?)" >&2' ERR
    # A test that hangs ends itself before the runner's timeout would kill it outright, so that the
    # clean-up still stops what it started. (No output: an open pipe would keep the runner waiting.)
    (
        sleep "${KB_DEADLINE:-100}" &
        nap=$!
        trap 'kill "$nap" 2>/dev/null; exit 0' TERM
        wait "$nap"
        echo "FAIL: $KB_TEST: no result after ${KB_DEADLINE:-100} s" >&2
        kill -TERM $$
    ) >/dev/null 2>"$KB_ROOT/watchdog.log" &
    KB_WATCHDOG=$!
    mkdir -p "$KB_ROOT"/{home,tmp,run,install,log}
    chmod 0700 "$KB_ROOT/run"
    [[ -n $KB_ARTEFACTS ]] || KB_ARTEFACTS=$KB_ROOT/artefacts
    mkdir -p "$KB_ARTEFACTS"
    export HOME=$KB_ROOT/home TMPDIR=$KB_ROOT/tmp XDG_RUNTIME_DIR=$KB_ROOT/run
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    export QT_QPA_PLATFORM=xcb
    # cupsd and lpadmin live in sbin, which a user's PATH may lack.
    export PATH=$PATH:/usr/sbin:/sbin
    # Nothing of the calling desktop session reaches the program.
    unset SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS PRINTER LPDEST CUPS_SERVER CUPS_SERVERROOT \
        QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING \
        XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_SESSION_TYPE WAYLAND_DISPLAY
    KB_INSTALL=$KB_ROOT/install
    cp "$KB_EXE_SRC" "$KB_INSTALL/Kestrelbox"
    KB_EXE=$KB_INSTALL/Kestrelbox
    # The print module is loaded only from beside the executable, as installed: the copy gets it too
    # (from beside the executable, or KB_MODULE for an executable built elsewhere).
    KB_MODULE=${KB_MODULE:-$(dirname "$KB_EXE_SRC")/libkb_cups.so}
    [[ ! -e $KB_MODULE ]] || cp "$KB_MODULE" "$KB_INSTALL/"
    # And the codes' module (libzint), loaded the same way when a label first carries a code.
    local zint=$(dirname "$KB_MODULE")/libkb_zint.so
    [[ ! -e $zint ]] || cp "$zint" "$KB_INSTALL/"
    # And the ledger's (SQLite), loaded on the first print or history.
    local ledger=$(dirname "$KB_MODULE")/libkb_ledger.so
    [[ ! -e $ledger ]] || cp "$ledger" "$KB_INSTALL/"
    KB_START_FILE=$KB_INSTALL/StartFile.txt
    kb_log "$KB_TEST: working in $KB_ROOT"
}

kb_teardown() {
    local rc=$?
    set +e
    trap - EXIT INT TERM HUP ERR
    if ((rc != 0)) && [[ -n ${DISPLAY:-} ]]; then
        kb_screenshot "failure" >/dev/null 2>&1
        echo "---- visible windows at the failure"
        kb_list_windows
    fi
    # Every Windows process of the test's Wine prefix ends with its server.
    [[ -n ${KB_WINE:-} ]] && wineserver --kill 2>/dev/null
    if [[ -n ${KB_WATCHDOG:-} ]]; then
        kill -TERM "$KB_WATCHDOG" 2>/dev/null
        wait "$KB_WATCHDOG" 2>/dev/null
        cat "$KB_ROOT/watchdog.log" 2>/dev/null
    fi
    local i pid
    for ((i = ${#KB_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${KB_PIDS[i]}
        kill -0 "$pid" 2>/dev/null || continue
        kill -TERM "$pid" 2>/dev/null
    done
    for ((i = ${#KB_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${KB_PIDS[i]}
        local n=0
        while kill -0 "$pid" 2>/dev/null && ((n < 30)); do
            sleep 0.1
            ((n++))
        done
        kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    if ((rc != 0)); then
        local f
        for f in "$KB_ROOT"/log/*.log "$KB_ROOT"/cups/log/error_log; do
            [[ -s $f ]] || continue
            echo "---- $f (last lines)"
            tail -n 40 "$f"
        done
    fi
    for i in "${!KB_MOUNTS[@]}"; do
        umount -l "${KB_MOUNTS[i]}" 2>/dev/null
    done
    if [[ -n $KB_ROOT && -d $KB_ROOT && -z ${KB_E2E_KEEP:-} ]]; then
        rm -rf -- "$KB_ROOT"
    fi
    exit "$rc"
}

kb_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

kb_check() { # kb_check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        kb_log "ok: $what"
    else
        kb_fail "$what"
    fi
}

# Waits until COMMAND succeeds: kb_wait_for SECONDS COMMAND...
kb_wait_for() {
    local limit=$1
    shift
    local end=$(($(date +%s%N) + limit * 1000000000))
    until "$@"; do
        (($(date +%s%N) < end)) || return 1
        sleep 0.1
    done
}

# ---- X display ----------------------------------------------------------------------------------

kb_start_x() {
    local dfile=$KB_ROOT/display
    : >"$dfile"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dfile" \
        >"$KB_ROOT/log/xvfb.log" 2>&1 &
    KB_PIDS+=($!)
    kb_wait_for 10 grep -q '[0-9]' "$dfile" || kb_fail "Xvfb did not start"
    DISPLAY=":$(tr -dc 0-9 <"$dfile")"
    export DISPLAY
    kb_wait_for 10 xdpyinfo >/dev/null 2>&1 || kb_fail "display $DISPLAY not answering"
    kb_log "Xvfb on $DISPLAY"
}

kb_screenshot() { # kb_screenshot NAME -> prints the file written
    local file=$KB_ARTEFACTS/$KB_TEST-$1.png
    import -window root "$file" && echo "$file"
}

# ---- The program -------------------------------------------------------------------------------

kb_write_start_file() { printf '%b' "$1" >"$KB_START_FILE"; }

# kb_start_app [EXECUTABLE] -> sets KB_APP_PID; the program's output goes to log/app-<pid>.log
kb_start_app() {
    local exe=${1:-$KB_EXE}
    local log=$KB_ROOT/log/app-$RANDOM.log
    "$exe" >"$log" 2>&1 &
    KB_APP_PID=$!
    KB_PIDS+=("$KB_APP_PID")
    mv "$log" "$KB_ROOT/log/app-$KB_APP_PID.log" 2>/dev/null || true
}

# Starts the program and waits for its window "Main": sets pid and w.
kb_start_main() {
    kb_start_app
    pid=$KB_APP_PID
    w=$(kb_wait_window Main 20 "$pid") || kb_fail "no window \"Main\""
    sleep 0.5
}

# A click at a point inside the panels, in their own coordinates (the panels sit at 56, 136 in "Main").
click_panel() { kb_click "$w" $((56 + $1)) $((136 + $2)); }

# On the entry screen: HELLO / ABC, "Number" on, and the number of labels: kb_enter_hello_abc LABELS
kb_enter_hello_abc() {
    click_panel $((40 + 30)) $((88 + 12)) # Memo1
    kb_type HELLO
    kb_key Return
    kb_type ABC
    click_panel $((624 + 8)) $((88 + 8))   # CheckBox3 "Number"
    click_panel $((472 + 20)) $((120 + 7)) # ListBox4, item "1"
    local i
    for ((i = 1; i < $1; i++)); do kb_key Down; done
}

# Clicks "Print" on the sheet screen and prints the id of the print dialog that opens (of the program
# started by kb_start_main): kb_open_print_dialog NAME
kb_open_print_dialog() {
    local name=$1 dlg=""
    click_panel $((632 + 44)) $((296 + 36)) >&2 # cmdPrint2 "Print"
    local end=$(($(date +%s%N) + 20000000000))
    while [[ -z $dlg ]] && (($(date +%s%N) < end)); do
        dlg=$(xdotool search --all --onlyvisible --pid "$pid" --name '.' 2>/dev/null | grep -vx "$w" | head -n1 || true)
        sleep 0.1
    done
    [[ -n $dlg ]] || kb_fail "$name: no print dialog"
    kb_log "$name: print dialog \"$(xdotool getwindowname "$dlg")\"" >&2
    sleep 0.5
    kb_screenshot "$name-dialog" >/dev/null
    echo "$dlg"
}

# From the entry screen with the text typed: "PrintSet", "Print", Return in the print dialog, and the
# wait for the run's first document at the queue: kb_print_run NAME
kb_print_run() {
    local dlg before
    click_panel $((576 + 60)) $((304 + 28)) # PrintSet
    sleep 0.5
    before=$(kb_job_count)
    dlg=$(kb_open_print_dialog "$1")
    kb_focus "$dlg"
    kb_key Return
    kb_wait_for 30 kb_sent_or_yes $((before + 1)) || kb_fail "$1: the window's run sent nothing"
}

# True once the queue holds N jobs. Meanwhile the question a numbered run asks when the ledger holds
# its labels as printed (a box titled "Kestrelbox" of the program) is answered Yes: the tests that print
# the same numbers twice mean to.
kb_sent_or_yes() {
    kb_have_jobs "$1" && return 0
    local box
    box=$(kb_windows Kestrelbox "$pid" | head -n1)
    if [[ -n $box ]]; then
        kb_log "a question before the run (the ledger holds its labels): Yes"
        kb_focus "$box"
        kb_key alt+y
    fi
    return 1
}

# Answers Yes to the question before a repeated numbered run, which must come within 10 s.
kb_yes_to_repeat() {
    local box
    box=$(kb_wait_window Kestrelbox 10 "$pid") || kb_fail "no question before the repeated numbered run"
    kb_log "the question before a repeated numbered run: Yes"
    kb_focus "$box"
    kb_key alt+y
}

kb_alive() { kill -0 "$1" 2>/dev/null; }

# Mapped top-level windows titled exactly NAME, optionally of one process: kb_windows NAME [PID]
kb_windows() {
    local args=(--all --onlyvisible)
    [[ -n ${2:-} ]] && args+=(--pid "$2")
    # The pattern comes last: xdotool reads anything after it as a further command.
    xdotool search "${args[@]}" --name "^$1\$" 2>/dev/null || true
}

# kb_wait_window NAME SECONDS [PID] -> prints the window id
kb_wait_window() {
    local name=$1 limit=$2 pid=${3:-} ids
    local end=$(($(date +%s%N) + limit * 1000000000))
    while :; do
        ids=$(kb_windows "$name" "$pid")
        if [[ -n $ids ]]; then
            head -n1 <<<"$ids"
            return 0
        fi
        (($(date +%s%N) < end)) || return 1
        sleep 0.05
    done
}

kb_wait_exit() { # kb_wait_exit PID SECONDS -> the exit code in KB_EXIT_CODE
    kb_wait_for "$2" bash -c "! kill -0 $1 2>/dev/null" || return 1
    KB_EXIT_CODE=0
    wait "$1" || KB_EXIT_CODE=$?
}

# Client-area coordinates: without a window manager the window has no frame.
kb_click() { # kb_click WINDOW X Y
    xdotool mousemove --window "$1" "$2" "$3"
    sleep 0.05
    xdotool click 1
    sleep 0.15
}

kb_focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; }
kb_type() { xdotool type --delay 40 -- "$1"; sleep 0.1; }
kb_key() { xdotool key --delay 60 "$@"; sleep 0.1; }

kb_window_size() { # prints WIDTHxHEIGHT
    xwininfo -id "$1" | awk '/^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print w "x" h}'
}

kb_map_state() { xwininfo -id "$1" | awk -F': ' '/Map State/ {print $2}'; }

kb_list_windows() {
    local w
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        echo "$w \"$(xdotool getwindowname "$w" 2>/dev/null)\" pid $(xdotool getwindowpid "$w" 2>/dev/null)" \
            "$(xwininfo -id "$w" 2>/dev/null | awk '/geometry/ {print $2}')"
    done
}

kb_focused_window() { xdotool getwindowfocus 2>/dev/null || true; }

# ---- The Windows build under Wine ---------------------------------------------------------------

# A Wine prefix of the test's own, copied from one kept in the Windows build folder: a new prefix costs
# Wine's first start, and the copy leaves nothing of one test to the next. Debian's Wine does not find
# its own faces (fonts-wine), so they are copied into the prefix's C:\windows\Fonts; the IPA faces
# come from the system's fonts. Starts the prefix's server, which ends with the test, taking every
# Windows process of the prefix with it: kb_start_wine WINDOWS_BUILD
kb_start_wine() {
    local template=$1/wine-template lock
    export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
    # Qt for Windows would take the xcb platform asked for the Linux build.
    unset QT_QPA_PLATFORM
    exec {lock}>"$template.lock"
    flock "$lock"
    if [[ ! -f $template/.kb-ready ]]; then
        kb_log "setting up the Wine prefix $template"
        rm -rf "$template"
        mkdir -p "$template"
        # No display: Wine's first start opens no window of its own.
        WINEPREFIX=$template DISPLAY='' wineboot --init >"$KB_ROOT/log/wineboot.log" 2>&1 ||
            kb_fail "wineboot: $(tail -n 5 "$KB_ROOT/log/wineboot.log")"
        WINEPREFIX=$template wineserver --wait
        cp /usr/share/wine/fonts/* "$template/drive_c/windows/Fonts/"
        touch "$template/.kb-ready"
    fi
    cp -a "$template" "$KB_ROOT/wine"
    exec {lock}>&-
    export WINEPREFIX=$KB_ROOT/wine
    wineserver --foreground --persistent >"$KB_ROOT/log/wineserver.log" 2>&1 &
    KB_PIDS+=($!)
    KB_WINE=1
}

# Installs the Windows build into a folder of the test's own, as a user gets it, and starts no program
# yet: kb_install_windows WINDOWS_BUILD FOLDER
kb_install_windows() {
    cmake --install "$1" --prefix "$2" >"$KB_ROOT/log/install-windows.log" 2>&1 ||
        kb_fail "install of the Windows build: $(tail -n 5 "$KB_ROOT/log/install-windows.log")"
}

# Starts a Windows program under Wine: kb_start_wine_app EXE [ARGS...] -> sets KB_APP_PID (the wine
# process is the program's own, whose windows carry its process id); output in log/app-<pid>.log
kb_start_wine_app() {
    local log=$KB_ROOT/log/app-$RANDOM.log
    wine "$@" >"$log" 2>&1 &
    KB_APP_PID=$!
    KB_PIDS+=("$KB_APP_PID")
    mv "$log" "$KB_ROOT/log/app-$KB_APP_PID.log" 2>/dev/null || true
}

# ---- Private print scheduler ------------------------------------------------------------------

# Starts cupsd on a socket in the test folder with one queue, "kbtest", the default, whose backend
# copies every job into $KB_PRINT_OUT as job-<id>.pdf: kb_start_cups [PPD]. Without a PPD the queue is
# raw; with tests/e2e/kbtest.ppd it is an A4 colour PDF printer with known margins, still unfiltered.
kb_start_cups() {
    local ppd=${1:-}
    local c=$KB_ROOT/cups
    KB_CUPS=$c
    KB_PRINT_OUT=$c/out
    mkdir -p "$c"/{etc,bin,cache,state,spool/tmp,log,out,client}
    chmod 0755 "$c" "$c/bin"
    chmod 0777 "$c/out"
    # ServerBin: the system's helpers, with a backend folder of our own that holds only our backend.
    local d
    for d in /usr/lib/cups/*; do
        [[ $(basename "$d") == backend ]] && continue
        ln -s "$d" "$c/bin/"
    done
    mkdir -m 0755 "$c/bin/backend"
    # Data: only the MIME types of cups-daemon itself; the queue needs no filter and no conversion.
    # With KB_CUPS_FILTERS=1 the system's types and conversions too, so that a job passes through
    # the real filter chain of the queue's PPD.
    mkdir -p "$c/data/mime" "$c/data/banners"
    if [[ ${KB_CUPS_FILTERS:-} == 1 ]]; then
        ln -s /usr/share/cups/mime/* "$c/data/mime/"
        # Filters run as the scheduler's unprivileged user, who must reach them through our folders.
        chmod 0711 "$KB_ROOT" "$c"
    else
        ln -s /usr/share/cups/mime/mime.types "$c/data/mime/mime.types"
    fi
    cp "$KB_E2E_DIR/kbcopy" "$c/bin/backend/kbcopy"
    # A backend without group-write or other bits runs as root under a root scheduler; cupsd also
    # refuses a backend a user other than root could change. Under a user's scheduler it runs as that user.
    chmod 0700 "$c/bin/backend/kbcopy"

    local user group
    user=$(id -un)
    group=$(id -gn)
    if ((EUID == 0)); then
        user='lp'
        group='lp'
    fi
    cat >"$c/cups-files.conf" <<EOF
ServerRoot $c/etc
ServerBin $c/bin
DataDir $c/data
DocumentRoot $c/data
CacheDir $c/cache
StateDir $c/state
RequestRoot $c/spool
TempDir $c/spool/tmp
AccessLog $c/log/access_log
ErrorLog $c/log/error_log
PageLog $c/log/page_log
FileDevice No
Printcap $c/printcap
User $user
Group $group
SystemGroup $(id -gn)
EOF
    cat >"$c/cupsd.conf" <<EOF
Listen $c/cups.sock
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
DefaultAuthType None
LogLevel info
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    export CUPS_SERVER=$c/cups.sock
    # libcups reads client.conf and lpoptions from here: an empty folder, so nothing leaks in.
    export CUPS_SERVERROOT=$c/client
    cupsd -f -c "$c/cupsd.conf" -s "$c/cups-files.conf" >"$KB_ROOT/log/cupsd.log" 2>&1 &
    KB_CUPSD_PID=$!
    KB_PIDS+=("$KB_CUPSD_PID")
    kb_wait_for 10 kb_cups_running || kb_fail "cupsd did not start"
    local model=()
    [[ -n $ppd ]] && model=(-P "$ppd")
    lpadmin -p kbtest -E -v "kbcopy:$KB_PRINT_OUT" "${model[@]}" 2>"$KB_ROOT/log/lpadmin.log" ||
        kb_fail "lpadmin -p: $(cat "$KB_ROOT/log/lpadmin.log")"
    lpadmin -d kbtest || kb_fail "lpadmin -d"
    [[ $(lpstat -d) == *kbtest* ]] || kb_fail "kbtest is not the default queue: $(lpstat -d)"
    kb_log "cupsd $KB_CUPSD_PID on $CUPS_SERVER, default queue kbtest"
}

kb_cups_running() {
    kb_alive "$KB_CUPSD_PID" || kb_fail "cupsd ended: $(tail -n 5 "$KB_CUPS/log/error_log" 2>/dev/null)"
    [[ $(lpstat -r 2>/dev/null) == 'scheduler is running' ]]
}

kb_stop_cups() {
    [[ -n ${KB_CUPSD_PID:-} ]] || return 0
    kill -TERM "$KB_CUPSD_PID" 2>/dev/null || true
    wait "$KB_CUPSD_PID" 2>/dev/null || true
    KB_CUPSD_PID=""
}

# The command kestrelbox-print from beside the executable, installed beside its copy: CLI.
kb_install_cli() {
    cp "$(dirname "$KB_EXE_SRC")/kestrelbox-print" "$KB_INSTALL/kestrelbox-print"
    CLI=$KB_INSTALL/kestrelbox-print
}
# kb_cli ARGS...: the command without a display (at most 70 s); its status in rc, its standard error in
# err, its standard output in $KB_ROOT/out.txt.
kb_cli() {
    rc=0
    env -u DISPLAY timeout 70 "$CLI" "$@" >"$KB_ROOT/out.txt" 2>"$KB_ROOT/err.txt" || rc=$?
    err=$(cat "$KB_ROOT/err.txt")
}

kb_jobs_out() { find "$KB_PRINT_OUT" -maxdepth 1 -name 'job-*.pdf' | sort -V; }
kb_job_count() { kb_jobs_out | wc -l; }
kb_have_jobs() { (($(kb_job_count) >= $1)); }

# ---- Pictures --------------------------------------------------------------------------------

# Number of distinct colours in a picture file.
kb_colour_count() { convert "$1" -format '%k' info:; }

# Distinct colours (as "r,g,b" lines) in a rectangle: kb_rect_colours FILE X Y W H
kb_rect_colours() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -depth 8 -unique-colors txt:- |
        sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
