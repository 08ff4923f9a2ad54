"""K-WARD's footprint (tests/support/footprint.def) for the demo's Python.

footprint.def is C: one macro call a line, KW_NAME("...", ...), every
argument a C string literal, which Python reads as its own literals.  This
reads those lines and nothing else, so the demo builds the machine the tests
build, from the same list.

    python3 scripts/footprint.py place install      C:\\K-WARD\\
    python3 scripts/footprint.py programs 95|nt     file<TAB>title, one a line
"""
import ast
import collections
import os
import re
import sys

DEF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support", "footprint.def")

# Every kind of entry with its arguments, as footprint.def declares them.
KINDS = {
    "KW_PLACE": "name path",
    "KW_FILE": "name role",
    "KW_TASK_FILE": "name",
    "KW_PROGRAM": "file title held runs",
    "KW_KEY": "root key role",
    "KW_VALUE": "root key name data role",
    "KW_BATCH_LINE": "text role",
    "KW_NEIGHBOUR_FILE": "path why",
    "KW_NEIGHBOUR_VALUE": "root key name data why",
}
Entry = {kind: collections.namedtuple(kind, fields) for kind, fields in KINDS.items()}
ENTRY_LINE = re.compile(r"^(KW_[A-Z_]+)\((.*)\)\s*$")


def read(path=DEF):
    """The entries of each kind, in file order: {"KW_FILE": [KW_FILE(...), ...], ...}."""
    entries = {kind: [] for kind in KINDS}
    with open(path, encoding="ascii") as text:
        for number, line in enumerate(text, 1):
            line = line.strip()
            if not line or line.startswith(("//", "#")):
                continue
            match = ENTRY_LINE.match(line)
            if not match or match.group(1) not in KINDS:
                raise ValueError(f"{path}:{number}: not an entry: {line}")
            arguments = ast.literal_eval("(" + match.group(2) + ",)")
            entries[match.group(1)].append(Entry[match.group(1)](*arguments))
    return entries


class Footprint:
    def __init__(self, path=DEF):
        self.entries = read(path)
        self.places = {place.name: place.path for place in self.entries["KW_PLACE"]}
        self.install = self.places["install"]  # with its trailing backslash
        self.tasks = self.places["tasks"]
        self.files = self.entries["KW_FILE"]
        self.task_files = self.entries["KW_TASK_FILE"]
        self.programs = self.entries["KW_PROGRAM"]
        self.keys = self.entries["KW_KEY"]
        self.values = self.entries["KW_VALUE"]
        self.batch_lines = self.entries["KW_BATCH_LINE"]
        self.neighbour_files = self.entries["KW_NEIGHBOUR_FILE"]
        self.neighbour_values = self.entries["KW_NEIGHBOUR_VALUE"]

    def expand(self, text):
        """A value's data with the installation and task directories put in."""
        return text.replace("<dir>", self.install).replace("<tasks>", self.tasks)

    def programs_on(self, windows):
        """The product's programs that run on "95" or "nt" (not the shell's stand-in)."""
        return [p for p in self.programs if p.runs == "both" or p.runs == windows]


def main(arguments):
    footprint = Footprint()
    if arguments[:1] == ["place"] and len(arguments) == 2:
        print(footprint.places[arguments[1]])
    elif arguments[:1] == ["programs"] and len(arguments) == 2:
        for program in footprint.programs_on(arguments[1]):
            print(f"{program.file}\t{program.title}")
    else:
        sys.exit("usage: footprint.py place <name> | programs 95|nt")


if __name__ == "__main__":
    main(sys.argv[1:])
