#!/usr/bin/python3
"""What a screen reader finds over the accessibility bus (Debian's pyatspi): `tree NAME`, the
window named NAME and its children as JSON (or null); `announcements SECONDS`, "ready" once
listening, then the first notification shown, until SECONDS have passed."""
import json
import sys

import pyatspi
from gi.repository import GLib


def extents(accessible):
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return [box.x, box.y, box.width, box.height]


def tree(name):
    for application in pyatspi.Registry.getDesktop(0):
        for window in application or []:
            if window is not None and window.name == name:
                return {"extents": extents(window),
                        "children": [{"role": child.getRoleName(), "name": child.name,
                                      "text": child.queryText().getText(0, -1),
                                      "extents": extents(child)} for child in window]}
    return None


def announcements(seconds):
    def said(event):
        if event.detail1 and event.source.getRole() == pyatspi.ROLE_NOTIFICATION:
            print(event.source.name, flush=True)
            pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(said, "object:state-changed:showing")
    # Applications learn of a new listener over the bus; give them a moment.
    GLib.timeout_add(500, lambda: print("ready", flush=True) and False)
    GLib.timeout_add_seconds(seconds, lambda: pyatspi.Registry.stop() and False)
    pyatspi.Registry.start()


if __name__ == "__main__":
    if sys.argv[1] == "tree":
        print(json.dumps(tree(sys.argv[2])))
    else:
        announcements(int(sys.argv[2]))
