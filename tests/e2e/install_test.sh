#!/usr/bin/env bash
# The installed program folder: `cmake --install` into a folder whose path has a blank puts the
# executables beside a new start file (01, 10, 10), a desktop entry that desktop-file-validate accepts
# and whose Exec starts that executable, AppStream metainfo of the same id that appstreamcli accepts,
# the manual page of kestrelbox-print with every option of its --help, and the icon at every theme
# size; the program starts from there, its window belongs to the entry (StartupWMClass) and "End" ends
# it. A second install keeps the user's start file. The one-user install (KB_DESKTOP_DATA_HOME) also
# puts the entry and the icons into the user's data folder, in place of an entry of the old name.
# Usage: install_test.sh BUILD_DIR [ARTEFACT_DIR]
source "$(dirname "$0")/lib.sh"
build=$1
kb_setup install "$build/bin/Kestrelbox" "${2:-}"

folder="$KB_ROOT/Program Files/kestrelbox"
kb_install_into() { # kb_install_into FOLDER: cmake's own output goes to the log
    cmake --install "$build" --prefix "$1" >>"$KB_ROOT/log/install.log" 2>&1 ||
        kb_fail "cmake --install: $(tail -n 5 "$KB_ROOT/log/install.log")"
}
desktop_key() { sed -n "s/^$2=//p" "$1"; } # desktop_key ENTRY KEY
start_file_bytes() { od -An -c "$folder/StartFile.txt" | tr -s ' \n' ' '; }

kb_install_into "$folder"
for exe in Kestrelbox kestrelbox-print; do
    kb_check "$exe in the program folder" [ -x "$folder/$exe" ]
done
kb_check "Qt's Japanese translation beside them" cmp -s "$folder/translations/qtbase_ja.qm" \
    /usr/share/qt6/translations/qtbase_ja.qm
kb_check "new start file 01, 10, 10 with CR LF (got '$(start_file_bytes)')" \
    [ "$(start_file_bytes)" = " 0 1 \r \n 1 0 \r \n 1 0 \r \n " ]

entries=("$folder"/share/applications/*.desktop)
kb_check "one desktop entry installed (${entries[*]##*/})" [ ${#entries[@]} -eq 1 -a -f "${entries[0]}" ]
entry=${entries[0]}
app_id=$(basename "$entry" .desktop)
report=$(desktop-file-validate "$entry" 2>&1) || kb_fail "desktop-file-validate: $report"
kb_check "desktop-file-validate has nothing to say ('$report')" [ -z "$report" ]
exec_line=$(desktop_key "$entry" Exec)
# One argument in double quotes; this path needs no escapes inside them.
exe=${exec_line#\"}
exe=${exe%\"}
kb_check "Exec ($exec_line) is the quoted path of the installed executable" \
    [ "\"$exe\"" = "$exec_line" -a "$exe" -ef "$folder/Kestrelbox" ]
# The software centres' description: the entry's id, and appstreamcli finds the entry it names.
metainfo=$folder/share/metainfo/$app_id.metainfo.xml
kb_check "metainfo $app_id.metainfo.xml carries the entry's id" grep -q "<id>$app_id</id>" "$metainfo"
report=$(appstreamcli validate-tree --no-net "$folder" 2>&1) || kb_fail "appstreamcli validate-tree: $report"
kb_log "ok: appstreamcli validate-tree accepts the metainfo and its entry"

# The manual page: man finds it for the program folder on PATH; it says every option --help names,
# and names no option --help lacks; groff has nothing to warn about.
page=$folder/share/man/man1/kestrelbox-print.1
kb_check "man finds the installed page" [ "$(PATH=$folder:$PATH man -w kestrelbox-print)" = "$page" ]
report=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
kb_check "groff has nothing to say about the page ('$report')" [ -z "$report" ]
shown=$(MANWIDTH=200 man -l "$page")
help_options=$("$folder/kestrelbox-print" --help | grep -E '^ +-' | sed -E 's/^ +//; s/  .*//' |
    grep -oE -- '--?[a-z][a-z0-9-]*' | sort -u)
kb_check "--help names options" [ "$(wc -l <<<"$help_options")" -ge 10 ]
for option in $help_options; do
    kb_check "the page shows $option" grep -qE -- "(^|[ ,])$option([=[ ,]|\$)" <<<"$shown"
done
for option in $(grep -oE -- '(^|[ ,])--?[a-z][a-z0-9-]*' <<<"$shown" | tr -d ' ,' | sort -u); do
    kb_check "$option of the page is an option of --help" grep -qxF -- "$option" <<<"$help_options"
done

for size in 16 32 48 64 128 256; do
    icon=$folder/share/icons/hicolor/${size}x$size/apps/kestrelbox.png
    kb_check "icon ${size}x$size" [ "$(identify -format '%m %wx%h' "$icon" 2>&1)" = "PNG ${size}x$size" ]
done

# ---- The installed program, started as the desktop entry starts it ----
kb_start_x
kb_start_app "$exe"
pid=$KB_APP_PID
wid=$(kb_wait_window Main 20 "$pid") || kb_fail "no window \"Main\" from the installed program within 20 s"
wm_class=$(xprop -id "$wid" WM_CLASS | sed -n 's/.*, "\(.*\)"$/\1/p')
kb_check "window class '$wm_class' is the entry's StartupWMClass" \
    [ "$wm_class" = "$(desktop_key "$entry" StartupWMClass)" ]
kb_click "$wid" 124 44 # "End"
kb_wait_exit "$pid" 10 || kb_fail "installed program still running 10 s after \"End\""
kb_check "installed program ended with code 0 (got $KB_EXIT_CODE)" [ "$KB_EXIT_CODE" -eq 0 ]

# ---- Installing again over a folder in use ----
printf '17\r\n09\r\n11\r\n\r\n0\r\n' >"$folder/StartFile.txt"
kept=$(start_file_bytes)
kb_install_into "$folder"
kb_check "a second install keeps the user's start file" [ "$(start_file_bytes)" = "$kept" ]

# ---- For one user: the program folder in ~/.local/opt, the entry in the user's menu ----
# The entry an earlier version installed for this folder under its old name gives way to the new one.
old_entry=$HOME/.local/share/applications/kestrelbox.desktop
mkdir -p "${old_entry%/*}"
printf '[Desktop Entry]\nTryExec=%s\n' "$HOME/.local/opt/kestrelbox/Kestrelbox" >"$old_entry"
KB_DESKTOP_DATA_HOME=$HOME/.local/share kb_install_into "$HOME/.local/opt/kestrelbox"
kb_check "the old entry kestrelbox.desktop is gone" [ ! -e "$old_entry" ]
user_entry=$HOME/.local/share/applications/$app_id.desktop
report=$(desktop-file-validate "$user_entry" 2>&1) || kb_fail "desktop-file-validate: $report"
kb_check "the user's entry starts the program in ~/.local/opt" \
    [ "$(desktop_key "$user_entry" Exec)" = "\"$HOME/.local/opt/kestrelbox/Kestrelbox\"" ]
kb_check "the user's icon theme has the 48 px icon" \
    [ -f "$HOME/.local/share/icons/hicolor/48x48/apps/kestrelbox.png" ]
kb_log "PASS"
