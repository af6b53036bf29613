#!/usr/bin/python3
"""A release's signing, as packaging/msix/sign-msix.sh and packaging/sign-release.sh
do it for ./dev.sh package:

- the manifest's Publisher for certificates of the shapes real code-signing
  certificates have (OV, EV, names with commas and quotes, an e-mail
  address), each signed with a PFX of that subject, against the exact string
  Windows makes of that subject;
- a timestamp from a time-stamp authority on 127.0.0.1 (openssl ts -reply
  behind a small HTTP server), which osslsigncode verifies; an authority
  that cannot be reached fails the build;
- a key on a token through PKCS#11 (SoftHSM2);
- the release: arkiva.exe, arkiva-shell.dll, tar.exe and xz.exe as they go
  into the zip and the MSI, and the MSI, each signed by a PFX with a
  timestamp and by the token; an unreachable authority fails both and
  leaves no MSI; without a signer both are built unsigned, and say so.

  check-signing.py SOURCE_DIR BUILD_DIR
"""
import glob
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import xml.etree.ElementTree as ElementTree
import zipfile

source, build = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="arkiva-signing-")
failures = []

# openssl's -subj, most general name first, and Publisher as Windows writes it.
SUBJECTS = [
    ("/C=DE/ST=Bayern/L=München/O=Contoso GmbH/CN=Contoso GmbH",
     "CN=Contoso GmbH, O=Contoso GmbH, L=München, S=Bayern, C=DE"),
    ("/jurisdictionC=US/jurisdictionST=Delaware/businessCategory=Private Organization"
     "/serialNumber=5157550/C=US/ST=Washington/L=Redmond/O=Contoso, Inc./CN=Contoso, Inc.",
     'CN="Contoso, Inc.", O="Contoso, Inc.", L=Redmond, S=Washington, C=US, '
     "SERIALNUMBER=5157550, OID.2.5.4.15=Private Organization, "
     "OID.1.3.6.1.4.1.311.60.2.1.2=Delaware, OID.1.3.6.1.4.1.311.60.2.1.3=US"),
    ("/CN=Contoso, Inc.", 'CN="Contoso, Inc."'),
    ('/O=Fabrikam/CN=The "Best" Tools', 'CN="The ""Best"" Tools", O=Fabrikam'),
    ("/C=GB/O=Jane Doe/CN=Jane Doe/emailAddress=jane@example.com",
     "E=jane@example.com, CN=Jane Doe, O=Jane Doe, C=GB"),
]


def run(*command, env=None, check=True):
    done = subprocess.run(command, capture_output=True, text=True, env=env)
    if check and done.returncode != 0:
        raise RuntimeError("%s: %s%s" % (command[0], done.stdout, done.stderr))
    return done


def certificate(name, subject, usage="codeSigning"):
    key, pem = os.path.join(work, name + ".key"), os.path.join(work, name + ".pem")
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-utf8",
        "-subj", subject, "-keyout", key, "-out", pem,
        "-addext", "basicConstraints=critical,CA:FALSE",
        "-addext", "keyUsage=critical,digitalSignature",
        "-addext", "extendedKeyUsage=critical," + usage)
    return key, pem


def sign(name, env):
    """Builds the package in a build folder of its own; returns the folder
    and the signing's result."""
    folder = os.path.join(work, name)
    os.makedirs(folder)
    shutil.copy(os.path.join(build, "AppxManifest.xml"), folder)
    clean = {k: v for k, v in os.environ.items() if not k.startswith("ARKIVA_")}
    done = run("bash", os.path.join(source, "packaging/msix/sign-msix.sh"), source, folder,
               env={**clean, **env}, check=False)
    return folder, done


def verify(folder, *trust):
    return run("osslsigncode", "verify", *trust, "-in", folder + "/arkiva-shell.msix", check=False)


def publisher(folder):
    manifest = zipfile.ZipFile(folder + "/arkiva-shell.msix").read("AppxManifest.xml")
    ns = {"m": "http://schemas.microsoft.com/appx/manifest/foundation/windows10"}
    return ElementTree.fromstring(manifest).find("m:Identity", ns).get("Publisher")


def check(ok, what):
    if not ok:
        failures.append(what)


# Publisher, from a PFX of each subject.
for number, (subject, expected) in enumerate(SUBJECTS):
    key, pem = certificate("subject%d" % number, subject)
    pfx = os.path.join(work, "subject%d.pfx" % number)
    run("openssl", "pkcs12", "-export", "-inkey", key, "-in", pem, "-passout", "pass:secret",
        "-out", pfx)
    folder, done = sign("pfx%d" % number,
                        {"ARKIVA_SIGNING_PFX": pfx, "ARKIVA_SIGNING_PASSWORD": "secret"})
    if done.returncode != 0:
        check(False, "%s: not signed: %s" % (subject, done.stderr))
        continue
    check(publisher(folder) == expected, "%s: Publisher %r" % (subject, publisher(folder)))
    check("Signature verification: ok" in verify(folder, "-CAfile", pem).stdout,
          subject + ": the signature does not verify")


# A time-stamp authority on 127.0.0.1.
tsa_key, tsa_pem = certificate("tsa", "/CN=arkiva test time-stamp authority", "timeStamping")
with open(os.path.join(work, "tsa.cnf"), "w") as config:
    config.write("""[ tsa ]
default_tsa = arkiva
[ arkiva ]
serial = %(work)s/tsa.serial
crypto_device = builtin
signer_cert = %(pem)s
certs = %(pem)s
signer_key = %(key)s
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
""" % {"work": work, "pem": tsa_pem, "key": tsa_key})
with open(os.path.join(work, "tsa.serial"), "w") as serial:
    serial.write("01\n")


class TimeStampAuthority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = os.path.join(work, "query.tsq")
        with open(query, "wb") as f:
            f.write(self.rfile.read(int(self.headers["Content-Length"])))
        reply = run("openssl", "ts", "-reply", "-config", os.path.join(work, "tsa.cnf"),
                    "-queryfile", query, "-out", os.path.join(work, "reply.tsr"), check=False)
        if reply.returncode != 0:
            self.send_error(500)
            return
        body = open(os.path.join(work, "reply.tsr"), "rb").read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampAuthority)
threading.Thread(target=server.serve_forever, daemon=True).start()
url = "http://127.0.0.1:%d/" % server.server_port

folder, done = sign("timestamped", {"ARKIVA_TIMESTAMP_URL": url})
check(done.returncode == 0, "not signed with a timestamp: " + done.stderr)
if done.returncode == 0:
    result = verify(folder, "-CAfile", folder + "/arkiva-test-signing.pem", "-TSA-CAfile", tsa_pem)
    check("Timestamp Server Signature verification: ok" in result.stdout and
          "Signature verification: ok" in result.stdout,
          "the timestamp does not verify: " + result.stdout + result.stderr)

# An authority that cannot be reached (nothing listens on port 9) fails the build.
folder, done = sign("unreachable", {"ARKIVA_TIMESTAMP_URL": "http://127.0.0.1:9/"})
check(done.returncode != 0, "signed without the timestamp asked for")
check(not os.path.exists(folder + "/arkiva-shell.msix"), "an untimestamped package was left")


# A key on a token: SoftHSM2 through PKCS#11.
token_key, token_pem = certificate("token", "/O=Contoso/CN=Contoso token signer")
tokens = os.path.join(work, "tokens")
os.makedirs(tokens)
with open(os.path.join(work, "softhsm2.conf"), "w") as conf:
    conf.write("directories.tokendir = %s\nobjectstore.backend = file\n" % tokens)
hsm = {**os.environ, "SOFTHSM2_CONF": os.path.join(work, "softhsm2.conf")}
run("softhsm2-util", "--init-token", "--free", "--label", "arkiva", "--pin", "1234",
    "--so-pin", "5678", env=hsm)
pkcs8 = os.path.join(work, "token.p8")
run("openssl", "pkcs8", "-topk8", "-nocrypt", "-in", token_key, "-out", pkcs8)
run("softhsm2-util", "--import", pkcs8, "--token", "arkiva", "--label", "signing", "--id", "01",
    "--pin", "1234", env=hsm)
os.remove(token_key)  # the key is on the token only
folder, done = sign("token", {
    "SOFTHSM2_CONF": hsm["SOFTHSM2_CONF"],
    "ARKIVA_SIGNING_PKCS11_MODULE": "/usr/lib/softhsm/libsofthsm2.so",
    "ARKIVA_SIGNING_PKCS11_KEY": "pkcs11:token=arkiva;object=signing;type=private;pin-value=1234",
    "ARKIVA_SIGNING_CERT": token_pem,
})
check(done.returncode == 0, "not signed through PKCS#11: " + done.stderr)
if done.returncode == 0:
    check("Signature verification: ok" in verify(folder, "-CAfile", token_pem).stdout,
          "the token's signature does not verify")
    check(publisher(folder) == "CN=Contoso token signer, O=Contoso",
          "the token's Publisher: %r" % publisher(folder))



# The release: every program as it goes into the zip and the MSI, and the
# MSI itself.
PROGRAMS = ["arkiva.exe", "arkiva-shell.dll", "tar.exe", "xz.exe"]


def release(name, env):
    """Builds the zip (CPack) and the MSI (packaging/make-msi.sh) into a
    folder of their own; returns the folder, the files to verify and both
    results."""
    folder = os.path.join(work, name)
    clean = {k: v for k, v in os.environ.items() if not k.startswith("ARKIVA_")}
    zipped = run("cpack", "--config", os.path.join(build, "CPackConfig.cmake"),
                 "-B", folder + "/zip", env={**clean, **env}, check=False)
    msi = run("bash", os.path.join(source, "packaging/make-msi.sh"), build, folder + "/stage",
              folder + "/arkiva.msi", env={**clean, **env}, check=False)
    files = [folder + "/stage/" + program for program in PROGRAMS] + [folder + "/arkiva.msi"]
    for archive in glob.glob(folder + "/zip/*.zip"):
        with zipfile.ZipFile(archive) as opened:
            for member in opened.namelist():
                if os.path.basename(member) in PROGRAMS:
                    files.append(opened.extract(member, folder + "/unzipped"))
    return files, zipped, msi


release_key, release_pem = certificate("release", "/O=Contoso/CN=Contoso")
pfx = os.path.join(work, "release.pfx")
run("openssl", "pkcs12", "-export", "-inkey", release_key, "-in", release_pem,
    "-passout", "pass:secret", "-out", pfx)
by_file = {"ARKIVA_SIGNING_PFX": pfx, "ARKIVA_SIGNING_PASSWORD": "secret"}
by_token = {"SOFTHSM2_CONF": hsm["SOFTHSM2_CONF"],
            "ARKIVA_SIGNING_PKCS11_MODULE": "/usr/lib/softhsm/libsofthsm2.so",
            "ARKIVA_SIGNING_PKCS11_KEY":
                "pkcs11:token=arkiva;object=signing;type=private;pin-value=1234",
            "ARKIVA_SIGNING_CERT": token_pem}
for name, env, trust in [
        ("release-pfx", {**by_file, "ARKIVA_TIMESTAMP_URL": url},
         ["-CAfile", release_pem, "-TSA-CAfile", tsa_pem]),
        ("release-token", by_token, ["-CAfile", token_pem])]:
    files, zipped, msi = release(name, env)
    check(zipped.returncode == 0 and msi.returncode == 0,
          name + ": not built: " + zipped.stderr + msi.stderr)
    check(len(files) == 2 * len(PROGRAMS) + 1, name + ": files: %r" % files)
    for path in files:
        result = run("osslsigncode", "verify", *trust, "-in", path, check=False)
        check("Signature verification: ok" in result.stdout and
              ("-TSA-CAfile" not in trust or
               "Timestamp Server Signature verification: ok" in result.stdout),
              "%s: %s is not signed as asked: %s" % (name, path, result.stdout + result.stderr))

# An authority that cannot be reached fails both, and leaves no MSI.
files, zipped, msi = release("release-unreachable",
                             {**by_file, "ARKIVA_TIMESTAMP_URL": "http://127.0.0.1:9/"})
check(zipped.returncode != 0 and msi.returncode != 0, "a release without the timestamp asked for")
check(not os.path.exists(files[-1]), "an MSI without the timestamp asked for was left")

# No signer: a development build, unsigned, and it says so.
files, zipped, msi = release("release-unsigned", {})
check(zipped.returncode == 0 and msi.returncode == 0, "an unsigned build failed: " + msi.stderr)
check("stay unsigned" in msi.stderr, "an unsigned build does not say so: " + msi.stderr)
for path in files:
    result = run("osslsigncode", "verify", "-in", path, check=False)
    check(result.returncode != 0 and "o signature" in result.stdout + result.stderr,
          "an unsigned build holds a signature: %s: %s" % (path, result.stdout))

server.shutdown()
shutil.rmtree(work)
print("\n".join(failures) or
      "signing: %d subjects, a timestamp, an unreachable authority and a token; "
      "the release's programs and MSI by file and by token" % len(SUBJECTS))
sys.exit(1 if failures else 0)
