#!/usr/bin/env python3
"""Fails when a test of the lower layers needs a window library.

The arguments are the built test programs that link the core half of the
test support (qpt_add_test ... CORE). Their dynamic section must name no
library of pictures, widgets or the session bus: those tests link the
layer they test alone.
"""
import re
import subprocess
import sys

WINDOW_LIBRARIES = re.compile(r"libQt6(Gui|Widgets|Svg|SvgWidgets|DBus|OpenGL)\b")
NEEDED = re.compile(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]")


def needed(program: str):
    run = subprocess.run(["readelf", "-d", program], capture_output=True, text=True, timeout=30, check=False)
    if run.returncode != 0:
        raise RuntimeError(f"{program}: readelf failed: {run.stderr.strip()}")
    return NEEDED.findall(run.stdout)


def main() -> int:
    programs = sys.argv[1:]
    faults = []
    for program in programs:
        libraries = needed(program)
        if not any(library.startswith("libQt6Core") for library in libraries):
            faults.append(f"{program}: no Qt Core among {libraries}: not what was meant to be read")
        faults += [f"{program}: needs {library}" for library in libraries if WINDOW_LIBRARIES.search(library)]
    for fault in faults:
        print(fault)
    print(f"{len(programs)} core test program(s), {len(faults)} fault(s)")
    return 1 if faults or not programs else 0


if __name__ == "__main__":
    sys.exit(main())
