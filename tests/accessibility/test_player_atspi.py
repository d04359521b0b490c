#!/usr/bin/python3
"""The real player as a screen reader meets it: on its own X server and
accessibility bus, its tree read through pyatspi, its buttons pressed and its
volume set through the accessibility interfaces (the result checked over the
desktop's media-player interface with playerctl), the pop-up menu opened with
Shift+F10 and walked with the arrows to Open Music, and Tab walked through
both windows with the focus read back from the tree.

Usage: test_player_atspi.py <application build folder> <test data folder>
"""

import json
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_session import AtspiSession, SessionError, wait_until  # noqa: E402

PLAYER = "Quorbel Player Tirk.exe"
MPRIS_NAME = "quorbel_player_tirk"
MAIN_CAPTION = "Quorbel Player Tirk v1.00"
PLAYLIST_CAPTION = "Quorbel PlayList Tirk"
MENU_CAPTION = "Quorbel Player Tirk Pop-Up Menu"
# Songs of 27 s: none ends while the test runs.
SONGS = ["vbr_long_xing.mp3", "long.wma", "xing_lavc.mp3"]
ADDED_SONG = "cbr_id3v2_big.mp3"
TRANSPORT = ["Play", "Pause", "Stop", "Previous", "Next", "PlayList"]

APP_BUILD = sys.argv[1] if len(sys.argv) > 1 else ""
DATA = sys.argv[2] if len(sys.argv) > 2 else ""


class PlayerUnderScreenReader(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="qpt-atspi-")
        app = os.path.join(cls.folder, "app")
        config = os.path.join(cls.folder, "config")
        os.makedirs(app)
        os.makedirs(config)
        shutil.copy2(os.path.join(APP_BUILD, PLAYER), app)
        with open(os.path.join(config, "Quorbel Player Tirk.ini"), "w") as ini:
            ini.write("[Option]\nAutoFileAss=2\nTransPlayList=1\nFadeOutCD=2\nMinimizeSeparate=2\n"
                      "AutosavePlayList=2\nOSOT=2\n")
        songs = [os.path.join(DATA, "length", name) for name in SONGS]
        with open(os.path.join(app, "songs.sng"), "wb") as batch:
            batch.write(b"".join(os.fsencode(song) + b"\r\n" for song in songs))
        cls.dialog_log = os.path.join(cls.folder, "dialogs.jsonl")
        cls.batch = os.path.join(app, "songs.sng")

        cls.session = AtspiSession().__enter__()
        try:
            cls.player = cls.session.start_program(
                [os.path.join(app, PLAYER)], cwd=app, log=os.path.join(cls.folder, "player.log"),
                env={"XDG_CONFIG_HOME": config, "XDG_CACHE_HOME": os.path.join(cls.folder, "cache"),
                     "QPT_AUDIO_SINK": "fakesink sync=true",
                     # Open Music is answered with one more song.
                     "QPT_DIALOG_ANSWERS": os.path.join(DATA, "length", ADDED_SONG),
                     "QPT_DIALOG_LOG": cls.dialog_log, "LC_ALL": "C.UTF-8"})
            cls.app = cls.session.wait_for_application("Quorbel Player Tirk", timeout=30)
            cls.main = cls.session.find(cls.app, "frame", MAIN_CAPTION, timeout=15)
            wait_until(lambda: not os.path.exists(cls.batch), 20, what="the songs to be loaded")
            wait_until(lambda: cls.mpris(["-l"]).find(MPRIS_NAME) >= 0, 15, what="the media-player interface")
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.session.close()
        if os.environ.get("QPT_KEEP_ATSPI_FOLDER"):
            print("kept", cls.folder, file=sys.stderr)
        else:
            shutil.rmtree(cls.folder, ignore_errors=True)

    # -- helpers -------------------------------------------------------------

    @classmethod
    def mpris(cls, arguments):
        run = cls.session.run(["playerctl", "-p", MPRIS_NAME, *arguments] if arguments != ["-l"]
                              else ["playerctl", "-l"], timeout=10)
        return run.stdout.strip()

    def answers(self, arguments, expected, timeout=10):
        wait_until(lambda: self.mpris(arguments) == expected, timeout,
                   what=f"playerctl {' '.join(arguments)} to answer {expected!r} (last {self.mpris(arguments)!r})")

    def control(self, role, name, root=None):
        return self.session.find(root or self.main, role, name)

    def press(self, name):
        self.session.do_action(self.control("push button", name), self.press_action(self.control("push button", name)))

    def press_action(self, node):
        names = self.session.action_names(node)
        matching = [n for n in names if n.lower() == "press"]
        self.assertTrue(matching, f"{node.name!r} has no Press action: {names}")
        return matching[0]

    def focused_name(self, root):
        node = self.session.focused(root)
        return (node.getRoleName(), node.name) if node else None

    def tab_through(self, window_title, root, presses):
        self.session.focus_window(window_title)
        seen = []
        for _ in range(presses):
            self.session.key("Tab")
            previous = seen[-1] if seen else None
            try:
                now = wait_until(lambda: (self.focused_name(root) or None) if self.focused_name(root) != previous
                                 else None, 3, what="the focus to move")
            except SessionError:
                now = self.focused_name(root)
            seen.append(now)
        return seen

    def dialogs(self):
        if not os.path.exists(self.dialog_log):
            return []
        with open(self.dialog_log) as log:
            return [json.loads(line) for line in log if line.strip()]

    # -- the tests, in order (unittest sorts by name) ---------------------------

    def test_1_tree_names_and_roles(self):
        dump = self.session.dump(self.app)
        for name in TRANSPORT:
            button = self.control("push button", name)
            self.assertTrue(self.press_action(button), dump)
        for name in ("Seek", "Volume"):
            slider = self.control("slider", name)
            current, minimum, maximum = self.session.value_of(slider)
            self.assertEqual(minimum, 0, name)
        self.assertEqual(self.session.value_of(self.control("slider", "Volume"))[2], 100)
        # The time display and the now-playing line: named labels that can be pressed.
        pressable = [node for node in self.session.find_all(self.main, "label")
                     if any(n.lower() == "press" for n in self.session.action_names(node))]
        self.assertEqual(len(pressable), 2, dump)
        self.assertTrue(all(node.name for node in pressable), dump)
        self.control("label", "3 Songs in PlayList")
        # Nothing of the player is a nameless filler any more.
        fillers = [node for node in self.session.find_all(self.app, "filler")]
        self.assertEqual(fillers, [], dump)

    def test_2_transport_through_the_action_interface(self):
        self.press("Play")
        self.answers(["status"], "Playing")
        self.answers(["metadata", "xesam:title"], "vbr_long_xing")
        self.press("Pause")
        self.answers(["status"], "Paused")
        self.press("Play")
        self.answers(["status"], "Playing")
        names = self.session.listen("object:property-change:accessible-name")
        try:
            names.pump()
            self.press("Next")
            self.answers(["metadata", "xesam:title"], "long")
            # The song change is heard: the now-playing line takes the title's name.
            names.wait_for(lambda event: event[1] == "long" and event[2] == "label", 10,
                           what=f"the new title announced (heard {names.events})")
        finally:
            names.close()
        self.session.find(self.main, "label", "long")

    def test_3_values_through_the_value_interface(self):
        volume = self.control("slider", "Volume")
        seek = self.control("slider", "Seek")
        values = self.session.listen("object:property-change:accessible-value")
        try:
            values.pump(1.5)  # the song plays on: its seconds are not announced
            self.assertEqual([event for event in values.events if event[1] == "Seek"], [])
            self.session.set_value(volume, 40)
            values.wait_for(lambda event: event[1] == "Volume", 10, what=f"the volume announced ({values.events})")
        finally:
            values.close()
        wait_until(lambda: abs(float(self.mpris(["volume"]) or -1) - 0.4) < 0.001, 10,
                   what="playerctl volume to answer 0.4")
        wait_until(lambda: abs(self.session.value_of(volume)[0] - 40) < 0.01, 5, what="the volume to read 40")
        wait_until(lambda: self.session.value_of(seek)[2] > 20, 10, what="the song's length on the seek slider")
        self.session.set_value(seek, 12)
        wait_until(lambda: 12 <= float(self.mpris(["position"]) or 0) < 20, 5, what="the seek to 12 s")

    def test_4_popup_menu_from_the_keyboard(self):
        self.session.focus_window(MAIN_CAPTION)
        self.session.key("shift+F10")
        menu = self.session.find(self.app, None, MENU_CAPTION)
        self.assertIn(menu.getRoleName(), ("popup menu", "menu"))
        # The Audio CD entry is there only while a drive holds a disc.
        showing = self.session.pyatspi.STATE_SHOWING
        items = [node.name for node in self.session.find_all(menu, "menu item")
                 if node.getState().contains(showing)]
        self.assertEqual(items, ["Option", "Internet", "Open Music", "Save PlayList"])
        for item in self.session.find_all(menu, "menu item"):
            self.press_action(item)
        wait_until(lambda: self.focused_name(menu) == ("menu item", "Option"), 5, what="the first entry focused")
        self.session.key("Down")
        self.session.key("Down")
        wait_until(lambda: self.focused_name(menu) == ("menu item", "Open Music"), 5, what="Open Music focused")
        self.session.key("Return")
        wait_until(lambda: any(d.get("kind") == "open" for d in self.dialogs()), 10, what="the open dialog")
        self.control("label", "4 Songs in PlayList")

    def test_5_tab_through_the_main_window(self):
        seen = self.tab_through(MAIN_CAPTION, self.main, 14)
        names = {name for _, name in filter(None, seen)}
        for name in ("Play", "Pause", "Stop", "Previous", "Next", "PlayList", "Seek", "Volume") :
            if name == "Play":
                continue  # disabled while playing: Tab passes it
            self.assertIn(name, names, seen)
        roles = {role for role, _ in filter(None, seen)}
        self.assertIn("label", roles, seen)  # the time display and the now-playing line

    def test_6_playlist_window(self):
        self.press("PlayList")
        playlist = self.session.find(self.app, "dialog", PLAYLIST_CAPTION, timeout=15)
        table = self.session.find(playlist, "table", "PlayList")
        wait_until(lambda: table.queryTable().nRows == 4, 10, what="four rows in the playlist table")
        seen = self.tab_through(PLAYLIST_CAPTION, playlist, 3)
        self.assertIn("PlayList", {name for _, name in filter(None, seen)}, seen)
        self.assertTrue(any(role == "label" for role, _ in filter(None, seen)), seen)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
