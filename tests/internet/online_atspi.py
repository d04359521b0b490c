#!/usr/bin/python3
"""The Online System as a screen reader meets it, over AT-SPI: the real
internet.dat on an X server of its own, with no update host to reach.

    online_atspi.py <folder of the built programs>

First run: the start message is a dialog with Connect and STOP as buttons
with Press, the box named by its text, the text pressable (it toggles the
box), Tab round its controls; Press on Connect goes on to the version check,
whose question ("No Internet Connection") is answered by pressing Cancel,
which ends the program. Second run: Escape is STOP. Every wait has a
deadline (atspi_session.py). Third run, against a local update host with
nothing to offer and no signed release information: its notice is
answered through OK, and the main window is a frame named by its caption,
with its page, its status line and the form's named fields.
"""

import os
import shutil
import socket
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "accessibility"))

from atspi_session import AtspiSession, SessionError, wait_until  # noqa: E402

APPLICATION = "Quorbel Player Tirk"
CAPTION = "Instructions before you connect to Quorbel Player Tirk OS"
BOX = "Don't Show This Message Again"


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start(session, build_app, run, host=None, settings=None):
    folder = os.path.join(session.folder, run)
    app = os.path.join(folder, "app")
    system = os.path.join(folder, "system")
    for path in (app, system, os.path.join(folder, "config")):
        os.makedirs(path)
    if settings:
        with open(os.path.join(folder, "config", "Quorbel Player Tirk.ini"), "w") as file:
            file.write(settings)
    shutil.copy2(os.path.join(build_app, "internet.dat"), app)
    env = {
        "XDG_CONFIG_HOME": os.path.join(folder, "config"),
        "XDG_DATA_HOME": os.path.join(folder, "data"),
        "XDG_CACHE_HOME": os.path.join(folder, "cache"),
        "QPT_SYSTEM_DIR": system,
        "QPT_UPDATE_URL": host or f"http://127.0.0.1:{closed_port()}",
        "QPT_DIALOG_ANSWERS": None,
        "QPT_DIALOG_LOG": os.path.join(folder, "dialogs.jsonl"),
    }
    log = os.path.join(folder, "internet.log")
    process = session.start_program([os.path.join(app, "internet.dat")], cwd=app, env=env, log=log)
    return process, log, system


def ended(process, what):
    try:
        code = process.wait(timeout=15)
    except Exception as error:
        raise SessionError(f"internet.dat did not end after {what}") from error
    check(code == 0, f"internet.dat ended with {code} after {what}")


def start_message(session):
    """The running program's start message (an ended one's entry may linger on the bus)."""
    def look():
        for application in session.applications():
            if application is None or application.name != APPLICATION:
                continue
            try:
                found = [node for node in session.find_all(application, "dialog", CAPTION)
                         if node.getState().contains(session.pyatspi.STATE_SHOWING)]
            except Exception:  # an application that has just gone
                continue
            if found:
                return application, found[0]
        return None
    return wait_until(look, 20, what="the start message")


def focused_name(session, root):
    node = session.focused(root)
    return node.name if node is not None else None


def first_run(session, build_app):
    process, log, system = start(session, build_app, "first")
    try:
        application, message = start_message(session)
        for name in ("Connect", "STOP"):
            button = session.find(message, "push button", name)
            check("Press" in session.action_names(button), f"{name}: {session.action_names(button)}")
        box = session.find(message, "check box", BOX)
        checked = session.pyatspi.STATE_CHECKED
        check(not box.getState().contains(checked), "the box starts checked")

        # The text beside the box is pressable and toggles it.
        texts = [node for node in session.find_all(message, name=BOX) if node.getRoleName() != "check box"]
        check(texts and "Press" in session.action_names(texts[0]), f"the box's text has no Press:\n"
              f"{session.dump(message)}")
        session.do_action(texts[0], "Press")
        wait_until(lambda: box.getState().contains(checked), 5, what="the box checked")
        session.do_action(texts[0], "Press")
        wait_until(lambda: not box.getState().contains(checked), 5, what="the box unchecked")

        # Connect has the focus; Tab goes round STOP, the text, the box.
        session.focus_window(CAPTION)
        wait_until(lambda: focused_name(session, message) == "Connect", 10, what="the focus on Connect")
        visited = []
        for _ in range(4):
            before = focused_name(session, message)
            session.key("Tab")
            visited.append(wait_until(lambda: (lambda now: now if now is not None and now != before else None)(
                focused_name(session, message)), 5, what="the next control"))
        check(visited == ["STOP", "Message", BOX, "Connect"], f"Tab order: {visited}")

        # Press on Connect: on to the version check, which finds no host
        # and asks; Cancel there ends the program.
        session.do_action(session.find(message, "push button", "Connect"), "Press")
        question = session.find(application, "alert", "No Internet Connection", timeout=30)
        session.do_action(session.find(question, "push button", "Cancel"), "Press")
        ended(process, "Cancel")
        check(not os.listdir(system), "the marker was written with the box unchecked")
    except BaseException:
        with open(log, errors="replace") as file:
            print("--- first run output ---\n" + file.read(), file=sys.stderr)
        raise


def second_run(session, build_app):
    process, log, _ = start(session, build_app, "second")
    try:
        start_message(session)
        session.focus_window(CAPTION)
        session.key("Escape")
        ended(process, "Escape")
    except BaseException:
        with open(log, errors="replace") as file:
            print("--- second run output ---\n" + file.read(), file=sys.stderr)
        raise


def update_host(session):
    """A local host whose version file offers nothing newer than what is installed."""
    root = os.path.join(session.folder, "host")
    pages = os.path.join(root, "mainpage", "os", "Tirk")
    os.makedirs(pages)
    with open(os.path.join(pages, "version.txt"), "wb") as file:
        file.write(b"PlayVer=\r\nOptiVer=v1.00\r\nOSV=N/A\r\nUpdate=today\r\n")
    with open(os.path.join(pages, "index.txt"), "wb") as file:
        file.write(b"<html><body><h1>index</h1></body></html>")
    output = os.path.join(session.folder, "host.out")
    session.start_program(["/usr/bin/python3", os.path.join(HERE, "http_host.py"), root,
                           os.path.join(session.folder, "host.log")], log=output)

    def port():
        with open(output, errors="replace") as file:
            for line in file:
                if line.startswith("PORT "):
                    return line.split()[1]
        return None
    return f"http://127.0.0.1:{wait_until(port, 10, what='the update host')}"


def main_window_run(session, build_app):
    process, log, _ = start(session, build_app, "main", host=update_host(session),
                            settings="[Option]\nOption=v1.00\nPlayerVer=\nOSOT=2\n")
    try:
        application, message = start_message(session)
        session.do_action(session.find(message, "push button", "Connect"), "Press")

        # The host signs nothing: the box that says so is answered through
        # its OK button, and the check goes on to the main window.
        showing = session.pyatspi.STATE_SHOWING
        notice = wait_until(lambda: [node for node in session.find_all(application, "alert")
                                     if node.getState().contains(showing)], 30, what="the notice")[0]
        session.do_action(session.find(notice, "push button", "OK"), "Press")

        def main_window():
            for node in session.find_all(application, "frame"):
                if node.name.startswith("Quorbel Player Tirk Online System ") and node.getState().contains(showing):
                    return node
            return None
        frame = wait_until(main_window, 30, what="the main window, a frame")
        check("(Latest Online Update: N/A)" in frame.name, f"caption: {frame.name!r}")
        session.find(frame, name="Online System page")
        wait_until(lambda: [node for node in session.find_all(frame, "label")
                            if node.name.startswith("Your Player Ver.:")], 10, what="the status line")
        # The form lies hidden under the page, its fields named all the same.
        for name in ("Your Em@il", "Bug description", "Send Report", "Cancel Report"):
            session.find(frame, name=name)
        check(process.poll() is None, "internet.dat ended")
    except BaseException:
        with open(log, errors="replace") as file:
            print("--- main window run output ---\n" + file.read(), file=sys.stderr)
        raise


def main(build_app):
    # One desktop: pyatspi stays with the buses it first met.
    with AtspiSession() as session:
        first_run(session, build_app)
        second_run(session, build_app)
        main_window_run(session, build_app)
    print("internet.dat over AT-SPI: passed")


if __name__ == "__main__":
    main(sys.argv[1])
