#!/usr/bin/python3
"""arkiva-shell.msix as Windows reads it: its zip entries and content types,
every block of the block map hashed again, the local headers the map sizes,
the classes its manifest names are the ones arkiva-shell.dll serves, Publisher is
the signer's subject, and osslsigncode verifies the signature.

  check-msix.py BUILD_DIR CLASS_ID ONE_CLASS_ID
"""
import base64
import hashlib
import os
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

build, class_ids = sys.argv[1], sys.argv[2:4]
package = zipfile.ZipFile(build + "/arkiva-shell.msix")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


names = [info.filename for info in package.infolist()]
check(names == ["AppxManifest.xml", "Assets/StoreLogo.png", "Assets/Square150x150Logo.png",
                "Assets/Square44x44Logo.png", "AppxBlockMap.xml", "[Content_Types].xml",
                "AppxSignature.p7x"], "entries: %s" % names)
check(package.testzip() is None, "a damaged entry")

types = package.read("[Content_Types].xml").decode()
check(types.replace("\r\n", "") ==
      '<?xml version="1.0" encoding="UTF-8"?>'
      '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
      '<Default Extension="png" ContentType="image/png"/>'
      '<Override PartName="/AppxManifest.xml" ContentType="application/vnd.ms-appx.manifest+xml"/>'
      '<Override PartName="/AppxBlockMap.xml" ContentType="application/vnd.ms-appx.blockmap+xml"/>'
      '<Override PartName="/AppxSignature.p7x" ContentType="application/vnd.ms-appx.signature"/>'
      '</Types>', "content types: " + types)

raw = open(build + "/arkiva-shell.msix", "rb").read()
blockmap = ElementTree.fromstring(package.read("AppxBlockMap.xml"))
ns = {"b": "http://schemas.microsoft.com/appx/2010/blockmap"}
mapped = []
for entry in blockmap.findall("b:File", ns):
    name = entry.get("Name").replace("\\", "/")
    mapped.append(name)
    info = package.getinfo(name)
    data = package.read(name)
    check(info.compress_type == zipfile.ZIP_STORED, name + " is not stored")
    check(int(entry.get("Size")) == len(data), name + ": size")
    name_length, extra_length = struct.unpack("<HH", raw[info.header_offset + 26:info.header_offset + 30])
    check(int(entry.get("LfhSize")) == 30 + name_length + extra_length, name + ": LfhSize")
    hashes = [b.get("Hash") for b in entry.findall("b:Block", ns)]
    blocks = [data[at:at + 65536] for at in range(0, len(data), 65536)]
    check(hashes == [base64.b64encode(hashlib.sha256(b).digest()).decode() for b in blocks],
          name + ": block hashes")
check(mapped == names[:4], "mapped: %s" % mapped)

manifest = package.read("AppxManifest.xml").decode()
each, one = (class_id.strip("{}") for class_id in class_ids)
# Each item type names both commands, "Create tar.xz" first, and each class
# is served once.
named = re.findall(r'(?:Clsid|com:Class Id)="([^"]*)"', manifest)
check(named == [each, one] * 3, "classes in the manifest: %s" % named)
dll = open(build + "/arkiva-shell.dll", "rb").read()
for guid in (each, one):
    check(("{%s}" % guid).encode("utf-16-le") in dll, "arkiva-shell.dll does not serve " + guid)

# A test-signed build trusts its own certificate; a release's signer is
# checked against the system's authorities.
trust = (["-CAfile", build + "/arkiva-test-signing.pem"]
         if os.path.exists(build + "/arkiva-shell.cer") else [])
verify = subprocess.run(["osslsigncode", "verify", *trust, "-in", build + "/arkiva-shell.msix"],
                        capture_output=True, text=True)
check(verify.returncode == 0 and "Signature verification: ok" in verify.stdout,
      "osslsigncode verify: " + verify.stdout + verify.stderr)
# Publisher is the signer's subject as Windows writes it (check-signing.py
# holds the cases).
signer = subprocess.run(["/usr/bin/python3", os.path.dirname(__file__) + "/../packaging/msix/publisher.py",
                         build + "/msix/signer.pem"], capture_output=True, text=True).stdout.strip()
subject = re.search(r"Signer #0:\s*\n\s*Subject: (.*)", verify.stdout)
check(subject is not None and signer.startswith("CN="), "signer: %r" % signer)
publisher = ElementTree.fromstring(manifest).find(
    "{http://schemas.microsoft.com/appx/manifest/foundation/windows10}Identity").get("Publisher")
check(publisher == signer, "Publisher %r, signer %r" % (publisher, signer))

print("\n".join(failures) or "arkiva-shell.msix: %d entries, %d mapped, signed by %s"
      % (len(names), len(mapped), signer))
sys.exit(1 if failures else 0)
