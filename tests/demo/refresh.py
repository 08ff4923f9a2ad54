"""Makes the golden test's data anew from a demo run kept with --keep:

    bash scripts/demo.sh --cancel --keep
    python3 tests/demo/refresh.py /tmp/kw-demo.XXXXXX

Copies what the report reads into tests/demo/run/, trims the registry
pictures to the keys the report looks at (Wine's own keys are thousands of
lines), checks that the report on the trimmed pictures is the report on the
whole ones, and writes it and the live lines as the expected texts.  Read the
new expected texts before committing them: they are what the test holds the
report to.
"""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPORT = os.path.join(HERE, "..", "..", "scripts", "demo_report.py")
RUN = os.path.join(HERE, "run")
READ = ["transcript.txt", "uninst-trace.txt", "product-trace.txt", "scenario.txt", "reasons.txt",
        "k-ward.reg", "KWUNINST.LOG"] + [f"{phase}-{picture}" for phase in ("before", "after")
                                         for picture in ("files.txt", "dosstart.bat", "restart.txt")]


def report(work):
    return subprocess.run([sys.executable, REPORT, "--report", work], check=True,
                          capture_output=True, text=True).stdout


def related(key, keys):
    """Whether the key is one of the keys, or above or below one."""
    key = key.upper()
    return any(key == other or key.startswith(other + "\\") or other.startswith(key + "\\") for other in keys)


def trim_registry(work):
    pictures = {}
    for phase in ("before", "after"):
        with open(os.path.join(work, f"{phase}-registry.txt"), encoding="utf-8") as file:
            pictures[phase] = file.read().splitlines()
    changed = set(pictures["before"]) ^ set(pictures["after"])
    keys = {line.split("\t")[1].upper() for line in changed}
    sys.dont_write_bytecode = True
    sys.path.insert(0, os.path.dirname(REPORT))
    import demo_report
    with open(os.path.join(work, "k-ward.reg"), encoding="ascii") as file:
        keys |= {item[1].upper() for item in demo_report.reg_items(file.read())}
    for phase, lines in pictures.items():
        kept = [line for line in lines if line in changed or related(line.split("\t")[1], keys)]
        with open(os.path.join(RUN, f"{phase}-registry.txt"), "w", encoding="utf-8") as file:
            file.writelines(line + "\n" for line in kept)


def main(work):
    shutil.rmtree(RUN, ignore_errors=True)
    os.makedirs(RUN)
    for name in READ:
        shutil.copyfile(os.path.join(work, name), os.path.join(RUN, name))
    trim_registry(work)
    expected = report(work)
    if report(RUN) != expected:
        sys.exit("the trimmed pictures give another report: trim less")
    with open(os.path.join(HERE, "expected-report.txt"), "w", encoding="utf-8") as file:
        file.write(expected)
    with open(os.path.join(RUN, "transcript.txt"), "rb") as transcript:
        live = subprocess.run([sys.executable, REPORT, "--live"], stdin=transcript, check=True,
                              capture_output=True).stdout
    with open(os.path.join(HERE, "expected-live.txt"), "wb") as file:
        file.write(live)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
