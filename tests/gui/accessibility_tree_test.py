#!/usr/bin/python3
"""The running dialog as a screen reader sees it, through the AT-SPI tree.

Starts a virtual X server of its own and modemcfg on it, gives the dialog the
input focus as a window manager would, and checks the dialog's controls: every
one has a name, no two share one, no list is named by one of its items, and the
focus starts on "Connect".

Usage: accessibility_tree_test.py MODEMCFG
Runs inside a D-Bus session of its own, e.g.
    dbus-run-session -- accessibility_tree_test.py build/modemcfg
Exits 0 when all holds, 1 with one line per fault, 77 without Xvfb or the
AT-SPI bindings (Debian: xvfb, gir1.2-atspi-2.0, python3-gi).
"""

import ctypes
import ctypes.util
import os
import shutil
import subprocess
import sys
import time

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
except (ImportError, ValueError) as error:
    print(f"SKIP: no AT-SPI bindings ({error})")
    sys.exit(77)

CONTROLS = 96
# Bounds for a loaded machine; the checks themselves do not depend on time.
START_LIMIT = 60.0
FOCUS_LIMIT = 20.0


def start_x_server():
    """Xvfb on a display number it chooses itself, so that servers started at
    the same time never race for one; (process, display) or (None, None)."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as announced:
        number = announced.readline().strip()  # empty when the server ended
    if not number.isdigit():
        server.kill()
        server.wait()
        return None, None
    return server, f":{number}"


def wait_for(condition, limit):
    deadline = time.monotonic() + limit
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.1)


def dialog_of(pid):
    """The program's dialog once all its controls are in the tree, else None."""
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if window is not None and window.get_child_count() >= CONTROLS:
                return window
    return None


class XWindowAttributes(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_int), ("y", ctypes.c_int),
        ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
        ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
        ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
        ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
        ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
        ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
        ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
        ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
        ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
        ("screen", ctypes.c_void_p),
    ]


def focus_largest_window():
    """Gives the X input focus to the largest mapped top-level window, the
    dialog: there is no window manager to do it."""
    x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 4
    x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
    x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XFree.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x.XOpenDisplay(None)
    if not display:
        return False
    try:
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        x.XQueryTree(display, x.XDefaultRootWindow(display), ctypes.byref(root),
                     ctypes.byref(parent), ctypes.byref(children), ctypes.byref(count))
        best, best_area = 0, 0
        for i in range(count.value):
            attributes = XWindowAttributes()
            x.XGetWindowAttributes(display, children[i], ctypes.byref(attributes))
            area = attributes.width * attributes.height
            if attributes.map_state == 2 and area > best_area:  # IsViewable
                best, best_area = children[i], area
        if children:
            x.XFree(children)
        if not best:
            return False
        x.XSetInputFocus(display, best, 2, 0)  # RevertToParent, CurrentTime
        x.XSync(display, 0)
        return True
    finally:
        x.XCloseDisplay(display)


def states(accessible):
    return accessible.get_state_set()


def check(dialog):
    faults = []
    controls = [dialog.get_child_at_index(i) for i in range(dialog.get_child_count())]
    if len(controls) != CONTROLS:
        faults.append(f"the dialog has {len(controls)} controls, not {CONTROLS}")

    owners = {}
    for index, control in enumerate(controls):
        role = control.get_role_name()
        name = control.get_name() or ""
        where = f"control {index} ({role})"
        if not name.strip():
            faults.append(f"{where} has no name")
            continue
        if name in owners:
            faults.append(f'{where} and control {owners[name]} are both named "{name}"')
        owners.setdefault(name, index)
        if control.get_role() == Atspi.Role.COMBO_BOX:
            items = set()
            for i in range(control.get_child_count()):
                child = control.get_child_at_index(i)
                for j in range(child.get_child_count()):
                    items.add(child.get_child_at_index(j).get_name())
            if not items:
                faults.append(f'{where} "{name}" shows no items')
            if name in items:
                faults.append(f'{where} is named by its item "{name}"')

    focused = [c for c in controls if states(c).contains(Atspi.StateType.FOCUSED)]
    names = [f'"{c.get_name()}" ({c.get_role_name()})' for c in focused]
    if (len(focused) != 1 or focused[0].get_role() != Atspi.Role.PUSH_BUTTON
            or focused[0].get_name() != "Connect"):
        faults.append(f"the focus starts on {', '.join(names) or 'nothing'}, not on Connect")
    return faults


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    if shutil.which("Xvfb") is None:
        print("SKIP: no Xvfb")
        return 77
    server, display = start_x_server()
    if server is None:
        print("FAIL: Xvfb did not start")
        return 1
    os.environ["DISPLAY"] = display
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    # A port that does not exist: nothing is opened before "Connect".
    program = subprocess.Popen([sys.argv[1], "--port", "/nonexistent/tty"], env=env)
    try:
        dialog = wait_for(lambda: program.poll() is None and dialog_of(program.pid), START_LIMIT)
        if not dialog:
            status = program.poll()
            state = "running" if status is None else f"ended with status {status}"
            print(f"FAIL: no dialog with {CONTROLS} controls in the AT-SPI tree ({state})")
            return 1
        if not focus_largest_window():
            print("FAIL: no window to give the input focus to")
            return 1
        wait_for(lambda: states(dialog).contains(Atspi.StateType.ACTIVE), FOCUS_LIMIT)
        faults = check(dialog)
    finally:
        program.terminate()
        program.wait(30)
        server.terminate()
        server.wait(30)
    for fault in faults:
        print(f"FAIL: {fault}")
    if not faults:
        print(f"{CONTROLS} controls named, each once; the focus starts on Connect")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
