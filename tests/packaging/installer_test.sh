#!/usr/bin/env bash
# The Windows installer in DIST, installed and uninstalled silently under Wine in a prefix of its
# own, once for all users (the default for an administrator, which Wine's user is) and once for
# the current user alone: the zip's files and the uninstaller in the mode's folder, the
# Start-menu entry, "Open with" for every picture extension without touching the extensions'
# defaults, the uninstall entry; the installed driver runs. Uninstalling (by the entry's own
# command, and by uninstall.exe /S in the folder) then leaves the prefix as it was before.
# Usage: installer_test.sh DIST SOURCE_DIR
set -uo pipefail
dist=${1:?DIST}
source=${2:?SOURCE_DIR}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
work="$(mktemp -d)"
wine_run="$source/scripts/wine-run.sh"
export ENLARGE3_BINARY_DIR="$work"
export WINEPREFIX="$work/wine/prefix" WINEDEBUG=-all
trap '"$wine_run" --stop; rm -rf "$work"' EXIT
version="$(sed -n 's/^project(enlarge3 VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")"
name="enlarge3-$version-windows-x86_64"
setup="$dist/$name-setup.exe"
[ -f "$setup" ] || { echo "FAIL: no $setup" >&2; exit 1; }
unzip -q "$dist/$name.zip" -d "$work/zip" || { echo "FAIL: cannot unpack $name.zip" >&2; exit 1; }

"$wine_run" --setup >/dev/null || { echo "FAIL: no Wine prefix" >&2; exit 1; }
settle() { timeout 300 wineserver -w; }
# Wine's first program start writes a few keys of its own: the state to return to comes after it.
"$wine_run" cmd /c exit
settle

drive="$WINEPREFIX/drive_c"
user="$(id -un)"
# The registry as "[KEY] VALUE" lines, one per value and one per key (so an empty key left behind
# shows too), less the display adapters Wine registers again at every start.
registry() {
  awk '/^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); print key; next }
       /^#/ || /^$/ || /^WINE REGISTRY/ || /^;;/ { next }
       { print key " " $0 }' "$WINEPREFIX/$1" |
    grep -v '^\[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\' | LC_ALL=C sort
}
snapshot() {
  registry system.reg >"$1.system"
  registry user.reg >"$1.user"
  (cd "$drive" && find . | LC_ALL=C sort) >"$1.files"
}
snapshot "$work/before"
# A value as registry() prints it, from its key, name (@ for the default) and text as Windows
# shows them.
reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g'; }
reg_line() {
  local name='@'
  [ "$2" = @ ] || name="\"$(reg_escape "$2")\""
  printf '[%s] %s="%s"\n' "$(reg_escape "$1")" "$name" "$(reg_escape "$3")"
}
# NSIS runs an uninstaller from a copy in %TEMP%, which it leaves to Windows to delete at the
# next restart: that copy, and the note that asks for its deletion, are all it may leave.
nsis_temp_copy='\./users/[^/]*/Temp/~nsu[^/]*\.tmp(/[^/]*\.exe)?$'
restart_note='\[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\] "PendingFileRenameOperations"=.*~nsu[^\\]*\.tmp'
# Every Windows user has the key of their own file types; a new Wine prefix has not, and the
# install for one user makes it.
user_classes='^> \[Software\\\\Classes\]$'

# mode | switch | folder | registry file of the mode's root | Start menu | uninstalled by
# (the uninstall entry's command, as Settings > Apps runs it without asking, or uninstall.exe
# /S in the folder, as the README says)
modes="all users||Program Files/enlarge3|system.reg|ProgramData/Microsoft/Windows/Start Menu/Programs|entry
current user|/CurrentUser|users/$user/AppData/Local/Programs/enlarge3|user.reg|users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs|folder"
# Read from descriptor 3: Wine takes the loop's standard input.
while IFS='|' read -r mode switch folder hive menu uninstall_by <&3; do
  windows_folder="C:\\${folder//\//\\}"
  # shellcheck disable=SC2086 # $switch is one word or none
  "$wine_run" "$setup" /S $switch || fail "$mode: the installer failed"
  settle
  installed="$drive/$folder"
  expected="$( (cd "$work/zip/$name" && ls; echo uninstall.exe) | LC_ALL=C sort)"
  [ "$(ls "$installed" 2>/dev/null | LC_ALL=C sort)" = "$expected" ] ||
    fail "$mode: C:/$folder holds '$(ls "$installed" 2>/dev/null | tr '\n' ' ')', not the zip's files and uninstall.exe"
  for file in "$work/zip/$name"/*; do
    cmp -s "$file" "$installed/$(basename "$file")" || fail "$mode: $(basename "$file") differs from the zip's"
  done
  [ "$("$wine_run" "$windows_folder\\enlarge3.exe" --version 2>/dev/null | tr -d '\r')" = "enlarge3 $version" ] ||
    fail "$mode: the installed enlarge3.exe --version does not say enlarge3 $version"
  link="$drive/$menu/enlarge3.lnk"
  if [ ! -f "$link" ]; then
    fail "$mode: no Start-menu entry C:/$menu/enlarge3.lnk"
  else
    strings -a "$link" | grep -F 'enlarge3-window.exe' >/dev/null || fail "$mode: the Start-menu entry does not start enlarge3-window.exe"
  fi

  # What the mode's registry gained: these entries, and nothing outside the installer's own keys,
  # so no extension's default program is taken over.
  open="\"$windows_folder\\enlarge3-window.exe\" \"%1\""
  classes='Software\Classes'
  uninstall='Software\Microsoft\Windows\CurrentVersion\Uninstall\enlarge3'
  wanted="$classes\enlarge3.picture\shell\open\command|@|$open
$classes\Applications\enlarge3-window.exe\shell\open\command|@|$open
$uninstall|DisplayName|enlarge3
$uninstall|DisplayVersion|$version"
  own="$classes\enlarge3.picture
$classes\Applications\enlarge3-window.exe
$uninstall"
  for extension in .bmp .png .jpg .jpeg; do
    wanted="$wanted
$classes\\$extension\OpenWithProgids|enlarge3.picture|
$classes\Applications\enlarge3-window.exe\SupportedTypes|$extension|"
    own="$own
$classes\\$extension\OpenWithProgids"
  done
  registry "$hive" >"$work/installed"
  comm -13 "$work/before.${hive%.reg}" "$work/installed" | grep -vE "$restart_note" >"$work/gained"
  while IFS='|' read -r key value data; do
    grep -qxF "$(reg_line "$key" "$value" "$data")" "$work/gained" ||
      fail "$mode: the registry lacks $key: $value = $data"
  done <<<"$wanted"
  while read -r key; do
    reg_key="$(reg_escape "$key")"
    printf '[%s]\n[%s\\\\\n' "$reg_key" "$reg_key"
  done <<<"$own" >"$work/own"
  others="$(grep -vF -f "$work/own" "$work/gained")"
  [ -z "$others" ] || fail "$mode: the installer changed other registry entries:
$others"

  prefix="$(reg_line "$uninstall" QuietUninstallString '')"
  quiet="$(grep -F "${prefix%\"}" "$work/installed" | sed 's/^[^=]*="//; s/"$//; s/\\"/"/g; s/\\\\/\\/g')"
  [ "$uninstall_by" = entry ] || quiet="\"$windows_folder\\uninstall.exe\" /S"
  program="$(printf '%s' "$quiet" | sed -n 's/^"\([^"]*\)".*/\1/p')"
  arguments="${quiet#\"$program\"}"
  if [ -z "$program" ]; then
    fail "$mode: the uninstall entry has no QuietUninstallString"
  else
    # shellcheck disable=SC2086 # the arguments are words without spaces
    "$wine_run" "$program" $arguments || fail "$mode: the uninstaller failed"
  fi
  settle
  snapshot "$work/after"
  for part in system user files; do
    left="$(diff "$work/before.$part" "$work/after.$part" | grep '^[<>]' |
      grep -vE "$nsis_temp_copy|$restart_note|$user_classes")"
    [ -z "$left" ] || fail "$mode: the uninstall left the prefix changed ($part; < before, > after):
$left"
  done
done 3<<<"$modes"

[ "$failures" -eq 0 ] || { echo "$failures check(s) of the installer failed" >&2; exit 1; }
echo "$(basename "$setup"): installed for all users and for one, and uninstalled without a trace"
