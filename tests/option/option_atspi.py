#!/usr/bin/python3
"""The Option program as a screen reader meets it, over AT-SPI: the real
option.dat on an X server of its own, its tree read and its buttons pressed
through pyatspi, keys sent with xdotool.

    option_atspi.py <folder of the built programs>

Checks the dialog's role and name, the six boxes named by their labels, the
label buttons with Press, the file association window's named lists, Tab
through the dialog, Space on a focused button, and that Press on Cancel ends
the program without saving. Every wait has a deadline (atspi_session.py).
"""

import configparser
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "accessibility"))

from atspi_session import AtspiSession, SessionError, wait_until  # noqa: E402

APPLICATION = "Quorbel Player Tirk"
CAPTION = "Quorbel Player Tirk Option"
BOXES = ["Auto FileAssociate", "Transparent PlayList", "Fade Out When Closing Down", "Minimize Separate",
         "AutoSave/Load PlayList", "Online System On Top"]
KEYS = ["AutoFileAss", "TransPlayList", "FadeOutCD", "MinimizeSeparate", "AutosavePlayList", "OSOT"]
BUTTONS = ["OK", "Cancel", "File Association", "Info"]
STORED = ["1", "1", "1", "2", "2", "2"]


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def settings_text():
    return "[Option]\n" + "".join(f"{key}={value}\n" for key, value in zip(KEYS, STORED))


def main(build_app):
    with AtspiSession() as session:
        app = os.path.join(session.folder, "app")
        config = os.path.join(session.folder, "config")
        os.makedirs(app)
        os.makedirs(config)
        shutil.copy2(os.path.join(build_app, "option.dat"), app)
        settings = os.path.join(config, "Quorbel Player Tirk.ini")
        with open(settings, "w") as file:
            file.write(settings_text())
        env = {
            "XDG_CONFIG_HOME": config,
            "XDG_DATA_HOME": os.path.join(session.folder, "data"),
            "XDG_CACHE_HOME": os.path.join(session.folder, "cache"),
            "QPT_DIALOG_LOG": os.path.join(session.folder, "dialogs.jsonl"),
        }
        log = os.path.join(session.folder, "option.log")
        process = session.start_program([os.path.join(app, "option.dat")], cwd=app, env=env, log=log)
        try:
            run_checks(session, process)
        except BaseException:
            print("--- program output ---", file=sys.stderr)
            with open(log, errors="replace") as file:
                print(file.read(), file=sys.stderr)
            raise
        # Cancel wrote none of the six (the version is written at every start).
        stored = configparser.ConfigParser()
        stored.optionxform = str
        stored.read(settings)
        check([stored["Option"].get(key) for key in KEYS] == STORED, "Cancel changed the stored options")
    print("option.dat over AT-SPI: passed")


def run_checks(session, process):
    application = session.wait_for_application(APPLICATION)
    dialog = session.find(application, "dialog", CAPTION, timeout=20)

    # Six boxes named by their labels, in order; four buttons with Press.
    boxes = wait_until(lambda: [node.name for node in session.find_all(dialog, "check box")] == BOXES, 10,
                       what="the six named boxes")
    check(boxes, "boxes")
    for name in BUTTONS:
        button = session.find(dialog, "push button", name)
        check("Press" in session.action_names(button), f"{name} has no Press: {session.action_names(button)}")
    unnamed = [f"[{node.getRoleName()}]" for node, _ in session.walk(dialog)
               if node.getRoleName() in ("push button", "check box", "list") and not node.name]
    check(not unnamed, f"unnamed controls: {unnamed}\n{session.dump(dialog)}")

    # The file association window: its lists named; Default fills the
    # second; Cancel closes it.
    session.do_action(session.find(dialog, "push button", "File Association"), "Press")
    association = session.find(application, "dialog", "File Association")
    session.find(association, "list", "Available file types")
    chosen = session.find(association, "list", "File types to associate")
    session.do_action(session.find(association, "push button", "Default"), "Press")
    wait_until(lambda: chosen.childCount == 8, 10, what="the eight default types")
    session.do_action(session.find(association, "push button", "Cancel"), "Press")
    wait_until(lambda: not session.find_all(application, "dialog", "File Association"), 10,
               what="the file association window to close")

    # Tab walks the dialog: the boxes, then the four buttons, round again.
    session.focus_window(CAPTION)
    first = session.find(dialog, "check box", BOXES[0])
    wait_until(lambda: session.focused(dialog) is not None, 10, what="a focused control")
    # From wherever the focus is, Tab round to the first box.
    for _ in range(12):
        if session.focused(dialog).name == BOXES[0]:
            break
        session.key("Tab")
        wait_until(lambda: session.focused(dialog) is not None, 5, what="the focus")
    check(session.focused(dialog).name == BOXES[0], f"Tab never reached {BOXES[0]!r}")
    visited = []
    for _ in range(len(BOXES) + len(BUTTONS)):
        before = session.focused(dialog).name
        session.key("Tab")
        visited.append(wait_until(lambda: (lambda now: now.name if now is not None and now.name != before
                                           else None)(session.focused(dialog)), 5, what="the next control"))
    check(visited == BOXES[1:] + BUTTONS + [BOXES[0]], f"Tab order: {visited}")
    check(first.getState().contains(session.pyatspi.STATE_FOCUSED), "the first box is not focused")

    # Space on the focused Info button opens the information window;
    # Escape closes it.
    for _ in range(len(BOXES) + 3):
        session.key("Tab")
    wait_until(lambda: session.focused(dialog) is not None and session.focused(dialog).name == "Info", 5,
               what="the focus on Info")
    session.key("space")
    session.find(application, "dialog", "Quorbel Player Tirk Option Info")
    session.focus_window("Quorbel Player Tirk Option Info")
    session.key("Escape")
    wait_until(lambda: not session.find_all(application, "dialog", "Quorbel Player Tirk Option Info"), 10,
               what="the information window to close")

    # Press on Cancel ends the program.
    session.do_action(session.find(dialog, "push button", "Cancel"), "Press")
    try:
        code = process.wait(timeout=10)
    except Exception as error:
        raise SessionError("option.dat did not end after Cancel") from error
    check(code == 0, f"option.dat ended with {code}")


if __name__ == "__main__":
    main(sys.argv[1])
