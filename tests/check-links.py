#!/usr/bin/python3
"""Every relative link in README.md and docs/ resolves: the file is there,
and a #heading names a heading of that page, as GitHub makes its anchors.

  check-links.py SOURCE_DIR     the tree's pages
  check-links.py --self-test    the check itself, on pages made for it
"""
import functools
import os
import re
import sys
import tempfile

LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
FENCE = re.compile(r"^\s*(```|~~~)")


def prose(text, inline_code=False):
    """The page without its code: fenced blocks, indented blocks and (unless
    asked for) inline code hold examples, not links."""
    lines, fenced, previous_blank = [], False, True
    for line in text.splitlines():
        if FENCE.match(line):
            fenced = not fenced
            lines.append("")
            continue
        indented = line.startswith("    ") and previous_blank and not line.lstrip().startswith(("-", "*"))
        lines.append("" if fenced or indented else line if inline_code else
                     re.sub(r"`[^`]*`", "", line))
        if not indented:
            previous_blank = not line.strip()
    return lines


@functools.lru_cache(maxsize=None)
def anchors(path):
    """GitHub's anchors for the page's headings: lowercase, punctuation but
    hyphens dropped, spaces as hyphens, -1, -2 on a repeat."""
    seen, found = {}, set()
    for line in prose(open(path, encoding="utf-8").read(), inline_code=True):
        match = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not match:
            continue
        text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", match.group(1))
        slug = re.sub(r"[^\w\- ]", "", text.lower().replace("`", "")).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        found.add(slug if count == 0 else "%s-%d" % (slug, count))
    return found


def broken_links(root):
    pages = [os.path.join(root, "README.md")]
    for folder, _, files in os.walk(os.path.join(root, "docs")):
        pages += [os.path.join(folder, f) for f in sorted(files) if f.endswith(".md")]
    broken = []
    for page in pages:
        for number, line in enumerate(prose(open(page, encoding="utf-8").read()), 1):
            for target in LINK.findall(line):
                if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                    continue  # an address with a scheme: not this tree's
                path, _, anchor = target.partition("#")
                resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path \
                    else page
                where = "%s:%d: %s" % (os.path.relpath(page, root), number, target)
                if not os.path.exists(resolved):
                    broken.append(where + " (no such file)")
                elif anchor and (not resolved.endswith(".md") or anchor not in anchors(resolved)):
                    broken.append(where + " (no such heading)")
    return broken


def self_test():
    rows = [  # (README's link, whether it resolves)
        ("docs/a.md", True),
        ("docs/a.md#the-rooms", True),
        ("docs/a.md#whats-new-in-10", True),
        ("docs/a.md#a-heading-1", True),
        ("docs/a.md#the-room", False),
        ("docs/b.md", False),
        ("docs/images/x.png", True),
        ("#arkiva", True),
        ("#nothing", False),
        ("https://example.org/missing", True),
    ]
    failed = 0
    for link, resolves in rows:
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "docs/images"))
            open(os.path.join(root, "docs/images/x.png"), "w").close()
            with open(os.path.join(root, "docs/a.md"), "w") as f:
                f.write("# A\n\n## The rooms\n\n## What's new in `1.0`\n\n## A heading\n\n"
                        "## A heading\n\n    [in code](missing.md)\n")
            with open(os.path.join(root, "README.md"), "w") as f:
                f.write("# arkiva\n\nSee [it](%s), not `[code](gone.md)`.\n" % link)
            broken = broken_links(root)
            if (not broken) != resolves:
                failed += 1
                print("FAILED: %s: %s" % (link, broken or "taken for whole"))
    return 1 if failed else 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    broken = broken_links(sys.argv[1])
    for where in broken:
        print("broken link: " + where)
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
