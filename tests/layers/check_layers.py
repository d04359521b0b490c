#!/usr/bin/env python3
"""Fails when an include points up a layer or across to a sibling program.

The layers, lowest first: common/ (Qt Core) and its window half (dialogs,
window helpers, notices, fonts, start-up), skin/, player/core, player/playlist,
player/shell, player/mpris, then each program's main.cpp. option/ and
internet/ sit beside the player on common/ and skin/. Inside internet/ the
update, the pages and the mail each build on internet/shared/ alone and
never include one another; only the windows (internet/windows/) and the
Online System at the top of internet/ bring them together. The tools use
common/ and, for the update, the Online System's update folder. Tests and
benchmarks may include anything. Each library also links only the ones below
it (see the CMakeLists), so an include that slips past this check and is used
does not link either.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
COMMON_UI = {"app_start", "dialogs", "fonts", "notices", "window_helpers"}
# The Online System's windows and its top bring its three concerns together.
INTERNET_TOP = {"common", "common-ui", "skin", "internet", "internet/shared", "internet/update",
                "internet/pages", "internet/mail", "internet/windows"}

# The player's composition root makes every part; a part that reached back
# through it would make it a hub again.
COMPOSITION_ROOT = "player/shell/player_app.h"
ROOT_USERS = {"player/main.cpp", "player/shell/player_app.cpp"}

# A file's layer -> the layers its includes may name.
ALLOWED = {
    "common": {"common"},
    "common-ui": {"common", "common-ui"},
    "skin": {"common", "common-ui", "skin"},
    "player/core": {"common", "player/core"},
    "player/playlist": {"common", "player/core", "player/playlist"},
    "player/shell": {"common", "common-ui", "skin", "player/core", "player/playlist", "player/shell"},
    "player/mpris": {"common", "common-ui", "skin", "player/core", "player/playlist", "player/shell", "player/mpris"},
    "player/main": {"common", "common-ui", "skin", "player/core", "player/playlist", "player/shell", "player/mpris"},
    "option": {"common", "common-ui", "skin", "option"},
    "internet/shared": {"common", "internet/shared"},
    "internet/update": {"common", "common-ui", "internet/shared", "internet/update"},
    "internet/pages": {"common", "common-ui", "internet/shared", "internet/pages"},
    "internet/mail": {"common", "internet/shared", "internet/mail"},
    "internet/windows": INTERNET_TOP,
    "internet": INTERNET_TOP,
    "tools/executer": {"common", "common-ui", "tools/executer"},
    "tools/updater": {"common", "internet/update", "tools/updater"},
    "tools/release": {"common", "internet/update", "tools/release"},
}


def layer_of(path: str):
    """The layer of a path relative to the root ("common/dialogs.h")."""
    parts = path.split("/")
    if parts[0] == "common":
        return "common-ui" if pathlib.PurePath(parts[-1]).stem in COMMON_UI else "common"
    if parts[0] == "player":
        if len(parts) == 2:
            return "player/main"
        return "player/" + parts[1]
    if parts[0] == "tools":
        return "tools/" + parts[1]
    if parts[0] == "internet" and len(parts) > 2:
        return "internet/" + parts[1]
    return parts[0]


def main() -> int:
    faults = []
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
    for source in sorted(ROOT.rglob("*")):
        relative = source.relative_to(ROOT).as_posix()
        if source.suffix not in {".h", ".cpp"} or relative.split("/")[0] in {"tests", "bench", "build"}:
            continue
        here = layer_of(relative)
        allowed = ALLOWED.get(here)
        if allowed is None:
            continue
        for number, line in enumerate(source.read_text(errors="replace").splitlines(), 1):
            match = include.match(line)
            if not match:
                continue
            target = match.group(1)
            if "/" not in target:  # the same folder
                target = (source.parent / target).relative_to(ROOT).as_posix()
            there = layer_of(target)
            if there not in allowed:
                faults.append(f"{relative}:{number}: {here} includes {target} ({there})")
            elif target == COMPOSITION_ROOT and relative not in ROOT_USERS:
                faults.append(f"{relative}:{number}: only the program's main may know the composition root")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include(s) against the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
