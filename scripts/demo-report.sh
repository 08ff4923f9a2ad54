#!/usr/bin/env bash
# The demo's before-and-after pictures of the Wine machine, and the report
# made from them (scripts/demo.sh runs both inside its display and prefix).
#
#   demo-report.sh --snapshot before|after <work dir>
#       lists drive C: (outside the system's own directories), exports the
#       registry keys the product and its neighbours use, copies
#       DOSSTART.BAT: <work>/<phase>-files.txt, -registry.txt, -dosstart.bat
#   demo-report.sh --live
#       turns the box answerer's transcript on stdin into lines for the user,
#       as the events come
#   demo-report.sh --report <work dir> <output dir>
#       prints what was removed (and by whom), what was kept and why, the
#       lines taken out of DOSSTART.BAT, every box with its answer, the
#       screenshots and what the programs saw.
#
# Everything in the report is observed: the two pictures, the box
# answerer's transcript and the stand-ins' traces.  Only the reasons why a
# neighbour must stay come from the demo (<work>/reasons.txt: a path, key or
# "key|value" per line, a trailing "\*" for everything below it, a tab, the
# reason); an item kept without a reason, or a neighbour removed, is marked
# NOT EXPECTED.
set -euo pipefail
export LC_ALL=C

# The registry keys the picture covers: where the product and its
# neighbours keep their items.
registry_scope=(
  'HKCU\Software'
  'HKCR'
  'HKLM\Software\Halvern Software'
  'HKLM\Software\Microsoft\Windows\CurrentVersion'
  'HKLM\System\CurrentControlSet\Control\SessionManager'
)

winpath() { local path=${1//\//\\}; echo "Z:$path"; }

# .reg text on stdin to one item per line, comparable with comm:
#   K<tab>key    and    V<tab>key<tab>value name<tab>data
# Roots are shortened to HKCU, HKCR and HKLM; hex data spread over
# continuation lines is joined; "(default)" names the unnamed value.
flatten_reg() {
  tr -d '\r' | awk '
    function short(key) {
      sub(/^HKEY_CURRENT_USER/, "HKCU", key)
      sub(/^HKEY_CLASSES_ROOT/, "HKCR", key)
      sub(/^HKEY_LOCAL_MACHINE/, "HKLM", key)
      return key
    }
    { line = $0 }
    pending != "" { sub(/^ +/, "", line); line = pending line; pending = "" }
    line ~ /\\$/ { pending = substr(line, 1, length(line) - 1); next }
    line ~ /^\[/ { key = short(substr(line, 2, length(line) - 2)); print "K\t" key; next }
    line ~ /^@=/ { print "V\t" key "\t(default)\t" substr(line, 3); next }
    line ~ /^"/ {
      name = ""
      for (i = 2; i <= length(line); i++) {
        c = substr(line, i, 1)
        if (c == "\\") { name = name substr(line, ++i, 1); continue }
        if (c == "\"") break
        name = name c
      }
      print "V\t" key "\t" name "\t" substr(line, i + 2)
    }'
}

snapshot() {
  local phase=$1 work=$2
  local drive_c=$work/prefix/drive_c
  (
    cd "$drive_c"
    find . -mindepth 1 \( -path ./windows -o -path './Program Files' -o -path ./ProgramData \
      -o -path ./users \) -prune -o \( -type d -printf '%P/\n' \) -o -printf '%P\n'
    for file in windows/DOSSTART.BAT windows/Uninst.exe; do [ -e "$file" ] && echo "$file"; done
  ) | sed 's|/|\\|g; s|^|C:\\|' | sort >"$work/$phase-files.txt"

  local i
  rm -f "$work"/reg-*.reg
  for i in "${!registry_scope[@]}"; do
    wine reg export "${registry_scope[$i]}" "$(winpath "$work/reg-$i.reg")" /y >/dev/null 2>&1 </dev/null || true
  done
  for file in "$work"/reg-*.reg; do iconv -f UTF-16 -t UTF-8 "$file"; done | flatten_reg |
    sort -u >"$work/$phase-registry.txt"

  tr -d '\r' <"$drive_c/windows/DOSSTART.BAT" >"$work/$phase-dosstart.bat" 2>/dev/null || true
}

# --- The report --------------------------------------------------------------

# One field of a transcript line ("key=value", tab separated), unescaped.
field_awk='
  function field(name,   i, value) {
    for (i = 3; i <= NF; i++) {
      if (index($i, name "=") != 1) continue
      value = substr($i, length(name) + 2)
      gsub(/\\\\/, "\\", value)
      return value
    }
    return ""
  }'

# The uninstaller's entries, upper-cased ("FILE C:\..." "DIR C:\..."
# "KEY HKLM\..." "VALUE HKLM\...|name"): those it removed, with the time in
# the transcript's milliseconds, and those it failed on, with the error.
uninstaller_entries() {
  local work=$1 epoch=$2
  awk -F'\t' -v epoch="$epoch" -v removed="$work/uninst-removed.txt" -v failed="$work/uninst-failed.txt" '
    BEGIN { printf "" >removed; printf "" >failed }
    $2 == "removed" {
      entry = toupper($3)
      if (entry ~ /^VALUE / && entry ~ /\|$/) entry = entry "(DEFAULT)"
      if ($4 == "ok") print entry "\t" ($1 - epoch) >removed
      else if ($4 != "2") print entry "\t" $4 >failed
    }' "$work/uninst-trace.txt" 2>/dev/null || true
}

report() {
  local work=$1 out=$2
  local transcript=$work/transcript.txt
  local epoch frozen_ms
  epoch=$(awk -F'\t' "$field_awk"' $2 == "started" { print field("epoch"); exit }' "$transcript")
  # The uninstaller is frozen from before the status window appears until
  # KWUNINST lets it go on; what it removed before then, it removed while
  # KWUNINST was still waiting for the question to go.
  frozen_ms=$(awk -F'\t' '$2 == "status-window" { print $1; exit }' "$transcript")
  frozen_ms=${frozen_ms:-999999999}
  uninstaller_entries "$work" "$epoch"
  # Files whose deletion the user cancelled in KWUNINST's Retry/Cancel box.
  awk -F'\t' "$field_awk"' $2 == "box" && field("pressed") == "Cancel" {
      text = field("text")
      if (match(text, /The file .* failed to be deleted/)) print toupper(substr(text, RSTART + 9, RLENGTH - 30))
    }' "$transcript" >"$work/cancelled.txt"
  local declined=0
  grep -q $'\tanswer\tno' "$work/uninst-trace.txt" 2>/dev/null && declined=1

  echo
  echo "=== What the uninstall did ==================================================="
  [ -f "$work/scenario.txt" ] && sed 's/^/  /' "$work/scenario.txt"
  summary "$work" "$declined"
  echo
  echo "--- Files and directories on drive C: (outside the system's own directories)"
  compare_files "$work" "$declined" "$frozen_ms"
  echo
  local scope
  scope=$(printf ', %s' "${registry_scope[@]}")
  echo "--- Registry (the keys ${scope#, })"
  compare_registry "$work" "$declined" "$frozen_ms"
  echo
  echo "--- C:\\windows\\DOSSTART.BAT (- taken out, + added)"
  if cmp -s "$work/before-dosstart.bat" "$work/after-dosstart.bat"; then
    echo "  unchanged:"
    sed 's/^/     /' "$work/after-dosstart.bat"
  else
    diff --unchanged-line-format='     %L' --old-line-format='   - %L' --new-line-format='   + %L' \
      "$work/before-dosstart.bat" "$work/after-dosstart.bat" || true
  fi
  echo
  echo "--- Every box, with the answer the user gave (times since KWUNINST.EXE started)"
  awk -F'\t' "$field_awk"' $2 == "box" {
      printf "  %5.1f s  \"%s\" (%s icon%s): %s\n", $1 / 1000, field("caption"), field("icon"),
        field("owner") == "none" ? "" : ", owned by \"" field("owner") "\"", field("text")
      printf "           buttons [%s], answered %s after %.1f s\n", field("buttons"), field("pressed"),
        field("delay") / 1000
    }' "$transcript"
  echo
  echo "--- Screenshots (what the screen showed about 0.4 s after each status and box)"
  awk -F'\t' -v repo="$(cd "$out/../.." && pwd)/" "$field_awk"' $2 == "screenshot" {
      path = field("path"); gsub(/\\/, "/", path); sub(/^[Zz]:/, "", path)
      if (index(path, repo) == 1) path = substr(path, length(repo) + 1)
      printf "  %-34s %-6s \"%s\"\n", path, field("of"), field("text")
    }' "$transcript"
  echo
  echo "--- What the programs saw (times since KWUNINST.EXE started)"
  programs_seen "$work" "$epoch"
}

summary() {
  local work=$1 declined=$2
  awk -F'\t' "$field_awk"' $2 == "exit" { print "  KWUNINST.EXE ended with exit code " field("code") }
      $2 == "timeout" { print "  KWUNINST.EXE did not end within " field("seconds") " s" }' "$work/transcript.txt"
  local answer
  answer=$(awk -F'\t' '$2 == "answer" { print $3 }' "$work/uninst-trace.txt" 2>/dev/null || true)
  local done_line
  done_line=$(awk -F'\t' '$2 == "done" { print $3 }' "$work/uninst-trace.txt" 2>/dev/null || true)
  echo "  Uninst.exe: the user answered ${answer:-nothing}$([ -n "$done_line" ] && echo "; it worked through the $done_line entries of its log and ended")"
  if [ "$declined" = 1 ]; then
    echo "  The user declined: no status window, nothing removed; the agent KWUNINST had closed was started again."
  fi
}

# Reasons and neighbour patterns as awk code: reason(item) gives the reason
# of the longest pattern that matches the item ("" if none).
reasons_awk='
  function load_reasons(file,   line, tab) {
    while ((getline line < file) > 0) {
      tab = index(line, "\t")
      if (tab) reason_of[toupper(substr(line, 1, tab - 1))] = substr(line, tab + 1)
    }
  }
  function reason(item,   up, probe, best, pattern, stem) {
    up = toupper(item); best = ""
    # "C:\DIR" and "KEY|VALUE" as "C:\DIR" and "KEY\|VALUE": both lie
    # below the pattern "C:\DIR\*" or "KEY\*".
    probe = up
    if (!sub(/\|/, "\\|", probe)) probe = up "\\"
    for (pattern in reason_of) {
      if (pattern == up) return reason_of[pattern]
      if (pattern ~ /\\\*$/) {
        stem = substr(pattern, 1, length(pattern) - 1)
        if (index(probe, stem) == 1 && length(stem) > length(best)) best = stem
      }
    }
    return best == "" ? "" : reason_of[best "*"]
  }'

# Kept items, listed once per subtree: a directory or key whose whole
# subtree stays for the same reason stands for all of it.  keep() in the
# order of a sorted listing, then print_kept().
collapse_awk='
  function keep(item, why) { kept_item[++nkept] = item; kept_why[nkept] = why }
  function under(item, top) {
    if (top !~ /\\$/) top = top "\\"
    return index(item, top) == 1 || index(item, substr(top, 1, length(top) - 1) "|") == 1
  }
  function print_kept(title, width,   i, j, below, same, covering) {
    print "  " title " (" nkept + 0 "):"
    covering = ""
    for (i = 1; i <= nkept; i++) {
      if (covering != "" && under(kept_item[i], covering)) continue
      covering = ""; below = 0; same = 1
      for (j = i + 1; j <= nkept && under(kept_item[j], kept_item[i]); j++) {
        below++
        if (kept_why[j] != kept_why[i]) same = 0
      }
      if (below > 0 && same) {
        covering = kept_item[i]
        printf "    %-" width "s %s (and everything below it: %d)\n", kept_item[i], kept_why[i], below
      } else {
        printf "    %-" width "s %s\n", kept_item[i], kept_why[i]
      }
    }
  }'

compare_files() {
  local work=$1 declined=$2 frozen_ms=$3
  awk -F'\t' -v declined="$declined" -v frozen="$frozen_ms" \
      -v reasons="$work/reasons.txt" -v removals="$work/uninst-removed.txt" \
      -v failures="$work/uninst-failed.txt" -v cancelled="$work/cancelled.txt" \
      -v after_file="$work/after-files.txt" "$reasons_awk$collapse_awk"'
    BEGIN {
      load_reasons(reasons)
      while ((getline line < removals) > 0) { split(line, part, "\t"); by_uninst[part[1]] = part[2] }
      while ((getline line < failures) > 0) { split(line, part, "\t"); failed[part[1]] = part[2] }
      while ((getline line < cancelled) > 0) was_cancelled[line] = 1
      while ((getline line < after_file) > 0) after[line] = 1
    }
    function bare(path) { sub(/\\$/, "", path); return path }
    function name_of(path) { path = bare(path); sub(/.*\\/, "", path); return toupper(path) }
    function contents(dir,   item, list) {
      list = ""
      for (item in after) if (index(item, dir) == 1 && item != dir) list = list (list == "" ? "" : ", ") substr(item, length(dir) + 1)
      return list
    }
    function spared(path) {
      if (name_of(path) == "KWUNINST.EXE") return "KWUNINST spared it: the uninstall program itself"
      if (name_of(path) == "DEISL1.ISU") return "KWUNINST spared it: the install log Uninst.exe works from"
      return ""
    }
    {
      path = $0; entry = (path ~ /\\$/ ? "DIR " : "FILE ") toupper(bare(path)); why = reason(bare(path))
      if (!(path in after)) {
        if (why != "") { wrong[++nw] = path; next }
        if (!(entry in by_uninst)) { by_kw[++nk] = "    " path; next }
        note = by_uninst[entry] < frozen ? "before KWUNINST froze it" : "after KWUNINST let it go on"
        if (spared(path) != "") note = note "; " spared(path)
        by_log[++nl] = sprintf("    %-40s %s", path, note)
        next
      }
      if (why == "" && declined) why = "the user declined the removal"
      if (why == "" && (toupper(path) in was_cancelled)) why = "the user chose Cancel while another program held it open"
      if (why == "") why = spared(path)
      if (why == "" && path ~ /\\$/ && contents(path) != "") why = "not empty: " contents(path)
      if (why == "") why = "NOT EXPECTED: nothing says why it should stay"
      if (entry in failed) why = why "; Uninst.exe could not remove it (error " failed[entry] ")"
      keep(path, why)
    }
    END {
      print "  removed by KWUNINST (" nk + 0 "):"
      for (i = 1; i <= nk; i++) print by_kw[i]
      print "  removed by Uninst.exe, as its install log lists them (" nl + 0 "):"
      for (i = 1; i <= nl; i++) print by_log[i]
      print_kept("kept", 40)
      for (i = 1; i <= nw; i++) print "  NOT EXPECTED: removed although never the product'"'"'s: " wrong[i]
    }' "$work/before-files.txt"
  comm -13 "$work/before-files.txt" "$work/after-files.txt" | sed 's/^/  NOT EXPECTED: new: /'
}

compare_registry() {
  local work=$1 declined=$2 frozen_ms=$3
  flatten_reg <"$work/k-ward.reg" | sort -u >"$work/installed-registry.txt"
  # Removed: every item of the before-picture missing from the after one,
  # each removed key once with what was below it.
  comm -23 "$work/before-registry.txt" "$work/after-registry.txt" |
    awk -F'\t' -v frozen="$frozen_ms" -v reasons="$work/reasons.txt" \
        -v removals="$work/uninst-removed.txt" "$reasons_awk"'
      BEGIN {
        load_reasons(reasons)
        while ((getline line < removals) > 0) { split(line, part, "\t"); by_uninst[part[1]] = part[2] }
      }
      function parent(key) { sub(/\\[^\\]*$/, "", key); return key }
      $1 == "K" { gone[$2] = 1; keys[++nkeys] = $2; next }
      { values[++nvalues] = $2 "\t" $3 "\t" $4 }
      function plural(count, word) { return count " " word (count == 1 ? "" : "s") }
      # Files removed by KWUNINST, or by Uninst.exe (with when).
      function removed(entry, text,   when) {
        entry = toupper(entry)
        if (!(entry in by_uninst)) { by_kw[++nk] = text; return }
        when = by_uninst[entry] < frozen ? "before KWUNINST froze it" : "after KWUNINST let it go on"
        by_log[++nl] = sprintf("%-70s %s", text, when)
      }
      END {
        for (i = 1; i <= nkeys; i++) {
          key = keys[i]
          if (parent(key) in gone) continue
          subkeys = 0; count = 0
          for (j = 1; j <= nkeys; j++) if (index(keys[j], key "\\") == 1) subkeys++
          for (j = 1; j <= nvalues; j++) {
            split(values[j], v, "\t")
            if (v[1] == key || index(v[1], key "\\") == 1) count++
          }
          if (reason(key) != "") wrong[++nw] = key
          removed("KEY " key, sprintf("key   %s (%s, %s)", key, plural(subkeys, "subkey"), plural(count, "value")))
        }
        for (j = 1; j <= nvalues; j++) {
          split(values[j], v, "\t")
          if (v[1] in gone) continue
          if (reason(v[1] "|" v[2]) != "") wrong[++nw] = v[1] "|" v[2]
          data = v[3]; gsub(/\\\\/, "\\", data)
          removed("VALUE " v[1] "|" v[2], sprintf("value %s|%s = %s", v[1], v[2], data))
        }
        print "  removed by KWUNINST (" nk + 0 "):"
        for (i = 1; i <= nk; i++) print "    " by_kw[i]
        print "  removed by Uninst.exe, as its install log lists them (" nl + 0 "):"
        for (i = 1; i <= nl; i++) print "    " by_log[i]
        for (i = 1; i <= nw; i++) print "  NOT EXPECTED: removed although never the product'"'"'s: " wrong[i]
      }'
  # Kept: the installed items still there (the registry ignores case: Wine
  # may spell a key it made itself otherwise), each value right after its
  # key (sorted as "key\|name") so that a key can stand for its subtree.
  awk -F'\t' -v declined="$declined" -v reasons="$work/reasons.txt" \
      -v after_file="$work/after-registry.txt" "$reasons_awk"'
      BEGIN {
        load_reasons(reasons)
        while ((getline line < after_file) > 0) {
          split(line, part, "\t")
          after[toupper(part[1] "\t" part[2] "\t" part[3])] = line
        }
      }
      {
        id = toupper($1 "\t" $2 "\t" $3)
        if (!(id in after)) next
        split(after[id], part, "\t")
        item = $1 == "K" ? part[2] : part[2] "|" part[3]
        why = reason(item)
        if (why == "" && declined) why = "the user declined the removal"
        if (why == "" ) why = "NOT EXPECTED: nothing says why it should stay"
        print ($1 == "K" ? part[2] : part[2] "\\|" part[3]) "\t" item "\t" why
      }' "$work/installed-registry.txt" | sort -t $'\t' -k1,1 |
    awk -F'\t' "$collapse_awk"'
      { keep($2, $3) }
      END { print_kept("kept, of what the product and its neighbours had", 62) }'
  comm -13 "$work/before-registry.txt" "$work/after-registry.txt" |
    awk -F'\t' '{ print "  NOT EXPECTED: new or changed: " $2 ($1 == "V" ? " \"" $3 "\" = " $4 : "") }'
}

# The stand-ins' traces on one time line: the product's programs (and the
# program holding a file open), and the setup-log uninstaller.
programs_seen() {
  local work=$1 epoch=$2
  {
    awk -F'\t' '
      $3 == "started" { print $1 "\t" $2 "\tstarted" ($4 ~ /wShowWindow=7/ ? " minimised, not activated" : "") }
      $3 == "held" { print $1 "\t" $2 "\tholds " $4 " open" }
      $3 == "close-request" { print $1 "\t" $2 "\tis asked to close" }
      $3 == "released" { print $1 "\t" $2 "\tlets go of " $4 }
      $3 == "window-seen" { print $1 "\t" $2 "\tsees \"" $4 "\": the user closes it" }
      $3 == "exit" { print $1 "\t" $2 "\tends" }' "$work/product-trace.txt" 2>/dev/null || true
    awk -F'\t' '
      $2 == "started" { print $1 "\tUninst.exe\tstarted: " $3 }
      $2 == "question-shown" { print $1 "\tUninst.exe\tasks \"Confirm File Deletion\"" }
      $2 == "answer" { print $1 "\tUninst.exe\tgets the answer " $3 }
      $2 == "done" { print $1 "\tUninst.exe\thas worked through its log (" $3 " entries)" }
      $2 == "exit" { print $1 "\tUninst.exe\tends" }' "$work/uninst-trace.txt" 2>/dev/null || true
  } | sort -s -n -k1,1 | awk -F'\t' -v epoch="$epoch" '{
      printf "  %7s  %-13s %s\n", $1 < epoch ? "before" : sprintf("%5.1f s", ($1 - epoch) / 1000), $2, $3
    }'
}

# What the user sees, as it happens.
live() {
  awk -F'\t' "$field_awk"'
    { at = sprintf("%6.1f s  ", $1 / 1000) }
    $2 == "started"       { print at "started " field("cmd") }
    $2 == "window" && field("exe") != "KWUNINST.EXE" {
                            print at "window \"" field("title") "\" of " field("exe") }
    $2 == "box"           { printf "%sbox \"%s\": %s  [%s]  -> %s\n", at, field("caption"),
                            field("text"), field("buttons"), field("pressed") }
    $2 == "status-window" && field("update") == "0" {
                            printf "%sstatus window \"%s\" appears (top-most %s, centred %s)\n", at,
                              field("caption"), field("topmost"), field("centred")
                            if (field("text") != "Static") print at "status: " field("text") }
    $2 == "status"        { print at "status: " field("text") }
    $2 == "status-window-gone" { print at "status window closed" }
    $2 == "screenshot"    { path = field("path"); sub(/.*\\/, "", path); print at "screenshot " path }
    $2 == "exit"          { print at "KWUNINST.EXE ended with code " field("code") }
    $2 == "timeout"       { print at "KWUNINST.EXE did not end in time" }
    $2 == "error"         { print at "box answerer: " field("message") }
    { fflush() }'
}

case ${1:-} in
  --live) live ;;
  --snapshot) snapshot "$2" "$3" ;;
  --report) report "$2" "$3" ;;
  *) echo "usage: demo-report.sh --snapshot before|after <work dir> | --live | --report <work dir> <output dir>" >&2
     exit 2 ;;
esac
