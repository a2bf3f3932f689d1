#!/usr/bin/python3
"""Drives Tessaly by keyboard alone on the X display in $DISPLAY: System Cleanup
and the Duplicates Finder through scan, detailed results and clean, saving a
screenshot of each step into OUT_DIR. The accessibility tree (AT-SPI) is only
read, to know when a step is over and where the keyboard is, and to check that
the controls carry their names. Run by scripts/keyboard-tour.sh.

    keyboard_tour.py OUT_DIR TESSALY [ARGS...]
"""
import os
import subprocess
import sys
import time

import pyatspi

OUT = sys.argv[1]
COMMAND = sys.argv[2:]
problems = []


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "120", *keys], check=True)
    time.sleep(0.4)


def shot(name):
    path = os.path.join(OUT, name + ".png")
    with open(path, "wb") as out:
        xwd = subprocess.Popen(["xwd", "-root", "-silent"], stdout=subprocess.PIPE)
        pnm = subprocess.Popen(["xwdtopnm"], stdin=xwd.stdout, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
        subprocess.run(["pnmtopng"], stdin=pnm.stdout, stdout=out, stderr=subprocess.DEVNULL,
                       check=True)
    print(path, flush=True)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name.lower() == "tessaly":
            return app
    return None


def walk(node, depth=0):
    """Every accessible under node; the rows of big tables are left out."""
    if node is None or depth > 40:
        return
    yield node
    role = node.getRole()
    count = node.childCount
    if role in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE) and count > 40:
        count = 40
    for i in range(count):
        try:
            yield from walk(node.getChildAtIndex(i), depth + 1)
        except Exception:
            continue


def find(predicate, timeout=90):
    end = time.time() + timeout
    while time.time() < end:
        app = application()
        if app is not None:
            for node in walk(app):
                try:
                    if predicate(node):
                        return node
                except Exception:
                    continue
        time.sleep(0.5)
    return None


def showing(node):
    states = node.getState()
    return states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_VISIBLE)


def button(name):
    return lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == name and showing(n)


def focused():
    """The names of what reads as focused (an item view's current cell may read so
    while the view itself has lost the keyboard, so there can be several)."""
    app = application()
    names = set()
    for node in walk(app) if app is not None else []:
        try:
            if node.getState().contains(pyatspi.STATE_FOCUSED) and showing(node):
                names.add(node.name)
        except Exception:
            continue
    return names


def wait_for(what, predicate, timeout=120):
    node = find(predicate, timeout)
    if node is None:
        problems.append("never saw " + what)
        print("!! never saw " + what, flush=True)
    return node


def tab_to(name, limit=25):
    """Tab until the named control has the keyboard focus."""
    for _ in range(limit):
        if name in focused():
            return True
        key("Tab")
    problems.append("Tab never reached " + name)
    print("!! Tab never reached " + name, flush=True)
    return False


def check_names():
    """Sidebar rows and home cards are named buttons; lists, boxes and chart are named."""
    for title in ["Home", "System Cleanup", "System Security", "Browser Cleanup", "Uninstaller",
                  "Duplicates Finder", "Old Files Finder", "Eraser", "Alias Finder",
                  "Memory Optimization"]:
        if find(lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == title, 5) is None:
            problems.append("no button named " + title)


def check_lists():
    items = find(lambda n: n.name == "Items" and showing(n), 10)
    if items is None:
        problems.append("no list named Items")
    else:
        try:
            table = items.queryTable()
            headers = [table.getColumnDescription(i) for i in range(table.nColumns)]
            if headers[:3] != ["Name", "Path", "Size"]:
                problems.append("item columns read %s" % headers)
        except NotImplementedError:
            problems.append("the item list offers no table")
    for name in ["Categories", "Sort by", "Sort direction"]:
        if find(lambda n, name=name: n.name == name and showing(n), 5) is None:
            problems.append("nothing named " + name)


def refocus():
    """Gives the main window the keyboard again after a dialog has closed, as a
    window manager would; the virtual display runs none."""
    subprocess.run(["xdotool", "search", "--sync", "--name", "Vellmo", "windowfocus", "--sync"],
                   check=True)
    time.sleep(0.3)


def tool_tour(prefix, shortcut, run_button):
    key(shortcut)  # the View menu's shortcut
    time.sleep(1)
    shot(prefix + "-1-idle")
    key("Return")  # the scan button has the focus
    time.sleep(0.3)
    shot(prefix + "-2-scanning")
    wait_for(prefix + " report", button("Detailed Results"))
    time.sleep(1.5)
    shot(prefix + "-3-report")
    if prefix == "system":
        if find(lambda n: n.name == "Share of each category" and showing(n), 5) is None:
            problems.append("the report's chart has no name")
    key("Return")  # Detailed Results has the focus
    wait_for(prefix + " details", button(run_button))
    time.sleep(0.5)
    shot(prefix + "-4-details")
    key("Down", "Down")  # the category list has the focus
    shot(prefix + "-5-details-next-category")
    key("Home")
    if prefix == "system":
        check_lists()
    tab_to(run_button)
    key("Return")
    wait_for("the confirmation", button("Cancel"))
    time.sleep(1.5)  # drawn
    shot(prefix + "-6-confirmation")
    tab_to(run_button)  # Cancel has the focus; the run's own button is one Tab away
    key("Return")
    wait_for(prefix + " clean's end",
             lambda n: (n.name == "Cleanup Completed" or n.name.startswith("Cleaned:")) and
             showing(n))
    time.sleep(1.5)
    refocus()
    shot(prefix + "-7-cleaned")


def main():
    app = subprocess.Popen(COMMAND)
    try:
        if wait_for("the main window", lambda n: n.getRole() == pyatspi.ROLE_FRAME) is None:
            return 1
        time.sleep(1)
        refocus()
        shot("00-home")
        check_names()
        tool_tour("system", "ctrl+1", "Clean")
        tool_tour("duplicates", "ctrl+5", "Remove")
        key("ctrl+comma")  # Preferences
        time.sleep(1)
        shot("08-preferences")
        key("Escape")
        refocus()
        key("F10")
        time.sleep(0.5)
        shot("09-menu")
        key("Escape")
    finally:
        app.terminate()
        app.wait(timeout=30)
    for p in problems:
        print("problem: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
