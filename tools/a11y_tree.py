#!/usr/bin/env python3
"""Prints the accessible tree of a running application as a screen reader sees it.

Usage: a11y_tree.py NAME [BUTTON...]
NAME is the application name on the AT-SPI bus (tavlo). After the first listing,
each BUTTON (an accessible name, such as Options) is pressed through its action
interface and the tree is listed again, which shows the dialog it opened.
"""
import sys
import time

import pyatspi


def walk(node, depth, out):
    try:
        role = node.getRoleName()
        name = node.name or ""
        desc = node.description or ""
        states = node.getState()
        flags = [s for s, st in (("focusable", pyatspi.STATE_FOCUSABLE),
                                 ("showing", pyatspi.STATE_SHOWING)) if states.contains(st)]
        text = ""
        try:
            t = node.queryText()
            text = t.getText(0, min(t.characterCount, 60))
        except NotImplementedError:
            pass
        line = "  " * depth + f"[{role}] {name!r}"
        if desc:
            line += f" desc={desc!r}"
        if text and text != name:
            line += f" text={text!r}"
        if flags:
            line += " (" + ",".join(flags) + ")"
        out.append(line)
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), depth + 1, out)
    except Exception as e:  # a node can vanish while we walk
        out.append("  " * depth + f"<error {e}>")


def find_app(want):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == want:
            return app
    return None


def find_button(node, name):
    if node.getRoleName() == "push button" and node.name == name:
        return node
    for i in range(node.childCount):
        found = find_button(node.getChildAtIndex(i), name)
        if found:
            return found
    return None


def main():
    want = sys.argv[1] if len(sys.argv) > 1 else "tavlo"
    app = find_app(want)
    if app is None:
        print(f"no application named {want!r} on the bus")
        return
    out = []
    walk(app, 0, out)
    print("\n".join(out))
    for button in sys.argv[2:]:
        node = find_button(app, button)
        if node is None:
            print(f"\n-- no button {button!r}")
            continue
        print(f"\n-- after pressing {button!r}:")
        node.queryAction().doAction(0)
        time.sleep(1.5)
        out = []
        walk(app, 0, out)
        print("\n".join(out))


if __name__ == "__main__":
    main()
