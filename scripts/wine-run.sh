#!/usr/bin/env bash
# Runs Windows test programs of the cross build under Wine, on a private Xvfb display.
#   wine-run.sh --setup      start Xvfb and make a fresh Wine prefix (once per build folder)
#   wine-run.sh --stop       end Wine and Xvfb
#   wine-run.sh PROGRAM.exe [ARGS...]
# Everything lives in $ENLARGE3_BINARY_DIR/wine (CTest passes the build folder); nothing of the
# user's own Wine or display is used.
set -euo pipefail

home="${ENLARGE3_BINARY_DIR:?ENLARGE3_BINARY_DIR names the build folder}/wine"
mkdir -p "$home"
export WINEPREFIX="$home/prefix"
export WINEDEBUG=-all
# No menu entries, icons or file types of the host's desktop for what a test installs.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# A Japanese locale gives Wine's fonts their Japanese fallbacks, and the user a Japanese
# interface language; ENLARGE3_WINE_LANG chooses another.
if [ -n "${ENLARGE3_WINE_LANG:-}" ]; then
  export LANG="$ENLARGE3_WINE_LANG"
elif locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  export LANG=ja_JP.UTF-8
else
  export LANG=C.UTF-8
fi
unset LC_ALL

xvfb_alive() { [ -s "$home/xvfb.pid" ] && kill -0 "$(cat "$home/xvfb.pid")" 2>/dev/null; }

case "${1:-}" in
  --setup)
    if ! xvfb_alive; then
      rm -f "$home/display" "$home/display.tmp"
      # -displayfd picks a free display number and writes it, with a newline, once the
      # server is ready.
      setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
        3>"$home/display.tmp" </dev/null >"$home/xvfb.log" 2>&1 &
      echo $! >"$home/xvfb.pid"
      number=""
      for _ in $(seq 100); do
        if [ -f "$home/display.tmp" ] && [ "$(tail -c 1 "$home/display.tmp" | od -An -c | tr -d ' ')" = '\n' ]; then
          number="$(tr -d '\n' <"$home/display.tmp")"
          break
        fi
        sleep 0.1
      done
      [ -n "$number" ] || { echo "Xvfb did not start:" >&2; cat "$home/xvfb.log" >&2; exit 1; }
      echo ":$number" >"$home/display"
    fi
    export DISPLAY="$(cat "$home/display")"
    log="$home/setup.log"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      rm -rf "$WINEPREFIX"
      # Output goes to a file: Wine's server outlives these commands and would hold CTest's
      # output pipe open.
      timeout 600 wineboot -i >"$log" 2>&1
      # Managed=N: no window manager runs here, so none is waited for. No crash dialog: a
      # crash ends the test instead of waiting for a click.
      timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1
      timeout 120 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1
      timeout 120 wineserver -w >>"$log" 2>&1
    fi
    echo "Wine prefix $WINEPREFIX ready on display $DISPLAY"
    ;;
  --stop)
    # Wine first, while its display still exists.
    timeout 60 wineserver -k >/dev/null 2>&1 || true
    timeout 60 wineserver -w >/dev/null 2>&1 || true
    if xvfb_alive; then kill "$(cat "$home/xvfb.pid")"; fi
    rm -f "$home/xvfb.pid" "$home/display"
    ;;
  *)
    [ -s "$home/display" ] || { echo "wine-run.sh: run --setup first" >&2; exit 1; }
    export DISPLAY="$(cat "$home/display")"
    exec timeout "${ENLARGE3_WINE_TIMEOUT:-300}" wine "$@"
    ;;
esac
