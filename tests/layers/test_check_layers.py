#!/usr/bin/env python3
"""The layer check itself: each include below is written into a small tree
of its own, and the check must find exactly the faults expected. A rule
that no longer matches its folder would let every include there pass."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECK = pathlib.Path(__file__).with_name("check_layers.py")

# (file, the include it holds, whether the check must refuse it)
CASES = [
    # The Online System's three concerns never include one another.
    ("internet/mail/letter.cpp", "internet/pages/web_browser.h", True),
    ("internet/mail/letter.cpp", "internet/update/update_host.h", True),
    ("internet/pages/page.cpp", "internet/mail/mail_dialogue.h", True),
    ("internet/pages/page.cpp", "internet/update/online_files.h", True),
    ("internet/update/check.cpp", "internet/pages/web_browser.h", True),
    ("internet/update/check.cpp", "internet/mail/bug_report.h", True),
    # ... nor does what they share include any of them, or the windows.
    ("internet/shared/transfer.cpp", "internet/update/leftovers.h", True),
    ("internet/update/check.cpp", "internet/windows/progress_window.h", True),
    ("internet/update/check.cpp", "internet/online_system.h", True),
    # The mail and the shared folder have no window half.
    ("internet/mail/letter.cpp", "common/dialogs.h", True),
    ("internet/shared/transfer.cpp", "skin/skin.h", True),
    # Allowed: the shared folder, the same folder, and everything from the
    # windows and the top.
    ("internet/mail/letter.cpp", "internet/shared/online_log.h", False),
    ("internet/pages/page.cpp", "page_tags.h", False),
    ("internet/update/check.cpp", "common/dialogs.h", False),
    ("internet/windows/window.cpp", "internet/mail/bug_report_mail.h", False),
    ("internet/windows/window.cpp", "internet/pages/web_browser.h", False),
    ("internet/online_system.cpp", "internet/windows/online_window.h", False),
    ("internet/online_system.cpp", "internet/update/leftovers.h", False),
    # The tools reach the update folder only.
    ("tools/updater/updater.cpp", "internet/update/release_keys.h", False),
    ("tools/updater/updater.cpp", "internet/windows/online_window.h", True),
    # The rest keeps its rules.
    ("player/core/engine.cpp", "internet/shared/download.h", True),
    ("option/dialog.cpp", "internet/update/update_host.h", True),
]


def faults_in(file: str, include: str) -> list:
    with tempfile.TemporaryDirectory() as folder:
        source = pathlib.Path(folder, file)
        source.parent.mkdir(parents=True)
        source.write_text(f'#include "{include}"\n')
        result = subprocess.run([sys.executable, str(CHECK), folder], capture_output=True, text=True, timeout=60)
        lines = result.stdout.splitlines()
        faults = [line for line in lines if line.startswith(file + ":")]
        # The exit status and the list agree.
        assert (result.returncode != 0) == bool(faults), result.stdout
        return faults


class CheckLayers(unittest.TestCase):
    def test_includes(self):
        for file, include, refused in CASES:
            with self.subTest(file=file, include=include):
                self.assertEqual(bool(faults_in(file, include)), refused)


if __name__ == "__main__":
    unittest.main()
