#!/usr/bin/python3
# A screen reader's side of the accessibility tests: finds the program on the accessibility
# bus (AT-SPI, through pyatspi) by its process id, prints the tree it shows and drives it by
# actions only. Run by tests/program/AccessibilityBusTests.cpp on a private bus.
#
#   atspi_reader.py PID tree TEXT            print the window's tree once it shows TEXT (the
#                                            start of an element's name)
#   atspi_reader.py PID loop TITLE LABELS    record, stop, save with TITLE, open the memo's row,
#                                            play, pause, move it to the Trash and restore it
#
# LABELS is the display texts the loop looks for, "key=text;key=text". Every step waits (up to
# 20 s) for what it needs and says what it did; a failure prints "FAIL: ..." and exits 1.
import sys
import time

import pyatspi
from gi.repository import Atspi

TIMEOUT = 20.0
# Qt gives editable text the role "text"; other toolkits say "entry".
FIELDS = (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def fresh(accessible):
    # The program's tree changes under us: read it anew every time.
    try:
        accessible.clear_cache()
    except Exception:
        pass
    return accessible


def children(accessible):
    fresh(accessible)
    try:
        return [c for c in (accessible.getChildAtIndex(i) for i in range(accessible.childCount)) if c is not None]
    except Exception:
        return []


def states(accessible):
    names = []
    for state, word in ((pyatspi.STATE_FOCUSED, "focused"), (pyatspi.STATE_SELECTED, "selected"),
                        (pyatspi.STATE_CHECKED, "checked"), (pyatspi.STATE_EDITABLE, "editable"),
                        (pyatspi.STATE_MODAL, "modal")):
        if accessible.getState().contains(state):
            names.append(word)
    if not accessible.getState().contains(pyatspi.STATE_ENABLED):
        names.append("disabled")
    return names


def describe(accessible):
    line = accessible.getRoleName()
    if accessible.name:
        line += ' "%s"' % accessible.name
    try:
        value = accessible.queryValue()
        span = value.maximumValue - value.minimumValue
        line += " (%d%%)" % round(100 * (value.currentValue - value.minimumValue) / span if span else 0)
    except NotImplementedError:
        pass
    if accessible.getRole() in FIELDS:
        text = accessible.queryText()
        line += ' = "%s"' % text.getText(0, text.characterCount)
    if accessible.description:
        line += " - " + accessible.description
    flags = states(accessible)
    if flags:
        line += " [" + ", ".join(flags) + "]"
    return line


def dump(accessible, depth=0, out=None):
    out = [] if out is None else out
    out.append("  " * depth + describe(accessible))
    for child in children(accessible):
        dump(child, depth + 1, out)
    return out


def find_application(pid):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            try:
                if app.get_process_id() == pid:
                    Atspi.Accessible.set_cache_mask(app, Atspi.Cache.NONE)
                    return app
            except Exception:
                continue
        time.sleep(0.1)
    fail("no application of process %d on the accessibility bus" % pid)


def window_of(app):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        for child in children(app):
            if child.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW) and children(child):
                return child
        time.sleep(0.1)
    fail("the application shows no window with children:\n" + "\n".join(dump(app)))


def search(root, test):
    for child in children(root):
        try:
            if test(child):
                return child
        except Exception:
            continue
        found = search(child, test)
        if found is not None:
            return found
    return None


def wait_for(root, what, test):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        found = search(root, test)
        if found is not None:
            return found
        time.sleep(0.1)
    fail("no %s in:\n%s" % (what, "\n".join(dump(root))))


def button(root, name):
    return wait_for(root, 'push button "%s"' % name,
                    lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == name and a.getState().contains(pyatspi.STATE_ENABLED))


def do(accessible, action="Press"):
    actions = accessible.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) == action:
            actions.doAction(i)
            return
    fail('%s has no action "%s"' % (describe(accessible), action))


def press(root, name):
    do(button(root, name))
    print('pressed "%s"' % name, flush=True)


def show(title, window):
    print("--- %s ---" % title)
    print("\n".join(dump(window)), flush=True)


def tree(pid, shown):
    window = window_of(find_application(pid))
    wait_for(window, '"%s"' % shown, lambda a: a.name.startswith(shown))
    show("window", window)


def loop(pid, title, labels):
    text = dict(item.split("=", 1) for item in labels.split(";"))
    window = window_of(find_application(pid))
    # A tap does nothing before the studio is ready; neither does the reader's press.
    wait_for(window, "the studio ready", lambda a: a.name.startswith(text["Ready"]))
    press(window, text["Record"])
    stop = button(window, text["Stop Recording"])
    wait_for(window, "level bar", lambda a: a.getRole() == pyatspi.ROLE_PROGRESS_BAR)
    # Recording begins after the beep, when the pause button comes alive.
    button(window, text["Pause"])
    time.sleep(1.5)
    show("studio while recording", window)
    do(stop)
    print('pressed "%s"' % text["Stop Recording"], flush=True)
    press(window, text["Save"])
    field = wait_for(window, "title field being edited",
                     lambda a: a.getRole() in FIELDS and a.getState().contains(pyatspi.STATE_FOCUSED))
    field.queryEditableText().setTextContents(title)
    print('typed "%s"' % title, flush=True)
    do(field)
    print("pressed the field's return", flush=True)
    button(window, text["Record"])
    show("studio after saving", window)

    def choose_tab(name):
        tab = wait_for(window, 'page tab "%s"' % name, lambda a: a.getRole() == pyatspi.ROLE_PAGE_TAB and a.name == name)
        do(tab)
        wait_for(window, 'selected page tab "%s"' % name,
                 lambda a: a.getRole() == pyatspi.ROLE_PAGE_TAB and a.name == name and a.getState().contains(pyatspi.STATE_SELECTED))
        print('chose the tab "%s"' % name, flush=True)

    def open_row():
        row = wait_for(window, 'row of "%s"' % title, lambda a: a.getRole() == pyatspi.ROLE_LIST_ITEM and a.name.startswith(title + ","))
        do(row)
        print('opened the row "%s"' % row.name, flush=True)

    choose_tab(text["Recordings"])
    wait_for(window, 'row of "%s"' % title, lambda a: a.getRole() == pyatspi.ROLE_LIST_ITEM and a.name.startswith(title + ","))
    show("list", window)
    open_row()
    press(window, text["Play"])
    button(window, text["Pause"])
    show("playback screen, playing", window)
    press(window, text["Pause"])
    button(window, text["Play"])
    slider = wait_for(window, "slider", lambda a: a.getRole() == pyatspi.ROLE_SLIDER)
    slider.queryValue().currentValue = 0.5
    print("set the slider to the middle", flush=True)
    press(window, text["Delete"])
    choose_tab(text["Trash"])
    open_row()
    press(window, text["Restore"])
    choose_tab(text["Recordings"])
    wait_for(window, 'row of "%s" back in the list' % title,
             lambda a: a.getRole() == pyatspi.ROLE_LIST_ITEM and a.name.startswith(title + ","))
    print("restored", flush=True)


def main():
    if len(sys.argv) < 3:
        fail("usage: atspi_reader.py PID tree TEXT | PID loop TITLE LABELS")
    pid = int(sys.argv[1])
    if sys.argv[2] == "tree" and len(sys.argv) == 4:
        tree(pid, sys.argv[3])
    elif sys.argv[2] == "loop" and len(sys.argv) == 5:
        loop(pid, sys.argv[3], sys.argv[4])
    else:
        fail("unknown command " + " ".join(sys.argv[2:]))
    print("OK", flush=True)


main()
