#!/usr/bin/python3
"""The archive as its receivers open it: one folder of awkward entries,
archived by both makers and extracted by every common reader.

  check.py NATIVE_ARKIVA WINDOWS_BUILD

Makers: the native arkiva with the system's GNU tar, and arkiva.exe under
Wine with the tar.exe and xz.exe beside it (WINDOWS_BUILD, the build folder).
Readers: GNU tar, bsdtar, 7-Zip (7zz), Python's tarfile, and the tar.exe
Windows itself ships (bsdtar with no manifest, third_party/build.sh) under
Wine in a Western and a Japanese code page. For each pair every case must
hold: the reader ends 0, the entry is there under its exact name (compared
composed: libarchive composes a pax UTF-8 name as it reads it), with its
kind, its mode (nothing writable by group or others) where the reader is a
Linux one, and the dated file's time to the second. Each maker also makes
one archive of two files (arkiva --one), which every reader must open with
both at its top. Prints one row a case and exits 1 on any fault.
"""
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
DATED = 989132889  # 2001-05-06 07:08:09 UTC

# label, path in the folder, kind (f: file, d: folder, l: link), the mode
# from the Linux maker, the mode from the Windows maker (None: not made there)
DEEP = "/".join("level-%02d" % i for i in range(13)) + "/deep.txt"
CASES = [
    ("Cyrillic name", "Фото/снимок.txt", "f", 0o644, 0o644),
    ("Japanese name", "日本語/ファイル.txt", "f", 0o644, 0o644),
    ("NFD name", "e\u0301te\u0301.txt", "f", 0o644, 0o644),
    ("150-byte name", "n" * 146 + ".txt", "f", 0o644, 0o644),
    ("%d-character path" % len(DEEP), DEEP, "f", 0o644, 0o644),
    ("empty folder", "empty", "d", 0o755, 0o755),
    ("read-only file", "read-only.txt", "f", 0o444, 0o444),
    ("read-only folder", "kept", "d", 0o555, 0o755),  # Windows ignores it on folders
    ("script", "run.sh", "f", 0o755, 0o644),  # Windows knows programs by their ending
    ("program", "tool.exe", "f", 0o755, 0o755),
    ("command script", "run.cmd", "f", 0o755, 0o755),
    ("batch file", "run.bat", "f", 0o755, 0o755),
    ("DOS program", "SETUP.COM", "f", 0o755, 0o755),
    ("read-only program", "fixed.exe", "f", 0o555, 0o555),
    ("program's notes", "tool.exe.txt", "f", 0o644, 0o644),
    ("symlink", "link-to-photo", "l", 0o777, None),
    ("dated 2001", "dated.txt", "f", 0o644, 0o644),
]


def make_folder(root, maker):
    for label, path, kind, linux_mode, windows_mode in CASES:
        mode = linux_mode if maker == "Linux" else windows_mode
        if mode is None:
            continue
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        if kind == "d":
            os.makedirs(full)
        elif kind == "l":
            os.symlink("Фото/снимок.txt", full)
        else:
            with open(full, "w") as f:
                f.write(label + "\n")
        if kind != "l":
            os.chmod(full, mode)
        if path == "dated.txt":
            os.utime(full, (DATED, DATED))


# "Create one tar.xz" on two files of the folder Pair: Pair/Pair.tar.xz.
PAIR = ("Фото.txt", "-dash.txt")
ONE = "one archive of two files"


def make_one(maker, work, native, windows_build):
    root = os.path.join(work, maker, "Pair")
    os.makedirs(root)
    for name in PAIR:
        with open(os.path.join(root, name), "w") as f:
            f.write(name + "\n")
    paths = [os.path.join(root, name) for name in PAIR]
    if maker == "Linux":
        env = dict(os.environ, DISPLAY="", WAYLAND_DISPLAY="",
                   XDG_STATE_HOME=os.path.join(work, "state"))
        code, said = run([native, "--one", "--"] + paths, env=env)
    else:
        code, said = run([os.path.join(windows_build, "wine-run"),
                          os.path.join(windows_build, "arkiva.exe"), "--one"] +
                         ["Z:" + path.replace("/", "\\") for path in paths])
    archive = os.path.join(root, "Pair.tar.xz")
    if code != 0 or not os.path.isfile(archive):
        sys.exit("the %s maker of one archive failed (%d): %s" % (maker, code, said))
    return archive


def one_fault(out):
    """What is wrong with the extracted one archive in `out` ("" when right)."""
    for name in PAIR:
        full = os.path.join(out, name)
        if not os.path.isfile(full):
            return "%s missing; there: %s" % (name, sorted(os.listdir(out)))
        with open(full) as f:
            if f.read() != name + "\n":
                return "%s holds other bytes" % name
    return ""


def run(argv, cwd=None, env=None, stdout=None):
    result = subprocess.run(argv, cwd=cwd, env=env, stdout=stdout or subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=300)
    return result.returncode, (result.stdout or b"").decode(errors="replace")


def wine_env(lang):
    return dict(os.environ, ARKIVA_WINE_LANG=lang)


def make(maker, work, native, windows_build):
    root = os.path.join(work, maker, "Mix")
    make_folder(root, maker)
    if maker == "Linux":
        env = dict(os.environ, DISPLAY="", WAYLAND_DISPLAY="",
                   XDG_STATE_HOME=os.path.join(work, "state"))
        code, said = run([native, "--", root], env=env)
    else:
        code, said = run([os.path.join(windows_build, "wine-run"),
                          os.path.join(windows_build, "arkiva.exe"), "Z:" + root.replace("/", "\\")])
    archive = root + ".tar.xz"
    if code != 0 or not os.path.isfile(archive):
        sys.exit("the %s maker failed (%d): %s" % (maker, code, said))
    return archive


def extract(reader, archive, out, windows_build, windows_tar):
    """Extracts `archive` into `out` with `reader`: (exit code, what it said)."""
    if reader == "GNU tar":
        return run(["tar", "-xJf", archive], cwd=out)
    if reader == "bsdtar":
        return run(["bsdtar", "-xf", archive], cwd=out)
    if reader == "7-Zip":
        tar = os.path.join(out, "..", os.path.basename(out) + ".tar")
        with open(tar, "wb") as f:
            code, said = run(["7zz", "x", "-so", archive], stdout=f)
        return (code, said) if code else run(["7zz", "x", "-y", "-snld", tar], cwd=out)
    if reader == "Python tarfile":
        return run([sys.executable, "-c",
                    "import sys, tarfile; tarfile.open(sys.argv[1]).extractall('.')", archive],
                   cwd=out)
    # Windows' own tar reads no .xz: the .tar, as 7-Zip or xz would give it.
    tar = os.path.join(out, "..", os.path.basename(out) + ".tar")
    with open(tar, "wb") as f:
        code, said = run(["xz", "-dc", archive], stdout=f)
    if code:
        return code, said
    lang = "ja_JP.UTF-8" if reader.endswith("932") else "en_US.UTF-8"
    return run([os.path.join(windows_build, "wine-run"), windows_tar, "-xf",
                "Z:" + os.path.abspath(tar).replace("/", "\\")], cwd=out, env=wine_env(lang))


def mode_right(reader, mode, expected):
    # 7-Zip sets a folder's mode its own way (0755 whatever the archive
    # says): of it, only that nothing is writable by group or others.
    if reader == "7-Zip":
        return mode & 0o022 == 0
    return mode == expected


def faults(maker, reader, out):
    """What is wrong with each case in `out`, by label ("" when right)."""
    found = {}
    for folder, dirs, files in os.walk(out):
        for name in dirs + files:
            full = os.path.join(folder, name)
            found[unicodedata.normalize("NFC", os.path.relpath(full, out))] = full
    linux_reader = not reader.startswith("Windows")
    result = {}
    for label, path, kind, linux_mode, windows_mode in CASES:
        mode = linux_mode if maker == "Linux" else windows_mode
        # Wine makes no link (nor would Windows, without Developer Mode).
        if mode is None or (kind == "l" and not linux_reader):
            continue
        full = found.get(unicodedata.normalize("NFC", os.path.join("Mix", path)))
        if full is None:
            result[label] = "missing"
            continue
        st = os.lstat(full)
        is_kind = {"f": stat.S_ISREG, "d": stat.S_ISDIR, "l": stat.S_ISLNK}[kind](st.st_mode)
        if not is_kind:
            result[label] = "not a " + {"f": "file", "d": "folder", "l": "link"}[kind]
        elif linux_reader and kind != "l" and not mode_right(reader, stat.S_IMODE(st.st_mode), mode):
            result[label] = "mode %o" % stat.S_IMODE(st.st_mode)
        elif path == "dated.txt" and int(st.st_mtime) != DATED:
            result[label] = "dated %d" % int(st.st_mtime)
        else:
            result[label] = ""
    # Every folder on the way, as a Linux user's: never writable by others.
    if linux_reader:
        for name, full in found.items():
            st = os.lstat(full)
            if (stat.S_ISDIR(st.st_mode) and not mode_right(reader, stat.S_IMODE(st.st_mode), 0o755)
                    and name != os.path.join("Mix", "kept")):
                result["folders"] = "%s mode %o" % (name, stat.S_IMODE(st.st_mode))
    return result


def main():
    native, windows_build = sys.argv[1], os.path.abspath(sys.argv[2])
    programs = subprocess.run(["bash", os.path.join(SOURCE, "third_party", "build.sh")],
                              stdout=subprocess.PIPE, check=True).stdout.decode().strip()
    windows_tar = os.path.join(programs, "tests", "windows-tar.exe")
    readers = ["GNU tar", "bsdtar", "7-Zip", "Python tarfile", "Windows tar 1252",
               "Windows tar 932"]
    work = tempfile.mkdtemp(prefix="arkiva-receivers-")
    os.umask(0o022)
    table = {}  # (maker, reader) -> {label: fault}
    failed = False
    try:
        for maker in ("Linux", "Windows"):
            archive = make(maker, work, native, windows_build)
            one = make_one(maker, work, native, windows_build)
            for reader in readers:
                out = os.path.join(work, maker, reader.replace(" ", "-"))
                os.makedirs(out)
                code, said = extract(reader, archive, out, windows_build, windows_tar)
                result = faults(maker, reader, out)
                if code != 0:
                    result["ends 0"] = "exit %d: %s" % (code, said.strip()[-300:])
                out_one = out + "-one"
                os.makedirs(out_one)
                code, said = extract(reader, one, out_one, windows_build, windows_tar)
                result[ONE] = one_fault(out_one) if code == 0 else "exit %d: %s" % (
                    code, said.strip()[-300:])
                table[maker, reader] = result
    finally:
        shutil.rmtree(work, ignore_errors=True)
    labels = [c[0] for c in CASES] + [ONE, "folders", "ends 0"]
    width = max(len(l) for l in labels)
    heads = ["%s/%s" % (maker[0], reader) for maker, reader in table]
    print("made on Linux (L) and Windows (W), read by:")
    print("  ".join(["%-*s" % (width, "case")] + heads))
    for label in labels:
        cells, said = [], []
        for (maker, reader), result in table.items():
            fault = result.get(label)
            cells.append("-" if fault is None and label not in (ONE, "folders", "ends 0") else
                         "ok" if not fault else "FAULT")
            if fault:
                said.append("  %s, made on %s, read by %s: %s" % (label, maker, reader, fault))
        print("  ".join(["%-*s" % (width, label)] +
                        ["%-*s" % (len(h), c) for h, c in zip(heads, cells)]))
        for line in said:
            print(line)
        failed = failed or bool(said)
    print("FAILED" if failed else "OK")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
