#!/usr/bin/env bash
# The program's main job, shown end to end: a 32-bit Windows machine (a fresh
# Wine prefix on a private display) that reports Windows 95, or NT 4.0 with
# --nt40, with K-WARD installed and its scheduling agent and main program
# running; the shipped 32-bit KWUNINST.EXE starts the setup-log uninstaller,
# the user (played by the box answerer) confirms, the clean-up runs under the
# status window, and the uninstaller finishes.  What the user sees is printed
# as it happens.  Installs what it needs.
#
# The uninstaller and the product's programs are the stand-ins of
# tools/standins; nothing real is removed from this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows-x86

usage() {
  cat <<'TXT'
Usage: scripts/demo.sh [--nt40] [--help]

Runs the shipped 32-bit KWUNINST.EXE on a 32-bit Wine machine with K-WARD
installed, answers the uninstaller's question with Yes, and prints what the
user sees and what was left.

  --nt40   the machine reports Windows NT 4.0 (default: Windows 95)
  --help   this text
TXT
}

if [ "${1:-}" != "--inside" ]; then
  windows=win95
  for arg in "$@"; do
    case $arg in
      --nt40) windows=nt40 ;;
      --help|-h) usage; exit 0 ;;
      *) usage >&2; exit 2 ;;
    esac
  done
  bash scripts/ensure-packages.sh
  echo "Building the 32-bit Windows program and the stand-ins..."
  cmake --preset windows-x86 >/dev/null
  cmake --build --preset windows-x86 --target kwuninst boxanswer uninst_standin product_standin >/dev/null
  work=$(mktemp -d /tmp/kw-demo.XXXXXX)
  export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export KW_DEMO_WORK="$work" KW_DEMO_WINDOWS="$windows"
  cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"; }
  trap cleanup EXIT
  echo "Preparing a 32-bit Windows machine (a new Wine prefix takes about 10 s)..."
  timeout --kill-after=15 300 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside </dev/null
  exit $?
fi

# --- Inside the private display -------------------------------------------
work=$KW_DEMO_WORK
drive_c=$WINEPREFIX/drive_c
quiet() { "$@" >/dev/null 2>&1 </dev/null; }

quiet wineboot -i
quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
# The Windows version the machine reports to programs.
quiet wine reg add 'HKCU\Software\Wine' /v Version /d "$KW_DEMO_WINDOWS" /f

# The product as its installer left it.
install=$drive_c/K-WARD
mkdir -p "$install"
cp "$build/KWUNINST.EXE" "$install/"
for name in K-TASKER.EXE K-WARD32.EXE ZRP95.EXE; do
  cp "$build/tools/standins/product_standin.exe" "$install/$name"
done
for name in ACTIVITY.dll ZRPENG.DLL NWCALLS.DLL KWSHEXT.DLL ZRP.VXD README.TXT; do
  echo "K-WARD file $name" >"$install/$name"
done
{
  echo '# K-WARD install log'
  for name in README.TXT ZRP.VXD ZRPENG.DLL NWCALLS.DLL KWSHEXT.DLL ACTIVITY.dll \
              K-TASKER.EXE K-WARD32.EXE ZRP95.EXE KWUNINST.EXE DEISL1.ISU; do
    echo "FILE C:\\K-WARD\\$name"
  done
  echo 'DIR C:\K-WARD'
} | sed 's/$/\r/' >"$install/DEISL1.ISU"
quiet wine reg add 'HKLM\System\CurrentControlSet\Control\SessionManager\KnownVxDs' \
  /v ZRP /d 'C:\K-WARD\ZRP.VXD' /f
cp "$build/tools/standins/uninst_standin.exe" "$drive_c/windows/Uninst.exe"

export KW_UNINST_TRACE='C:\uninst-trace.txt' KW_STANDIN_TRACE='C:\product-trace.txt'

# The scheduling agent and the main program are running, as they do on the
# user's machine, holding their files open.
(cd "$install" && wine 'C:\K-WARD\K-TASKER.EXE' >"$work/agent.txt" 2>&1 </dev/null &)
(cd "$install" && wine 'C:\K-WARD\K-WARD32.EXE' >"$work/main.txt" 2>&1 </dev/null &)
sleep 3

echo
case $KW_DEMO_WINDOWS in win95) echo "The machine reports Windows 95." ;; nt40) echo "The machine reports Windows NT 4.0." ;; esac
echo "Running C:\\K-WARD\\KWUNINST.EXE; the user will answer Yes to the uninstaller's question."
echo
# The answerer's output goes to a file (a Wine process must not hold a pipe
# we wait on) and is printed from there as it grows.
wine "$build/tools/boxanswer/boxanswer.exe" --run 'C:\K-WARD\KWUNINST.EXE' --cwd 'C:\K-WARD' \
  --answer 'Confirm File Deletion=Yes@2000' --answer 'K-WARD Uninstall Error=OK' \
  --watch-status '  K-WARD Uninstall' --timeout 120 >"$work/answerer.txt" 2>&1 </dev/null &
answerer=$!
tail -n +1 -f --pid=$answerer "$work/answerer.txt" | awk -F'\t' '
  function field(name,   i, value) {
    for (i = 3; i <= NF; i++) {
      if (index($i, name "=") != 1) continue
      value = substr($i, length(name) + 2)
      gsub(/\\\\/, "\\", value)
      return value
    }
    return ""
  }
  { at = sprintf("%6.1f s  ", $1 / 1000) }
  $2 == "started"       { print at "started " field("cmd"); fflush() }
  $2 == "box"           { printf "%sbox \"%s\": %s  [%s]  -> %s\n", at, field("caption"), field("text"),
                          field("buttons"), field("pressed"); fflush() }
  $2 == "status-window" && field("update") == "0" {
                          printf "%sstatus window \"%s\" appears (top-most %s, centred %s)\n", at,
                          field("caption"), field("topmost"), field("centred")
                          if (field("text") != "Static") print at "status: " field("text")
                          fflush() }
  $2 == "status"        { print at "status: " field("text"); fflush() }
  $2 == "status-window-gone" { print at "status window closed"; fflush() }
  $2 == "window" && field("exe") != "KWUNINST.EXE" {
                          print at "window \"" field("title") "\" of " field("exe"); fflush() }
  $2 == "exit"          { print at "KWUNINST.EXE ended with code " field("code"); fflush() }
  $2 == "timeout"       { print at "timed out"; fflush() }
'
wait $answerer || true

# Let the uninstaller finish its work, then show what is left.
for _ in $(seq 1 100); do
  grep -q $'\texit\t' "$drive_c/uninst-trace.txt" 2>/dev/null && break
  sleep 0.2
done
echo
echo "What the product's programs saw:"
cut -f2- "$drive_c/product-trace.txt" 2>/dev/null | grep -E 'started|close-request|released|exit' |
  cut -f1-3 | sed 's/^/  /' || true
echo "What the uninstaller did:"
cut -f2- "$drive_c/uninst-trace.txt" | grep -vE '^(tick|zorder)' | sed 's/^/  /'
echo "Left in C:\\K-WARD:"
if [ -d "$install" ]; then ls -A "$install" | sed 's/^/  /'; else echo "  (the directory is gone)"; fi
quiet wineserver -k
