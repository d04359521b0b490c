"""A desktop of its own for screen-reader tests: an X server, a private
session bus, the accessibility bus on it, and the programs under test started
with Qt's accessibility bridge switched on. The tree is read, and controls
are pressed, exactly as a screen reader does it, through pyatspi.

Every process started here runs in its own process group and is ended when
the session closes; every wait has a deadline. Use it as a context manager:

    with AtspiSession() as session:
        session.start_program([path], cwd=folder, env=extra)
        app = session.wait_for_application("Quorbel Player Tirk.exe")
        ...

Debian's Python modules (pyatspi, gi) belong to /usr/bin/python3: run the
tests with that interpreter.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


class SessionError(RuntimeError):
    pass


def wait_until(predicate, timeout=10.0, interval=0.1, what="condition"):
    """Polls until predicate() is truthy and returns its value; raises after timeout."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Exception as error:  # the tree changes while it is read
            last_error = error
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise SessionError(f"timed out waiting for {what}{detail}")
        time.sleep(interval)


class AtspiSession:
    def __init__(self, screen="1024x768x24", keep_folder=False):
        self.screen = screen
        self.keep_folder = keep_folder
        self.folder = tempfile.mkdtemp(prefix="atspi-session-")
        self.env = dict(os.environ)
        self.a11y_bus_address = ""
        self._processes = []
        self._pyatspi = None

    # -- set-up and tear-down ------------------------------------------------

    def __enter__(self):
        try:
            self._start_display()
            self._start_session_bus()
            self._start_accessibility_bus()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _spawn(self, args, env=None, cwd=None, stdout=None, stderr=None, pass_fds=()):
        process = subprocess.Popen(args, env=env or self.env, cwd=cwd, stdout=stdout or subprocess.DEVNULL,
                                   stderr=stderr or subprocess.DEVNULL, start_new_session=True, pass_fds=pass_fds)
        self._processes.append(process)
        return process

    def _start_display(self):
        read_end, write_end = os.pipe()
        try:
            self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen, "-nolisten", "tcp"],
                        pass_fds=(write_end,))
        finally:
            os.close(write_end)
        number = b""
        deadline = time.monotonic() + 10
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            raise SessionError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        # Nothing of the caller's desktop may leak in.
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "AT_SPI_BUS_ADDRESS", "XAUTHORITY"):
            self.env.pop(name, None)
        self.env["XDG_RUNTIME_DIR"] = os.path.join(self.folder, "runtime")
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)

    def _start_session_bus(self):
        socket = os.path.join(self.folder, "session-bus")
        bus = self._spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address=unix:path={socket}",
                           "--print-address"], stdout=subprocess.PIPE)
        address = wait_until(lambda: bus.stdout.readline().decode().strip(), 10, what="the session bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_accessibility_bus(self):
        # Started without a display, so that it does not publish the bus on
        # the X root window: Qt 6.4 takes that way in before its bridge
        # listens and then never registers. Asked on the session bus, it does.
        launcher_env = dict(self.env)
        launcher_env.pop("DISPLAY", None)
        self._spawn([BUS_LAUNCHER, "--launch-immediately"], env=launcher_env)

        def address():
            run = self.run(["dbus-send", "--session", "--print-reply=literal", "--dest=org.a11y.Bus", "/org/a11y/bus",
                            "org.a11y.Bus.GetAddress"], timeout=5)
            return run.stdout.strip() if run.returncode == 0 else ""

        self.a11y_bus_address = wait_until(address, 15, what="the accessibility bus")
        # The bridge in every Qt program started from here, whatever the
        # desktop's setting says.
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env["QT_ACCESSIBILITY"] = "1"

    def close(self):
        for process in reversed(self._processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for process in reversed(self._processes):
            try:
                process.wait(timeout=3)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                process.wait(timeout=3)
            if process.stdout:
                process.stdout.close()
        self._processes.clear()
        if not self.keep_folder:
            shutil.rmtree(self.folder, ignore_errors=True)

    # -- programs ------------------------------------------------------------

    def start_program(self, args, cwd=None, env=None, log=None):
        """Starts a program on this desktop; env adds to (or with None removes from) the session's."""
        merged = dict(self.env)
        for name, value in (env or {}).items():
            if value is None:
                merged.pop(name, None)
            else:
                merged[name] = value
        output = open(log, "ab") if log else subprocess.DEVNULL
        return self._spawn(args, env=merged, cwd=cwd, stdout=output, stderr=output)

    def run(self, args, timeout=10, env=None):
        """Runs a short command (xdotool, playerctl, dbus-send) to its end, under a time limit."""
        merged = dict(self.env)
        merged.update(env or {})
        try:
            return subprocess.run(args, env=merged, capture_output=True, text=True, timeout=timeout)
        except subprocess.TimeoutExpired as expired:
            raise SessionError(f"{args[0]} did not finish within {timeout} s") from expired

    def xdotool(self, *args, timeout=10):
        run = self.run(["xdotool", *args], timeout=timeout)
        if run.returncode != 0:
            raise SessionError(f"xdotool {' '.join(args)} failed: {run.stderr.strip()}")
        return run.stdout.strip()

    def focus_window(self, title):
        """Gives the keyboard focus to the first window with exactly this title (there is no window manager)."""
        window = wait_until(lambda: self.run(["xdotool", "search", "--name", f"^{title}$"]).stdout.split(), 10,
                            what=f"the window {title!r}")[0]
        self.xdotool("windowfocus", "--sync", window)
        return window

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    # -- the accessibility tree ----------------------------------------------

    @property
    def pyatspi(self):
        if self._pyatspi is None:
            # The library finds the buses through the environment it is
            # loaded with.
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.env["DBUS_SESSION_BUS_ADDRESS"]
            os.environ["AT_SPI_BUS_ADDRESS"] = self.a11y_bus_address
            os.environ["DISPLAY"] = self.env["DISPLAY"]
            import pyatspi  # noqa: E402 (needs the buses above)
            self._pyatspi = pyatspi
        return self._pyatspi

    def applications(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        return [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]

    def wait_for_application(self, name, timeout=20):
        def find():
            for app in self.applications():
                if app is not None and app.name == name:
                    return app
            return None
        return wait_until(find, timeout, what=f"the application {name!r} on the accessibility bus")

    @staticmethod
    def walk(node, depth=0, max_depth=30):
        """Yields (node, depth) for the node and everything below it."""
        if node is None:
            return
        yield node, depth
        if depth >= max_depth:
            return
        for i in range(node.childCount):
            yield from AtspiSession.walk(node.getChildAtIndex(i), depth + 1, max_depth)

    @staticmethod
    def role_of(node):
        return node.getRoleName()

    def find_all(self, root, role=None, name=None):
        return [node for node, _ in self.walk(root)
                if (role is None or node.getRoleName() == role) and (name is None or node.name == name)]

    @staticmethod
    def forget_cache(root):
        """Drops what the client library remembers of root and below: a name
        that changed without an event (a clock's) is read afresh."""
        try:
            root.clear_cache()
        except Exception:
            pass

    def find(self, root, role=None, name=None, timeout=10):
        def attempt():
            self.forget_cache(root)
            return self.find_all(root, role, name)
        found = wait_until(attempt, timeout, what=f"an object with role {role!r} and name {name!r}")
        return found[0]

    def dump(self, root):
        return "\n".join("  " * depth + f"[{node.getRoleName()}] {node.name!r}" for node, depth in self.walk(root))

    def listen(self, *event_types):
        """Starts hearing events of these types ("object:property-change:accessible-name" ...)
        as a screen reader does; returns an EventLog to wait on."""
        return EventLog(self.pyatspi, event_types)

    @staticmethod
    def action_names(node):
        action = node.queryAction()
        return [action.getName(i) for i in range(action.nActions)]

    def do_action(self, node, name):
        action = node.queryAction()
        for i in range(action.nActions):
            if action.getName(i) == name:
                if not action.doAction(i):
                    raise SessionError(f"action {name!r} refused by {node.name!r}")
                return
        raise SessionError(f"{node.name!r} has no action {name!r} (has {self.action_names(node)})")

    @staticmethod
    def value_of(node):
        value = node.queryValue()
        return value.currentValue, value.minimumValue, value.maximumValue

    @staticmethod
    def set_value(node, number):
        node.queryValue().currentValue = number

    def has_state(self, node, state):
        return node.getState().contains(state)

    def focused(self, root):
        """The object under root that has the keyboard focus, or None. A
        table's current cell says it is focused even while the table is not;
        it counts only inside a focused table."""
        focused = self.pyatspi.STATE_FOCUSED
        for node, _ in self.walk(root):
            if not self.has_state(node, focused):
                continue
            if node.getRoleName() in ("table cell", "list item"):
                parent = node.parent
                if parent is None or not self.has_state(parent, focused):
                    continue
            return node
        return None


class EventLog:
    """Events heard from the accessibility bus: (type, source name, source role, detail)."""

    def __init__(self, pyatspi, event_types):
        from gi.repository import Atspi, GLib  # loaded with pyatspi, after the buses are known
        self._context = GLib.MainContext.default()
        self.events = []
        self._listener = Atspi.EventListener.new(self._heard)
        self._types = event_types
        for event_type in event_types:
            self._listener.register(event_type)

    def _heard(self, event):
        try:
            source = event.source
            self.events.append((event.type, source.get_name() if source else None,
                                source.get_role_name() if source else None, event.any_data))
        except Exception as error:  # the source may be gone already
            self.events.append((event.type, None, None, repr(error)))

    def pump(self, seconds=0.2):
        """Lets the events that arrived in the next moments be delivered."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            while self._context.iteration(False):
                pass
            time.sleep(0.02)

    def wait_for(self, predicate, timeout=10, what="an event"):
        def seen():
            self.pump(0.05)
            return [event for event in self.events if predicate(event)]
        return wait_until(seen, timeout, what=what)

    def close(self):
        for event_type in self._types:
            self._listener.deregister(event_type)
