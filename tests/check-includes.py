#!/usr/bin/python3
"""No include runs upward: each room (a folder of product code) includes only
itself and the rooms listed for it below, which all sit beneath it. A folder
that is not listed fails the check, so that a new room says where it stands.

  check-includes.py SOURCE_DIR
"""
import os
import re
import subprocess
import sys

# Room: the rooms its files may include. "." is the tree's root, which holds
# only entry_label.h, the label every part shows. host/ui and
# progress_window are one floor: the display and the window it feeds share
# the window's protocol.
# The catalogues are the floor below all: every text is translated where it
# is made.
MAY_INCLUDE = {
    ".": [],
    "catalogues": [],
    "host": ["catalogues"],
    "host/files": ["catalogues", "host"],
    "host/process": ["catalogues", "host", "host/files"],
    "host/ui": ["catalogues", "host", "host/process", "progress_window"],
    "progress_window": ["catalogues", "host", "host/process", "host/ui"],
    "registry": ["catalogues", "host", "host/files"],
    "desktop": [".", "catalogues", "host", "host/files", "host/process"],
    "windows11": [".", "catalogues", "host", "host/files", "host/process"],
    "nautilus": ["."],
    "run_record": ["catalogues", "host", "host/files", "host/process"],
    # The archive run, then setup (which clears what dead runs left before
    # it writes), then the entry point at app/'s top, which starts either.
    "app/archive": [".", "catalogues", "host", "host/files", "host/process", "host/ui",
                    "run_record"],
    "app/setup": [".", "catalogues", "host", "host/files", "host/process", "host/ui", "registry",
                  "desktop", "run_record", "app/archive"],
    "app": [".", "catalogues", "host", "host/files", "host/process", "host/ui", "registry",
            "desktop", "run_record", "app/archive", "app/setup"],
    "packaging/linux": ["app/setup", "catalogues", "desktop", "host", "host/files"],
}
# Not product code: the tests, and what is built from Debian's sources.
OUTSIDE = ("tests/", "third_party/", "build/")

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def main(source_dir):
    files = subprocess.run(["git", "-C", source_dir, "ls-files", "-co", "--exclude-standard",
                            "*.c", "*.cc", "*.h"], capture_output=True, text=True,
                           check=True).stdout.split()
    faults = []
    for path in files:
        if path.startswith(OUTSIDE) or not os.path.exists(os.path.join(source_dir, path)):
            continue
        room = os.path.dirname(path) or "."
        if room not in MAY_INCLUDE:
            faults.append("%s: the room %s is not in check-includes.py's list" % (path, room))
            continue
        with open(os.path.join(source_dir, path), encoding="utf-8") as f:
            text = f.read()
        for included in INCLUDE.findall(text):
            if included.endswith(".inc"):  # a table the build made from the catalogues
                continue
            to = os.path.dirname(included) or "."
            if to != room and to not in MAY_INCLUDE[room]:
                faults.append("%s includes %s: %s may not include %s" % (path, included, room, to))
    for fault in faults:
        print(fault)
    print("%d files, %d includes that run upward" % (len(files), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
