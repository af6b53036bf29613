#!/usr/bin/python3
"""Prints a certificate's subject as Windows writes it, which is what a
package manifest's Publisher must equal for Add-AppxPackage to accept the
package: CertNameToStr's X.500 form, most specific name first, ", " between
names and " + " within one, Windows' own keys, and a value in double quotes
(an inner quote doubled) wherever it holds one of , + = " < > # ; a line
break, or spaces at either end.

  publisher.py CERTIFICATE.pem
"""
import sys

from cryptography import x509

# The keys Windows knows by name; any other is written OID.<dotted number>.
KEYS = {
    "2.5.4.3": "CN",
    "2.5.4.7": "L",
    "2.5.4.10": "O",
    "2.5.4.11": "OU",
    "1.2.840.113549.1.9.1": "E",
    "2.5.4.6": "C",
    "2.5.4.8": "S",
    "2.5.4.9": "STREET",
    "2.5.4.12": "T",
    "2.5.4.42": "G",
    "2.5.4.43": "I",
    "2.5.4.4": "SN",
    "0.9.2342.19200300.100.1.25": "DC",
    "2.5.4.5": "SERIALNUMBER",
}
NEEDS_QUOTES = set(',+="<>#;\r\n')


def value_text(value):
    if isinstance(value, bytes):
        value = value.decode("latin-1")
    if value != value.strip(" ") or NEEDS_QUOTES & set(value):
        return '"' + value.replace('"', '""') + '"'
    return value


def publisher(name):
    names = []
    for rdn in reversed(name.rdns):
        parts = []
        for attribute in rdn:
            oid = attribute.oid.dotted_string
            parts.append("%s=%s" % (KEYS.get(oid, "OID." + oid), value_text(attribute.value)))
        names.append(" + ".join(parts))
    return ", ".join(names)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as pem:
        certificate = x509.load_pem_x509_certificate(pem.read())
    print(publisher(certificate.subject))
