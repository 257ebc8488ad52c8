#!/usr/bin/env bash
# The Windows build under Wine, beside the Linux build, each on the same Xvfb and the same private CUPS
# queue (kbwine.ppd: Wine lists the CUPS queues as Windows printers and prints through its PostScript
# driver). The Windows program is installed from the Windows build as the zip carries it and runs in a
# Wine prefix of the test's own.
# - The window: "Main" at the outer size and place of the Linux window, its Japanese captions drawn as
#   on Linux (screenshots kept); HELLO / ABC, "Number", 5 labels, "PrintSet", a click on the map and
#   yellow labels printed through the print dialog leave the start file byte for byte as the Linux
#   window does; the pages are A4 with the blocks where the layout puts them and the text of the
#   Linux pages (compared as pixels: Wine's PostScript carries the faces as outlines, no text). A later
#   start hands over to the running window, a printing command beside it is refused; without a start
#   file the program says so and ends.
# - The command: --list gives the Linux command's bytes for a table of cases (lines ending in CR LF);
#   -o writes a PDF whose text reads back as the Linux one's; a run through the queue prints the pages
#   of the Linux run and advances the start file as it does; a queue refusing jobs ends with status 5
#   and one working offline with status 3, storing nothing.
# Usage: windows_test.sh EXECUTABLE WINDOWS_BUILD [ARTEFACT_DIR]
#   EXECUTABLE: the Linux Kestrelbox (kestrelbox-print beside it); WINDOWS_BUILD: tools/windows-check.sh's
#   build folder. Skipped (status 77) when that holds no Windows build.
win_build=$2
if [[ ! -f $win_build/bin/Kestrelbox.exe || ! -f $win_build/bin/kestrelbox-print.exe ]]; then
    echo "no Windows build in $win_build: tools/windows-check.sh makes it" >&2
    exit 77
fi
win_build=$(cd "$win_build" && pwd)
export KB_DEADLINE=240
source "$(dirname "$0")/lib.sh"
kb_setup windows "$1" "${3:-}"
kb_install_cli
kb_start_x
kb_start_cups "$KB_E2E_DIR/kbwine.ppd"
kb_start_wine "$win_build"
WIN=$KB_ROOT/win
kb_install_windows "$win_build" "$WIN"
# Wine takes its ANSI and OEM code pages from the locale: C.UTF-8 (the tests' own) gives 1252 and 437,
# an English Windows; ja_JP.UTF-8 gives 932 for both, a Japanese one. That locale is made for the test
# in a folder of its own (LOCPATH), so that Wine's console also reaches a terminal in UTF-8.
mkdir -p "$KB_ROOT/locale"
localedef -i ja_JP -f UTF-8 "$KB_ROOT/locale/ja_JP.UTF-8" >"$KB_ROOT/log/localedef.log" 2>&1 ||
    [[ -f $KB_ROOT/locale/ja_JP.UTF-8/LC_CTYPE ]] || kb_fail "localedef ja_JP.UTF-8: $(tail -n 3 "$KB_ROOT/log/localedef.log")"
japanese() { LOCPATH=$KB_ROOT/locale LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 "$@"; }
kb_check "Qt's Japanese translation in the folder" [ -f "$WIN/translations/qtbase_ja.qm" ]
# Icon, version and manifest of both executables, read back from the files (windres reads a PE file's
# resources as COFF).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win_build/CMakeCache.txt")
for exe in Kestrelbox.exe kestrelbox-print.exe; do
    res=$(x86_64-w64-mingw32-windres -i "$WIN/$exe" -J coff -O rc)
    kb_check "$exe: an icon group of 16, 32, 48 and 256 pixels" \
        [ "$(grep -cE '^ +"\\(020\\020|040\\040|060\\060|000\\000)\\000\\000", 1, 32,' <<<"$res")" -eq 4 ]
    kb_check "$exe: the icon's pictures are the program's PNG" [ "$(grep -c 'RT_ICON' <<<"$res")" -eq 4 ]
    for value in '"ProductName", "Kestrelbox"' "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
        "\"OriginalFilename\", \"$exe\"" '"CompanyName", "Finchor"'; do
        kb_check "$exe: version information $value" grep -qF "VALUE $value" <<<"$res"
    done
    kb_check "$exe: a manifest" grep -qF '1 24 /* RT_MANIFEST */' <<<"$res"
    # The manifest's text lies in the file as it is (windres cuts its long lines when it shows them).
    for part in '>PerMonitorV2, PerMonitor<' '>true/pm<' 'level="asInvoker"' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' \
        'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'; do
        kb_check "$exe: manifest with $part" grep -qaF -- "$part" "$WIN/$exe"
    done
done
kb_check "the folder starts with the first start file" [ "$(od -An -c "$WIN/StartFile.txt" | tr -s ' \n' ' ')" = " 0 1 \r \n 1 0 \r \n 1 0 \r \n " ]
for f in Qt6Core.dll Qt6Widgets.dll Qt6PrintSupport.dll libstdc++-6.dll libwinpthread-1.dll platforms/qwindows.dll qt.conf; do
    kb_check "the folder holds $f" [ -f "$WIN/$f" ]
done
bytes() { od -An -c "$1" | tr -s ' \n' ' '; }
declare -A sf shot jobs_of
# cli PLATFORM ARGS...: runs the command beside the program of the platform; output in out-PLATFORM,
# errors in err-PLATFORM, status in rc[PLATFORM].
declare -A rc
cli() {
    local p=$1
    shift
    rc[$p]=0
    if [[ $p == linux ]]; then
        "$KB_INSTALL/kestrelbox-print" "$@" >"$KB_ROOT/out-$p" 2>"$KB_ROOT/err-$p" || rc[$p]=$?
    else
        wine "$WIN/kestrelbox-print.exe" "$@" >"$KB_ROOT/out-$p" 2>"$KB_ROOT/err-$p" || rc[$p]=$?
    fi
}

# ---- The window, on each platform: the same steps, the start file after each ----
# run_window PLATFORM: linux or windows; the program's start file is the one beside it.
run_window() {
    local p=$1 start_file
    if [[ $p == linux ]]; then
        start_file=$KB_INSTALL/StartFile.txt
        kb_start_app
    else
        start_file=$WIN/StartFile.txt
        kb_start_wine_app "$WIN/Kestrelbox.exe"
    fi
    pid=$KB_APP_PID
    w=$(kb_wait_window Main 60 "$pid") || kb_fail "$p: no window \"Main\""
    sleep 1
    read -r x y < <(xwininfo -id "$w" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
    read -r width height < <(kb_window_size "$w" | tr x ' ')
    kb_log "$p: Main at $x,$y, ${width}x$height"
    # The designed size is the outer one, centred on the 1280 x 1024 screen at 201, 205. Under Wine
    # the window has a caption (which no window manager draws here) above its client area.
    kb_check "$p: Main is 878 wide, left at 201" [ "$width" = 878 -a "$x" = 201 ]
    kb_check "$p: Main's outer frame ends 613 below 205 (client ${height} at $y)" [ $((y + height)) = 818 ]
    shot[$p]=$KB_ARTEFACTS/windows-$p-entry.png
    import -window "$w" "${shot[$p]}"

    if [[ $p == windows ]]; then
        kb_start_wine_app "$WIN/Kestrelbox.exe"
        kb_wait_exit "$KB_APP_PID" 30 || kb_fail "a second start did not end"
        kb_check "a second start hands over and ends (code $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 0 ]
        kb_check "one window Main" [ "$(kb_windows Main | wc -l)" -eq 1 ]
        # The window holds the start file (a lock on its hold file): a printing run beside it is refused.
        cli windows HELLO
        kb_check "a command beside the window: status 4 (${rc[windows]})" [ "${rc[windows]}" = 4 ]
    fi

    kb_enter_hello_abc 5
    click_panel $((576 + 60)) $((304 + 28)) # PrintSet
    sleep 1
    click_panel $((56 + 170)) $((16 + 327)) # the map cell of position 28
    kb_wait_for 10 grep -q '^28' "$start_file" || kb_fail "$p: the map click stored nothing"
    sf[$p-map]=$(bytes "$start_file")
    click_panel $((460 + 30)) $((304 + 8)) # ListBox11, item "White"
    kb_key Down                             # ... to "Yellow"

    local before dlg
    before=$(kb_job_count)
    dlg=$(kb_open_print_dialog "$p-print")
    # Qt's own dialog on Linux speaks the window's language (Qt's Japanese translation); on Windows the
    # dialog is the system's own, in the system's language.
    [[ $p == linux ]] && kb_check "linux: the print dialog's title is Japanese" [ "$(xdotool getwindowname "$dlg")" = 印刷 ]
    kb_focus "$dlg"
    kb_key Return
    kb_wait_for 60 kb_have_jobs $((before + 2)) || kb_fail "$p: $(($(kb_job_count) - before)) of 2 documents arrived"
    kb_wait_for 30 grep -q '^03' "$start_file" || kb_fail "$p: start file not advanced"
    sleep 1
    kb_check "$p: two documents, no third" [ "$(kb_job_count)" -eq $((before + 2)) ]
    sf[$p-print]=$(bytes "$start_file")
    jobs_of[$p]=$(kb_jobs_out | tail -n 2 | tr '\n' ' ')
    # Held for 12 s after the run, the window would take no input: it is ended here.
    kill "$pid"
    kb_wait_exit "$pid" 10 || kb_fail "$p: the window did not end"
}

offline() { # offline on|off: the Windows printer kbtest's "work offline" attribute
    local key='HKLM\System\CurrentControlSet\Control\Print\Printers\kbtest' value
    value=$(wine reg query "$key" /v Attributes | tr -d '\r' | awk '/Attributes/ {print $3}')
    value=$((value & ~0x400))
    [[ $1 == on ]] && value=$((value | 0x400))
    wine reg add "$key" /v Attributes /t REG_DWORD /d "$value" /f >/dev/null
}

for p in linux windows; do
    if [[ $p == linux ]]; then start_file=$KB_INSTALL/StartFile.txt; else start_file=$WIN/StartFile.txt; fi
    printf '01\r\n10\r\n10\r\n' >"$start_file"
    run_window "$p"
done
kb_check "the map click stores what it does on Linux (${sf[windows-map]})" [ "${sf[windows-map]}" = "${sf[linux-map]}" ]
kb_check "the print stores what it does on Linux (${sf[windows-print]})" [ "${sf[windows-print]}" = "${sf[linux-print]}" ]

# Text as pixels: the text (dark) pixels of two pictures, each cut to its ink and the second scaled
# onto the first (which takes up a platform's own spacing, such as Windows widening each character of
# a synthesised bold face by a pixel), correlated: near 1 for the same characters in the same face,
# near 0 for other characters or empty boxes. same_text A B -> the correlation in hundredths
same_text() {
    local size
    convert "$1" -colorspace gray -threshold 60% -negate -trim +repage -blur 0x1 "$KB_ROOT/text-a.png"
    size=$(convert "$KB_ROOT/text-a.png" -format '%wx%h' info:)
    convert "$2" -colorspace gray -threshold 60% -negate -trim +repage -resize "$size!" -blur 0x1 "$KB_ROOT/text-b.png"
    # compare ends with status 1 when the pictures differ at all.
    { compare -metric NCC "$KB_ROOT/text-a.png" "$KB_ROOT/text-b.png" null: 2>&1 || true; } |
        awk '{printf "%d\n", $1 * 100}'
}

# The Japanese captions of the entry screen, Label2 (black), Label10 and Label9 (blue) in the panel
# at 56, 136, drawn as on Linux (both ask for the IPA face by name).
# The maker's line Label8 (green, at 552, 64 in the window) is taken with the room it may grow into: Wine's
# wider bold once cut it to "WORK".
for caption in "Label2 120 176 321 33" "Label10 536 224 75 15" "Label9 704 248 48 15" "Label8 548 60 326 28"; do
    read -r name cx cy cw ch <<<"$caption"
    for p in linux windows; do
        convert "${shot[$p]}" -crop "${cw}x$ch+$cx+$cy" +repage "$KB_ROOT/$name-$p.png"
    done
    ncc=$(same_text "$KB_ROOT/$name-linux.png" "$KB_ROOT/$name-windows.png")
    kb_check "$name drawn as on Linux (correlation $ncc %)" [ "$ncc" -ge 60 ]
done

# ---- The pages ----
# Both rendered by Ghostscript at 100 dpi: the whole A4 paper, the device pixels starting at the
# printable area's corner (18 pt, 36 pt), a layout unit 1/250 inch.
dpi=100 ML=18 MT=36
render() { gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r$dpi -sOutputFile="$2" "$1"; }
hx() { echo $(((ML * dpi * 250 + $1 * dpi * 72) / 18000)); }
vy() { echo $(((MT * dpi * 250 + $1 * dpi * 72) / 18000)); }
near() { local d=$(($1 - $2)); ((d >= -1 && d <= 1)); }
yellow_box() { # left top right bottom of the yellow pixels
    convert "$1" -fill black +opaque 'rgb(255,255,0)' -fill white -opaque 'rgb(255,255,0)' -trim \
        -format '%[fx:page.x] %[fx:page.y] %[fx:page.x+w-1] %[fx:page.y+h-1]\n' info:
}
label_x() { echo $((305 + ($1 % 2 == 0 ? 890 : 0))); }
label_y() { echo $((260 + 168 * (($1 - 1) / 2))); }
# compare_pages WHAT LINUX_DOCUMENT WINDOWS_DOCUMENT POSITIONS...: the Windows page is A4, has its
# yellow where the layout puts the labels, and in each label the text of the Linux page.
compare_pages() {
    local what=$1 ld=$2 wd=$3 p l t r b x y
    shift 3
    kb_check "$what: the Windows document is Wine's PostScript" grep -q '^%%Creator: Wine PostScript Driver' "$wd"
    render "$ld" "$KB_ROOT/$what-linux.png"
    render "$wd" "$KB_ARTEFACTS/windows-$what.png"
    local lp=$KB_ROOT/$what-linux.png wp=$KB_ARTEFACTS/windows-$what.png
    # A4 is 595 x 842 pt.
    kb_check "$what: A4 ($(identify -format %wx%h "$wp") at $dpi dpi)" [ "$(identify -format %wx%h "$wp")" = $((595 * dpi / 72))x$((842 * dpi / 72)) ]
    local first=$1 last=${!#}
    read -r l t r b < <(yellow_box "$wp")
    kb_log "$what: yellow at $l,$t..$r,$b"
    kb_check "$what: labels from the left column ($l)" near "$l" "$(hx 305)"
    kb_check "$what: labels from the row of position $first ($t)" near "$t" "$(vy "$(label_y "$first")")"
    kb_check "$what: labels to the right column's edge ($r)" near "$r" "$(hx $((305 + 890 + 620)))"
    kb_check "$what: labels to the bottom of position $last ($b)" near "$b" "$(vy $(($(label_y "$last") + 120)))"
    kb_check "$what: the yellow of the Linux page" [ "$(yellow_box "$lp")" = "$l $t $r $b" ]
    for p in "$@"; do
        x=$(label_x "$p") y=$(label_y "$p")
        local crop
        crop="$(($(hx $((x + 350))) - $(hx "$x")))x$(($(vy $((y + 120))) - $(vy "$y")))+$(hx "$x")+$(vy "$y")"
        convert "$lp" -crop "$crop" +repage "$KB_ROOT/l.png"
        convert "$wp" -crop "$crop" +repage "$KB_ROOT/w.png"
        local ncc
        ncc=$(same_text "$KB_ROOT/l.png" "$KB_ROOT/w.png")
        kb_check "$what: position $p carries the Linux text (correlation $ncc %)" [ "$ncc" -ge 60 ]
    done
}
read -r -a lj <<<"${jobs_of[linux]}"
read -r -a wj <<<"${jobs_of[windows]}"
compare_pages window-sheet1 "${lj[0]}" "${wj[0]}" 28 29 30
compare_pages window-sheet2 "${lj[1]}" "${wj[1]}" 1 2
kb_check "the Linux pages hold the labels compared: ABC-1 to ABC-3, then ABC-4 and ABC-5" \
    [ "$(pdftotext "${lj[0]}" - | grep -ow 'ABC-[0-9]*' | sort | tr '\n' ' ')$(pdftotext "${lj[1]}" - | grep -ow 'ABC-[0-9]*' | sort | tr '\n' ' ')" = "ABC-1 ABC-2 ABC-3 ABC-4 ABC-5 " ]

# ---- The command ----
# The Windows command's text output: the Linux bytes, each line ending in CR LF.
crlf() { sed 's/$/\r/' "$1"; }
# Lines of output, then the arguments.
list_cases=(
    "5 --list --number=1 --count=5 --background=Blue --offset-down=5 --offset-right=-5 HELLO ABC"
    "4 --list --number=999998 --count=4 --start=29 ラベル 番号"
    "2 --list --date=xmas --count=2 A"
    "31 --list --count=31 --start=30 A"
    "0 --list --count=0 A"
    "0 --list €"
    "0 --list A B C"
    "1 --version"
    # The lists as Excel saves them: code page 932 CSV and UTF-16 tab-separated, and a refused one.
    "5 --list --start=29 --from=samples.csv"
    "3 --list --start=5 --from=unicode.txt"
    "0 --list --from=bad.csv"
)
# The lists lie in the folder the command runs in, so that both platforms name them alike.
printf '試料,ロット,枚数,開始番号\r\nサンプル〜A,LOT,3,0001\r\n"B, quoted",,2,\r\n' | iconv -f UTF-8 -t CP932 >"$KB_ROOT/samples.csv"
{
    printf '\xff\xfe'
    printf 'Line 1\tLine 2\tCount\tFirst\r\n検体\tK\t2\t9\r\n\r\nEND\tlast\t\t\r\n' | iconv -f UTF-8 -t UTF-16LE
} >"$KB_ROOT/unicode.txt"
printf 'A,B,1\r\nC,D,0\r\n' >"$KB_ROOT/bad.csv"
cd "$KB_ROOT"
# With --utf8 the Linux bytes; without it, on a Japanese Windows (code page 932), the same text in code
# page 932, as `type`, `findstr` and Excel read it.
for row in "${list_cases[@]}"; do
    read -r lines args <<<"$row"
    read -r -a a <<<"$args"
    cli linux "${a[@]}"
    cli windows --utf8 "${a[@]}"
    kb_check "$args: status ${rc[windows]} as on Linux" [ "${rc[windows]}" = "${rc[linux]}" ]
    kb_check "$args: $lines lines of output" [ "$(wc -l <"$KB_ROOT/out-windows")" -eq "$lines" ]
    kb_check "$args --utf8: the Linux output" cmp -s <(crlf "$KB_ROOT/out-linux") "$KB_ROOT/out-windows"
    kb_check "$args --utf8: the Linux messages" cmp -s <(crlf "$KB_ROOT/err-linux") "$KB_ROOT/err-windows"
    japanese cli windows "${a[@]}"
    kb_check "$args, code page 932: status ${rc[windows]}" [ "${rc[windows]}" = "${rc[linux]}" ]
    kb_check "$args, code page 932: the Linux output in code page 932" \
        cmp -s <(crlf "$KB_ROOT/out-linux" | iconv -f UTF-8 -t CP932) "$KB_ROOT/out-windows"
    # A character code page 932 lacks (the € refused) is shown as "?".
    kb_check "$args, code page 932: the Linux messages in code page 932" \
        cmp -s <(crlf "$KB_ROOT/err-linux" | sed 's/€/?/g' | iconv -f UTF-8 -t CP932) "$KB_ROOT/err-windows"
done
cd - >/dev/null

# To a PDF: the same pages and text.
args=(--number=1 --count=5 --background=Blue --offset-down=5 --offset-right=-5 HELLO ラベル)
cli linux -o "$KB_ROOT/linux.pdf" "${args[@]}"
# Wine's drive Z: is the root folder. (winepath says the same, but once, under load, it ended with
# status 1 and gave no path.)
windows_pdf="Z:${KB_ROOT//\//\\}\\windows.pdf"
cli windows -o "$windows_pdf" "${args[@]}"
kb_check "-o: status 0 on both (${rc[linux]}, ${rc[windows]})" [ "${rc[linux]}${rc[windows]}" = 00 ]
cp "$KB_ROOT/windows.pdf" "$KB_ARTEFACTS/windows-command-output.pdf"
info() { pdfinfo "$1" | grep -E '^(Pages|Page size):'; }
kb_check "-o: pages and paper as on Linux ($(info "$KB_ROOT/windows.pdf" | tr -s ' \n' ' '))" \
    [ "$(info "$KB_ROOT/windows.pdf")" = "$(info "$KB_ROOT/linux.pdf")" ]
kb_check "-o: the text reads back as on Linux" \
    cmp -s <(pdftotext -layout "$KB_ROOT/linux.pdf" -) <(pdftotext -layout "$KB_ROOT/windows.pdf" -)
kb_check "-o: the labels are there (ラベル on 5)" [ "$(pdftotext "$KB_ROOT/windows.pdf" - | grep -c ラベル)" -eq 5 ]

# The labels' codes from the Windows build (libzint linked in) read back as the Linux build's, each
# its label's text (kb-decode-codes, zxing-cpp), Kanji mode and ECI included.
decode=${KB_DECODE_CODES:?the decoder kb-decode-codes}
for kind in qr datamatrix; do
    args=(--number=1 --count=5 --background=Gray --code=$kind HELLO 検体ｹﾝﾀｲ)
    cli linux -o "$KB_ROOT/linux-$kind.pdf" "${args[@]}"
    cli windows -o "Z:${KB_ROOT//\//\\}\\windows-$kind.pdf" "${args[@]}"
    kb_check "--code=$kind -o: status 0 on both (${rc[linux]}, ${rc[windows]})" [ "${rc[linux]}${rc[windows]}" = 00 ]
    for p in linux windows; do
        pdftoppm -r 300 -gray "$KB_ROOT/$p-$kind.pdf" "$KB_ROOT/$p-$kind"
        "$decode" "$KB_ROOT/$p-$kind-1.pgm" | cut -f3,4 >"$KB_ROOT/$p-$kind.codes"
    done
    kb_check "--code=$kind: the Windows page's codes read as the Linux page's" \
        cmp -s "$KB_ROOT/linux-$kind.codes" "$KB_ROOT/windows-$kind.codes"
    kb_check "--code=$kind: five codes, 検体ｹﾝﾀｲ-1 to -5" \
        [ "$(cut -f2 "$KB_ROOT/windows-$kind.codes" | tr '\n' ' ')" = "検体ｹﾝﾀｲ-1 検体ｹﾝﾀｲ-2 検体ｹﾝﾀｲ-3 検体ｹﾝﾀｲ-4 検体ｹﾝﾀｲ-5 " ]
done

# Through the queue: from position 3, where both windows' runs left their start files.
args=(--number=7 --count=4 --background=Yellow ラベル ABC)
before=$(kb_job_count)
for p in linux windows; do
    cli "$p" "${args[@]}"
    kb_check "$p command: status 0 (${rc[$p]}: $(cat "$KB_ROOT/err-$p"))" [ "${rc[$p]}" = 0 ]
    kb_wait_for 30 kb_have_jobs $((before + 1)) || kb_fail "$p command: no document arrived"
    before=$((before + 1))
done
sleep 1
kb_check "one document each" [ "$(kb_job_count)" -eq "$before" ]
mapfile -t jobs < <(kb_jobs_out | tail -n 2)
compare_pages command "${jobs[0]}" "${jobs[1]}" 3 4 5 6
kb_check "the command stores what it does on Linux ($(bytes "$WIN/StartFile.txt"))" \
    [ "$(bytes "$WIN/StartFile.txt")" = "$(bytes "$KB_INSTALL/StartFile.txt")" ]

stored=$(bytes "$WIN/StartFile.txt")
# A queue that refuses jobs, which Wine's spooler does not report beforehand: the spooler refuses the
# document as it ends, and the run says so (status 5) and stores nothing.
cupsreject kbtest
cli windows --count=3 HELLO
cupsaccept kbtest
kb_check "refusing: the command ends with status 5 (${rc[windows]}: $(cat "$KB_ROOT/err-windows"))" [ "${rc[windows]}" = 5 ]
kb_check "refusing: start file unchanged" [ "$(bytes "$WIN/StartFile.txt")" = "$stored" ]
# A queue working offline: status 3, nothing sent, nothing stored. (Wine's spooler reports no paused
# printer, its status is always 0, but keeps a printer's attributes: "work offline" is the stop it
# can show.)
offline on
cli windows --count=3 HELLO
offline off
kb_check "offline: the command ends with status 3 (${rc[windows]})" [ "${rc[windows]}" = 3 ]
kb_check "offline: the message names the queue" grep -q kbtest "$KB_ROOT/err-windows"
sleep 1
kb_check "offline: no document, start file unchanged" [ "$(kb_job_count)" -eq "$before" -a "$(bytes "$WIN/StartFile.txt")" = "$stored" ]

# ---- Folders whose names the ANSI code page cannot hold ----
# The program in a folder of each kind, under a Japanese Windows (932) and an English one (1252): the
# command finds the start file beside it and stores the next position there; the window finds it and
# opens. 𠮷 and é are outside code page 932, Japanese outside 1252, and the half-width katakana ﾃｽﾄｱ are
# bytes in 932 that also read as UTF-8 (C3 BD C4 B1): a guess between the two took them for "ýı".
folder_case() { # folder_case CODEPAGE NAME [window]
    local cp=$1 name=$2 dir=$KB_ROOT/folders/$2 run=()
    [[ $cp == 932 ]] && run=(japanese)
    mkdir -p "$KB_ROOT/folders"
    cp -al "$WIN" "$dir"
    rm "$dir/StartFile.txt"
    printf '05\r\n10\r\n10\r\n' >"$dir/StartFile.txt"
    rc[windows]=0
    "${run[@]}" wine "$dir/kestrelbox-print.exe" --no-wait --count=2 HELLO >"$KB_ROOT/out-windows" \
        2>"$KB_ROOT/err-windows" || rc[windows]=$?
    kb_check "$cp, folder $name: the command prints (${rc[windows]}: $(head -c 300 "$KB_ROOT/err-windows"))" [ "${rc[windows]}" = 0 ]
    kb_check "$cp, folder $name: the next position stored beside it ($(bytes "$dir/StartFile.txt"))" \
        [ "$(bytes "$dir/StartFile.txt")" = " 0 7 \r \n 1 0 \r \n 1 0 \r \n \r \n 0 \r \n " ]
    if [[ ${3:-} == window ]]; then
        "${run[@]}" kb_start_wine_app "$dir/Kestrelbox.exe"
        local pid=$KB_APP_PID
        kb_wait_window Main 60 "$pid" >/dev/null || kb_fail "$cp, folder $name: no window \"Main\" ($(kb_list_windows | tr '\n' ' '))"
        kb_log "ok: $cp, folder $name: the window found its start file"
        kill "$pid"
        kb_wait_exit "$pid" 10 || kb_fail "$cp, folder $name: the window did not end"
    fi
}
folder_case 932 "𠮷野家のラベル" window
folder_case 932 "Café"
folder_case 932 "ﾃｽﾄｱ"
folder_case 1252 "ラベル用" window
folder_case 1252 "𠮷"

# ---- Messages and a console ----
# A message names the start file as Windows writes a path, with "\"; a character the code page lacks
# is "?" in a file (code page 932: é).
dir=$KB_ROOT/folders/Café
rm "$dir/StartFile.txt"
rc[windows]=0
japanese wine "$dir/kestrelbox-print.exe" --list A >"$KB_ROOT/out-windows" 2>"$KB_ROOT/err-windows" || rc[windows]=$?
kb_check "a missing start file: status 6 (${rc[windows]})" [ "${rc[windows]}" = 6 ]
expected="kestrelbox-print: start file Z:${dir//\//\\}\\StartFile.txt: スタートファイルがありません"
kb_check "the message names it with backslashes, é as ?" \
    cmp -s <(printf '%s\r\n' "${expected//é/?}" | iconv -f UTF-8 -t CP932) "$KB_ROOT/err-windows"
# In a console (a terminal behind Wine's console) the text goes as UTF-16 and shows as typed, under
# code page 932 and 437 alike. (Wine's console draws blanks and tabs as cursor moves: the labels are
# looked for, not the lines.)
for run in japanese env; do
    "$run" script -qec "wine '$WIN/kestrelbox-print.exe' --list --count=2 ラベル 番号" /dev/null </dev/null \
        >"$KB_ROOT/console" 2>&1 || true
    sed 's/\x1b\[[?0-9;]*[a-zA-Z]/ /g; s/\r//g' "$KB_ROOT/console" >"$KB_ROOT/console-text"
    kb_check "$run: the console shows both labels as typed ($(tr '\n' ' ' <"$KB_ROOT/console-text" | head -c 200))" \
        [ "$(grep -c 'ラベル.*番号' "$KB_ROOT/console-text")" -eq 2 ]
done

# ---- The ledger's copy held open as Excel holds a workbook (nobody else may write it) ----
# The run prints and records all the same, says once that the copy is behind, still finds its repeats;
# once the holder lets go, the next run brings the copy up to date.
printf '01\r\n10\r\n10\r\n' >"$WIN/StartFile.txt"
cli windows --no-wait --number=1 HELD XQ
kb_check "excel: a first run makes the ledger's copy (${rc[windows]}: $(cat "$KB_ROOT/err-windows"))" [ -f "$WIN/PrintLog.csv" ]
cp "$win_build/tests/windows/kb-hold-open.exe" "$WIN/"
wine "$WIN/kb-hold-open.exe" "Z:${WIN//\//\\}\\PrintLog.csv" "Z:${KB_ROOT//\//\\}\\let-go" >"$KB_ROOT/holder.out" 2>&1 &
holder=$!
KB_PIDS+=("$holder")
kb_wait_for 30 grep -q held "$KB_ROOT/holder.out" || kb_fail "excel: the holder did not take the copy ($(cat "$KB_ROOT/holder.out"))"
cli windows --no-wait --number=2 HELD XQ
kb_check "excel: the run beside the held copy prints, and says once that the copy is behind (${rc[windows]})" \
    [ "${rc[windows]}" = 0 -a "$(grep -c 'PrintLog.csv was not brought up to date' "$KB_ROOT/err-windows")" -eq 1 ]
serials=$(python3 -c 'import sqlite3, sys; print(*(r[0] for r in sqlite3.connect(sys.argv[1]).execute(
    "SELECT serial FROM label WHERE line1 = ? ORDER BY id", ("HELD",))))' "$WIN/PrintLog.db")
kb_check "excel: the database has both runs' labels ($serials)" [ "$serials" = "1 2" ]
cli windows --no-wait --number=2 HELD XQ
kb_check "excel: the repeat check works beside the held copy (status ${rc[windows]})" [ "${rc[windows]}" = 10 ]
touch "$KB_ROOT/let-go"
wait "$holder" || true
cli windows --no-wait --number=3 HELD XQ
kb_check "excel: let go, the next run is told nothing (${rc[windows]}: $(cat "$KB_ROOT/err-windows"))" \
    [ "${rc[windows]}" = 0 -a ! -s "$KB_ROOT/err-windows" ]
kb_check "excel: ... and the copy holds every label again" bash -c 'grep -q XQ-2 "$0" && grep -q XQ-3 "$0"' "$WIN/PrintLog.csv"

# ---- Start files as Notepad saves them ----
printf '\xEF\xBB\xBF12\r\n09\r\n11\r\n' >"$WIN/StartFile.txt"
japanese cli windows --list A
kb_check "a UTF-8 byte-order mark: read past (${rc[windows]}: $(cat "$KB_ROOT/err-windows"))" [ "${rc[windows]}" = 0 ]
kb_check "... position 12 read" grep -q $'^1\t12\t' "$KB_ROOT/out-windows"

# ---- A start right after "End" ----
# The copy that is closing takes no more hand-overs: a start 0.3 s after "End" opens its own window
# (under Wine the closing process lives on for seconds).
printf '\xEF\xBB\xBF01\r\n10\r\n10\r\n' >"$WIN/StartFile.txt"
kb_start_wine_app "$WIN/Kestrelbox.exe"
first=$KB_APP_PID
w=$(kb_wait_window Main 60 "$first") || kb_fail "no window \"Main\" (start file with a byte-order mark)"
sleep 1
kb_click "$w" $((88 + 36)) $((8 + 36)) # End, in the first slot while "Exit" is hidden
sleep 0.3
kb_start_wine_app "$WIN/Kestrelbox.exe"
second=$KB_APP_PID
w=$(kb_wait_window Main 30 "$second") ||
    kb_fail "a start 0.3 s after End opened no window (the first copy $(kb_alive "$first" && echo runs || echo ended), the second $(kb_alive "$second" && echo runs || echo ended))"
kb_log "ok: a start 0.3 s after End opened its own window"
kb_wait_exit "$first" 20 || kb_fail "the first copy did not end after End"
kb_check "... and the first copy ended (code $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 0 ]
kill "$second"
kb_wait_exit "$second" 10 || kb_fail "the second copy did not end"

# ---- Without a start file: one message, then the program ends and makes no file ----
rm "$WIN/StartFile.txt"
kb_start_wine_app "$WIN/Kestrelbox.exe"
pid=$KB_APP_PID
box=$(kb_wait_window Kestrelbox 60 "$pid") || kb_fail "no message box titled Kestrelbox"
kb_check "one message box" [ "$(kb_windows Kestrelbox "$pid" | wc -l)" -eq 1 ]
import -window "$box" "$KB_ARTEFACTS/windows-no-start-file.png"
kb_focus "$box"
kb_key Return
kb_wait_exit "$pid" 10 || kb_fail "the program still runs after its message"
kb_check "the program ended by itself with the start file's status 6 (code $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 6 ]
kb_check "still no start file" [ ! -e "$WIN/StartFile.txt" ]
kb_log "Windows test passed"
