"""The sparse package that puts Copy text in the first level of Windows 11's
right-click menu; tools/release makes it for the x64 installer when it signs:

    msix.py --certificate SIGNER.pem --out FILE   the package, unsigned
    msix.py --settle FILE                         once osslsigncode has signed it

The package holds AppxManifest.xml alone: this folder's, with Quillbox's version
and, as its publisher, the subject of the certificate that signs it, which
Windows requires to be the same. The files it names are Quillbox's install
folder, with which the installer registers it (its "external location").

Microsoft's packaging tools do not run here, so the package is laid out as
MakeAppx lays out its own, which is what Windows reads:
- the entries AppxManifest.xml, AppxBlockMap.xml and [Content_Types].xml, in
  that order (the signer appends AppxSignature.p7x), each raw deflate with a
  full flush after each 64 KiB block;
- each local header with flag 8 (CRC and sizes zero there, and in a zip64 data
  descriptor after the data) and version 45; a zip64 extra field in each
  central directory entry; the zip64 end records, and an end of central
  directory record of 0xFFFF;
- AppxBlockMap.xml: for each entry but itself and [Content_Types].xml, its
  size, its local header's size, and for each 64 KiB block the SHA-256 of its
  data and its size compressed;
- [Content_Types].xml: the manifest's and the block map's types, ending in
  </Types>, before which the signer adds the signature's.

The same certificate and version give the same bytes: every entry's time is
SOURCE_DATE_EPOCH, and --settle gives the signature's entry that time too, in
place of the clock's, with which osslsigncode stamps it (outside what the
signature covers). Python's standard library only.
"""
import argparse
import base64
import hashlib
import os
import re
import ssl
import struct
import sys
import time
import zlib
from pathlib import Path
from string import Template
from xml.sax.saxutils import escape

import pack

MANIFEST = Path(__file__).with_name("AppxManifest.xml")
BLOCK = 65536
SIGNATURE = "AppxSignature.p7x"
# The names Windows gives the subject's attributes, which a manifest's publisher
# must use (the schema's pattern); any other is written OID.<its number>.
ATTRIBUTES = {"2.5.4.3": "CN", "2.5.4.7": "L", "2.5.4.10": "O", "2.5.4.11": "OU", "1.2.840.113549.1.9.1": "E",
              "2.5.4.6": "C", "2.5.4.8": "S", "2.5.4.9": "STREET", "2.5.4.12": "T", "2.5.4.42": "G",
              "2.5.4.43": "I", "2.5.4.4": "SN", "0.9.2342.19200300.100.1.25": "DC", "2.5.4.5": "SERIALNUMBER",
              "2.5.4.13": "Description", "2.5.4.17": "PostalCode", "2.5.4.18": "POBox", "2.5.4.20": "Phone",
              "2.5.4.24": "X21Address", "2.5.4.46": "dnQualifier"}
# How the attributes' strings are encoded, by their DER tags.
STRINGS = {0x0C: "utf-8", 0x13: "ascii", 0x16: "ascii", 0x14: "latin-1", 0x1E: "utf-16-be", 0x1C: "utf-32-be"}


def version():
    """Quillbox's version in the package's four parts: 1.2.2485.0 for 1.02.2485."""
    return pack.product_version() + ".0"


def der(data, at):
    """The DER element at `at`: (tag, where its content starts, where it ends)."""
    tag, length, at = data[at], data[at + 1], at + 2
    if length & 0x80:
        count = length & 0x7F
        length, at = int.from_bytes(data[at:at + count], "big"), at + count
    return tag, at, at + length


def elements(data, start, end):
    while start < end:
        element = der(data, start)
        yield element
        start = element[2]


def object_id(content):
    numbers, value = [], 0
    for byte in content:
        value = value << 7 | byte & 0x7F
        if not byte & 0x80:
            numbers.append(value)
            value = 0
    first = min(numbers[0] // 40, 2)
    return ".".join(map(str, [first, numbers[0] - 40 * first] + numbers[1:]))


def publisher(pem):
    """The certificate's subject as Windows writes it, and so as the manifest must:
    the last attribute first, "KEY=value" joined by ", ", a value that holds any of
    , + = " < > # ; or blanks at its ends in quotation marks (its own doubled)."""
    data = ssl.PEM_cert_to_DER_cert(re.search(r"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----", pem, re.S)[0])
    _, start, end = der(data, 0)                # Certificate
    _, start, end = der(data, start)            # its TBSCertificate
    fields = list(elements(data, start, end))
    if fields[0][0] == 0xA0:                    # the version, when not 1
        fields = fields[1:]
    _, start, end = fields[4]                   # serial, signature, issuer, validity, subject
    parts = []
    for _, set_start, set_end in elements(data, start, end):
        attributes = list(elements(data, set_start, set_end))
        if len(attributes) != 1:
            sys.exit("msix.py: the certificate's subject has several attributes in one part, "
                     "which a package's publisher cannot name")
        (_, oid_start, oid_end), (tag, value_start, value_end) = elements(data, *attributes[0][1:])
        number = object_id(data[oid_start:oid_end])
        value = data[value_start:value_end].decode(STRINGS.get(tag, "utf-8"))
        if re.search(r'[,+="<>#;]|^\s|\s$', value):
            value = '"' + value.replace('"', '""') + '"'
        parts.append(f"{ATTRIBUTES.get(number, 'OID.' + number)}={value}")
    return ", ".join(reversed(parts))


def dos_time(epoch):
    t = time.gmtime(max(epoch, pack.DOS_EPOCH))
    return (t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec // 2, (t.tm_year - 1980) << 9 | t.tm_mon << 5 | t.tm_mday)


def deflate(data):
    """Raw deflate, flushed after each block: (the bytes, [(block's SHA-256, its size compressed)])."""
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    out, blocks = b"", []
    for at in range(0, len(data), BLOCK):
        piece = compressor.compress(data[at:at + BLOCK]) + compressor.flush(zlib.Z_FULL_FLUSH)
        blocks.append((hashlib.sha256(data[at:at + BLOCK]).digest(), len(piece)))
        out += piece
    return out + compressor.flush(zlib.Z_FINISH), blocks


def package(manifest, epoch):
    """The package's bytes, of these manifest's bytes."""
    stamp = dos_time(epoch)
    out, central = bytearray(), bytearray()

    def add(name, data):
        raw_name = name.encode()
        body, blocks = deflate(data)
        crc, offset = zlib.crc32(data), len(out)
        header = struct.pack("<4s5H3I2H", b"PK\3\4", 45, 8, 8, *stamp, 0, 0, 0, len(raw_name), 0) + raw_name
        out.extend(header + body + struct.pack("<4sIQQ", b"PK\7\10", crc, len(body), len(data)))
        central.extend(struct.pack("<4s6H3I5HII", b"PK\1\2", 45, 45, 8, 8, *stamp, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                                   len(raw_name), 28, 0, 0, 0, 0, 0xFFFFFFFF) + raw_name +
                       struct.pack("<HHQQQ", 1, 24, len(data), len(body), offset))
        return len(header), blocks

    header_size, blocks = add("AppxManifest.xml", manifest)
    block_map = ('<?xml version="1.0" encoding="UTF-8" standalone="no"?>'
                 '<BlockMap xmlns="http://schemas.microsoft.com/appx/2010/blockmap" '
                 'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256">'
                 f'<File Name="AppxManifest.xml" Size="{len(manifest)}" LfhSize="{header_size}">' +
                 "".join(f'<Block Hash="{base64.b64encode(digest).decode()}" Size="{size}"/>' for digest, size in blocks) +
                 "</File></BlockMap>")
    add("AppxBlockMap.xml", block_map.encode())
    add("[Content_Types].xml", ('<?xml version="1.0" encoding="UTF-8"?>'
                                '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                                '<Default Extension="xml" ContentType="application/vnd.ms-appx.manifest+xml"/>'
                                '<Override PartName="/AppxBlockMap.xml" ContentType="application/vnd.ms-appx.blockmap+xml"/>'
                                "</Types>").encode())
    count, start = 3, len(out)
    out += central
    end = len(out)
    out += struct.pack("<4sQ2H2I4Q", b"PK\6\6", 44, 45, 45, 0, 0, count, count, len(central), start)
    out += struct.pack("<4sIQI", b"PK\6\7", 0, end, 1)
    out += struct.pack("<4s4H2IH", b"PK\5\6", 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    return bytes(out)


def settle(path, epoch):
    """Gives the signature's entry the package's time, in its local header and in the central directory."""
    data = bytearray(path.read_bytes())
    end = struct.unpack_from("<Q", data, len(data) - 22 - 12)[0]  # from the zip64 locator
    count, _, at = struct.unpack_from("<3Q", data, end + 32)
    for _ in range(count):
        sizes = struct.unpack_from("<2I", data, at + 20)
        name_length, extra_length, comment_length = struct.unpack_from("<3H", data, at + 28)
        offset = struct.unpack_from("<I", data, at + 42)[0]
        name = data[at + 46:at + 46 + name_length]
        extra = data[at + 46 + name_length:at + 46 + name_length + extra_length]
        if name == SIGNATURE.encode():
            field = 0
            while offset == 0xFFFFFFFF and field + 4 <= len(extra):  # then in the zip64 field, after its sizes
                tag, length = struct.unpack_from("<2H", extra, field)
                if tag == 1:
                    offset = struct.unpack_from("<Q", extra, field + 4 + 8 * sizes.count(0xFFFFFFFF))[0]
                field += 4 + length
            for place in (at + 12, offset + 10):
                struct.pack_into("<2H", data, place, *dos_time(epoch))
            path.write_bytes(data)
            return
        at += 46 + name_length + extra_length + comment_length
    sys.exit(f"msix.py: {path} has no {SIGNATURE}: is it signed?")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--certificate", type=Path, help="the signing certificate (PEM), whose subject is the publisher")
    parser.add_argument("--out", type=Path)
    parser.add_argument("--settle", type=Path, metavar="FILE")
    args = parser.parse_args()
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    if args.settle:
        settle(args.settle, epoch)
        return
    if not (args.certificate and args.out):
        parser.error("give --certificate and --out, or --settle")
    subject = publisher(args.certificate.read_text())
    manifest = Template(MANIFEST.read_text(encoding="utf-8")).substitute(
        version=version(), publisher=escape(subject, {'"': "&quot;"}))
    args.out.write_bytes(package(manifest.encode("utf-8"), epoch))
    print(f"Publisher: {subject}")


if __name__ == "__main__":
    main()
