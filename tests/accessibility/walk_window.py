#!/usr/bin/python3
"""Walks the kvr7314 window as a screen reader sees it, over the AT-SPI bus.

Run by scripts/accessibility.sh inside a D-Bus session with Xvfb, a window
manager and the window itself (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1). Fails
when an interactive control that shows has no name, when Tab does not go
through the controls in reading order, or when Enter and Space on a focused
button do not press it; and, for the demo, when the view of the simulated
module has no name or a description that does not follow what it shows.
For the fleet window (on four simulated modules whose frame listings are in
FOLDER), when two controls share a name, when its rows do not name the
modules, or when "Controleren" and "Bijwerken" do not do what they say.

    walk_window.py window | demo | fleet FOLDER
"""

import os
import subprocess
import sys
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import simframes  # noqa: E402  (tests/simframes.py)

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_LIST,
}

# Reading order: the frames row by row and left to right, each frame's
# controls in their order (the FLEX layout; the RI-code box is hidden).
TAB_ORDER = (
    [f"Alias {n}" for n in range(1, 17)]
    + ["relaisuitgang", "wis de melding op de lichtkrant", "wis de melding op het LCD",
       "achtergrondverlichting LCD", "scrollen regel 3 en 4 LCD", "standaard tijden"]
    + [f"LED-kleur {part}: {colour}" for part in ("alias", "melding", "koppeltekst")
       for colour in ("rood", "groen", "geel")]
    + [f"Loopsnelheid lichtkrant: {n}" for n in range(1, 6)]
    + ["standaard tekst LCD in rust", "Tekst LCD in rust", "standaard koppeltekst", "Koppeltekst"]
    + [f"COM {n}" for n in range(1, 5)]
    + ["capcode", "testbericht", "verstuur test", "geen netwerk", "FLEX", "POCSAG",
       "openen", "opslaan", "printen", "lezen", "schrijven", "Infoscherm", "Afsluiten"]
)

# The fleet window's reading order, while nothing runs ("Stoppen" is off).
FLEET_TAB_ORDER = [
    "Lijst openen...", "Modules", "Controleren", "Bijwerken", "Schrijven", "Lezen", "Zoeken", "Terugzetten",
    "Opnieuw", "Bevindingen en logboek", "Samenvatting opslaan...", "Rapport opslaan...", "Afsluiten",
]
FLEET_ROWS = ["Post noord", "Post zuid", "Post west", "Post duin"]

failures = []


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def application(name, timeout=30):
    end = time.time() + timeout
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.5)
    sys.exit(f"no application {name} on the accessibility bus")


def descendants(acc):
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def frame_named(app, prefix):
    for i in range(app.childCount):
        frame = app.getChildAtIndex(i)
        if frame is not None and frame.name.startswith(prefix):
            return frame
    return None


def wait_for(condition, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.2)
    return False


def focused(app):
    # A table's cell keeps its focused state in the bus's cache once the
    # focus has left the table (a screen reader follows the focus events,
    # not the states): the table's cells count only while the table has it.
    candidates = [acc for acc in descendants(app) if acc.getState().contains(pyatspi.STATE_FOCUSED)]
    controls = [acc for acc in candidates if acc.getRole() != pyatspi.ROLE_TABLE_CELL]
    return controls[0] if controls else (candidates[0] if candidates else None)


def spoken_name(acc):
    """What a screen reader says for a control: an editable combo box's
    name is the code it holds, so the label it is labelled by goes first."""
    if acc.getRole() == pyatspi.ROLE_COMBO_BOX:
        for relation in acc.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and relation.getNTargets() > 0:
                return relation.getTarget(0).name
    return acc.name


def key(name):
    subprocess.run(["xdotool", "key", name], check=True)
    time.sleep(0.3)


def check_names(app):
    unnamed = [f"{acc.getRoleName()} in {acc.parent.name!r}" for acc in descendants(app)
               if acc.getRole() in INTERACTIVE and showing(acc) and not acc.name.strip()
               and acc.parent.getRole() != pyatspi.ROLE_COMBO_BOX]
    for control in unnamed:
        fail(f"no name: {control}")
    print(f"names: {len(unnamed)} interactive control(s) without a name")


def check_tab_order(app, tab_order=TAB_ORDER):
    if not wait_for(lambda: focused(app) is not None):
        fail("no control has the focus")
        return
    order = []
    for _ in range(len(tab_order) + 1):
        order.append(spoken_name(focused(app)))
        key("Tab")
    start = order.index(tab_order[0]) if tab_order[0] in order else 0
    seen = (order[start:] + order[:start])[:len(tab_order)]
    if seen != tab_order:
        for n, (want, got) in enumerate(zip(tab_order, seen)):
            if want != got:
                fail(f"Tab stop {n + 1} is {got!r}, not {want!r}")
                break
    print(f"tab order: {len(seen)} stops checked")


def tab_to(app, name, tab_order=TAB_ORDER):
    for _ in range(len(tab_order) + 1):
        if focused(app) is not None and spoken_name(focused(app)) == name:
            return True
        key("Tab")
    return False


def check_buttons_press(app):
    # Enter on "Infoscherm" opens the info window; Space on its focused
    # "dit venster sluiten" closes it again.
    if not tab_to(app, "Infoscherm"):
        fail("Tab never reaches Infoscherm")
        return
    key("Return")
    if not wait_for(lambda: frame_named(app, "Infopagina") is not None):
        fail("Enter on a focused button does not press it")
        return
    key("space")
    if not wait_for(lambda: frame_named(app, "Infopagina") is None):
        fail("Space on a focused button does not press it")
        return
    print("buttons: Enter and Space press the focused button")


def check_demo_view(app):
    name = "Weergave van de gesimuleerde KVR7314"
    wait_for(lambda: frame_named(app, name) is not None)
    view = frame_named(app, name)
    if view is None:
        fail("the view of the simulated module has no name")
        return
    before = view.description
    main = frame_named(app, "KVR7314 - Versie")
    button = next(acc for acc in descendants(main) if acc.name == "verstuur test")
    button.queryAction().doAction(0)
    if not before or not wait_for(lambda: view.description != before and "TESTOPROEP" in view.description):
        fail(f"the view's description does not follow the test call: {view.description!r}")
        return
    print(f"demo view: {view.description!r}")


def check_unique_names(app):
    names = [acc.name for acc in descendants(app)
             if acc.getRole() in INTERACTIVE | {pyatspi.ROLE_TABLE} and showing(acc) and acc.name.strip()]
    shared = sorted({name for name in names if names.count(name) > 1})
    for name in shared:
        fail(f"two controls are named {name!r}")
    print(f"names: {len(names)} named controls, {len(shared)} name(s) shared")


def programming_frames(folder, module):
    return simframes.programming_frames(os.path.join(folder, f"{module}.sim"))


def table_rows(table):
    cells = table.queryTable()
    return [[cells.getAccessibleAt(row, column).name for column in range(cells.nColumns)]
            for row in range(cells.nRows)]


def press(app, name):
    button = next((acc for acc in descendants(app) if acc.name == name and acc.getRole() == pyatspi.ROLE_PUSH_BUTTON), None)
    if button is None:
        fail(f"no button {name!r}")
        return False
    button.queryAction().doAction(0)
    return True


def check_fleet(app, folder):
    table = next((acc for acc in descendants(app) if acc.getRole() == pyatspi.ROLE_TABLE), None)
    if table is None or table.name != "Modules":
        fail("the fleet window has no table named Modules")
        return
    names = [row[0] for row in table_rows(table)]
    if names != FLEET_ROWS:
        fail(f"the rows name {names}, not {FLEET_ROWS}")
        return
    print(f"rows: {names}")

    # "Controleren": the one that differs and the silent one, nothing written.
    press(app, "Controleren")
    outcomes = lambda: [row[5] for row in table_rows(table)]
    if not wait_for(lambda: all(outcomes()), 30):
        fail(f"Controleren did not end: {outcomes()}")
        return
    if outcomes() != ["in orde", "in orde", "wijkt af", "mislukt"]:
        fail(f"Controleren ended with {outcomes()}")
    for module in ("noord", "zuid", "west", "duin"):
        if programming_frames(folder, module):
            fail(f"Controleren sent post {module} a programming frame")
    print(f"Controleren: {outcomes()}, no programming frame")

    # "Bijwerken" asks first, as a modal dialog; the keyboard presses it,
    # since a screen reader's action would wait for the dialog to close.
    if not tab_to(app, "Bijwerken", FLEET_TAB_ORDER):
        fail("Tab never reaches Bijwerken")
        return
    key("Return")
    if not wait_for(lambda: any(acc.name == "1 module bijwerken?" for acc in descendants(app)), 10):
        fail("Bijwerken did not ask \"1 module bijwerken?\"")
        return
    press(app, "Ja")
    if not wait_for(lambda: outcomes() == ["in orde", "in orde", "in orde", "mislukt"], 40):
        fail(f"Bijwerken ended with {outcomes()}")
        return
    reference = programming_frames(folder, "referentie")
    if len(reference) != 26 or programming_frames(folder, "west") != reference:
        fail("post west did not take the file's 26 frames byte for byte")
    for module in ("noord", "zuid", "duin"):
        if programming_frames(folder, module):
            fail(f"Bijwerken wrote post {module}, which it should have left alone")
    print("Bijwerken: asked, then wrote exactly post west, 26 frames byte for byte; it shows in orde")


def main():
    which = sys.argv[1]
    if which == "fleet":
        app = application("kvr7314-fleet")
        window = frame_named(app, "KVR7314 vloot")
        if window is None or not wait_for(lambda: showing(window)):
            sys.exit("the fleet window does not show")
        check_names(app)
        check_unique_names(app)
        check_tab_order(app, FLEET_TAB_ORDER)
        check_fleet(app, sys.argv[2])
        if failures:
            sys.exit(f"{len(failures)} accessibility failure(s)")
        print("accessibility of the fleet window: passed")
        return
    program = "kvr7314" if which == "window" else "kvr7314-demo"
    app = application(program)
    window = frame_named(app, "KVR7314 - Versie")
    if window is None or not wait_for(lambda: showing(window)):
        sys.exit("the main window does not show")
    check_names(app)
    if which == "window":
        check_tab_order(app)
        check_buttons_press(app)
    else:
        check_demo_view(app)
        check_names(app)
    if failures:
        sys.exit(f"{len(failures)} accessibility failure(s)")
    print(f"accessibility of the {which}: passed")


main()
