#!/usr/bin/python3
"""The progress window as a user meets it on the Linux desktop.

arkiva runs under an Xvfb of this test's own and the D-Bus session it is
started in (dbus-run-session), where a stand-in notification service records
what it is told. Windows are found by their title with xdotool; Cancel is
pressed with the keyboard, as a user would.

With --wayland, the session is Wayland only: a headless sway without
Xwayland and no DISPLAY, where windows are found by their app_id
(arkiva-progress, which its desktop entry names) in sway's tree, Cancel is
closing the window, and screenshots are grim's. Run it as an unprivileged
user, as a desktop session is: XDG_RUNTIME_DIR must be that user's own.

Usage: dbus-run-session -- /usr/bin/python3 progress_window.py BUILD_DIR [--wayland] [TESTS]
ARKIVA_SHOTS=DIR keeps a screenshot of each window seen there.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import json

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

BUILD = os.path.abspath(sys.argv.pop(1))
WAYLAND = "--wayland" in sys.argv
if WAYLAND:
    sys.argv.remove("--wayland")
TITLE = "Create tar.xz"
NOTICES = []  # (summary, body) of each Notify call
CAPABILITIES = ["body"]  # what the stand-in service says it reads

NOTIFICATIONS_XML = """<node><interface name="org.freedesktop.Notifications">
<method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/>
<arg type="s"/><arg type="as"/><arg type="a{sv}"/><arg type="i"/>
<arg type="u" direction="out"/></method>
<method name="GetCapabilities"><arg type="as" direction="out"/></method>
<method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
<arg type="s" direction="out"/><arg type="s" direction="out"/></method>
</interface></node>"""


def serve_notifications():
    def on_call(_bus, _sender, _path, _interface, method, params, invocation):
        if method == "Notify":
            NOTICES.append((params[3], params[4]))
            invocation.return_value(GLib.Variant("(u)", (len(NOTICES),)))
        elif method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (list(CAPABILITIES),)))
        else:
            invocation.return_value(GLib.Variant("(ssss)", ("stand-in", "test", "1", "1.2")))

    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    node = Gio.DBusNodeInfo.new_for_xml(NOTIFICATIONS_XML)
    bus.register_object("/org/freedesktop/Notifications", node.interfaces[0], on_call)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.Notifications",
                                   Gio.BusNameOwnerFlags.NONE, None, None)
    threading.Thread(target=GLib.MainLoop().run, daemon=True).start()


def start_display():
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = ":" + xvfb.stdout.readline().decode().strip()
    os.environ.pop("WAYLAND_DISPLAY", None)
    # Ready for its first clients: one has asked it something and had an answer.
    for _ in range(200):
        if subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True).returncode == 0:
            break
        time.sleep(0.05)
    return xvfb


def start_sway():
    """A headless sway with no Xwayland, in the user's runtime folder: a
    Wayland-only session."""
    config = os.path.join(tempfile.mkdtemp(prefix="arkiva-sway-"), "config")
    with open(config, "w") as f:
        f.write("xwayland disable\noutput HEADLESS-1 resolution 1024x768\n")
    runtime = os.environ["XDG_RUNTIME_DIR"]
    before = set(os.listdir(runtime))
    sway = subprocess.Popen(["sway", "-c", config], stderr=subprocess.DEVNULL,
                            env=dict(os.environ, WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                                     WLR_LIBINPUT_NO_DEVICES="1"))
    for _ in range(200):
        made = set(os.listdir(runtime)) - before
        socket = [f for f in made if f.startswith("wayland-") and not f.endswith(".lock")]
        ipc = [f for f in made if f.startswith("sway-ipc.")]
        if socket and ipc:
            break
        time.sleep(0.05)
    os.environ["WAYLAND_DISPLAY"] = socket[0]
    os.environ["SWAYSOCK"] = os.path.join(runtime, ipc[0])
    os.environ.pop("DISPLAY", None)
    return sway


def sway_windows(node):
    """The ids of the windows in sway's tree whose app_id is arkiva-progress."""
    found = [str(node["id"])] if node.get("app_id") == "arkiva-progress" else []
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found += sway_windows(child)
    return found


def windows():
    if WAYLAND:
        tree = subprocess.run(["swaymsg", "-t", "get_tree", "-r"], capture_output=True, text=True)
        return sway_windows(json.loads(tree.stdout)) if tree.returncode == 0 else []
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Create tar\\.xz$"],
                           capture_output=True, text=True)
    return found.stdout.split()


def screenshot(path):
    subprocess.run(["grim", path] if WAYLAND else ["import", "-window", "root", path])


def noise(path, megabytes):
    with open(path, "wb") as f:
        f.write(os.urandom(megabytes << 20))


class MapWatch:
    """Every window titled "Create tar.xz" that the X server maps, told by the
    server itself: its MapNotify events on the root window, where windows
    land without a window manager, wait in the connection until taken, so
    one shown however briefly is never missed."""

    def __init__(self):
        from Xlib import X, display  # noqa: E402 (X sessions only)
        self.X = X
        try:
            self.display = display.Display()
        except Exception:  # a display that cannot be opened shows nothing
            self.display = None
            return
        self.display.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.display.sync()  # from here on, no map goes untold

    def take(self):
        """The windows mapped since the last call; none once the display
        has gone away."""
        mapped = []
        if not self.display:
            return mapped
        try:
            self.display.sync()
            while self.display.pending_events():
                event = self.display.next_event()
                if event.type != self.X.MapNotify:
                    continue
                try:
                    if event.window.get_wm_name() == TITLE:
                        mapped.append(str(event.window.id))
                except Exception:  # gone again already
                    pass
        except Exception:  # the display went away
            pass
        return mapped

    def close(self):
        try:
            if self.display:
                self.display.close()
        except Exception:
            pass


class Run:
    """One start of arkiva, watched: every window it shows, and when."""

    def __init__(self, program, items, path=None, env=None):
        env = dict(os.environ, PATH=path or "/usr/bin:/bin", NO_AT_BRIDGE="1", **(env or {}))
        self.seen = []  # window ids, in the order first seen
        self.shown = threading.Event()
        self.map_watch = None if WAYLAND else MapWatch()
        self.process = subprocess.Popen([program, "--", *items], env=env,
                                        stderr=subprocess.PIPE, text=True)
        self.watcher = threading.Thread(target=self._watch)
        self.watcher.start()

    def _take_windows(self):
        found = windows() if WAYLAND else self.map_watch.take()
        for window in found:
            if window not in self.seen:
                self.seen.append(window)
                self.shown.set()
                shots = os.environ.get("ARKIVA_SHOTS")
                if shots:
                    time.sleep(0.5)  # drawn
                    screenshot(os.path.join(shots, "window-%d.png" % time.time()))

    def _watch(self):
        while self.process.poll() is None:
            self._take_windows()
            time.sleep(0.05)
        if self.map_watch:
            self._take_windows()  # what was mapped before the end
            self.map_watch.close()

    def await_window(self, seconds=30):
        if self.shown.wait(seconds) and self.process.poll() is None:
            return self.seen[0]
        ended = self.process.poll()
        said = self.process.communicate(timeout=60)[1] if ended is not None else ""
        named = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                               capture_output=True, text=True).stdout.split()
        raise AssertionError("no window within %d s (arkiva ended: %s, said: %r; windows: %s)" %
                             (seconds, ended, said, named))

    def press(self, key):
        """Return on the focused Cancel or Escape; in the Wayland session,
        where no program may press keys in another's window, closing the
        window, which cancels alike."""
        if WAYLAND:
            subprocess.run(["swaymsg", "[con_id=%s]" % self.await_window(), "kill"], check=True,
                           stdout=subprocess.DEVNULL)
            return
        subprocess.run(["xdotool", "windowfocus", "--sync", self.await_window(), "key", key],
                       check=True)

    def wait(self):
        self.errors = self.process.communicate(timeout=300)[1]
        self.watcher.join()
        return self.process.returncode


class ProgressWindow(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="arkiva-progress-")
        self.arkiva = os.path.join(BUILD, "arkiva")
        NOTICES.clear()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def folder(self, name, megabytes):
        os.makedirs(self.path(name))
        noise(self.path(name, "data.bin"), megabytes)
        return self.path(name)

    def assertArchiveHolds(self, archive, folder):
        subprocess.run(["xz", "-t", archive], check=True)
        out = self.path("out")
        os.makedirs(out)
        subprocess.run(["tar", "-xJf", archive, "-C", out], check=True)
        subprocess.run(["diff", "-r", folder, os.path.join(out, os.path.basename(folder))],
                       check=True)
        shutil.rmtree(out)

    def assertNothingOfTheRunLeft(self, name):
        self.assertEqual([], [f for f in os.listdir(self.dir) if f.startswith(name + ".")])
        running = subprocess.run(["pgrep", "-f", self.dir], capture_output=True, text=True)
        self.assertEqual("", running.stdout)

    def test_a_big_folder_shows_one_window_then_one_notice(self):
        photos = self.folder("Photos", 40)
        run = Run(self.arkiva, [photos])
        self.assertEqual(0, run.wait(), run.errors)
        self.assertEqual(1, len(run.seen))
        self.assertEqual([], windows())
        self.assertArchiveHolds(self.path("Photos.tar.xz"), photos)
        self.assertEqual([('Created "Photos.tar.xz"', "")], NOTICES)

    def test_cancel_during_tar_and_during_xz(self):
        # A tar that writes slowly (640 KB/s), so that Cancel comes during it.
        os.makedirs(self.path("bin"))
        with open(self.path("bin", "tar"), "w") as f:
            f.write('#!/bin/sh\nfor i in $(seq 300); do\n'
                    '  sleep 0.1; head -c 65536 /dev/zero\ndone\n')
        os.chmod(self.path("bin", "tar"), 0o755)
        slow = self.folder("Slow", 20)
        run = Run(self.arkiva, [slow], path=self.path("bin") + ":/usr/bin:/bin")
        run.press("Return")  # the Cancel button has the focus
        self.assertEqual(1, run.wait())
        self.assertNothingOfTheRunLeft("Slow")

        shutil.rmtree(self.path("bin"))
        big = self.folder("Big", 60)
        run = Run(self.arkiva, [big])
        for _ in range(600):
            if os.path.exists(big + ".tar.xz"):
                break
            time.sleep(0.05)
        run.press("Escape")
        self.assertEqual(1, run.wait())
        self.assertNothingOfTheRunLeft("Big")
        self.assertEqual([], windows())  # no error box follows
        self.assertEqual([], NOTICES)

    def test_a_selection_has_one_window(self):
        # A service that reads markup in the body gets the names escaped.
        CAPABILITIES.append("body-markup")
        items = [self.folder("R&D <1>", 12), self.folder("Two", 12), self.path("three.bin")]
        noise(items[2], 12)
        run = Run(self.arkiva, items)
        code = run.wait()
        CAPABILITIES.remove("body-markup")
        self.assertEqual(0, code, run.errors)
        self.assertEqual(1, len(run.seen))
        self.assertEqual(('Created 3 archives', '&quot;R&amp;D &lt;1&gt;.tar.xz&quot;\n'
                          '&quot;Two.tar.xz&quot;\n&quot;three.bin.xz&quot;'), NOTICES[0])
        self.assertEqual(1, len(NOTICES))

    def test_a_display_that_cannot_be_opened_cancels_nothing(self):
        noise(self.path("big.bin"), 20)
        os.environ["DISPLAY"], display = ":4321", os.environ["DISPLAY"]
        try:
            run = Run(self.arkiva, [self.path("big.bin")])
            self.assertEqual(0, run.wait(), run.errors)
        finally:
            os.environ["DISPLAY"] = display
        self.assertEqual(["big.bin.xz"], os.listdir(self.dir))

    def test_a_display_that_dies_midway_is_no_cancel(self):
        big = self.folder("Big", 60)
        display = os.environ["DISPLAY"]
        xvfb = start_display()  # a logout, a crashed X server, a closed remote session
        try:
            run = Run(self.arkiva, [big])
            run.await_window()
            xvfb.kill()
            xvfb.wait()
            self.assertEqual(0, run.wait(), run.errors)
        finally:
            os.environ["DISPLAY"] = display
        self.assertArchiveHolds(self.path("Big.tar.xz"), big)
        self.assertEqual([], [f for f in os.listdir(self.dir) if f != "Big" and f != "Big.tar.xz"])

    def test_a_small_file_shows_nothing(self):
        with open(self.path("note.txt"), "w") as f:
            f.write("a few words\n")
        run = Run(self.arkiva, [self.path("note.txt")])
        self.assertEqual(0, run.wait(), run.errors)
        self.assertEqual([], run.seen)
        self.assertTrue(os.path.exists(self.path("note.txt.xz")))
        self.assertEqual([], NOTICES)


class WindowProtocol(unittest.TestCase):
    """What arkiva writes to its window program, and to zenity where that is
    missing, through stand-ins that record it."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="arkiva-protocol-")
        self.arkiva = os.path.join(self.dir, "arkiva")
        shutil.copy(os.path.join(BUILD, "arkiva"), self.arkiva)
        os.makedirs(os.path.join(self.dir, "data"))
        self.item = os.path.join(self.dir, "data", "big.bin")
        noise(self.item, 30)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def stand_in(self, path, body):
        with open(path, "w") as f:
            f.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >>\"" + self.dir + "/args\"\n" + body)
        os.chmod(path, 0o755)

    def read(self, name):
        with open(os.path.join(self.dir, name)) as f:
            return f.read()

    def test_the_window_program_gets_settings_then_the_notice(self):
        self.stand_in(os.path.join(self.dir, "arkiva-progress"), "cat >\"" + self.dir + "/lines\"\n")
        run = Run(self.arkiva, [self.item])
        self.assertEqual(0, run.wait(), run.errors)
        self.assertEqual("Create tar.xz\n", self.read("args"))
        lines = self.read("lines").splitlines()
        self.assertEqual('step Compressing "big.bin.xz"', lines[0])
        self.assertEqual("item ", lines[1])
        bars = [float(line[4:]) for line in lines if line.startswith("bar ")]
        self.assertTrue(bars)
        self.assertEqual(sorted(bars), bars)  # it never goes back
        self.assertRegex(lines[4], r"^figures [\d.]+ [KM]B of 30\.0 MB")
        self.assertEqual('notice Created "big.bin.xz"', lines[-1])

    def test_the_window_program_speaks_the_users_language(self):
        # A German desktop; figures in its way ("29,6 MB"), the bars still
        # in the protocol's ("0.500").
        shutil.copytree(os.path.join(BUILD, "locale"), os.path.join(self.dir, "locale"))
        self.stand_in(os.path.join(self.dir, "arkiva-progress"), "cat >\"" + self.dir + "/lines\"\n")
        small = os.path.join(self.dir, "data", "small.txt")
        with open(small, "w") as f:
            f.write("a few words\n")
        run = Run(self.arkiva, [self.item, small], env={"LANGUAGE": "de", "LANG": "de_DE.UTF-8"})
        self.assertEqual(0, run.wait(), run.errors)
        self.assertEqual("tar.xz erstellen\n", self.read("args"))
        lines = self.read("lines").splitlines()
        self.assertEqual("step \u201ebig.bin.xz\u201c wird komprimiert", lines[0])
        self.assertEqual("item Element 1 von 2", lines[1])
        self.assertTrue([float(line[4:]) for line in lines if line.startswith("bar ")])
        self.assertRegex(lines[4], r"^figures \d+,\d [KM]B von 30,0 MB")
        self.assertEqual(["notice 2 Archive erstellt", "detail \"big.bin.xz\"",
                          "detail \"small.txt.xz\""], lines[-3:])

    def test_only_the_window_programs_exit_10_cancels(self):
        self.stand_in(os.path.join(self.dir, "arkiva-progress"), "head -n 5 >/dev/null\nexit 10\n")
        run = Run(self.arkiva, [self.item])
        self.assertEqual(1, run.wait())
        self.assertEqual(["big.bin"], os.listdir(os.path.dirname(self.item)))
        # GTK's exit when its display goes away: the run goes on unseen.
        self.stand_in(os.path.join(self.dir, "arkiva-progress"), "head -n 5 >/dev/null\nexit 1\n")
        run = Run(self.arkiva, [self.item])
        self.assertEqual(0, run.wait(), run.errors)
        self.assertEqual(["big.bin.xz"], os.listdir(os.path.dirname(self.item)))

    def walked_selection(self, window):
        """Two folders of many files, walked at 3 ms an entry (A alone takes
        3 s, as a large tree does), with `window` as the window program."""
        for name, files in (("A", 1000), ("B", 300)):
            os.makedirs(os.path.join(self.dir, name))
            for i in range(files):
                open(os.path.join(self.dir, name, "f%d" % i), "w").close()
        self.stand_in(os.path.join(self.dir, "arkiva-progress"), window)
        run = Run(self.arkiva, [os.path.join(self.dir, "A"), os.path.join(self.dir, "B")],
                  env={"LD_PRELOAD": os.path.join(BUILD, "tests", "libwalk_probe.so"),
                       "ARKIVA_WALK_LOG": os.path.join(self.dir, "walks"),
                       "ARKIVA_WALK_DELAY_US": "3000"})
        return run

    def test_the_window_comes_before_the_walks_and_each_folder_is_walked_once(self):
        run = self.walked_selection("cat >\"" + self.dir + "/lines\"\n")
        self.assertEqual(0, run.wait(), run.errors)
        self.assertEqual([self.dir + "/A", self.dir + "/B"], self.read("walks").splitlines())
        self.assertEqual('step Reading "A"', self.read("lines").splitlines()[0])
        self.assertEqual("item Item 1 of 2", self.read("lines").splitlines()[1])

    def test_cancel_during_the_walks_starts_nothing(self):
        run = self.walked_selection("exit 10\n")
        self.assertEqual(1, run.wait())
        self.assertEqual([self.dir + "/A"], self.read("walks").splitlines())
        self.assertEqual([], [f for f in os.listdir(self.dir) if ".tar" in f])

    def test_zenity_where_the_window_program_is_missing(self):
        os.makedirs(os.path.join(self.dir, "bin"))
        self.stand_in(os.path.join(self.dir, "bin", "zenity"),
                      "exec cat >>\"" + self.dir + "/lines\"\n")
        run = Run(self.arkiva, [self.item], path=os.path.join(self.dir, "bin") + ":/usr/bin:/bin")
        self.assertEqual(0, run.wait(), run.errors)
        args = self.read("args").splitlines()
        self.assertEqual(["--progress", "--percentage=0", "--width=460", "--title=Create tar.xz",
                          "--text= ", "--notification", '--text=Created "big.bin.xz"'], args)
        lines = self.read("lines").splitlines()
        self.assertRegex(lines[0], r'^# Compressing "big\.bin\.xz"\\n[\d.]+ [KM]B of 30\.0 MB')
        self.assertRegex(lines[1], r"^\d+$")


if __name__ == "__main__":
    xvfb = start_sway() if WAYLAND else start_display()
    serve_notifications()
    try:
        result = unittest.main(exit=False, verbosity=2).result
    finally:
        xvfb.terminate()
    sys.exit(0 if result.wasSuccessful() else 1)
