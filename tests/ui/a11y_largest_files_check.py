#!/usr/bin/python3
"""What a screen reader reads of the Largest Files view and the comparison's Change column.

Runs the real window under a private session bus and X server (as a11y_navigation_check.py
does), analyses a small folder, compares it with a saved analysis through the File menu and
the file dialog, then switches to the Largest Files view and reads its rows over AT-SPI.

Usage: a11y_largest_files_check.py ZUMBREL_BINARY
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from a11y_navigation_check import find, showing, start_x_server, wait_for, walk  # noqa: E402


def application(desktop):
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name.lower().startswith("zumbrel"):
            return a
    return None


def do_action(node, *names):
    action = node.queryAction()
    available = [action.getName(i) for i in range(action.nActions)]
    for name in names:
        if name in available:
            action.doAction(available.index(name))
            return
    raise AssertionError("none of %r in %r" % (names, available))


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def column_headers(table_node):
    return [c.name for c in walk(table_node) if c.getRole() == pyatspi.ROLE_TABLE_COLUMN_HEADER]


def make_file(path, size):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.truncate(size)


def main():
    binary = sys.argv[1]
    xserver, display = start_x_server()
    work = tempfile.mkdtemp(prefix="zumbrel-a11y-")
    folder = os.path.join(work, "data")
    make_file(os.path.join(folder, "big video.mkv"), 3000000)
    make_file(os.path.join(folder, "sub", "archive.tar"), 2000000)
    make_file(os.path.join(folder, "sub", "notes.txt"), 1500000)
    # The analysis of a week ago: the video was smaller, the notes did not exist.
    saved = os.path.join(work, "last-week.json")
    with open(saved, "w") as f:
        json.dump([1, 2, {"progname": "test"},
                   [{"name": folder}, {"name": "big video.mkv", "asize": 1000000},
                    [{"name": "sub"}, {"name": "archive.tar", "asize": 2000000}]]], f)
    config = os.path.join(work, "config")
    os.makedirs(os.path.join(config, "Zumbrel"))

    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_QPA_PLATFORM="xcb", LANGUAGE="en", LANG="C.UTF-8", LC_ALL="C.UTF-8")
    app_proc = subprocess.Popen([binary, folder], env=env)
    presser = None
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the window on the accessibility bus", lambda: application(desktop))
        frame = find(app, pyatspi.ROLE_FRAME)
        wait_for("the analysis title", lambda: frame.name == "Zumbrel - " + folder)
        tree = wait_for("the folder tree", lambda: [n for n in walk(app) if n.getRole() == pyatspi.ROLE_TREE
                                                    and showing(n)][0])
        # The Change column is there but hidden, its cells empty, until a comparison.
        headers = wait_for("the tree's columns", lambda: "Change" in column_headers(tree) and column_headers(tree))
        change = headers.index("Change")
        cells = tree.queryTable()
        wait_for("the root row", lambda: cells.nRows > 0)
        assert cells.getAccessibleAt(0, change).name == "", cells.getAccessibleAt(0, change).name
        # The painted Percent bar is read out as its share of the shown folder.
        percent = headers.index("Percent")
        root_percent = wait_for("the root's share", lambda: cells.getAccessibleAt(0, percent).name.strip())
        print("root percent:", root_percent)
        assert root_percent == "100%", root_percent

        # File > Compare with Saved Analysis...: the dialog is modal, so the press that opens
        # it answers only when it closes; another process presses.
        wait_for("the compare command, once the scan is done",
                 lambda: [n for n in walk(app) if n.getRole() == pyatspi.ROLE_MENU_ITEM
                          and n.name == "Compare with Saved Analysis..." and enabled(n)][0])
        presser = subprocess.Popen([sys.executable, "-c", PRESS_COMPARE], env=dict(os.environ))
        dialog = wait_for("the file dialog", lambda: [n for n in walk(desktop) if n.getRole() == pyatspi.ROLE_DIALOG
                                                      and n.name == "Compare with Saved Analysis"][0])
        entry = wait_for("the file name field", lambda: [n for n in walk(dialog) if n.getRole() == pyatspi.ROLE_TEXT
                                                         and n.getState().contains(pyatspi.STATE_EDITABLE)
                                                         and showing(n)][0])
        entry.queryEditableText().setTextContents(saved)
        do_action(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Open"), "Press")
        # The root grew by the notes and 2 MB of video: 3.5 MB, and the header names the column.
        root_change = wait_for("the root's change", lambda: cells.getAccessibleAt(0, change).name)
        print("folder tree columns:", column_headers(tree), "root change:", root_change)
        assert column_headers(tree)[change] == "Change"
        assert root_change.startswith("+3.") and root_change.endswith("MB"), root_change
        status = wait_for("the comparison's totals", lambda: [n.name for n in walk(frame)
                                                               if n.name.startswith("Compared with ")][0])
        print("status:", status)
        assert "last-week.json" in status, status

        # View > Largest Files: the list's rows, largest first, name and size.
        largest = [n for n in walk(app) if n.getRole() in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM)
                   and n.name == "Largest Files"]
        assert largest, "no Largest Files entry in the View menu"
        do_action(largest[0], "Toggle", "Press")
        view = wait_for("the Largest Files list", lambda: [n for n in walk(app) if n.name == "Largest Files"
                                                           and n.getRole() == pyatspi.ROLE_TREE and showing(n)][0])
        columns = column_headers(view)
        print("largest files columns:", columns)
        assert columns == ["Name", "Size", "Percent", "Folder", "Date"], columns
        table = view.queryTable()
        rows = wait_for("the list's rows", lambda: table.nRows == 3 and [
            tuple(table.getAccessibleAt(r, c).name for c in range(4)) for r in range(3)])
        print("largest files rows:", rows)
        # Largest first, each with its size and share as the window shows them, and its folder.
        assert rows == [("big video.mkv", "2.86 MB", "46.2%", folder),
                        ("archive.tar", "1.90 MB", "30.8%", os.path.join(folder, "sub")),
                        ("notes.txt", "1.43 MB", "23.1%", os.path.join(folder, "sub"))], rows
        assert not showing(tree)
        print("a11y largest files: ok")
    finally:
        if presser is not None:
            presser.kill()
            presser.wait(timeout=10)
        app_proc.terminate()
        app_proc.wait(timeout=20)
        bus.terminate()
        bus.wait(timeout=10)
        xserver.terminate()
        xserver.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


PRESS_COMPARE = r"""
import pyatspi
desktop = pyatspi.Registry.getDesktop(0)
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    if app is None or not app.name.lower().startswith("zumbrel"):
        continue
    pending = [app]
    while pending:
        node = pending.pop()
        if node.getRole() == pyatspi.ROLE_MENU_ITEM and node.name == "Compare with Saved Analysis...":
            action = node.queryAction()
            names = [action.getName(j) for j in range(action.nActions)]
            action.doAction(names.index("Press"))
            raise SystemExit(0)
        pending.extend(c for c in (node.getChildAtIndex(j) for j in range(node.childCount)) if c is not None)
"""


if __name__ == "__main__":
    main()
