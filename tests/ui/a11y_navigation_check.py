#!/usr/bin/python3
"""What a screen reader sees of the start page and the path bar, read over AT-SPI.

Runs the real window under a private session bus (the caller wraps this script in
dbus-run-session and an X server) with Qt's accessibility bridge switched on, then reads the
start page's tiles, opens a recent folder by the tile's action, and presses path bar segments
through their actions.

Usage: a11y_navigation_check.py ZUMBREL_BINARY
"""
import os
import subprocess
import sys
import tempfile
import time

import pyatspi


def wait_for(what, predicate, timeout=90.0):
    end = time.time() + timeout
    while time.time() < end:
        try:
            value = predicate()
        except Exception:  # the tree changes under us while the window works
            value = None
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


def walk(node, depth=0):
    yield node
    if depth > 40:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def find(root, role, name=None):
    for node in walk(root):
        if node.getRole() == role and (name is None or node.name == name):
            return node
    return None


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    assert "Press" in names, names
    action.doAction(names.index("Press"))


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def start_x_server():
    """A private X server on a free display; the bridge needs a real window system."""
    for number in range(90, 200):
        if not os.path.exists("/tmp/.X11-unix/X%d" % number) and not os.path.exists("/tmp/.X%d-lock" % number):
            server = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                wait_for("the X server", lambda: os.path.exists("/tmp/.X11-unix/X%d" % number), 10)
            except AssertionError:
                server.kill()
                continue
            return server, ":%d" % number
    raise AssertionError("no free X display")


def main():
    binary = sys.argv[1]
    xserver, display = start_x_server()
    work = tempfile.mkdtemp(prefix="zumbrel-a11y-")
    folder = os.path.join(work, "music collection")
    os.makedirs(os.path.join(folder, "albums"))
    with open(os.path.join(folder, "albums", "track.bin"), "wb") as f:
        f.write(b"\0" * 40000)
    config = os.path.join(work, "config")
    os.makedirs(os.path.join(config, "Zumbrel"))
    with open(os.path.join(config, "Zumbrel", "Zumbrel.ini"), "w") as f:
        # An entry with a blank is quoted inside the stored list.
        f.write("[Settings]\nMRUDirList='\"%s\"'\n" % folder)

    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_QPA_PLATFORM="xcb", LANGUAGE="en", LANG="C.UTF-8", LC_ALL="C.UTF-8")
    app_proc = subprocess.Popen([binary], env=env)
    try:
        desktop = pyatspi.Registry.getDesktop(0)

        def application():
            for i in range(desktop.childCount):
                a = desktop.getChildAtIndex(i)
                if a is not None and a.name.lower().startswith("zumbrel"):
                    return a
            return None

        app = wait_for("the window on the accessibility bus", application)
        start = wait_for("the start page", lambda: find(app, pyatspi.ROLE_LIST, "Homepage"))
        assert showing(start), "the start page is not shown at start"
        tiles = {start.getChildAtIndex(i).name: start.getChildAtIndex(i) for i in range(start.childCount)}
        assert all(t.getRole() == pyatspi.ROLE_LIST_ITEM for t in tiles.values()), tiles
        root = wait_for("the root drive's size", lambda: "/" in tiles and "free of" in tiles["/"].description
                        and tiles["/"])
        assert root.description.split(",")[0].endswith("%"), root.description
        assert folder in tiles, sorted(tiles)
        print("tiles:", {name: t.description for name, t in tiles.items()})

        # Opening the recent folder through the tile's action analyses it.
        press(tiles[folder])
        frame = find(app, pyatspi.ROLE_FRAME)
        wait_for("the analysis title", lambda: frame.name == "Zumbrel - " + folder)
        bar = find(app, pyatspi.ROLE_TOOL_BAR, "Location")
        buttons = wait_for("the path bar's buttons",
                           lambda: [bar.getChildAtIndex(i) for i in range(bar.childCount)
                                    if bar.getChildAtIndex(i).getRole() == pyatspi.ROLE_PUSH_BUTTON])
        names = [b.name for b in buttons]
        print("path bar:", names)
        assert names[0] == "Home" and names[1] == "Sub-folders of Home", names
        assert "music collection" in names and "Sub-folders of music collection" in names, names
        assert not showing(start)

        # The folder's own segment: a move inside the finished analysis, the title stays.
        time.sleep(1.0)
        press(buttons[names.index("music collection")])
        time.sleep(0.5)
        assert frame.name == "Zumbrel - " + folder, frame.name
        # "Home" brings the start page back.
        press(buttons[0])
        wait_for("the start page again", lambda: showing(start))
        print("a11y navigation: ok")
    finally:
        app_proc.terminate()
        app_proc.wait(timeout=20)
        bus.terminate()
        bus.wait(timeout=10)
        xserver.terminate()
        xserver.wait(timeout=10)


if __name__ == "__main__":
    main()
