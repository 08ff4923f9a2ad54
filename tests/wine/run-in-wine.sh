#!/usr/bin/env bash
# Runs one Windows test program under Wine, on a private Wine prefix and a
# private X display, and leaves nothing running behind: the wineserver is
# stopped and Xvfb ends with xvfb-run.
#
# Usage: run-in-wine.sh <program.exe> [arguments...]
# Environment:
#   KW_WINE_ARCH     win64 (default) or win32: the machine's architecture.  A
#                    32-bit program belongs in a win32 machine, as on Windows
#                    95 and NT: in a 64-bit one it would see the registry's
#                    32-bit view, which 64-bit tools do not write.
#   KW_WINE_TIMEOUT  seconds before the run is stopped (default 900)
#   KW_KEEP_PREFIX   set to keep the prefix for a look afterwards
# Exit status: the program's, or 77 when this machine cannot run a win32
# machine (CTest reports the test as skipped, with the reason printed).
set -u

program=$1
shift

export KW_WINE_SH="$(cd "$(dirname "$0")/../../scripts" && pwd)/wine.sh"
source "$KW_WINE_SH"
arch="${KW_WINE_ARCH:-win64}"
case $arch in
  win32|win64) ;;
  *) echo "run-in-wine: KW_WINE_ARCH must be win32 or win64, not $arch"; exit 2 ;;
esac
if ! kw_wine_use "$arch"; then
  echo "SKIPPED: ${program##*/} needs a 32-bit Windows machine, and $KW_WINE32_WHY"
  exit 77
fi

work=$(mktemp -d /tmp/kw-wine.XXXXXX)
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
export KW_WINE_WORK="$work"
log="$work/output.txt"

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -z "${KW_KEEP_PREFIX:-}" ]; then rm -rf "$work"; else echo "prefix kept in $work"; fi
}
trap cleanup EXIT

# The part that needs the display.  Wine's own processes never get our
# output pipe: a wineserver holding it would keep the caller waiting.  A
# machine that cannot be made stops the run here, saying why.
inner='
  source "$KW_WINE_SH"
  if ! wine wineboot -i >"$KW_WINE_WORK/wineboot.txt" 2>&1 </dev/null; then
    echo "run-in-wine: the Wine machine could not be made ($WINELOADER wineboot -i):"
    tail -n 20 "$KW_WINE_WORK/wineboot.txt"
    exit 125
  fi
  # Without a window manager on the display, Wine waits 2 s for every
  # window it hides or destroys; unmanaged windows close at once.
  wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1 </dev/null
  # Debian'"'"'s Wine finds its own fonts (fonts-wine) only in the machine'"'"'s
  # Fonts directory: the dialogs'"'"' MS Sans Serif, the caption buttons'"'"' Marlett.
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  wine "$@" >"$KW_WINE_WORK/output.txt" 2>&1 </dev/null
  rc=$?
  wineserver -k >/dev/null 2>&1 </dev/null
  wineserver -w >/dev/null 2>&1 </dev/null
  exit $rc
'
timeout --kill-after=15 "${KW_WINE_TIMEOUT:-900}" \
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$inner" run-in-wine "$program" "$@" \
  </dev/null >"$work/xvfb.txt" 2>&1
rc=$?
cat "$log" 2>/dev/null
if [ $rc -ne 0 ]; then
  echo "run-in-wine: $program ended with code $rc in a $WINEARCH machine ($WINELOADER)"
  tail -n 20 "$work/xvfb.txt" 2>/dev/null
fi
exit $rc
