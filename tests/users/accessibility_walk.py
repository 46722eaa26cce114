#!/usr/bin/python3
# Walks one application's objects on the accessibility bus and prints, one per line:
#   TOP <role>\t<name>\t<showing>   each top-level window
#   UNNAMED <role>\t<path>           a showing, focusable control without a name
#   FOCUSED <role>\t<name>\t<description>   each object that claims the focus
# Usage: accessibility_walk.py <process id>
import sys

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

pid = int(sys.argv[1])
desktop = Atspi.get_desktop(0)
app = None
for i in range(desktop.get_child_count()):
    child = desktop.get_child_at_index(i)
    if child is not None and child.get_process_id() == pid:
        app = child
        break
if app is None:
    print("NOAPP")
    sys.exit(0)

# Controls a learner can reach and act on; a focusable panel or scroll area is named too.
def walk(node, path, depth):
    if node is None or depth > 40:
        return
    states = node.get_state_set()
    role = node.get_role_name()
    name = node.get_name() or ""
    showing = states.contains(Atspi.StateType.SHOWING)
    if states.contains(Atspi.StateType.FOCUSED):
        description = (node.get_description() or "").replace("\n", " ")
        print("FOCUSED %s\t%s\t%s" % (role, name, description))
    if showing and states.contains(Atspi.StateType.FOCUSABLE) and not name.strip() \
            and role not in ("list item", "table cell", "tree item", "menu item", "page tab"):
        print("UNNAMED %s\t%s" % (role, path))
    if not showing and depth > 0:
        return
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        walk(child, path + "/" + (child.get_role_name() if child else "?"), depth + 1)

for i in range(app.get_child_count()):
    top = app.get_child_at_index(i)
    if top is None:
        continue
    showing = top.get_state_set().contains(Atspi.StateType.SHOWING)
    print("TOP %s\t%s\t%d" % (top.get_role_name(), top.get_name() or "", 1 if showing else 0))
    walk(top, top.get_role_name(), 0)
