#!/usr/bin/env bash
# The program's main job, shown end to end: a Windows machine (a fresh Wine
# prefix on a private display) that reports Windows 95, or NT 4.0 with
# --nt40, with K-WARD fully installed and its programs running; KWUNINST.EXE
# starts the setup-log uninstaller, the user (played by the box answerer)
# answers, the clean-up runs under the status window, and the uninstaller
# finishes.  What the user sees is printed as it happens, then a
# before-and-after report (tools/demo/demo_report).  The product is
# installed as its footprint says (tests/support/footprint.def, read by
# tools/demo/demo_machine).  Installs what it needs.
#
# The program is the shipped 32-bit build in a 32-bit machine, as K-WARD's
# users run it; on a machine that runs no 32-bit programs (scripts/wine.sh
# finds out), or with --x64, the 64-bit build in a 64-bit machine that
# reports the same Windows version.
#
# The uninstaller and the product's programs are the stand-ins of
# tools/standins; nothing real is removed from this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
demo=$root/build/native/tools/demo  # the demo's Linux side, built natively
out=$root/build/demo
source scripts/wine.sh
progress() { printf '[%3d s] %s\n' $(( $(date +%s) - KW_DEMO_START )) "$*"; }

# quietly <step> <command...>: runs a step whose output only matters when it
# fails; then the step is named, with the last lines it printed.
quietly() {
  local step=$1 status=0 log
  shift
  log=$(mktemp /tmp/kw-demo-step.XXXXXX)
  "$@" >"$log" 2>&1 </dev/null || status=$?
  if [ $status -ne 0 ]; then
    echo "demo.sh: $step failed (exit status $status); its last lines:" >&2
    tail -n 20 "$log" | sed 's/^/  | /' >&2
    rm -f "$log"
    exit $status
  fi
  rm -f "$log"
}

usage() {
  cat <<'TXT'
Usage: scripts/demo.sh [--decline] [--retry | --cancel] [--keep] [--nt40] [--x64] [--help]

Runs the shipped 32-bit KWUNINST.EXE on a 32-bit Wine machine with K-WARD
installed and running, plays the user, and reports what was removed, what
was kept and why, every box with its answer, and the screenshots taken.
Where this machine runs no 32-bit programs, the 64-bit build runs instead,
in a 64-bit Wine machine, and the demo says so.

  --decline  the user answers No to the uninstaller's question (default: Yes)
  --retry    another program holds the product's KWSCAN.LOG open; the user closes
             it when KWUNINST's Retry/Cancel box appears, then answers Retry
  --cancel   the same file stays held; the user answers Cancel
  --keep     keep the Wine machine afterwards and say where it is
  --nt40     the machine reports Windows NT 4.0 (default: Windows 95)
  --x64      the 64-bit build in a 64-bit machine, even where the 32-bit one runs
  --help     this text

The report, the answerer's transcript and the screenshots are written to
build/demo/.
TXT
}

# --- Outside the display: options, packages, build ---------------------------
if [ "${1:-}" != "--inside" ]; then
  KW_DEMO_START=$(date +%s)
  export KW_DEMO_START KW_DEMO_WINDOWS=win95 KW_DEMO_ANSWER=Yes
  export KW_DEMO_HELD_FILE=none KW_DEMO_KEEP=0 KW_DEMO_ARCH=x86
  for arg in "$@"; do
    case $arg in
      --decline) KW_DEMO_ANSWER=No ;;
      --retry|--cancel)
        held=${arg#--}; held=${held^}
        if [ "$KW_DEMO_HELD_FILE" != none ] && [ "$KW_DEMO_HELD_FILE" != "$held" ]; then
          echo "demo.sh: choose --retry or --cancel" >&2; exit 2
        fi
        KW_DEMO_HELD_FILE=$held ;;
      --keep) KW_DEMO_KEEP=1 ;;
      --nt40) KW_DEMO_WINDOWS=nt40 ;;
      --x64) KW_DEMO_ARCH=x64 ;;
      --help|-h) usage; exit 0 ;;
      *) usage >&2; exit 2 ;;
    esac
  done
  if [ "$KW_DEMO_ANSWER" = No ] && [ "$KW_DEMO_HELD_FILE" != none ]; then
    echo "demo.sh: --retry and --cancel act on the file clean-up, which a declined run never reaches" >&2
    exit 2
  fi

  progress "Checking the packages (scripts/ensure-packages.sh)"
  quietly "installing the packages" bash scripts/ensure-packages.sh
  # Which build runs, and why, for the first lines of the report.
  if [ "$KW_DEMO_ARCH" = x64 ]; then
    KW_DEMO_BUILD="KWUNINST.EXE: the 64-bit build (x86_64) in a 64-bit Windows machine, as --x64 asks."
  elif kw_wine_use win32; then
    KW_DEMO_BUILD="KWUNINST.EXE: the shipped 32-bit build (i686) in a 32-bit Windows machine, as K-WARD's users run it."
  else
    KW_DEMO_ARCH=x64
    KW_DEMO_BUILD="KWUNINST.EXE: the 64-bit build (x86_64) in a 64-bit Windows machine, since $KW_WINE32_WHY."
    progress "No 32-bit Windows machine here: $KW_WINE32_WHY; the 64-bit build runs instead"
  fi
  export KW_DEMO_BUILD
  if [ "$KW_DEMO_ARCH" = x64 ]; then bits=64 && kw_wine_use win64; else bits=32; fi
  build=$root/build/windows-$KW_DEMO_ARCH
  progress "Building the $bits-bit KWUNINST.EXE, the box answerer and the stand-ins"
  quietly "configuring windows-$KW_DEMO_ARCH" cmake --preset "windows-$KW_DEMO_ARCH"
  quietly "building windows-$KW_DEMO_ARCH" cmake --build --preset "windows-$KW_DEMO_ARCH" -j2 \
    --target kwuninst boxanswer uninst_standin product_standin file_holder
  progress "Building the demo's machine builder and report (tools/demo, for Linux)"
  quietly "configuring native" cmake --preset native
  quietly "building the demo's Linux side" cmake --build --preset native -j2 --target demo_machine demo_report

  work=$(mktemp -d /tmp/kw-demo.XXXXXX)
  rm -rf "$out" && mkdir -p "$out/screenshots"
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export KW_DEMO_WORK="$work" KW_DEMO_OUT="$out" KW_DEMO_BUILD_DIR="$build"
  finish() {
    wineserver -k >/dev/null 2>&1 || true
    if [ "$KW_DEMO_KEEP" = 1 ]; then
      echo
      echo "The Wine machine is kept in $work/prefix (drive C: is $work/prefix/drive_c),"
      echo "with the transcript, the traces and the two pictures beside it in $work."
      echo "  Look at it:  WINEPREFIX=$work/prefix $WINELOADER reg query 'HKCU\\Software' /s"
      echo "  Remove it:   rm -rf $work"
    else
      rm -rf "$work"
    fi
  }
  trap finish EXIT
  status=0
  timeout --kill-after=15 300 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside </dev/null ||
    status=$?
  if [ $status -ne 0 ]; then
    # The failing step has said what it was; only a stop from outside has not.
    case $status in
      124|137) echo "demo.sh: the demo did not end within 300 s and was stopped" >&2 ;;
      *) echo "demo.sh: the demo failed (exit status $status)" >&2 ;;
    esac
    exit $status
  fi
  progress "Done. Report, transcript and screenshots: ${out#"$root"/}/"
  exit 0
fi

# --- Inside the private display ----------------------------------------------
work=$KW_DEMO_WORK
build=$KW_DEMO_BUILD_DIR
drive_c=$WINEPREFIX/drive_c
# Any other command that fails names itself, in functions too.
set -E
trap 'echo "demo.sh: \"$BASH_COMMAND\" failed (exit status $?)" >&2' ERR
# A Linux path as Wine's drive Z: sees it.
winpath() { local path=${1//\//\\}; echo "Z:$path"; }
# The installation directory, as Windows and as Linux see it.
install_win=$("$demo/demo_machine" place install)
install_dir=${install_win#C:\\}; install_dir=$drive_c/${install_dir//\\//}
install_win=${install_win%\\}
# A file of the installation that another program holds open for --retry
# and --cancel: a log that the product's programs write.
held_file="$install_win\\KWSCAN.LOG"
case $KW_DEMO_WINDOWS in win95) windows=95 windows_name="Windows 95" ;; *) windows=nt windows_name="Windows NT 4.0" ;; esac

# wait_for_lines <count> <file> <text>: until the file holds that many lines
# with the text; after 10 s the demo stops, saying what it waited for.
wait_for_lines() {
  local _
  for _ in $(seq 1 100); do
    [ -f "$2" ] && [ "$(grep -c -F -- "$3" "$2")" -ge "$1" ] && return 0
    sleep 0.1
  done
  echo "demo.sh: gave up after 10 s waiting for $1 line(s) with \"$3\" in ${2##*/}" >&2
  exit 1
}

create_machine() {
  quietly "making the Wine machine ($WINELOADER wineboot -i)" wine wineboot -i
  # Without a window manager, managed windows would lose their title bars
  # and stall every hide for 2 s; unmanaged, Wine draws caption and buttons
  # itself.
  quietly "unmanaging the windows" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  quietly "setting the Windows version" wine reg add 'HKCU\Software\Wine' /v Version /d "$KW_DEMO_WINDOWS" /f
  # Debian's Wine looks for its own fonts (fonts-wine) in the wrong place
  # and falls back to other faces: no Marlett for the caption buttons, no
  # MS Sans Serif for dialogs.  In the machine's Fonts directory it finds
  # them.
  cp /usr/share/wine/fonts/* "$drive_c/windows/Fonts/"
}

# K-WARD as its installer and its programs left it, and the neighbours that
# were never its: files from the footprint, the registry items through a
# .reg file; the setup-log uninstaller in the Windows directory.
install_product() {
  quietly "installing the product's files" "$demo/demo_machine" install "$drive_c" "$work" "$build"
  quietly "importing the product's registry items" wine reg import "$(winpath "$work/k-ward.reg")"
  cp "$build/tools/standins/uninst_standin.exe" "$drive_c/windows/Uninst.exe"
}

# start <directory> <program> [arguments]: in the background, as the
# user's session would.
start() { (cd "$1" && shift && wine "$@" >>"$work/programs.txt" 2>&1 </dev/null &); }

# The product's programs that run on this Windows, each traced "shown" once
# its window is up and its files are held; then the program holding a file.
start_programs() {
  local count=0 file
  while IFS=$'\t' read -r file _; do
    start "$install_dir" "$install_win\\$file"
    count=$((count + 1))
  done < <("$demo/demo_machine" programs $windows)
  wait_for_lines $count "$work/product-trace.txt" $'\tshown\t'
  [ "$KW_DEMO_HELD_FILE" = none ] && return
  cp "$build/tools/standins/file_holder.exe" "$drive_c/windows/VIEWER.EXE"
  local holder_args=("$held_file")
  # With Retry, the user first closes the program that holds the file.
  [ "$KW_DEMO_HELD_FILE" = Retry ] &&
    holder_args+=(--release-when 'File Management Prompt Error!' --after 1000)
  start "$drive_c" 'C:\windows\VIEWER.EXE' "${holder_args[@]}"
  wait_for_lines 1 "$work/product-trace.txt" $'VIEWER.EXE\theld'
}

# KWUNINST.EXE as Add/Remove Programs starts it, with the box answerer
# playing the user; what it sees is printed as it happens.  Fails when
# KWUNINST did not end in time.
run_uninstall() {
  # The last box says that files in use go when Windows restarts.
  local answers=(--answer "Confirm File Deletion=$KW_DEMO_ANSWER@2000"
                 --answer 'K-WARD Uninstall Error=OK@1500' --answer 'K-WARD Uninstall=OK@1500')
  [ "$KW_DEMO_HELD_FILE" != none ] &&
    answers+=(--answer "File Management Prompt Error!=$KW_DEMO_HELD_FILE@2500")
  # The answerer's output, the transcript's lines, goes to a file (a Wine
  # process must not hold a pipe we wait on) and is printed from there as it
  # grows; the file exists before tail looks for it.
  : >"$work/answerer.txt"
  wine "$build/tools/boxanswer/boxanswer.exe" --run "$install_win\\KWUNINST.EXE" --cwd "$install_win" \
    "${answers[@]}" --watch-status '  K-WARD Uninstall' \
    --screenshots "$(winpath "$KW_DEMO_OUT/screenshots")" \
    --transcript "$(winpath "$work/transcript.txt")" --timeout 120 \
    >"$work/answerer.txt" 2>"$work/answerer-errors.txt" </dev/null &
  local answerer=$! status=0
  tail -n +1 -f --pid=$answerer "$work/answerer.txt" | "$demo/demo_report" --live
  wait $answerer || status=$?
  [ -s "$work/answerer-errors.txt" ] && sed 's/^/box answerer: /' "$work/answerer-errors.txt"
  [ $status -eq 0 ] || return $status
  # The uninstaller finishes its work after KWUNINST has ended; after a
  # decline, the agent KWUNINST closed comes back.
  wait_for_lines 1 "$work/uninst-trace.txt" $'\texit\t'
  [ "$KW_DEMO_ANSWER" = No ] && wait_for_lines 2 "$work/product-trace.txt" $'K-TASKER.EXE\tshown'
  return 0
}

# KW_UNINST_TRACE and KW_STANDIN_TRACE: the stand-ins' traces, for the report.
KW_UNINST_TRACE=$(winpath "$work/uninst-trace.txt")
KW_STANDIN_TRACE=$(winpath "$work/product-trace.txt")
export KW_UNINST_TRACE KW_STANDIN_TRACE
programs=$("$demo/demo_machine" programs $windows | cut -f2 | paste -sd, | sed 's/,/, /g')
[ "$KW_DEMO_HELD_FILE" != none ] && programs="$programs, a viewer holding $held_file"

progress "Creating a $WINEARCH Wine machine that reports $windows_name (5 to 10 s)"
create_machine
progress "Installing K-WARD and its neighbours as tests/support/footprint.def lists them"
install_product
progress "Starting $programs"
start_programs
progress "Taking the before-picture: files, registry, DOSSTART.BAT"
"$demo/demo_report" --snapshot before "$work"

scenario="On a machine that reports $windows_name, the user answers $KW_DEMO_ANSWER to the uninstaller's question"
[ "$KW_DEMO_HELD_FILE" != none ] && scenario="$scenario, and $KW_DEMO_HELD_FILE for $held_file, held open by another program"
printf '%s\n' "$KW_DEMO_BUILD" "$scenario." >"$work/scenario.txt"
echo
echo "Running $install_win\\KWUNINST.EXE as Add/Remove Programs would."
cat "$work/scenario.txt"
echo
uninstall_status=0
run_uninstall || uninstall_status=$?
echo
progress "Taking the after-picture"
"$demo/demo_report" --snapshot after "$work"
# The program's own record of the run, from the user's temporary directory.
record=$(find "$drive_c/users" -iname KWUNINST.LOG -print -quit 2>/dev/null || true)
[ -n "$record" ] && cp "$record" "$work/KWUNINST.LOG"
"$demo/demo_report" --report "$work" | tee "$KW_DEMO_OUT/report.txt"
cp "$work/transcript.txt" "$KW_DEMO_OUT/transcript.txt"
wineserver -k >/dev/null 2>&1 || true
if [ $uninstall_status -ne 0 ]; then
  echo "demo.sh: the box answerer failed with exit status $uninstall_status (1: KWUNINST.EXE did not" \
    "end within 120 s, 2: it could not be started); see the report" >&2
  exit 1
fi
