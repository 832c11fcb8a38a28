"""Reads a Windows image with tools that share no code with the setup program:
wrestool (icoutils) for resources, exiftool for the version block and
objdump for the PE headers and the import table. Where a format is simple
and public (icon directory, PNG header, version block) it is parsed here.
"""
import collections
import re
import struct
import subprocess
import sys
import unittest

OBJDUMP = "x86_64-w64-mingw32-objdump"


def run(*args):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout


def resources(image):
    """Every resource as (type, name, language), as wrestool lists them."""
    listing = run("wrestool", "-l", image).decode()
    found = []
    for line in listing.splitlines():
        m = re.match(r"--type=(\S+) --name=(\S+) --language=(\S+) ", line)
        if not m:
            raise AssertionError("unexpected wrestool line: " + line)
        found.append(m.groups())
    return found


def resource(image, type_, name):
    """The raw bytes of one resource; fails when it is missing."""
    data = run("wrestool", "-x", "--raw", "--type=%s" % type_, "--name=%s" % name, image)
    if not data:
        raise AssertionError("no resource type %s name %s in %s" % (type_, name, image))
    return data


def icon_group(data):
    """An RT_GROUP_ICON directory: (reserved, type, [entry dicts])."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    entries = []
    for i in range(count):
        w, h, colours, res, planes, bpp, size, ident = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        entries.append(dict(width=w, height=h, colours=colours, reserved=res,
                            planes=planes, bpp=bpp, bytes=size, id=ident))
    if len(data) != 6 + 14 * count:
        raise AssertionError("icon group of %d bytes for %d entries" % (len(data), count))
    return reserved, kind, entries


def png_header(data):
    """(width, height, bit depth, colour type, interlace) from a PNG's IHDR."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError("not a PNG image")
    length, chunk = struct.unpack_from(">I4s", data, 8)
    if chunk != b"IHDR" or length != 13:
        raise AssertionError("PNG without IHDR first")
    w, h, depth, colour, _compression, _filter, interlace = struct.unpack_from(">IIBBBBB", data, 16)
    return w, h, depth, colour, interlace


VersionNode = collections.namedtuple("VersionNode", "key kind value children length")


def version_tree(data, offset=0):
    """The VS_VERSIONINFO node at offset, with its children."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    if length < 6 or offset + length > len(data):
        raise AssertionError("version node at %d claims %d bytes" % (offset, length))
    end = offset + length
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if kind == 1 else value_length  # text values count WCHARs
    value = data[pos:pos + value_size]
    pos = (pos + value_size + 3) & ~3
    children = []
    while pos < end:
        child = version_tree(data, pos)
        children.append(child)
        pos = (pos + child.length + 3) & ~3
    return VersionNode(key, kind, value, children, length)


def objdump_private(image):
    return run(OBJDUMP, "-p", image).decode()


def imports(objdump_text):
    """{DLL name: [(name or None, ordinal or None)]} from objdump -p.

    binutils 2.40 prints each entry as "THUNK HINT NAME", with the ordinal
    flag in the thunk; 2.44 as "SLOT ORDINAL HINT NAME", with "<none>" for
    what is not there. Each DLL's column header tells which.
    """
    table = {}
    current = None
    in_imports = False
    columns = None
    for line in objdump_text.splitlines():
        if line.startswith("The Import Tables"):
            in_imports = True
            continue
        if in_imports and line and not line.startswith(("\t", " ")):
            in_imports = False  # the next table begins
        if not in_imports:
            continue
        m = re.match(r"\s+DLL Name: (\S+)", line)
        if m:
            current = table.setdefault(m.group(1), [])
            continue
        if re.match(r"\s+vma:\s", line):
            columns = "ordinal" if "Ordinal" in line else "thunk"
            continue
        if columns == "ordinal" and current is not None:
            m = re.match(r"\t[0-9a-f]+\s+(<none>|\d+)\s+(<none>|[0-9a-f]+)\s+(\S+)", line)
            if m:
                ordinal = m.group(1)
                current.append((None, int(ordinal)) if ordinal != "<none>" else (m.group(3), None))
            continue
        # "\tTHUNK\t HINT NAME"; the directory rows in between start with a space
        m = re.match(r"\t([0-9a-f]+)\t\s*([0-9a-f]+)\s+(\S+)$", line)
        if m and current is not None:
            thunk = int(m.group(1), 16)
            if thunk >> 63:  # IMAGE_ORDINAL_FLAG64: imported by ordinal
                current.append((None, thunk & 0xFFFF))
            else:
                current.append((m.group(3), None))
    return table


def main():
    """Runs the calling script's test cases; the script has taken its own arguments."""
    unittest.main(module="__main__", argv=[sys.argv[0], "-v"])
