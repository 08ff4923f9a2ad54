"""The demo's report (scripts/demo_report.py) on what one real run observed,
compared with the report it gave then; the transcript reader against the
format's rules (tools/boxanswer/README.md); the footprint reader on
tests/support/footprint.def.

tests/demo/run/ holds the run's transcript, the stand-ins' traces, the
before and after pictures (the registry trimmed to the keys the report looks
at), the reasons from the footprint and KWUNINST.LOG, from
`bash scripts/demo.sh --cancel --keep`; tests/demo/refresh.py makes them
anew.  Standard library only; CTest runs it with the unit tests.
"""
import difflib
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(HERE, "..", "..", "scripts")
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, SCRIPTS)
import demo_report  # noqa: E402
import footprint  # noqa: E402

# Transcript lines and what a reader makes of them: (kind, fields), or None
# when the line is not one boxanswer writes.
TRANSCRIPT_LINES = [
    ("12\texit\tcode=0\tpid=4", ("exit", {"code": "0", "pid": "4"})),
    ("12\tstarted", ("started", {})),
    ("12\tbox\tpressed=\ttext=a=b", ("box", {"pressed": "", "text": "a=b"})),
    ("12\tbox\ttext=C:\\\\K-WARD\\\\new", ("box", {"text": "C:\\K-WARD\\new"})),
    ("12\tbox\ttext=a\\tb\\nc\\rd", ("box", {"text": "a\tb\nc\rd"})),
    ("12\tbox\ttext=\\\\t\\\\\\\\", ("box", {"text": "\\t\\\\"})),
    ("12\tbox\ttext=\\q", None),                  # no such escape
    ("12\tbox\ttext=C:\\K-WARD", None),           # a raw backslash: not escaped
    ("12\tbox\ttext=ends in \\", None),
    ("12\tbox\ttext=a\rb", None),                 # a raw CR
    ("12\tbox\ttext", None),                      # no "="
    ("12\tbox\ttext=a\ttext=b", None),            # a key twice
    ("-1\tbox", None),
    ("12", None),
]


# The run's after-picture changed as a faulty uninstall would have left it,
# and the line the report must then show: (picture, line dropped, line added,
# expected line of the report).
FAULTS = [
    ("after-files.txt", "C:\\My Documents\\Letter to Anna.txt", None,
     "  NOT EXPECTED: removed although never the product's: C:\\My Documents\\Letter to Anna.txt"),
    ("after-registry.txt", 'V\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\tK-Backup\t'
     '"C:\\\\K-BACKUP\\\\KBACKUP.EXE /tray"', None, "  NOT EXPECTED: removed although never the product's: "
     "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run|K-Backup"),
    ("after-files.txt", None, "C:\\K-WARD\\README.TXT",
     "    C:\\K-WARD\\README.TXT                     NOT EXPECTED: nothing says why it should stay"),
    ("after-files.txt", None, "C:\\NEW.TXT", "  NOT EXPECTED: new: C:\\NEW.TXT"),
]


def check_faults():
    failures = []
    for picture, dropped, added, expected in FAULTS:
        with tempfile.TemporaryDirectory() as work:
            shutil.copytree(os.path.join(HERE, "run"), work, dirs_exist_ok=True)
            with open(os.path.join(work, picture), encoding="utf-8") as file:
                lines = file.read().splitlines()
            if dropped not in lines + [None]:
                failures.append(f"{picture} has no line {dropped!r} to drop")
            lines = sorted([line for line in lines if line != dropped] + ([added] if added else []))
            with open(os.path.join(work, picture), "w", encoding="utf-8") as file:
                file.writelines(line + "\n" for line in lines)
            report = subprocess.run([sys.executable, os.path.join(SCRIPTS, "demo_report.py"), "--report", work],
                                    capture_output=True, check=False).stdout.decode("utf-8")
            if expected not in report.splitlines():
                failures.append(f"{picture} {'without ' + repr(dropped) if dropped else 'with ' + repr(added)}: "
                                f"the report has no line {expected!r}")
    return failures


def check_transcript_reader():
    failures = []
    for line, expected in TRANSCRIPT_LINES:
        try:
            event = demo_report.parse_event(line)
            got = (event.kind, event.fields)
        except ValueError:
            got = None
        if got != expected:
            failures.append(f"transcript line {line!r}: read {got!r}, expected {expected!r}")
    return failures


def check_footprint_reader():
    entries = footprint.read()
    return [f"footprint.def: no {kind} read" for kind, found in entries.items() if not found]


def check_golden(arguments, expected_name, stdin=None):
    """The report's output against the saved one, as a diff if they differ."""
    with open(os.path.join(HERE, expected_name), encoding="utf-8") as file:
        expected = file.read()
    got = subprocess.run([sys.executable, os.path.join(SCRIPTS, "demo_report.py")] + arguments,
                         stdin=stdin, capture_output=True, check=False).stdout.decode("utf-8")
    if got == expected:
        return []
    diff = difflib.unified_diff(expected.splitlines(True), got.splitlines(True),
                                f"tests/demo/{expected_name}", "demo_report.py " + " ".join(arguments))
    return [f"demo_report.py {arguments[0]} differs from {expected_name}:\n" + "".join(diff)]


def main():
    run = os.path.join(HERE, "run")
    failures = check_transcript_reader() + check_footprint_reader() + check_faults()
    failures += check_golden(["--report", run], "expected-report.txt")
    with open(os.path.join(run, "transcript.txt"), "rb") as transcript:
        failures += check_golden(["--live"], "expected-live.txt", stdin=transcript)
    for failure in failures:
        print("FAILED:", failure)
    print(f"{len(TRANSCRIPT_LINES)} transcript lines, the footprint, the report, the live lines and "
          f"{len(FAULTS)} faults: "
          f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
