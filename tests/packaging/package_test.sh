#!/usr/bin/env bash
# The packages scripts/package.sh made in DIST. The Debian package passes lintian, installs
# under /usr only, as root's files, depends on what its programs link, and works unpacked
# (check_tree.sh). The Windows zip holds the two programs, the read-me and the licence in one
# folder; the programs import nothing but Windows' own DLLs, the window carries the icon and
# both their manifest. (installer_test.sh tries the Windows installer under Wine.)
# Usage: package_test.sh DIST SOURCE_DIR
set -uo pipefail
dist=${1:?DIST}
source=${2:?SOURCE_DIR}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# manifest_of EXE: the bytes of the program's manifest (resource type 24, name 1). objdump lists
# the resource tree depth first, types least indented; the leaf gives the data's address.
manifest_of() {
  local dump leaf section
  dump="$(x86_64-w64-mingw32-objdump -p "$1")"
  leaf="$(printf '%s\n' "$dump" | awk '
    /^[0-9a-f]+   Entry: ID: / { type = $4 }
    /^[0-9a-f]+     Entry: ID: / { name = $4 }
    /Leaf: Addr: / && type == "0x000018," && name == "0x000001," { sub(/,/, "", $4); sub(/,/, "", $6); print $4, $6; exit }')"
  section="$(printf '%s\n' "$dump" | awk '/Resource Directory \[\.rsrc\]/ { print "0x" $3; exit }')"
  [ -n "$leaf" ] && [ -n "$section" ] || return 1
  x86_64-w64-mingw32-objcopy -O binary --only-section=.rsrc "$1" "$work/rsrc" || return 1
  set -- $leaf
  # dd, not tail into head: head stopping early would end tail by SIGPIPE, a failure to pipefail.
  dd if="$work/rsrc" bs=1 skip=$(($1 - section)) count=$(($2)) status=none
}
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
version="$(sed -n 's/^project(enlarge3 VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")"

# The Debian package.
deb="$dist/enlarge3_${version}_$(dpkg --print-architecture).deb"
if [ ! -f "$deb" ]; then
  fail "no $deb (made: $(ls "$dist" 2>/dev/null | tr '\n' ' '))"
else
  [ "$(dpkg-deb -f "$deb" Package)" = enlarge3 ] || fail "the package is not named enlarge3"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
  # Debian's own checker, pedantic tags included: not one error or warning.
  if ! report="$(lintian --fail-on error,warning --pedantic "$deb" 2>&1)"; then
    fail "lintian finds faults in $(basename "$deb"):
$report"
  fi
  dpkg-deb -c "$deb" >"$work/deb.list"
  outside="$(awk '$6 != "./" && $6 !~ /^\.\/usr\// { print $6 }' "$work/deb.list")"
  [ -z "$outside" ] || fail "the package installs outside /usr: $outside"
  strangers="$(awk '$2 != "root/root" { print $6 " " $2 }' "$work/deb.list")"
  [ -z "$strangers" ] || fail "files not owned by root: $strangers"
  mkdir "$work/deb"
  dpkg-deb -x "$deb" "$work/deb"
  "$(dirname "$0")/check_tree.sh" "$work/deb/usr" "$source/samples/sample.bmp" || fail "the unpacked package"
  changelog="$(zcat "$work/deb/usr/share/doc/enlarge3/changelog.gz" 2>/dev/null | head -1)"
  case "$changelog" in "enlarge3 ($version) "*) ;; *) fail "the changelog's newest entry is not $version: $changelog" ;; esac
  # Every library a program links comes from a package the package depends on, as
  # dpkg-shlibdeps found it (without it the field would be empty).
  depends="$(dpkg-deb -f "$deb" Depends)"
  for program in "$work"/deb/usr/bin/*; do
    libraries="$(LC_ALL=C ldd "$program")"
    for soname in $(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'); do
      path="$(printf '%s\n' "$libraries" | awk -v so="$soname" '$1 == so { print $3 }')"
      # dpkg knows a library by the path its package ships it at, /lib or /usr/lib.
      owner="$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(readlink -f "$path")" 2>/dev/null)"
      owner="${owner%%:*}"
      if [ -z "$owner" ]; then
        fail "$(basename "$program") links $soname, which no installed package holds"
        continue
      fi
      case ", $depends," in *", $owner "*|*", $owner,"*) ;;
        *) fail "$(basename "$program") links $soname of $owner, which the package does not depend on: $depends" ;;
      esac
    done
  done
fi

# The Windows zip: one folder named like the zip, so unpacking it makes no mess.
zip="$dist/enlarge3-$version-windows-x86_64.zip"
if [ ! -f "$zip" ]; then
  fail "no $zip"
else
  folder="enlarge3-$version-windows-x86_64"
  expected="$folder/LICENSE.txt
$folder/README.txt
$folder/enlarge3-window.exe
$folder/enlarge3.exe"
  actual="$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)"
  [ "$actual" = "$expected" ] || fail "the zip holds other files than expected:
$(diff <(echo "$expected") <(echo "$actual"))"
  unzip -q "$zip" -d "$work/zip"
  dir="$work/zip/$folder"
  # Any DLL outside Windows (libstdc++-6.dll, libwinpthread-1.dll, ...) would have to lie beside
  # the programs.
  system_dll='^(kernel32|user32|gdi32|shell32|comctl32|comdlg32|ole32|oleaut32|windowscodecs|advapi32|shlwapi|uxtheme|dwmapi|version|msvcrt|ucrtbase|bcrypt|ws2_32|api-ms-win-[a-z0-9-]+)\.dll$'
  for exe in enlarge3.exe enlarge3-window.exe; do
    [ -f "$dir/$exe" ] || continue
    dlls="$(x86_64-w64-mingw32-objdump -p "$dir/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')"
    [ -n "$dlls" ] || fail "$exe imports no DLL at all: not a Windows program?"
    for dll in $dlls; do
      echo "$dll" | tr 'A-Z' 'a-z' | grep -qE "$system_dll" || fail "$exe needs $dll, which Windows does not have"
    done
  done
  file -b "$dir/enlarge3.exe" | grep -q '^PE32+ executable (console) x86-64' ||
    fail "enlarge3.exe is not a 64-bit console program: $(file -b "$dir/enlarge3.exe")"
  file -b "$dir/enlarge3-window.exe" | grep -q '^PE32+ executable (GUI) x86-64' ||
    fail "enlarge3-window.exe is not a 64-bit windowed program: $(file -b "$dir/enlarge3-window.exe")"
  # The resource type table (its entries are the least indented) has an icon group: type 14.
  # grep reads the whole dump (no -q): one that stops at the match ends objdump by SIGPIPE,
  # which pipefail reports as a failure, now and then.
  x86_64-w64-mingw32-objdump -p "$dir/enlarge3-window.exe" |
    grep -E '^[0-9a-f]{3}   Entry: ID: 0x00000e,' >/dev/null || fail "enlarge3-window.exe carries no icon"
  # The manifest Windows reads at the start: well-formed (Windows refuses to start a program
  # whose manifest is not), resource 1 of its type, and asking for what each line names.
  for exe in enlarge3.exe enlarge3-window.exe; do
    [ -f "$dir/$exe" ] || continue
    if ! manifest_of "$dir/$exe" >"$work/$exe.manifest" || ! xmllint --noout "$work/$exe.manifest"; then
      fail "$exe carries no well-formed manifest as resource 1"
      continue
    fi
    while IFS='|' read -r what path wanted; do
      found="$(xmllint --xpath "string($path)" "$work/$exe.manifest")"
      [ "$found" = "$wanted" ] || fail "$exe's manifest asks for $what '$found', not '$wanted'"
    done <<'EOF'
Common Controls|//*[local-name()="dependentAssembly"]/*[local-name()="assemblyIdentity"][@name="Microsoft.Windows.Common-Controls"]/@version|6.0.0.0
DPI awareness|//*[local-name()="dpiAwareness"]|PerMonitorV2, PerMonitor
long paths|//*[local-name()="longPathAware"]|true
Windows 10 and 11|//*[local-name()="supportedOS"][@Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]/@Id|{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}
rights|//*[local-name()="requestedExecutionLevel"]/@level|asInvoker
EOF
  done
  if [ -f "$dir/README.txt" ]; then
    head -1 "$dir/README.txt" | grep -q "^enlarge3 $version for Windows" ||
      fail "the read-me does not start with the name and version"
    [ "$(grep -c $'\r$' "$dir/README.txt")" -eq "$(wc -l <"$dir/README.txt")" ] ||
      fail "the read-me's lines do not all end in CR LF"
  fi
fi

[ -f "$dist/enlarge3-$version-windows-x86_64-setup.exe" ] || fail "no Windows installer beside the zip"

[ "$failures" -eq 0 ] || { echo "$failures check(s) of the packages failed" >&2; exit 1; }
echo "$(basename "$deb") and $(basename "$zip"): every file in place, and the programs check out"
