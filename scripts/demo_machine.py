"""K-WARD installed on the demo's Wine machine, from its footprint.

    python3 scripts/demo_machine.py <drive C: directory> <work directory> <program build directory>

Writes below drive C: what the product's installer and programs left
(tests/support/footprint.def): the installation's files, with the product's
stand-in under each of its programs' names and KWUNINST.EXE itself, the
install log DEISL1.ISU, the task files, the marker, DOSSTART.BAT; and the
neighbours' files.  In the work directory: k-ward.reg, every registry item of
the product and of its neighbours, for `wine reg import`, and reasons.txt,
why each neighbour must stay, for the report (scripts/demo_report.py).
"""
import os
import shutil
import sys

sys.dont_write_bytecode = True  # no __pycache__ beside the scripts
import footprint as footprint_module  # noqa: E402

ROOTS = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE", "HKCR": "HKEY_CLASSES_ROOT"}
# What stays of a key of the system's that held one value of the product.
SYSTEM_KEY = "a key of the system's: only the product's value in it goes"
SPARED = "KWUNINST leaves it to the setup-log uninstaller"


def on_drive(drive_c, path):
    """A C:\\ path as a path below the prefix's drive_c directory."""
    assert path[:3].upper() == "C:\\", path
    return os.path.join(drive_c, *path[3:].rstrip("\\").split("\\"))


def write(drive_c, path, text):
    target = on_drive(drive_c, path)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "w", encoding="ascii", newline="\r\n") as file:
        file.write(text)


def copy(drive_c, source, path):
    shutil.copyfile(source, on_drive(drive_c, path))


def install_log(fp):
    """DEISL1.ISU, in the order the setup-log uninstaller works through it:
    what setup put there, its uninstall program and the log itself last
    among the files (KWUNINST has ended by then), the directories deepest
    first, the installation directory last."""
    files = [f.name for f in fp.files if f.role == "logged"]
    files += [f.name for f in fp.files if f.role == "uninstall"]
    lines = ["# K-WARD install log"] + [f"FILE {fp.install}{name}" for name in files]
    lines += [f"VALUE {v.root}\\{v.key}|{v.name}" for v in fp.values if v.role == "logged"]
    lines += [f"KEY {k.root}\\{k.key}" for k in fp.keys if k.role == "logged"]
    directories = {name.rsplit("\\", 1)[0] for name in files if "\\" in name}
    lines += [f"DIR {fp.install}{d}" for d in sorted(directories, key=lambda d: (-d.count("\\"), d))]
    lines.append("DIR " + fp.install.rstrip("\\"))
    return "\n".join(lines) + "\n"


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def reg_file(fp):
    """Every key and value of the product, then its neighbours' values."""
    lines = ["REGEDIT4", ""]
    for key in fp.keys:
        lines.append(f"[{ROOTS[key.root]}\\{key.key}]")
    values = [(v.root, v.key, v.name, fp.expand(v.data)) for v in fp.values]
    values += [(v.root, v.key, v.name, v.data) for v in fp.neighbour_values]
    for root, key, name, data in values:
        lines.append(f"[{ROOTS[root]}\\{key}]")
        lines.append(f"{'@' if name == '' else reg_string(name)}={reg_string(data)}")
    return "\n".join(lines) + "\n"


def reasons(fp):
    """For the report: "stay<TAB><item><TAB><why>", why a neighbour must
    stay, and "spare<TAB><file><TAB><why>", the files KWUNINST leaves to the
    setup-log uninstaller.  An item is a path, a key or "<key>|<value name>",
    the unnamed value named "(default)" as the report names it."""
    lines = [f"stay\t{f.path}\t{f.why}" for f in fp.neighbour_files]
    system_keys = {f"{v.root}\\{v.key}" for v in fp.values if v.role == "alone"}
    lines += [f"stay\t{key}\t{SYSTEM_KEY}" for key in sorted(system_keys)]
    for value in fp.neighbour_values:
        key = f"{value.root}\\{value.key}"
        lines.append(f"stay\t{key}|{value.name or '(default)'}\t{value.why}")
        if key not in system_keys:
            lines.append(f"stay\t{key}\t{value.why}")
    lines += [f"spare\t{fp.install}{f.name}\t{SPARED}" for f in fp.files if f.role == "uninstall"]
    return "\n".join(lines) + "\n"


def install(drive_c, work, build):
    fp = footprint_module.Footprint()
    for file in fp.files:
        if file.role == "runtime":
            write(drive_c, fp.install + file.name, f"Written by K-WARD at run time: {file.name}\n")
        else:
            write(drive_c, fp.install + file.name, f"K-WARD file {file.name}\n")
    write(drive_c, fp.install + "DEISL1.ISU", install_log(fp))
    copy(drive_c, os.path.join(build, "KWUNINST.EXE"), fp.install + "KWUNINST.EXE")
    for program in fp.programs:
        if program.runs != "shell":  # the system's shell is no file of the product
            copy(drive_c, os.path.join(build, "tools", "standins", "product_standin.exe"),
                 fp.install + program.file)
    for name in fp.task_files:
        write(drive_c, fp.tasks + name.name, f"K-WARD task {name.name}\n")
    write(drive_c, fp.places["marker"], "K-WARD\n")
    write(drive_c, "C:\\windows\\DOSSTART.BAT", "".join(line.text + "\n" for line in fp.batch_lines))
    for neighbour in fp.neighbour_files:
        write(drive_c, neighbour.path, f"Not K-WARD's: {neighbour.why}\n")
    with open(os.path.join(work, "k-ward.reg"), "w", encoding="ascii", newline="\r\n") as file:
        file.write(reg_file(fp))
    with open(os.path.join(work, "reasons.txt"), "w", encoding="ascii") as file:
        file.write(reasons(fp))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    install(*sys.argv[1:])
