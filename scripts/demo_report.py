"""The demo's before-and-after pictures of the Wine machine, and the report
made from them (scripts/demo.sh runs them inside its display and prefix).

    demo_report.py --snapshot before|after <work dir>
        lists drive C: (outside the system's own directories), exports the
        registry keys the product and its neighbours use, copies
        DOSSTART.BAT, and notes what Windows is to delete when it restarts:
        <work>/<phase>-files.txt, -registry.txt, -dosstart.bat, -restart.txt
    demo_report.py --live
        turns the box answerer's transcript on stdin into lines for the
        user, as the events come
    demo_report.py --report <work dir>
        prints what was removed (and by whom), what was kept and why, the
        lines taken out of DOSSTART.BAT, every box with its answer, the
        screenshots, what the programs saw, and KWUNINST's own record.

Everything in the report is observed: the two pictures, the box answerer's
transcript (tools/boxanswer/README.md), the stand-ins' traces
(tools/standins/README.md) and KWUNINST.LOG.  Only why a neighbour must
stay, and which files KWUNINST leaves to the setup-log uninstaller, come
from the product's footprint, through <work>/reasons.txt that the demo
writes (scripts/demo_machine.py).  An item kept without a reason, or a
neighbour removed, is marked NOT EXPECTED.

Standard library only; the golden test tests/demo/report_test.py runs the
report on the files of one real run.
"""
import collections
import difflib
import ntpath
import os
import re
import subprocess
import sys

# Where Windows NT keeps what it is to delete when it restarts.
SESSION_MANAGER = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager"
# The system's directories, left out of the picture but for the files the
# demo puts there, which must stay.
SYSTEM_DIRECTORIES = {"windows", "program files", "programdata", "users"}
SYSTEM_FILES = {
    "C:\\windows\\DOSSTART.BAT": "the user's batch file: only the guard's lines go (below)",
    "C:\\windows\\Uninst.exe": "the system's setup-log uninstaller",
}
DECLINED = "the user declined the removal"
CANCELLED = "the user chose Cancel while another program held it open"
UNEXPLAINED = "NOT EXPECTED: nothing says why it should stay"
ANSI = "cp1252"  # the texts boxanswer and the stand-ins read with the -A functions


# --- The box answerer's transcript ----------------------------------------

Event = collections.namedtuple("Event", "ms kind fields")
ESCAPES = {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}


def unescape(value):
    """A transcript value as boxanswer had it: \\\\ \\t \\n \\r are the only
    escapes it writes, so any other backslash means the line is not one."""
    out, at = [], 0
    while at < len(value):
        c = value[at]
        if c == "\\":
            if value[at + 1:at + 2] not in ESCAPES:
                raise ValueError(f"bad escape at {at} in {value!r}")
            c, at = ESCAPES[value[at + 1]], at + 1
        out.append(c)
        at += 1
    return "".join(out)


def parse_event(line):
    """One transcript line, "<ms>\t<kind>\t<key>=<value>...", without its \n."""
    parts = line.split("\t")
    if len(parts) < 2 or not re.fullmatch(r"[0-9]+", parts[0]) or not re.fullmatch(r"[a-z-]+", parts[1]) \
            or "\r" in line:
        raise ValueError(f"not a transcript line: {line!r}")
    ms, kind, fields = parts[0], parts[1], parts[2:]
    values = {}
    for field in fields:
        key, equals, value = field.partition("=")
        if not equals or not re.fullmatch(r"[a-z0-9-]+", key) or key in values:
            raise ValueError(f"not a key=value field: {field!r} in {line!r}")
        values[key] = unescape(value)
    return Event(int(ms), kind, values)


def read_lines(path):
    """A text file's lines, each without its line end (CR LF or LF); none if
    the file is missing."""
    try:
        with open(path, "rb") as file:
            text = file.read().decode(ANSI, errors="replace").replace("\r\n", "\n")
    except FileNotFoundError:
        return []
    lines = text.split("\n")
    return lines[:-1] if lines[-1] == "" else lines


def read_transcript(path):
    """Every line ends in LF, the last one too, and none holds a CR; no file,
    no events."""
    try:
        with open(path, "rb") as file:
            text = file.read().decode(ANSI, errors="replace")
    except FileNotFoundError:
        return []
    if text and not text.endswith("\n"):
        raise ValueError(f"{path}: the last line has no line end")
    return [parse_event(line) for line in text.split("\n")[:-1]]


# --- The stand-ins' traces: "<epoch ms>\t[<program>\t]<event>\t<detail>..." --

Trace = collections.namedtuple("Trace", "ms program event detail")


def read_trace(path, names_program):
    lines = []
    for line in read_lines(path):
        parts = line.split("\t")
        program = parts.pop(1) if names_program else "Uninst.exe"
        lines.append(Trace(int(parts[0]), program, parts[1], parts[2:]))
    return lines


# --- The registry, as .reg text --------------------------------------------

ROOTS = {"HKEY_CURRENT_USER": "HKCU", "HKEY_CLASSES_ROOT": "HKCR", "HKEY_LOCAL_MACHINE": "HKLM"}


def reg_items(text):
    """.reg text to items: ("K", key) and ("V", key, value name, data as .reg
    writes it).  Roots are shortened, data spread over continuation lines is
    joined, "(default)" names the unnamed value."""
    items, key, pending = [], None, ""
    for line in text.replace("\r", "").split("\n"):
        if pending:
            line, pending = pending + line.lstrip(" "), ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            root, _, rest = line[1:-1].partition("\\")
            key = ROOTS.get(root, root) + ("\\" + rest if rest else "")
            items.append(("K", key))
        elif line.startswith("@="):
            items.append(("V", key, "(default)", line[2:]))
        elif line.startswith('"'):
            match = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)', line)
            items.append(("V", key, re.sub(r"\\(.)", r"\1", match.group(1)), match.group(2)))
    return items


def shown_data(data):
    """A value's data for people: strings unescaped, in their quotes."""
    if len(data) >= 2 and data[0] == data[-1] == '"':
        return '"' + re.sub(r"\\(.)", r"\1", data[1:-1]) + '"'
    return data


def multi_strings(data):
    """The strings of REG_MULTI_SZ data as .reg writes it: hex(7):xx,xx,..."""
    raw = bytes(int(byte, 16) for byte in data.split(":", 1)[1].split(",") if byte)
    return raw.decode("utf-16-le").split("\0")


# --- Pictures ---------------------------------------------------------------

def winpath(path):
    """A Linux path as Wine's drive Z: sees it."""
    return "Z:" + path.replace("/", "\\")


def wine_export(key, work, name):
    """The key as .reg text ("" if it does not exist)."""
    path = os.path.join(work, name)
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["wine", "reg", "export", key, winpath(path), "/y"], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as file:
        return file.read().decode("utf-16")


def files_on_drive(drive_c):
    """Drive C:'s files and directories (these with a trailing backslash),
    outside the system's directories."""
    listed = [path for path in SYSTEM_FILES if os.path.exists(os.path.join(drive_c, path[3:].replace("\\", "/")))]
    for directory, subdirectories, files in os.walk(drive_c):
        relative = os.path.relpath(directory, drive_c)
        if relative == ".":
            subdirectories[:] = [d for d in subdirectories if d.lower() not in SYSTEM_DIRECTORIES]
            relative = ""
        for name in subdirectories:
            listed.append("C:\\" + os.path.join(relative, name).replace("/", "\\") + "\\")
        for name in files:
            listed.append("C:\\" + os.path.join(relative, name).replace("/", "\\"))
    return sorted(listed)


def restart_deletions(drive_c, work):
    """What Windows is to delete when it restarts: on Windows 95 the
    "NUL=<path>" lines of WININIT.INI's [rename] section, on NT the pairs of
    PendingFileRenameOperations with no new name."""
    lines, section = [], ""
    for line in read_lines(os.path.join(drive_c, "windows", "WININIT.INI")):
        line = line.strip()
        if line.startswith("["):
            section = line.lower()
        elif section == "[rename]" and line.upper().startswith("NUL="):
            lines.append(f"{line[4:]}\tWININIT.INI")
    for item in reg_items(wine_export(SESSION_MANAGER, work, "session-manager.reg")):
        if item[0] == "V" and item[1].upper() == SESSION_MANAGER.upper() and item[2] == "PendingFileRenameOperations":
            names = multi_strings(item[3])
            for source, target in zip(names[0::2], names[1::2]):
                if source and not target:
                    lines.append(source.removeprefix("\\??\\") + "\tPendingFileRenameOperations")
    return lines


def installed_registry(work):
    """The registry items the demo installed, the product's and its
    neighbours' (<work>/k-ward.reg)."""
    with open(os.path.join(work, "k-ward.reg"), encoding=ANSI) as file:
        return reg_items(file.read())


def registry_scope(work):
    """The keys the registry picture covers: those that hold the installed
    keys, so that what goes beside them is seen too."""
    holders = {item[1].rsplit("\\", 1)[0] for item in installed_registry(work) if item[0] == "K"}
    return sorted(key for key in holders if not any(under(key, other) for other in holders))


def snapshot(phase, work):
    drive_c = os.path.join(os.environ["WINEPREFIX"], "drive_c")
    registry = set()
    for number, key in enumerate(registry_scope(work)):
        registry.update("\t".join(item) for item in reg_items(wine_export(key, work, f"reg-{number}.reg")))
    pictures = {
        "files.txt": files_on_drive(drive_c),
        "registry.txt": sorted(registry),
        "dosstart.bat": read_lines(os.path.join(drive_c, "windows", "DOSSTART.BAT")),
        "restart.txt": restart_deletions(drive_c, work),
    }
    for name, lines in pictures.items():
        with open(os.path.join(work, f"{phase}-{name}"), "w", encoding="utf-8") as file:
            file.writelines(line + "\n" for line in lines)


# --- The report -------------------------------------------------------------

def parent(item):
    """The directory or key an item is in ("C:\\A\\B\\" -> "C:\\A\\", "K\\S|v" -> "K\\S")."""
    if "|" in item:
        return item.rsplit("|", 1)[0]
    return item.rstrip("\\").rsplit("\\", 1)[0] + ("\\" if item.endswith("\\") else "")


def under(item, top):
    """Whether the item lies below the directory or key top."""
    top = top.rstrip("\\")
    return item.rstrip("\\") != top and (item.startswith(top + "\\") or item.startswith(top + "|"))


def plural(count, word):
    return f"{count} {word}{'' if count == 1 else 's'}"


class Run:
    """What one demo run observed, read from its work directory."""

    def __init__(self, work):
        self.work = work
        self.transcript = read_transcript(self.path("transcript.txt"))
        self.uninstaller = read_trace(self.path("uninst-trace.txt"), False)
        self.programs = read_trace(self.path("product-trace.txt"), True)
        started = self.events("started")
        self.epoch = int(started[0].fields["epoch"]) if started else 0
        # The uninstaller is frozen from before the status window appears
        # until KWUNINST lets it go on: what it removed before then, it
        # removed while KWUNINST was still waiting for the question to go.
        windows = self.events("status-window")
        self.frozen_ms = windows[0].ms if windows else float("inf")
        self.declined = any(t.event == "answer" and t.detail == ["no"] for t in self.uninstaller)
        self.stay, self.spared = self.read_reasons()
        self.removed_by_log, self.log_failed = self.read_log_entries()
        # What KWUNINST queued for deletion when Windows restarts, and where.
        self.queued = dict(self.split_upper(line) for line in self.picture("after", "restart.txt"))
        self.cancelled = self.read_cancelled()

    @staticmethod
    def split_upper(line):
        item, detail = line.split("\t", 1)
        return item.upper(), detail

    def read_reasons(self):
        """Why each neighbour must stay, and which files KWUNINST spares,
        by upper-cased item."""
        stay, spared = {}, {}
        for line in read_lines(self.path("reasons.txt")):
            kind, rest = line.split("\t", 1)
            item, why = self.split_upper(rest)
            (stay if kind == "stay" else spared)[item] = why
        return stay, spared

    def read_log_entries(self):
        """The uninstaller's entries ("FILE C:\\..." "DIR C:\\..." "KEY HKLM\\..."
        "VALUE HKLM\\...|name", upper-cased): when it removed each, in the
        transcript's time, and the error of each it failed on (but for the
        missing ones, error 2)."""
        removed, failed = {}, {}
        for line in self.uninstaller:
            if line.event != "removed":
                continue
            entry, result = line.detail[0].upper(), line.detail[1]
            if entry.startswith("VALUE ") and entry.endswith("|"):
                entry += "(DEFAULT)"
            if result == "ok":
                removed[entry] = line.ms - self.epoch
            elif result != "2":
                failed[entry] = result
        return removed, failed

    def read_cancelled(self):
        """The files whose deletion the user cancelled in KWUNINST's
        Retry/Cancel box, upper-cased."""
        cancelled = set()
        for box in self.events("box"):
            match = re.search(r"The file (.*) failed to be deleted", box.fields.get("text", ""))
            if match and box.fields.get("pressed") == "Cancel":
                cancelled.add(match.group(1).upper())
        return cancelled

    def path(self, name):
        return os.path.join(self.work, name)

    def events(self, kind):
        return [event for event in self.transcript if event.kind == kind]

    def picture(self, phase, name):
        return read_lines(self.path(f"{phase}-{name}"))

    def when_by_log(self, entry):
        if self.removed_by_log[entry] < self.frozen_ms:
            return "before KWUNINST froze it"
        return "after KWUNINST let it go on"


def entry_of(item):
    """The uninstaller's entry for a picture's item."""
    if "|" in item:
        return "VALUE " + item.upper()
    if item.startswith("C:"):
        return ("DIR " if item.endswith("\\") else "FILE ") + item.rstrip("\\").upper()
    return "KEY " + item.upper()


def kept_reasons(run, kept, own_reason):
    """Why each kept item stayed.  A directory or key without a reason of its
    own stays for what is below it: for a neighbour's reason, or the user's
    No, when all of it shares that; else because it is not empty.  Children
    come after their parents in the sorted list, so it is worked through
    backwards."""
    base, why = {}, {}
    for item in reversed(kept):
        reason = own_reason(item)
        below = [other for other in kept if under(other, item)]
        if not reason and below:
            shared = {base[other] for other in below}
            children = [other[len(item.rstrip("\\")) + 1:].rstrip("\\") for other in below
                        if parent(other).rstrip("\\") == item.rstrip("\\")]
            if len(shared) == 1 and shared <= set(run.stay.values()) | {DECLINED}:
                reason = shared.pop()
            else:
                reason = "not empty: " + ", ".join(children)
        reason = reason or (DECLINED if run.declined else "")
        reason = reason or (CANCELLED if item.upper() in run.cancelled else "")
        base[item] = reason = reason or run.spared.get(item.upper(), UNEXPLAINED)
        queued_in = run.queued.get(item.rstrip("\\").upper())
        if queued_in:
            reason += f"; Windows deletes it when it restarts ({queued_in})"
        if entry_of(item) in run.log_failed:
            reason += f"; Uninst.exe could not remove it (error {run.log_failed[entry_of(item)]})"
        why[item] = reason
    return why


def print_kept(title, kept, why, width):
    """Kept items, listed once per subtree: a directory or key whose whole
    subtree stays for the same reason stands for all of it."""
    print(f"  {title} ({len(kept)}):")
    covering = None
    for at, item in enumerate(kept):
        if covering and under(item, covering):
            continue
        below = [other for other in kept[at + 1:] if under(other, item)]
        covering = None
        if below and all(why[other] == why[item] for other in below):
            covering = item
            print(f"    {item:<{width}} {why[item]} (and everything below it: {len(below)})")
        else:
            print(f"    {item:<{width}} {why[item]}")


def removed_lists(run, removed, describe, width):
    """The removed items, by KWUNINST or, as its log lists them, by Uninst.exe."""
    by_kwuninst, by_log = [], []
    for item in removed:
        entry = entry_of(item)
        if entry in run.removed_by_log:
            note = run.when_by_log(entry)
            if item.upper() in run.spared:
                note += "; " + run.spared[item.upper()]
            by_log.append(f"    {describe(item):<{width}} {note}")
        else:
            by_kwuninst.append("    " + describe(item))
    for title, lines in (("removed by KWUNINST", by_kwuninst),
                         ("removed by Uninst.exe, as its install log lists them", by_log)):
        print(f"  {title} ({len(lines)}):")
        for line in lines:
            print(line)


def report_wrongly_removed(run, gone):
    for item in gone:
        if item.upper() in run.stay:
            print(f"  NOT EXPECTED: removed although never the product's: {item}")


def report_files(run):
    before, after = run.picture("before", "files.txt"), run.picture("after", "files.txt")
    after_set = set(after)

    def own_reason(path):
        return run.stay.get(path.upper()) or SYSTEM_FILES.get(path, "")

    removed = [path for path in before if path not in after_set]
    kept = [path for path in before if path in after_set]
    removed_lists(run, removed, lambda path: path, 40)
    print_kept("kept", kept, kept_reasons(run, kept, own_reason), 40)
    report_wrongly_removed(run, removed)
    for path in sorted(after_set - set(before)):
        print(f"  NOT EXPECTED: new: {path}")


def registry_item(item):
    """A picture's item as "key" or "key|value name"."""
    return item[1] if item[0] == "K" else f"{item[1]}|{item[2]}"


def report_registry(run):
    before = [tuple(line.split("\t")) for line in run.picture("before", "registry.txt")]
    after = [tuple(line.split("\t")) for line in run.picture("after", "registry.txt")]
    after_set, before_set = set(after), set(before)
    gone = [item for item in before if item not in after_set]
    gone_keys = {item[1] for item in gone if item[0] == "K"}
    data = {registry_item(item): item[3] for item in before if item[0] == "V"}

    # Each removed key once, with what was below it; values outside them.
    removed = [item[1] for item in gone if item[0] == "K" and item[1].rsplit("\\", 1)[0] not in gone_keys]
    removed += [registry_item(item) for item in gone if item[0] == "V" and item[1] not in gone_keys]

    def describe(item):
        if "|" in item:
            return f"value {item} = {shown_data(data[item])}"
        subkeys = sum(1 for other in gone if other[0] == "K" and under(other[1], item))
        values = sum(1 for other in gone if other[0] == "V" and (other[1] == item or under(other[1], item)))
        return f"key   {item} ({plural(subkeys, 'subkey')}, {plural(values, 'value')})"

    removed_lists(run, removed, describe, 70)
    report_wrongly_removed(run, [registry_item(item) for item in gone])

    # Kept: what the product and its neighbours had that is still there (the
    # registry ignores case: Wine may spell a key it made itself otherwise),
    # each value right after its key so that a key can stand for its subtree.
    def identity(item):
        return (item[0],) + tuple(part.upper() for part in item[1:3])

    installed = {identity(item) for item in installed_registry(run.work)}
    kept = {}
    for item in after:
        if identity(item) in installed:
            kept[item[1] + ("\\|" + item[2] if item[0] == "V" else "")] = registry_item(item)
    kept = [kept[order] for order in sorted(kept)]
    why = kept_reasons(run, kept, lambda item: run.stay.get(item.upper(), ""))
    print_kept("kept, of what the product and its neighbours had", kept, why, 62)
    for item in after:
        if item not in before_set:
            shown = f' "{item[2]}" = {item[3]}' if item[0] == "V" else ""
            print(f"  NOT EXPECTED: new or changed: {item[1]}{shown}")


def report_lines_changed(before, after):
    """A text file's lines, those taken out marked -, those added +."""
    if before == after:
        print("  unchanged:")
        for line in after:
            print("     " + line)
        return
    for line in difflib.ndiff(before, after):
        if line[0] in " -+":
            print(("     " if line[0] == " " else f"   {line[0]} ") + line[2:])


def report_summary(run):
    for event in run.transcript:
        if event.kind == "exit":
            print(f"  KWUNINST.EXE ended with exit code {event.fields['code']}")
        elif event.kind == "timeout":
            print(f"  KWUNINST.EXE did not end within {event.fields['seconds']} s")
    answers = [t.detail[0] for t in run.uninstaller if t.event == "answer"]
    done = [t.detail[0] for t in run.uninstaller if t.event == "done"]
    line = f"  Uninst.exe: the user answered {answers[0] if answers else 'nothing'}"
    if done:
        line += f"; it worked through the {done[0]} entries of its log and ended"
    print(line)
    if run.declined:
        print("  The user declined: no status window, nothing removed; the agent KWUNINST had closed"
              " was started again.")


def report_boxes(run):
    for box in run.events("box"):
        f = box.fields
        owner = "" if f["owner"] == "none" else f', owned by "{f["owner"]}"'
        print(f'  {box.ms / 1000:5.1f} s  "{f["caption"]}" ({f["icon"]} icon{owner}): {f["text"]}')
        print(f"           buttons [{f['buttons']}], answered {f['pressed']} after {int(f['delay']) / 1000:.1f} s")


def report_screenshots(run):
    for shot in run.events("screenshot"):
        path = ntpath.basename(ntpath.dirname(shot.fields["path"])) + "/" + ntpath.basename(shot.fields["path"])
        print(f'  {path:<25} {shot.fields.get("of", ""):<6} "{shot.fields.get("text", "")}"')


def report_programs(run):
    """The stand-ins' traces on one time line: the product's programs (and
    the program holding a file open), and the setup-log uninstaller."""
    seen = []
    for t in run.programs:
        detail = t.detail + ["", ""]
        text = {
            "started": "started" + (" minimised, not activated" if detail[0] == "wShowWindow=7" else ""),
            "held": f"holds {detail[0]} open",
            "hold-failed": f"cannot hold {detail[0]} open (error {detail[1]})",
            "close-request": "is asked to close",
            "released": f"lets go of {detail[0]}",
            "window-seen": f'sees "{detail[0]}": the user closes it',
            "exit": "ends",
        }.get(t.event)
        if text:
            seen.append((t.ms, t.program, text))
    for t in run.uninstaller:
        detail = t.detail + [""]
        text = {
            "started": f"started: {detail[0]}",
            "question-shown": 'asks "Confirm File Deletion"',
            "answer": f"gets the answer {detail[0]}",
            "done": f"has worked through its log ({detail[0]} entries)",
            "exit": "ends",
        }.get(t.event)
        if text:
            seen.append((t.ms, t.program, text))
    for ms, program, text in sorted(seen, key=lambda line: line[0]):
        when = "before" if ms < run.epoch else f"{(ms - run.epoch) / 1000:5.1f} s"
        print(f"  {when:>7}  {program:<13} {text}")


def report(work):
    run = Run(work)
    print()
    print("=== What the uninstall did " + "=" * 51)
    for line in read_lines(run.path("scenario.txt")):
        print("  " + line)
    report_summary(run)
    print()
    print("--- Files and directories on drive C: (outside the system's own directories)")
    report_files(run)
    print()
    print(f"--- Registry (the keys {', '.join(registry_scope(run.work))})")
    report_registry(run)
    print()
    print("--- C:\\windows\\DOSSTART.BAT (- taken out, + added)")
    report_lines_changed(run.picture("before", "dosstart.bat"), run.picture("after", "dosstart.bat"))
    queued = [line for line in run.picture("after", "restart.txt") if line not in run.picture("before", "restart.txt")]
    if queued:
        print()
        print("--- Queued for deletion when Windows restarts")
        for line in queued:
            path, source = line.split("\t")
            print(f"  {path:<40} ({source})")
    print()
    print("--- Every box, with the answer the user gave (times since KWUNINST.EXE started)")
    report_boxes(run)
    print()
    print("--- Screenshots, beside this report (what the screen showed about 0.4 s after each status and box)")
    report_screenshots(run)
    print()
    print("--- What the programs saw (times since KWUNINST.EXE started)")
    report_programs(run)
    print()
    print("KWUNINST's record of the run (KWUNINST.LOG):")
    record = read_lines(run.path("KWUNINST.LOG"))
    for line in record or ["(none was written)"]:
        print("  " + line)


# --- What the user sees, as it happens ---------------------------------------

def live_line(event):
    f = collections.defaultdict(str, event.fields)
    at = f"{event.ms / 1000:6.1f} s  "
    if event.kind == "started":
        return at + "started " + f["cmd"]
    if event.kind == "window" and f["exe"] != "KWUNINST.EXE":
        return f'{at}window "{f["title"]}" of {f["exe"]}'
    if event.kind == "box":
        return f'{at}box "{f["caption"]}": {f["text"]}  [{f["buttons"]}]  -> {f["pressed"]}'
    if event.kind == "status-window" and f["update"] == "0":
        line = f'{at}status window "{f["caption"]}" appears (top-most {f["topmost"]}, centred {f["centred"]})'
        return line + (f"\n{at}status: {f['text']}" if f["text"] != "Static" else "")
    if event.kind == "status":
        return at + "status: " + f["text"]
    if event.kind == "status-window-gone":
        return at + "status window closed"
    if event.kind == "screenshot":
        return at + "screenshot " + ntpath.basename(f["path"])
    if event.kind == "exit":
        return at + "KWUNINST.EXE ended with code " + f["code"]
    if event.kind == "timeout":
        return at + "KWUNINST.EXE did not end in time"
    if event.kind == "error":
        return at + "box answerer: " + f["message"]
    return None


def live(lines):
    for line in lines:
        try:
            shown = live_line(parse_event(line.rstrip("\n")))
        except ValueError as error:
            shown = f"box answerer: {error}"
        if shown is not None:
            print(shown, flush=True)


def main(arguments):
    sys.stdout.reconfigure(encoding="utf-8", errors="replace")
    if arguments == ["--live"]:
        stdin = open(sys.stdin.fileno(), encoding=ANSI, errors="replace", newline="\n", closefd=False)
        live(iter(stdin.readline, ""))
    elif len(arguments) == 3 and arguments[0] == "--snapshot" and arguments[1] in ("before", "after"):
        snapshot(arguments[1], arguments[2])
    elif len(arguments) == 2 and arguments[0] == "--report":
        report(arguments[1])
    else:
        sys.exit("usage: demo_report.py --snapshot before|after <work dir> | --live | --report <work dir>")


if __name__ == "__main__":
    main(sys.argv[1:])
