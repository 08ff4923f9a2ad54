#!/usr/bin/env bash
# The program's main job, shown end to end: a 32-bit Windows machine (a fresh
# Wine prefix on a private display) that reports Windows 95, or NT 4.0 with
# --nt40, with K-WARD fully installed and its programs running; the shipped
# 32-bit KWUNINST.EXE starts the setup-log uninstaller, the user (played by
# the box answerer) answers, the clean-up runs under the status window, and
# the uninstaller finishes.  What the user sees is printed as it happens,
# then a before-and-after report (scripts/demo-report.sh).  Installs what it
# needs.
#
# The uninstaller and the product's programs are the stand-ins of
# tools/standins; nothing real is removed from this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows-x86
out=$root/build/demo
progress() { printf '[%3d s] %s\n' $(( $(date +%s) - KW_DEMO_START )) "$*"; }

usage() {
  cat <<'TXT'
Usage: scripts/demo.sh [--decline] [--retry | --cancel] [--keep] [--nt40] [--help]

Runs the shipped 32-bit KWUNINST.EXE on a 32-bit Wine machine with K-WARD
installed and running, plays the user, and reports what was removed, what
was kept and why, every box with its answer, and the screenshots taken.

  --decline  the user answers No to the uninstaller's question (default: Yes)
  --retry    another program holds C:\K-WARD\KWSCAN.LOG open; the user closes
             it when KWUNINST's Retry/Cancel box appears, then answers Retry
  --cancel   the same file stays held; the user answers Cancel
  --keep     keep the Wine machine afterwards and say where it is
  --nt40     the machine reports Windows NT 4.0 (default: Windows 95)
  --help     this text

The report, the answerer's transcript and the screenshots are written to
build/demo/.
TXT
}

# --- Outside the display: options, packages, build ---------------------------
if [ "${1:-}" != "--inside" ]; then
  KW_DEMO_START=$(date +%s)
  export KW_DEMO_START KW_DEMO_WINDOWS=win95 KW_DEMO_ANSWER=Yes
  export KW_DEMO_HELD_FILE=none KW_DEMO_KEEP=0
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
      --help|-h) usage; exit 0 ;;
      *) usage >&2; exit 2 ;;
    esac
  done
  if [ "$KW_DEMO_ANSWER" = No ] && [ "$KW_DEMO_HELD_FILE" != none ]; then
    echo "demo.sh: --retry and --cancel act on the file clean-up, which a declined run never reaches" >&2
    exit 2
  fi

  progress "Checking the packages (scripts/ensure-packages.sh)"
  bash scripts/ensure-packages.sh
  progress "Building the 32-bit KWUNINST.EXE, the box answerer and the stand-ins"
  cmake --preset windows-x86 >/dev/null
  cmake --build --preset windows-x86 -j2 \
    --target kwuninst boxanswer uninst_standin product_standin file_holder >/dev/null

  work=$(mktemp -d /tmp/kw-demo.XXXXXX)
  rm -rf "$out" && mkdir -p "$out/screenshots"
  export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export KW_DEMO_WORK="$work" KW_DEMO_OUT="$out"
  finish() {
    wineserver -k >/dev/null 2>&1 || true
    if [ "$KW_DEMO_KEEP" = 1 ]; then
      echo
      echo "The Wine machine is kept in $work/prefix (drive C: is $work/prefix/drive_c),"
      echo "with the transcript, the traces and the two pictures beside it in $work."
      echo "  Look at it:  WINEPREFIX=$work/prefix wine reg query 'HKCU\\Software\\Halvern Software' /s"
      echo "  Remove it:   rm -rf $work"
    else
      rm -rf "$work"
    fi
  }
  trap finish EXIT
  status=0
  timeout --kill-after=15 300 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside </dev/null ||
    status=$?
  progress "Done. Report, transcript and screenshots: ${out#"$root"/}/"
  exit $status
fi

# --- Inside the private display ----------------------------------------------
work=$KW_DEMO_WORK
drive_c=$WINEPREFIX/drive_c
install=$drive_c/K-WARD
quiet() { "$@" >/dev/null 2>&1 </dev/null; }
# A Linux path as Wine's drive Z: sees it.
winpath() { local path=${1//\//\\}; echo "Z:$path"; }
crlf() { sed 's/$/\r/'; }
# wait_for_lines <count> <file> <text>: until the file holds that many lines
# with the text, for at most 10 s.
wait_for_lines() {
  local _
  for _ in $(seq 1 100); do
    [ "$(cat "$2" 2>/dev/null | grep -c -F -- "$3")" -ge "$1" ] && return 0
    sleep 0.1
  done
  return 0
}

create_machine() {
  quiet wineboot -i
  # Without a window manager, managed windows would lose their title bars
  # and stall every hide for 2 s; unmanaged, Wine draws caption and buttons
  # itself.
  quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  quiet wine reg add 'HKCU\Software\Wine' /v Version /d "$KW_DEMO_WINDOWS" /f
  # Debian's Wine looks for its own fonts (fonts-wine) in the wrong place
  # and falls back to other faces: no Marlett for the caption buttons, no
  # MS Sans Serif for dialogs.  In the machine's Fonts directory it finds
  # them.
  cp /usr/share/wine/fonts/* "$drive_c/windows/Fonts/"
}

# K-WARD as its installer and its programs left it.
install_product() {
  mkdir -p "$install/DEFS" "$install/LOGS/1997-03" "$install/QUARANT"
  cp "$build/KWUNINST.EXE" "$install/"
  local name
  for name in K-TASKER.EXE K-WARD32.EXE ZRP95.EXE; do
    cp "$build/tools/standins/product_standin.exe" "$install/$name"
  done
  for name in ACTIVITY.dll ZRPENG.DLL NWCALLS.DLL KWSHEXT.DLL ZRP.VXD SENTRYX.EXE README.TXT \
              DEFS/VIRSIG.DAT; do
    echo "K-WARD file $name" | crlf >"$install/$name"
  done
  # What the programs wrote while they ran: no install log knows these.
  for name in KWARD.INI KWSCAN.LOG DEFS/VIRSIG.NEW LOGS/SCAN.LOG LOGS/1997-03/SCAN0301.LOG \
              QUARANT/INFECTED.VIR; do
    echo "Written by K-WARD at run time: $name" | crlf >"$install/$name"
  done
  # The install log: what setup put there, in the order the setup-log
  # uninstaller removes it, itself and the uninstall program last.
  {
    echo '# K-WARD install log'
    for name in README.TXT ZRP.VXD ZRPENG.DLL NWCALLS.DLL KWSHEXT.DLL ACTIVITY.dll SENTRYX.EXE \
                K-TASKER.EXE K-WARD32.EXE ZRP95.EXE 'DEFS\VIRSIG.DAT' KWUNINST.EXE DEISL1.ISU; do
      echo "FILE C:\\K-WARD\\$name"
    done
    echo 'DIR C:\K-WARD\DEFS'
    echo 'DIR C:\K-WARD'
    echo 'VALUE HKLM\Software\Microsoft\Windows\CurrentVersion\Run|K-Tasker'
    echo 'KEY HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\K-WARD 95'
    echo 'KEY HKLM\Software\Halvern Software\K-WARD'
  } | crlf >"$install/DEISL1.ISU"
  cp "$build/tools/standins/uninst_standin.exe" "$drive_c/windows/Uninst.exe"

  # The agent's task files, in the directory its settings name.
  mkdir -p "$drive_c/KWTASKS"
  for name in DAILY.KWT WEEKLY.KWT; do echo "K-WARD task $name" | crlf >"$drive_c/KWTASKS/$name"; done
  # The marker that tells the product's DOS guard it is installed.
  echo "K-WARD" | crlf >"$drive_c/K-WARD.SYS"
  # The guard's lines among the user's own.
  crlf >"$drive_c/windows/DOSSTART.BAT" <<'BAT'
@ECHO OFF
REM Run when Windows restarts in MS-DOS mode
LH C:\WINDOWS\COMMAND\MSCDEX.EXE /D:MSCD001
C:\K-WARD\SENTRYX.EXE /LOAD
CLS
LH C:\MOUSE\MOUSE.COM
CALL C:\GAMES\CLSETUP.BAT
REM cls here would hide the mouse driver's message
BAT

  # Every registry item of the product: what locates it, what its programs
  # write while they run, and what its installer logged.  After them, items
  # of another program of the same maker and of the system that must stay.
  cat >"$work/k-ward.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Halvern Software]
[HKEY_CURRENT_USER\Software\Halvern Software\K-tasker]
"LastRun"="1997-03-14 09:00"
[HKEY_CURRENT_USER\Software\Halvern Software\K-tasker\Schedule]
"Tasks"=dword:00000002
[HKEY_CURRENT_USER\Software\Halvern Software\K-WARD32]
"TaskLocation"="C:\\KWTASKS"
"ScanOnStart"=dword:00000001
[HKEY_CURRENT_USER\Software\Halvern Software\K-WARD32\Recent]
"1"="C:\\My Documents"
[HKEY_CURRENT_USER\Software\Halvern Software Systems, Inc.\K-WARD Professional for Windows 95\Settings]
"WindowPos"="120,80,520,380"
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\SessionManager\KnownVxDs]
"ZRP"="C:\\K-WARD\\ZRP.VXD"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"ZRP95"="C:\\K-WARD\\ZRP95.EXE"
"K-Tasker"="C:\\K-WARD\\K-TASKER.EXE"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\K-WARD 95]
"DisplayName"="K-WARD Professional for Windows 95"
"UninstallString"="C:\\K-WARD\\KWUNINST.EXE /x"
[HKEY_LOCAL_MACHINE\Software\Halvern Software\K-WARD]
"InstallDir"="C:\\K-WARD"
[HKEY_CLASSES_ROOT\KWARD.DOCUMENT]
@="K-WARD Document"
[HKEY_CLASSES_ROOT\KWARD.DOCUMENT\shell\open\command]
@="C:\\K-WARD\\K-WARD32.EXE %1"
[HKEY_CLASSES_ROOT\kwt_auto_file]
@="K-WARD Task"
[HKEY_CLASSES_ROOT\kwt_auto_file\shell\open\command]
@="C:\\K-WARD\\K-TASKER.EXE %1"
[HKEY_CLASSES_ROOT\.KWT]
@="kwt_auto_file"
[HKEY_CLASSES_ROOT\CLSID\{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}]
@="K-WARD Shell Extension"
[HKEY_CLASSES_ROOT\CLSID\{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}\InprocServer32]
@="C:\\K-WARD\\KWSHEXT.DLL"
"ThreadingModel"="Apartment"
[HKEY_CLASSES_ROOT\ZRP]
@="ZRP Resident Protection"
[HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers]
@="KWardMenu"
[HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers\KWardMenu]
@="{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}"
[HKEY_CLASSES_ROOT\Folder\shellex\ContextMenuHandlers]
@="KWardMenu"
[HKEY_CLASSES_ROOT\Folder\shellex\ContextMenuHandlers\KWardMenu]
@="{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}"

[HKEY_CURRENT_USER\Software\Halvern Software\K-Backup]
"BackupDir"="C:\\K-BACKUP"
[HKEY_LOCAL_MACHINE\Software\Halvern Software\K-Backup]
"InstallDir"="C:\\K-BACKUP"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"K-Backup"="C:\\K-BACKUP\\KBACKUP.EXE /tray"
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\SessionManager\KnownVxDs]
"KBACKUP"="C:\\K-BACKUP\\KBACKUP.VXD"
[HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers\KBackupMenu]
@="{8a2f64c1-0b3e-11d1-9f2c-0060977b31a5}"
[HKEY_CLASSES_ROOT\.kbk]
@="KBackup.Set"
REG
  quiet wine reg import "$(winpath "$work/k-ward.reg")"
}

# Neighbours that were never the product's: another program of the same
# maker beside C:\K-WARD, and the user's documents (one of them a task file
# the user keeps: only the task directory is the agent's).
add_neighbours() {
  mkdir -p "$drive_c/K-BACKUP" "$drive_c/My Documents"
  echo "K-Backup" | crlf >"$drive_c/K-BACKUP/KBACKUP.EXE"
  echo "Backup set" | crlf >"$drive_c/K-BACKUP/MONDAY.KBK"
  echo "Dear Anna," | crlf >"$drive_c/My Documents/Letter to Anna.txt"
  echo "Budget" | crlf >"$drive_c/My Documents/Budget 1997.xls"
  echo "K-WARD task kept by the user" | crlf >"$drive_c/My Documents/Full scan.KWT"

  # Why each of them must stay, for the report ("\*": and all below it).
  cat >"$work/reasons.txt" <<'TXT'
C:\K-BACKUP\*	another program of the same maker, beside C:\K-WARD
C:\My Documents\*	the user's documents
C:\My Documents\Full scan.KWT	the user's own task file: only the task directory's are the agent's
C:\windows\DOSSTART.BAT	the user's batch file: only the guard's lines go (below)
C:\windows\Uninst.exe	the system's setup-log uninstaller
HKCU\Software\Halvern Software	the maker's key: it still holds K-Backup's settings
HKCU\Software\Halvern Software\K-Backup\*	K-Backup's settings
HKLM\Software\Halvern Software\K-Backup\*	K-Backup's installation
HKLM\Software\Microsoft\Windows\CurrentVersion\Run	the system's list of programs started at log-on
HKLM\Software\Microsoft\Windows\CurrentVersion\Run|K-Backup	K-Backup's start-up entry
HKLM\System\CurrentControlSet\Control\SessionManager\KnownVxDs	the system's list of drivers
HKLM\System\CurrentControlSet\Control\SessionManager\KnownVxDs|KBACKUP	K-Backup's driver
HKCR\*\shellex\ContextMenuHandlers	the system's context-menu handlers for files
HKCR\*\shellex\ContextMenuHandlers\KBackupMenu\*	K-Backup's context-menu handler
HKCR\Folder\shellex\ContextMenuHandlers	the system's context-menu handlers for folders
HKCR\.kbk\*	K-Backup's file type
TXT
}

# start <directory> <program> [arguments]: in the background, as the
# user's session would.
start() { (cd "$1" && shift && wine "$@" >>"$work/programs.txt" 2>&1 </dev/null &); }

# The programs running in the user's session, each traced "shown" once its
# window is up and its files are held.
start_programs() {
  local count=2
  start "$install" 'C:\K-WARD\K-TASKER.EXE'
  start "$install" 'C:\K-WARD\K-WARD32.EXE'
  # The resident protection runs on Windows 95 only.
  if [ "$KW_DEMO_WINDOWS" = win95 ]; then start "$install" 'C:\K-WARD\ZRP95.EXE'; count=3; fi
  wait_for_lines $count "$work/product-trace.txt" $'\tshown\t'
  [ "$KW_DEMO_HELD_FILE" = none ] && return
  cp "$build/tools/standins/file_holder.exe" "$drive_c/windows/VIEWER.EXE"
  local holder_args=('C:\K-WARD\KWSCAN.LOG')
  # With Retry, the user first closes the program that holds the file.
  [ "$KW_DEMO_HELD_FILE" = Retry ] &&
    holder_args+=(--release-when 'File Management Prompt Error!' --after 1000)
  start "$drive_c/My Documents" 'C:\windows\VIEWER.EXE' "${holder_args[@]}"
  wait_for_lines 1 "$work/product-trace.txt" $'VIEWER.EXE\theld'
}

# KWUNINST.EXE as Add/Remove Programs starts it, with the box answerer
# playing the user; what it sees is printed as it happens.
run_uninstall() {
  local answers=(--answer "Confirm File Deletion=$KW_DEMO_ANSWER@2000"
                 --answer 'K-WARD Uninstall Error=OK@1500')
  [ "$KW_DEMO_HELD_FILE" != none ] &&
    answers+=(--answer "File Management Prompt Error!=$KW_DEMO_HELD_FILE@2500")
  # The answerer's output goes to a file (a Wine process must not hold a
  # pipe we wait on) and is printed from there as it grows; the file exists
  # before tail looks for it.
  : >"$work/answerer.txt"
  wine "$build/tools/boxanswer/boxanswer.exe" --run 'C:\K-WARD\KWUNINST.EXE' --cwd 'C:\K-WARD' \
    "${answers[@]}" --watch-status '  K-WARD Uninstall' \
    --screenshots "$(winpath "$KW_DEMO_OUT/screenshots")" \
    --transcript "$(winpath "$work/transcript.txt")" --timeout 120 \
    >"$work/answerer.txt" 2>&1 </dev/null &
  local answerer=$!
  tail -n +1 -f --pid=$answerer "$work/answerer.txt" | bash scripts/demo-report.sh --live
  wait $answerer || true
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
case $KW_DEMO_WINDOWS in win95) windows_name="Windows 95" ;; *) windows_name="Windows NT 4.0" ;; esac
programs="K-Tasker (the agent), K-WARD Professional"
[ "$KW_DEMO_WINDOWS" = win95 ] && programs="$programs, ZRP for Windows 95"
[ "$KW_DEMO_HELD_FILE" != none ] && programs="$programs, a viewer holding C:\\K-WARD\\KWSCAN.LOG"

progress "Creating a 32-bit Wine machine that reports $windows_name (5 to 10 s)"
create_machine
progress "Installing K-WARD: C:\\K-WARD, its registry items, DOSSTART.BAT, task files, C:\\K-WARD.SYS"
install_product
progress "Adding neighbours: C:\\K-BACKUP and its registry items, C:\\My Documents"
add_neighbours
progress "Starting $programs"
start_programs
progress "Taking the before-picture: files, registry, DOSSTART.BAT"
bash scripts/demo-report.sh --snapshot before "$work"

scenario="On a machine that reports $windows_name, the user answers $KW_DEMO_ANSWER to the uninstaller's question"
[ "$KW_DEMO_HELD_FILE" != none ] && scenario="$scenario, and $KW_DEMO_HELD_FILE for C:\\K-WARD\\KWSCAN.LOG, held open by another program"
echo "$scenario." >"$work/scenario.txt"
echo
echo "Running C:\\K-WARD\\KWUNINST.EXE as Add/Remove Programs would."
cat "$work/scenario.txt"
echo
run_uninstall
echo
progress "Taking the after-picture"
bash scripts/demo-report.sh --snapshot after "$work"
bash scripts/demo-report.sh --report "$work" "$KW_DEMO_OUT" | tee "$KW_DEMO_OUT/report.txt"
# The program's own record of the run, from the user's temporary directory.
record=$(find "$drive_c/users" -iname KWUNINST.LOG -print -quit 2>/dev/null || true)
{
  echo
  echo "KWUNINST's record of the run (KWUNINST.LOG):"
  if [ -n "$record" ]; then tr -d '\r' <"$record" | sed 's/^/  /'; else echo "  (none was written)"; fi
} | tee -a "$KW_DEMO_OUT/report.txt"
cp "$work/transcript.txt" "$KW_DEMO_OUT/transcript.txt"
quiet wineserver -k
