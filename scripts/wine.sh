# What this machine's Wine can run, found out once, and how to start it.
# Sourced by everything that starts Wine: the demo, the test runner
# (tests/wine/run-in-wine.sh), the test command and the benchmarks.
#
# Debian's /usr/bin/wine always starts the 32-bit loader first, even for a
# 64-bit program, and some machines run no 32-bit Linux program at all
# (their kernel says "Exec format error").  There nothing would run through
# `wine`, so a 64-bit Windows machine is always started through the 64-bit
# loader, and a 32-bit one only where the 32-bit loader was seen to run.

KW_WINE_LOADER32=/usr/lib/wine/wine
KW_WINE_LOADER64=/usr/lib/wine/wine64
# The server serves both kinds of programs; Debian's wrapper prefers the
# 64-bit one too.
KW_WINESERVER=/usr/lib/wine/wineserver64

# Sets KW_WINE32 to yes or no and KW_WINE32_WHY to one line saying why, by
# running the 32-bit loader once; exported, so that the scripts started from
# here take the answer instead of asking again.
kw_wine_probe() {
  [ -n "${KW_WINE32:-}" ] && [ -n "${KW_WINE32_WHY:-}" ] && return 0
  local said
  if said=$("$KW_WINE_LOADER32" --version 2>&1 </dev/null); then
    KW_WINE32=yes
    KW_WINE32_WHY="the 32-bit Wine loader runs here ($said)"
  else
    KW_WINE32=no
    said=$(printf '%s' "$said" | tail -n 1)
    KW_WINE32_WHY="this machine runs no 32-bit programs: $KW_WINE_LOADER32 --version says \"${said##*: }\""
  fi
  export KW_WINE32 KW_WINE32_WHY
}

# kw_wine_use <win32|win64>: points WINEARCH, WINELOADER and WINESERVER at
# the loader and server of that kind of machine (exported: Wine itself
# starts its programs and server from them), so that `wine wineboot`,
# `wine reg` and the rest below start the right one.  Fails (status 1) for
# win32 on a machine that cannot run it; the reason is in KW_WINE32_WHY.
kw_wine_use() {
  case $1 in
    win32) kw_wine_probe; [ "$KW_WINE32" = yes ] || return 1; WINELOADER=$KW_WINE_LOADER32 ;;
    win64) WINELOADER=$KW_WINE_LOADER64 ;;
    *) echo "kw_wine_use: win32 or win64, not $1" >&2; return 2 ;;
  esac
  WINEARCH=$1
  WINESERVER=$KW_WINESERVER
  export WINEARCH WINELOADER WINESERVER
}
# In place of Debian's wrappers, which start the 32-bit loader.  Functions
# do not cross into other scripts (xvfb-run's /bin/sh drops them): a script
# started from here sources this file again, and kw_wine_use takes the
# exported choice.
wine() { "$WINELOADER" "$@"; }
wineserver() { "$WINESERVER" "$@"; }
