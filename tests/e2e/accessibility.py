#!/usr/bin/python3
# Reads the running program's controls over AT-SPI, as a screen reader does, and checks what it is told:
# the names of the lists, the search field and the "x"; that neither the import's hidden second list
# nor the list's hidden columns are there; that a favourite number is announced; and that the
# "source" toggle's action shows the source.
# Usage: accessibility.py STEP TITLE [ROWS]  (main: the main window; detail: the detail window, already
# open; rows: the main window's list holds ROWS contacts)
#        accessibility.py shown TITLE COUNT NAME...  (the count beside the filter reads COUNT and the list
# shows the contacts NAME..., in this order)
#        accessibility.py column TITLE HEADING TEXT...  (the list has a column HEADING, its cells read TEXT...)
import sys
import time

import pyatspi


def app():
    for _ in range(150):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            candidate = desktop.getChildAtIndex(i)
            if candidate is not None and candidate.name.lower() == "tovanel":
                return candidate
        time.sleep(0.2)
    sys.exit("FAIL: the program is not on the accessibility bus")


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    # Table cells are many and need no walk; the table itself is enough.
    if node.getRole() == pyatspi.ROLE_TABLE:
        return
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def frame(title_part):
    for _ in range(150):
        for i in range(app().childCount):
            window = app().getChildAtIndex(i)
            if title_part in window.name and window.getState().contains(pyatspi.STATE_SHOWING):
                return window
        time.sleep(0.2)
    sys.exit(f"FAIL: no window titled with {title_part!r}")


def named(window, role):
    return [node.name for node in walk(window) if node.getRole() == role]


failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def main_window(title):
    window = frame(title)
    tables = [node for node in walk(window) if node.getRole() == pyatspi.ROLE_TABLE]
    check([t.name for t in tables] == ["Kontakte"], f"one table, named Kontakte: {[t.name for t in tables]}")
    check("Name suchen" in named(window, pyatspi.ROLE_TEXT), "search field named Name suchen")
    labels = [node.name for node in walk(window) if node.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC)]
    check("Sortierung aufheben" in labels, f"the x named Sortierung aufheben: {labels}")
    if tables:
        table = tables[0].queryTable()
        headings = [table.getColumnDescription(c) for c in range(table.nColumns)]
        check(headings == ["Name", "Firma", "Tel-Mobil", "Tel-Privat", "Tel-Arbeit", "e-mail"],
              f"the shown columns only: {headings}")
        favourites = []
        for row in range(table.nRows):
            for column in range(table.nColumns):
                cell = table.getAccessibleAt(row, column)
                if cell is not None and cell.description == "Favorit":
                    favourites.append(cell.name)
        check(favourites == ["0171 1234567", "089 998877", "040 777888"], f"favourite numbers announced: {favourites}")


def row_count(title, expected):
    tables = [node for node in walk(frame(title)) if node.getRole() == pyatspi.ROLE_TABLE]
    rows = tables[0].queryTable().nRows if tables else None
    check(rows == expected, f"{expected} contacts listed: {rows}")


def shown(title, count, names):
    window = frame(title)
    # The list follows the typed keys, or a menu item, a moment later.
    for _ in range(50):
        labels = [n.name for n in walk(window) if n.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC)]
        tables = [node for node in walk(window) if node.getRole() == pyatspi.ROLE_TABLE]
        table = tables[0].queryTable() if tables else None
        rows = [table.getAccessibleAt(row, 0).name for row in range(table.nRows)] if table else None
        if count in labels and rows == names:
            break
        time.sleep(0.1)
    check(count in labels, f"the count reads {count!r}: {labels}")
    check(rows == names, f"the list shows {names}: {rows}")


def column(title, heading, texts):
    window = frame(title)
    # The column comes a moment after the menu item that adds it.
    for _ in range(50):
        tables = [node.queryTable() for node in walk(window) if node.getRole() == pyatspi.ROLE_TABLE]
        headings = [tables[0].getColumnDescription(c) for c in range(tables[0].nColumns)] if tables else []
        if heading in headings:
            break
        time.sleep(0.1)
    check(heading in headings, f"a column {heading!r}: {headings}")
    if heading in headings:
        at = headings.index(heading)
        cells = [tables[0].getAccessibleAt(row, at).name for row in range(tables[0].nRows)]
        check(cells == texts, f"the column {heading!r} reads {texts}: {cells}")


def detail_window(title):
    window = frame(title)
    check("Details" in [n.name for n in walk(window) if n.getRole() == pyatspi.ROLE_TABLE], "detail list named Details")
    toggles = [n for n in walk(window) if n.name == "source"]
    check(len(toggles) == 1, "one source toggle")
    if not toggles:
        return
    action = toggles[0].queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    index = names.index("toggle") if "toggle" in names else 0
    action.doAction(index)
    shown = False
    for _ in range(50):
        texts = [n for n in walk(window) if n.getRole() == pyatspi.ROLE_TEXT and n.getState().contains(pyatspi.STATE_SHOWING)]
        if any("BEGIN:VCARD" in n.queryText().getText(0, -1) for n in texts):
            shown = True
            break
        time.sleep(0.1)
    check(shown, f"the toggle action ({names[index]}) shows the source")


step, title = sys.argv[1], sys.argv[2]
if step == "rows":
    row_count(title, int(sys.argv[3]))
elif step == "shown":
    shown(title, sys.argv[3], sys.argv[4:])
elif step == "column":
    column(title, sys.argv[3], sys.argv[4:])
else:
    (main_window if step == "main" else detail_window)(title)
sys.exit(1 if failures else 0)
