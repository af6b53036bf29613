#!/usr/bin/python3
"""arkiva's entries in the real file managers, as a user meets them.

Each manager runs under its own Xvfb with a fresh HOME and a D-Bus session of
its own (with the accessibility bus). The check opens the test folder in list
view, right-clicks the folder and then the file, finds "Create tar.xz" in the
menu through AT-SPI, chooses it, and checks the archives: xz -t, and the
contents equal to what was selected. Then it selects two files (a click, a
Ctrl-click) and chooses "Create one tar.xz", which must make one archive of
both (where a manager can wait for two items, that entry must not be in the
menu of one). In the Trash it checks that no entry shows. It kills only the
processes it started, by their ids.

  managers.py ARKIVA [--package] [--language LANG] [MANAGER...]

ARKIVA is the program whose per-user entries are set up in each fresh home
(a plain start); with --package, the installed package's entries are used
and the plain start only adds what the package leaves to the user. With
--language, the session and the setup are in that language (de_DE.UTF-8),
and the check chooses the entry by its label there.
Runs with Debian's python3 (python3-pyatspi). Dolphin does not join the
accessibility bus in these sessions: it is opened with the item selected,
its menu opened with the Menu key, and the menu read from a screenshot by
tesseract, whose boxes give the entry's place to click.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

FOLDER = 'My "Photos" $HOME'
FILE = "notes \u2713.txt"
# Two files of their own for "Create one tar.xz", chosen on both at once.
PAIR = ("pair a.txt", "pair b.txt")
# The session's language (the outer run passes it to the inner one), and
# what the user sees in it: the label, the scripts' name, the menus holding
# them.
LANGUAGE = os.environ.get("ARKIVA_SESSION_LANG", "C.UTF-8")
WORDS = {
    "C.UTF-8": ("Create tar.xz", "Create tar.xz archive", "Scripts", "Caja-Actions actions",
                "Rename...", "Restore", "Create one tar.xz", "Create one tar.xz archive"),
    "de_DE.UTF-8": ("tar.xz erstellen", "tar.xz-Archiv erstellen", "Skripte",
                    "Caja-Actions-Aktionen", "Umbenennen ...", "Wiederherstellen",
                    "Ein tar.xz erstellen", "Ein tar.xz-Archiv erstellen"),
}
LABEL, SCRIPT, SCRIPTS_MENU, ACTIONS_MENU, RENAME, RESTORE, ONE_LABEL, ONE_SCRIPT = WORDS[LANGUAGE]
TRASHED = "trashed.txt"

CAJA_ACTIONS = "/usr/lib/x86_64-linux-gnu/caja/extensions-2.0/libcaja-actions-menu.so"

# name: (command, AT-SPI application name, whether an entry in the Trash
# fails the check). caja-actions shows file-manager actions in the Trash
# whatever their conditions (Schemes= would keep them out, but crashes
# PCManFM); choosing it there gives arkiva the trashed file's own path.
MANAGERS = {
    "thunar": (["thunar"], "thunar", True),
    "pcmanfm": (["pcmanfm"], "pcmanfm", True),
    "nemo": (["nemo"], "nemo", True),
    "caja": (["caja", "--no-desktop"], "caja", False),
    "nautilus": (["nautilus", "--new-window"], "org.gnome.Nautilus", True),
    "dolphin": (["dolphin"], "dolphin", True),
}


def entry_path(name, package):
    """Where the user finds the entry: the submenu, if any, and the label."""
    if name == "nautilus" and not package:
        return SCRIPTS_MENU, SCRIPT
    if name == "caja":
        if os.path.exists(CAJA_ACTIONS):
            return ACTIONS_MENU, LABEL
        return SCRIPTS_MENU, SCRIPT
    return None, LABEL


class Failure(Exception):
    pass


def log(*words):
    print(*words, flush=True)


# ---------------------------------------------------------------- the outer run


def fresh_home(root, name):
    home = os.path.join(root, name)
    os.makedirs(os.path.join(home, "run"), mode=0o700)
    os.makedirs(os.path.join(home, ".local/share"))  # as in every home: the Trash goes there
    items = os.path.join(home, "items")
    os.makedirs(os.path.join(items, FOLDER, "inside"))
    with open(os.path.join(items, FOLDER, "inside", "a.txt"), "w") as f:
        f.write("in the folder\n")
    with open(os.path.join(items, FILE), "w") as f:
        f.write("a file of notes\n" * 100)
    for name in PAIR:
        with open(os.path.join(items, name), "w") as f:
            f.write(name + "\n")
    # List views, whose rows AT-SPI shows by name. PCManFM keeps its icon
    # view: GTK 2's bridge hangs it in list view; its icons have no names,
    # but come in order, the folder first.
    config = os.path.join(home, ".config")
    os.makedirs(os.path.join(config, "xfce4/xfconf/xfce-perchannel-xml"))
    with open(os.path.join(config, "xfce4/xfconf/xfce-perchannel-xml/thunar.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<channel name="thunar" version="1.0">\n'
                '  <property name="last-view" type="string" value="ThunarDetailsView"/>\n'
                '  <property name="misc-show-delete-action" type="bool" value="true"/>\n'
                '</channel>\n')
    os.makedirs(os.path.join(config, "glib-2.0/settings"))
    with open(os.path.join(config, "glib-2.0/settings/keyfile"), "w") as f:
        for schema in ("org/gnome/nautilus/preferences", "org/nemo/preferences",
                       "org/mate/caja/preferences"):
            f.write("[%s]\ndefault-folder-viewer='list-view'\n" % schema)
    return home


def environment(home, display):
    env = {
        "PATH": "/usr/local/bin:/usr/bin:/bin",
        "HOME": home,
        "XDG_RUNTIME_DIR": os.path.join(home, "run"),
        "DISPLAY": display,
        "LANG": LANGUAGE,
        "LANGUAGE": LANGUAGE.split("_")[0] if LANGUAGE != "C.UTF-8" else "",
        "ARKIVA_SESSION_LANG": LANGUAGE,
        "GSETTINGS_BACKEND": "keyfile",
        "QT_ACCESSIBILITY": "1",
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        "QT_QPA_PLATFORM": "xcb",
    }
    if os.environ.get("ARKIVA_SHOTS"):
        env["ARKIVA_SHOTS"] = os.path.abspath(os.environ["ARKIVA_SHOTS"])
    return env


def archived(items):
    """Both archives are whole and hold exactly what was selected."""
    folder = os.path.join(items, FOLDER)
    out = tempfile.mkdtemp()
    try:
        subprocess.run(["xz", "-t", folder + ".tar.xz", os.path.join(items, FILE) + ".xz"],
                       check=True)
        subprocess.run(["tar", "-xJf", folder + ".tar.xz", "-C", out], check=True)
        subprocess.run(["diff", "-r", os.path.join(out, FOLDER), folder], check=True)
        data = subprocess.run(["xz", "-dc", os.path.join(items, FILE) + ".xz"], check=True,
                              capture_output=True).stdout
        if data != ("a file of notes\n" * 100).encode():
            raise Failure("the file's archive holds other bytes")
    except subprocess.CalledProcessError as e:
        raise Failure("the archives are not sound: %s" % e)
    finally:
        shutil.rmtree(out)


def run_manager(root, name, arkiva, package, display_number):
    command, app, trash = MANAGERS[name]
    home = fresh_home(root, name)
    display = ":%d" % display_number
    env = environment(home, display)
    if name == "pcmanfm":
        env["GTK_MODULES"] = "gail:atk-bridge"  # GTK 2; later GTKs have it built in
    # With the package, only users of the managers that need an entry of
    # their own start arkiva once (GNOME Files' to see that it adds no
    # second one); the others have never set up.
    if not package or name in ("thunar", "caja", "nautilus"):
        # A plain start, without a display: the user's own entries.
        setup_env = dict(env, DISPLAY="")
        subprocess.run([arkiva], env=setup_env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists("/tmp/.X11-unix/X%d" % display_number):
                break
            time.sleep(0.05)
        inner = [sys.executable, os.path.abspath(__file__), "--inner", name, home]
        if package:
            inner.append("--package")
        result = subprocess.run(["dbus-run-session", "--"] + inner, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                timeout=240)
        said = result.stdout
        if result.returncode != 0:
            why = [line[6:] for line in said.splitlines() if line.startswith("FAIL: ")]
            raise Failure(why[0] if why else "the session ended with %d" % result.returncode)
        archived(os.path.join(home, "items"))
        if package and os.path.exists(os.path.join(home, ".config/arkiva")) and name not in (
                "thunar", "caja", "nautilus"):
            raise Failure("a start from the entry wrote arkiva's store into the home")
        return [line for line in said.splitlines() if line.startswith("seen:")]
    finally:
        xvfb.terminate()
        xvfb.wait()


def outer(argv):
    global LANGUAGE, LABEL, SCRIPT, SCRIPTS_MENU, ACTIONS_MENU, RENAME, RESTORE, ONE_LABEL, ONE_SCRIPT
    arkiva = os.path.abspath(argv[0])
    keep = os.environ.get("ARKIVA_KEEP_HOMES")
    package = "--package" in argv
    if "--language" in argv:
        LANGUAGE = argv[argv.index("--language") + 1]
        (LABEL, SCRIPT, SCRIPTS_MENU, ACTIONS_MENU, RENAME, RESTORE, ONE_LABEL,
         ONE_SCRIPT) = WORDS[LANGUAGE]
        log("in", LANGUAGE)
    names = [a for a in argv[1:] if a in MANAGERS] or list(MANAGERS)
    root = tempfile.mkdtemp(prefix="arkiva-managers.")
    failed = 0
    try:
        for number, name in enumerate(names):
            start = time.time()
            try:
                seen = run_manager(root, name, arkiva, package, 70 + number)
                log("ok      %-9s %5.1f s  %s" % (name, time.time() - start,
                                                  "; ".join(s[6:] for s in seen)))
            except (Failure, subprocess.TimeoutExpired) as e:
                failed += 1
                log("FAILED  %-9s %5.1f s  %s" % (name, time.time() - start, e))
    finally:
        if keep:
            log("homes kept in", root)
        else:
            shutil.rmtree(root, ignore_errors=True)
    return 1 if failed else 0


# ---------------------------------------------------------------- inside the session


def registered(app_name, seconds):
    """Whether the application joins the accessibility bus in time. Asked by
    a fresh process each time: a process's view of the bus does not learn of
    a Qt application that joins after it first looked."""
    probe = ("import pyatspi, sys\n"
             "sys.exit(0 if any(a is not None and a.name.lower() == %r for a in "
             "pyatspi.Registry.getDesktop(0)) else 1)\n" % app_name.lower())
    deadline = time.time() + seconds
    while time.time() < deadline:
        if subprocess.run([sys.executable, "-c", probe], stderr=subprocess.DEVNULL).returncode == 0:
            return True
        time.sleep(0.5)
    return False


def screen_lines(shot):
    """The lines of text tesseract reads on a screenshot, each a list of
    words (text, left, top, right, bottom) in the screen's pixels. The shot
    is read at three times its size: a menu's small type is read badly at
    its own."""
    big = shot[:-4] + "-big.png"
    subprocess.run(["convert", shot, "-colorspace", "Gray", "-resize", "300%", big], check=True)
    tsv = subprocess.run(["tesseract", big, "-", "tsv"], capture_output=True, text=True).stdout
    lines = {}
    for row in tsv.splitlines()[1:]:
        f = row.split("\t")
        if len(f) == 12 and f[11].strip():
            left, top, width, height = (int(v) // 3 for v in f[6:10])
            lines.setdefault((f[2], f[3], f[4]), []).append((f[11], left, top, left + width,
                                                             top + height))
    return list(lines.values())


def letters(text):
    return "".join(c for c in text.lower() if c.isalnum())


def places_of(lines, phrase):
    """The centre of each run of words that reads `phrase` (letters and
    digits only: OCR's punctuation is the least sure)."""
    places = []
    for words in lines:
        for first in range(len(words)):
            for last in range(first, len(words)):
                run = words[first:last + 1]
                if letters("".join(w[0] for w in run)) == letters(phrase):
                    places.append(((run[0][1] + run[-1][3]) // 2,
                                   (min(w[2] for w in run) + max(w[4] for w in run)) // 2))
    return places


def texts(lines):
    return [" ".join(w[0] for w in words) for words in lines]


def inner_dolphin(home, package):
    """Dolphin, driven by the keyboard and read by OCR."""
    items = os.path.join(home, "items")
    manager_log = open(os.path.join(home, "session.log"), "a")

    def close(window):
        os.killpg(window.pid, signal.SIGTERM)
        window.wait(10)

    def menu_of(target, kind):
        """Opens a window with `target` selected and its menu with the Menu
        key: the menu's lines, once they show `kind` (an entry of the item's
        menu that the folder's own lacks), and the window. The selection
        comes some time after the window, and Escape would undo it: a menu
        without `kind` is the folder's, and a new window waits longer."""
        shot = os.path.join(home, "menu.png")
        for wait in (2, 4, 8):
            window = subprocess.Popen(["dolphin", "--select", target], stdout=manager_log,
                                      stderr=manager_log, start_new_session=True)
            shown = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--classname",
                                    "dolphin"], stdout=subprocess.PIPE, text=True, timeout=60)
            time.sleep(wait)
            # The keys go to the newest window, whatever a run before left
            # with the focus (there is no window manager to give it back).
            newest = shown.stdout.split()[-1:]
            subprocess.run(["xdotool", "windowfocus", "--sync"] + newest + ["key", "Menu"],
                           check=True, timeout=30)
            time.sleep(1)
            subprocess.run(["import", "-window", "root", shot], check=True)
            lines = screen_lines(shot)
            if shown.returncode == 0 and places_of(lines, kind):
                return lines, window
            close(window)
        shutil.copy(shot, "/tmp/arkiva-dolphin-menu.png")
        raise Failure("dolphin: no menu with %r on %r, but %s" % (
            kind, os.path.basename(target), texts(lines)))

    def end_session_services():
        """What the session's bus started for Dolphin (kactivitymanagerd,
        kglobalaccel) would hold the session's output open after its end."""
        bus = ("DBUS_SESSION_BUS_ADDRESS=%s" % os.environ["DBUS_SESSION_BUS_ADDRESS"]).encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if int(pid) != os.getpid() and bus in f.read().split(b"\0"):
                        os.kill(int(pid), signal.SIGTERM)
            except (OSError, ProcessLookupError):
                pass

    def choose_entry(item, target_archive):
        lines, window = menu_of(os.path.join(items, item), RENAME)
        try:
            entries = places_of(lines, LABEL)
            if len(entries) != 1:
                raise Failure("dolphin: %d entries in the menu of %r, which reads %s" % (
                    len(entries), item, texts(lines)))
            print("seen: %s on %s" % (LABEL, "folder" if item == FOLDER else "file"), flush=True)
            x, y = entries[0]
            subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)
            deadline = time.time() + 60
            while time.time() < deadline and not os.path.exists(target_archive):
                time.sleep(0.2)
            if not os.path.exists(target_archive):
                raise Failure("dolphin: no %s" % os.path.basename(target_archive))
            # Until the file's archive is whole and xz has removed the file.
            while item == FILE and os.path.exists(os.path.join(items, FILE)) and \
                    time.time() < deadline:
                time.sleep(0.2)
        finally:
            close(window)

    try:
        choose_entry(FOLDER, os.path.join(items, FOLDER + ".tar.xz"))
        choose_entry(FILE, os.path.join(items, FILE + ".xz"))
        trashed = os.path.join(items, TRASHED)
        with open(trashed, "w") as f:
            f.write("trashed\n")
        subprocess.run(["gio", "trash", trashed], check=True)
        lines, window = menu_of("trash:/0-" + TRASHED, RESTORE)  # trash id 0: the home's Trash
        close(window)
        if places_of(lines, LABEL):
            raise Failure("dolphin: the entry shows in the Trash: %s" % texts(lines))
        print("seen: no entry in the Trash", flush=True)
    except Failure as e:
        print("FAIL: %s" % e, flush=True)
        return 1
    finally:
        end_session_services()
    return 0


def inner(name, home, package):
    if name == "dolphin":
        return inner_dolphin(home, package)
    command, app_name, trash = MANAGERS[name]
    submenu, label = entry_path(name, package)
    one_label = ONE_SCRIPT if label == SCRIPT else ONE_LABEL
    # Where "Create one tar.xz" can wait for two items, it is not in the menu
    # of one (a script cannot wait).
    hides_one = name in ("thunar", "nemo") or (name == "nautilus" and package)
    items = os.path.join(home, "items")
    started = []

    manager_log = open(os.path.join(home, "session.log"), "a")

    def start(args):
        process = subprocess.Popen(args, stdout=manager_log, stderr=manager_log,
                                   start_new_session=True)
        started.append(process)
        return process

    def walk(node, depth=0):
        if node is None or depth > 50:
            return
        yield node
        try:
            for child in node:
                yield from walk(child, depth + 1)
        except Exception:
            return

    def application():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name.lower() == app_name.lower():
                return app
        return None

    def showing(node):
        # GTK 4 says "visible" where the others say "showing".
        try:
            state = node.getState()
            if state.contains(pyatspi.STATE_SHOWING):
                return True
            extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            return (state.contains(pyatspi.STATE_VISIBLE) and extents.width > 0 and
                    extents.height > 0)
        except Exception:
            return False

    def find(test, seconds=20):
        deadline = time.time() + seconds
        while time.time() < deadline:
            app = application()
            if app is not None:
                for node in walk(app):
                    try:
                        if test(node):
                            return node
                    except Exception:
                        pass
            time.sleep(0.3)
        return None

    def center(node):
        extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return extents.x + extents.width // 2, extents.y + extents.height // 2

    def click(node, button):
        x, y = center(node)
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", str(button)], check=True)

    def choose(item):
        """A menu item chosen through its own action: GTK 4 gives a popover's
        items the main window's origin, so their extents cannot be clicked."""
        try:
            action = item.queryAction()
            if action.nActions > 0:
                action.doAction(0)
                return
        except NotImplementedError:
            pass
        click(item, 1)

    def is_row(node, text):
        return (node.name == text and
                node.getRoleName() in ("table cell", "icon", "list item", "tree item", "label") and
                showing(node))

    def in_menu_bar(node):
        while node is not None:
            if node.getRoleName() == "menu bar":
                return True
            node = node.parent
        return False

    def menu_items(text=None):
        """The items of the open context menu and its open submenus."""
        app = application()
        return [n for n in walk(app) if n.getRoleName() in ("menu item", "menu") and
                (text is None or n.name == text) and showing(n) and
                not in_menu_bar(n)] if app else []

    def shown_icons():
        app = application()
        return [n for n in walk(app) if n.getRoleName() == "icon" and showing(n) and
                n.parent is not None and n.parent.getRoleName() == "layered pane"] if app else []

    def find_row(item, seconds=20):
        if name == "pcmanfm":
            # PCManFM's order: folders first, then by name. Its icons have no
            # names, so an icon is picked by its place, once the view shows
            # as many as the folder holds and has settled (the same places
            # twice running): an archive that has just appeared moves the
            # icons after it.
            deadline = time.time() + seconds
            last = None
            while time.time() < deadline:
                names = sorted((n for n in os.listdir(items) if not n.startswith(".")), key=lambda n: (
                    not os.path.isdir(os.path.join(items, n)), n.casefold()))
                icons = shown_icons()
                places = [center(icon) for icon in icons]
                in_trash = item not in names  # the Trash shows one
                if icons and (in_trash or len(icons) == len(names)) and places == last:
                    return icons[0 if in_trash else names.index(item)]
                last = places
                time.sleep(0.3)
            return None
        return find(lambda n: is_row(n, item), seconds)

    def context_menu(item):
        row = find_row(item)
        if row is None:
            raise Failure("%s: no row for %r" % (name, item))
        click(row, 1)
        time.sleep(0.5)
        click(row, 3)
        time.sleep(1.0)

    def entry_in_menu(text):
        """The open context menu's item `text`, in the entries' submenu
        where they have one; None when it is not there."""
        if submenu:
            opener = find(lambda n: n.name == submenu and showing(n) and
                          n.getRoleName() in ("menu item", "menu") and not in_menu_bar(n), 5)
            if opener is None:
                raise Failure("%s: no %s menu" % (name, submenu))
            choose(opener)
            time.sleep(0.8)
        return find(lambda n: n.name == text and showing(n) and
                    n.getRoleName() in ("menu item", "menu") and not in_menu_bar(n), 5)

    def shoot(picture):
        """The screen, for the README's pictures (ARKIVA_SHOTS, set by
        ./dev.sh screenshots)."""
        shots = os.environ.get("ARKIVA_SHOTS")
        if shots:
            subprocess.run(["import", "-window", "root", os.path.join(shots, picture)], check=True)

    def close_menu(picture):
        """What the open menu holds; the screen kept in /tmp for a failure,
        and the menu closed."""
        seen = [n.name for n in menu_items()]
        subprocess.run(["import", "-window", "root", "/tmp/arkiva-%s" % picture])
        subprocess.run(["xdotool", "key", "Escape"])
        time.sleep(1)
        return seen

    def choose_entry(item, target_archive):
        for attempt in range(3):
            context_menu(item)
            entry = entry_in_menu(label)
            if entry is not None:
                if name == "nautilus" and package and menu_items(SCRIPTS_MENU):
                    raise Failure("nautilus: a Scripts menu beside the package's entry")
                if hides_one and menu_items(one_label):
                    raise Failure("%s: %r in the menu of one item" % (name, one_label))
                entries = menu_items(LABEL) + menu_items(SCRIPT)
                if len(entries) != 1:
                    raise Failure("%s: %d entries in one menu: %s" % (name, len(entries), [
                        (n.name, n.parent.name, n.parent.getRoleName()) for n in entries]))
                print("seen: %s on %s" % (label, "folder" if item == FOLDER else "file"),
                      flush=True)
                if item == FOLDER:
                    shoot("%s-menu.png" % name)
                choose(entry)
                break
            seen = close_menu("%s-menu.png" % name)
        else:
            raise Failure("%s: no %r in the menu of %r, which holds %s" % (name, label, item, seen))
        deadline = time.time() + 60
        while time.time() < deadline and not os.path.exists(target_archive):
            time.sleep(0.2)
        time.sleep(1)
        if not os.path.exists(target_archive):
            raise Failure("%s: no %s" % (name, os.path.basename(target_archive)))

    def choose_one_archive():
        """Both files of PAIR selected (a click, then a Ctrl-click) and
        "Create one tar.xz" chosen: one archive of the two, named after their
        folder. Not in GNOME Files: its list (GTK 4) names no row by its
        item, and a click there while the archives just made redraw it can
        leave the earlier selection in place (seen in CI: the folder and the
        second file); tests/nautilus_test.cc checks its module's item."""
        if name == "nautilus":
            return
        target = os.path.join(items, os.path.basename(items) + ".tar.xz")
        for attempt in range(3):
            # The rows where they have settled: the archives just made move
            # them (GNOME Files redraws its list a moment later).
            places = None
            for _ in range(20):
                rows = [find_row(item) for item in PAIR]
                if None in rows:
                    raise Failure("%s: no rows for %s" % (name, PAIR))
                now = [center(row) for row in rows]
                if now == places:
                    break
                places = now
                time.sleep(0.5)
            click(rows[0], 1)
            time.sleep(0.5)
            subprocess.run(["xdotool", "keydown", "ctrl"], check=True)
            click(rows[1], 1)
            subprocess.run(["xdotool", "keyup", "ctrl"], check=True)
            time.sleep(0.5)
            # Both selected, and nothing else, where the rows named by the
            # items tell their selection (PCManFM's nameless icons do not):
            # else once more.
            names = set(os.listdir(items))
            selected = [n.name for n in walk(application()) if n.name in names and showing(n) and
                        is_row(n, n.name) and n.getState().contains(pyatspi.STATE_SELECTED)]
            if selected and sorted(set(selected)) != list(PAIR):
                subprocess.run(["import", "-window", "root", "/tmp/arkiva-%s-pair.png" % name])
                seen = ["selected: %s" % selected]
                time.sleep(1)
                continue
            click(rows[1], 3)
            time.sleep(1.0)
            entry = entry_in_menu(one_label)
            if entry is not None:
                print("seen: %s on two files" % one_label, flush=True)
                shoot("%s-one-menu.png" % name)
                choose(entry)
                break
            seen = close_menu("%s-one-menu.png" % name)
        else:
            raise Failure("%s: no %r in the menu of two files, which holds %s" % (
                name, one_label, seen))
        deadline = time.time() + 60
        while time.time() < deadline and (not os.path.exists(target) or
                                           os.path.exists(target[:-3])):
            time.sleep(0.2)
        listed = subprocess.run(["tar", "-tJf", target], capture_output=True, text=True)
        if sorted(listed.stdout.splitlines()) != list(PAIR):
            raise Failure("%s: %s holds %r" % (name, os.path.basename(target), listed.stdout))

    def check_trash():
        """A trashed file's menu holds no entry: the manager has no path to
        give there. Checked in a fresh window of the Trash alone."""
        trashed = os.path.join(items, TRASHED)
        with open(trashed, "w") as f:
            f.write("trashed\n")
        subprocess.run(["gio", "trash", trashed], check=True)
        row = None
        # On a loaded machine GNOME Files' Trash may hang at "Loading...": a
        # fresh window asks again, once.
        for wait in (30, 60):
            for process in started[1:]:
                os.killpg(process.pid, signal.SIGTERM)
                process.wait(10)
            del started[1:]
            start(command + ["trash:///"])
            row = find_row(TRASHED, wait)
            if row is not None:
                break
        if row is None:
            subprocess.run(["import", "-window", "root", "/tmp/arkiva-%s-trash.png" % name])
            raise Failure("%s: the Trash did not show %s" % (name, TRASHED))
        click(row, 1)
        time.sleep(0.5)
        click(row, 3)
        opened = find(lambda n: n.getRoleName() in ("menu item", "menu") and showing(n) and
                      not in_menu_bar(n) and n.name, 10)
        if opened is None:
            raise Failure("%s: no menu on the trashed file" % name)
        time.sleep(1)
        seen = [n.name for n in menu_items()]
        if LABEL in seen or SCRIPT in seen:
            if trash:
                raise Failure("%s: the entry shows in the Trash: %s" % (name, seen))
            print("seen: the entry in the Trash", flush=True)
        else:
            print("seen: no entry in the Trash", flush=True)
        subprocess.run(["xdotool", "key", "Escape"])

    try:
        start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        time.sleep(1)  # before a call on the bus would start a second launcher
        # As a screen reader does: Qt joins the accessibility bus only then.
        for _ in range(50):
            enabled = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                 "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                 "string:IsEnabled", "variant:boolean:true"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if enabled.returncode == 0:
                break
            time.sleep(0.1)
        global pyatspi
        for attempt in range(2):
            window = start(command + [items])
            if registered(app_name, 30):
                import pyatspi
                if find_row(FOLDER, 20) is not None:
                    break
            # GNOME Files sometimes stays at "Loading…": once more.
            os.killpg(window.pid, signal.SIGTERM)
            time.sleep(1)
        else:
            subprocess.run(["import", "-window", "root", "/tmp/arkiva-%s-start.png" % name])
            import pyatspi
            apps = [a.name for a in pyatspi.Registry.getDesktop(0) if a is not None]
            app = application()
            cells = [n.name for n in walk(app) if n.getRoleName() in (
                "table cell", "icon", "list item", "label")][:30] if app else []
            raise Failure("%s: the folder did not show; applications %s, cells %s" % (
                name, apps, cells))
        choose_entry(FOLDER, os.path.join(items, FOLDER + ".tar.xz"))
        choose_entry(FILE, os.path.join(items, FILE + ".xz"))
        # Wait for the file's archive to be whole.
        for _ in range(100):
            if not os.path.exists(os.path.join(items, FILE)):
                break
            time.sleep(0.1)
        choose_one_archive()
        check_trash()
    except Failure as e:
        print("FAIL: %s" % e, flush=True)
        return 1
    finally:
        for process in reversed(started):
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        for process in started:
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
    return 0


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--inner":
        return inner(sys.argv[2], sys.argv[3], "--package" in sys.argv)
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    return outer(sys.argv[1:])


if __name__ == "__main__":
    sys.exit(main())
