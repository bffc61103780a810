# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints what a screen reader reads in the program's windows: a line
"WINDOW-ROLE: TEXT" for each label that shows text, window by window.

    answer.py NAME      the program whose name holds NAME (lower case)
"""
import sys
import time

import pyatspi


def labels(accessible, found):
    """The texts of the labels under accessible, in the tree's order."""
    for child in accessible:
        if child is None:
            continue
        if child.getRole() == pyatspi.ROLE_LABEL:
            try:
                text = child.queryText().getText(0, -1)
            except NotImplementedError:
                text = child.name
            if text.strip():
                found.append(" ".join(text.split()))
        labels(child, found)
    return found


def main():
    name = sys.argv[1]
    for _ in range(100):
        apps = [app for app in pyatspi.Registry.getDesktop(0) if app is not None and name in app.name.lower()]
        if apps:
            break
        time.sleep(0.1)
    else:
        sys.exit(f"{name} does not show on the accessibility bus")
    for window in apps[0]:
        for text in labels(window, []):
            print(f"{window.getRoleName()}: {text}")


main()
