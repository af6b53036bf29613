#!/usr/bin/python3
"""Writes an unsigned MSIX: the given files, the block map and the content
types, in the layout Windows' package reader and osslsigncode expect.

  make-msix.py OUT.msix FOLDER NAME...   (NAMEs relative to FOLDER, '/' apart)

No packer for MSIX comes with Debian. The package is a zip whose files are
stored: a stored file's blocks need no sizes in the block map. The map holds
a SHA-256 of each 64 KiB block of each file, and the size of the file's local
header, which this zip writer keeps to 30 bytes plus the name.
[Content_Types].xml is deflated, as osslsigncode rewrites it so when it signs:
a stored one would keep the stored flag over deflated data.
"""
import base64
import hashlib
import os
import sys
import zipfile
from xml.sax.saxutils import quoteattr

BLOCK = 64 * 1024
CONTENT_TYPES = {
    "png": "image/png",
    "xml": "application/vnd.ms-appx.manifest+xml",
}


def entry(name, method):
    info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
    info.compress_type = method
    info.create_system = 0  # no Unix mode bits in the extra fields
    return info


def block_map(folder, names):
    lines = ['<?xml version="1.0" encoding="UTF-8" standalone="no"?>',
             '<BlockMap xmlns="http://schemas.microsoft.com/appx/2010/blockmap" '
             'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256">']
    for name in names:
        data = open(os.path.join(folder, name), "rb").read()
        lfh = 30 + len(name.encode())
        lines.append('<File Name=%s Size="%d" LfhSize="%d">'
                     % (quoteattr(name.replace("/", "\\")), len(data), lfh))
        for at in range(0, len(data), BLOCK):
            digest = hashlib.sha256(data[at:at + BLOCK]).digest()
            lines.append('<Block Hash="%s"/>' % base64.b64encode(digest).decode())
        lines.append("</File>")
    lines.append("</BlockMap>")
    return "\r\n".join(lines).encode()


def content_types(names):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">']
    for extension in sorted({n.rsplit(".", 1)[-1].lower() for n in names} - {"xml"}):
        lines.append('<Default Extension="%s" ContentType="%s"/>'
                     % (extension, CONTENT_TYPES.get(extension, "application/octet-stream")))
    lines.append('<Override PartName="/AppxManifest.xml" '
                 'ContentType="application/vnd.ms-appx.manifest+xml"/>')
    lines.append('<Override PartName="/AppxBlockMap.xml" '
                 'ContentType="application/vnd.ms-appx.blockmap+xml"/>')
    lines.append("</Types>")
    return "\r\n".join(lines).encode()


def main(out, folder, names):
    with zipfile.ZipFile(out, "w") as package:
        for name in names:
            package.writestr(entry(name, zipfile.ZIP_STORED),
                             open(os.path.join(folder, name), "rb").read())
        package.writestr(entry("AppxBlockMap.xml", zipfile.ZIP_STORED), block_map(folder, names))
        package.writestr(entry("[Content_Types].xml", zipfile.ZIP_DEFLATED), content_types(names))


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
