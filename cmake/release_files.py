#!/usr/bin/python3
"""Writes the two files that a release publishes beside a setup image, named
after it:

  NAME.notices.txt  the copyright and licence notices of the compiler's
                    runtime linked into the image, as the toolchain states them
  NAME.cdx.json     a CycloneDX 1.6 bill of materials: the image, the payload
                    it carries and the runtime it links statically

What is in the image is read from the linker's map (-Wl,-Map=): a runtime
archive counts when a member of it put bytes into the image, so a library
that the link only searched, or whose members --gc-sections dropped whole,
is not named. Both files are written only when their content changes; with
SOURCE_DATE_EPOCH set they depend on nothing but their inputs.

Usage: release_files.py --image IMAGE --map MAP --payload EXE --version X.Y.Z
                        --compiler CXX [--own DIR]...
--own names folders (the source and build trees) whose files are the
program's own, not the toolchain's.
"""
import argparse
import datetime
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import uuid

GCC_LICENCE = "GPL-3.0-or-later WITH GCC-exception-3.1"

# The runtime's parts, told apart by archive or object name. The mingw-w64
# package holds both its runtime and winpthreads, which are licensed apart;
# the runtime is also its import libraries, whatever their names.
PARTS = [
    (r"lib(win)?pthread(\.dll)?\.a", "winpthreads", "MIT", "mingw"),
    (r"lib(std|sup)c\+\+\.a", "libstdc++", GCC_LICENCE, "gcc"),
    (r"(libgcc(_eh|_s)?\.a|crt(begin|end|fastmath)\.o)", "libgcc", GCC_LICENCE, "gcc"),
    (r"libssp(_nonshared)?\.a", "libssp", GCC_LICENCE, "gcc"),
    (r"libquadmath\.a", "libquadmath", "LGPL-2.1-or-later", "gcc"),
    (r".*", "mingw-w64 runtime", "ZPL-2.1", "mingw"),
]
COMMON_LICENCES = "/usr/share/common-licenses/"


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def linked_files(map_text, own_dirs):
    """The toolchain's files that put bytes into the image, in map order."""
    start = map_text.find("\nLinker script and memory map\n")
    if start < 0:
        raise ValueError("the link map has no memory map")
    files, output = [], None
    for line in map_text[start:].splitlines():
        if line[:1] not in (" ", ""):
            output = line.split()[0]
            continue
        m = re.match(r" (\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(.+)$", line)
        if not m or int(m.group(2), 16) == 0 or output == "/DISCARD/" or \
                re.match(r"\.(z?debug|stab)", output or ""):
            continue
        path = re.sub(r"\([^()]*\)$", "", m.group(3).strip())
        if not os.path.isabs(path):
            continue  # the program's own, named as the link was given them
        path = os.path.normpath(path)
        if any(path.startswith(d + os.sep) for d in own_dirs) or not os.path.isfile(path):
            continue
        if path not in files:
            files.append(path)
    return files


def run(*args):
    try:
        result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                universal_newlines=True)
    except OSError:
        return None
    return result.stdout.strip() if result.returncode == 0 else None


def debian_packages(paths):
    """{path: (package, version, architecture)} for the paths a Debian package holds."""
    def owners(queried):
        try:
            result = subprocess.run(["dpkg-query", "-S"] + sorted(queried), stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, universal_newlines=True)
        except OSError:
            return {}
        found = (line.split(": ", 1) for line in result.stdout.splitlines() if ": " in line)
        return {path: package for package, path in found if ", " not in package and path in queried}

    found = owners(set(paths))
    real = {os.path.realpath(p): p for p in paths if p not in found}
    found.update((real[r], package) for r, package in owners(set(real)).items())
    fields = run("dpkg-query", "-W", "-f=${Package} ${Version} ${Architecture}\n", *sorted(set(found.values())))
    versions = {line.split()[0]: tuple(line.split()) for line in (fields or "").splitlines()}
    return {path: versions[package.split(":")[0]] for path, package in found.items()
            if package.split(":")[0] in versions}


def toolchain_version(family, compiler):
    """What a toolchain that is not Debian's says its version is."""
    if family == "gcc":
        return run(compiler, "-dumpfullversion") or run(compiler, "-dumpversion")
    try:
        result = subprocess.run([compiler, "-E", "-P", "-x", "c", "-"],
                                input="#include <_mingw_mac.h>\n__MINGW64_VERSION_STR\n",
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, universal_newlines=True)
    except OSError:
        return None
    lines = result.stdout.split()
    return lines[-1].strip('"') if result.returncode == 0 and lines else None


def components(files, compiler):
    """One record per runtime part, with the archives it came from."""
    found, packages = {}, debian_packages(files)
    for path in files:
        name = os.path.basename(path)
        part, licence, family = next((p, l, f) for pattern, p, l, f in PARTS if re.fullmatch(pattern, name))
        package = packages.get(path)
        if family == "mingw" and package and not package[0].startswith("mingw-w64"):
            part, licence = package[0], None  # a library of another package: its copyright file tells
        record = found.setdefault(part, dict(name=part, licence=licence, archives=[], package=package,
                                             family=family))
        record["archives"].append(path)
        if record["package"] != package:
            record["package"] = None  # parts from several packages, or from none: not Debian's to name
    for record in found.values():
        package = record["package"]
        record["version"] = package[1] if package else toolchain_version(record["family"], compiler)
    # Those whose licences ask for notices first.
    return sorted(found.values(), key=lambda r: (r["family"] != "mingw", r["name"]))


def version_resource(path):
    """The fixed product version of a PE file's version resource, or None."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        sections, optional_size = struct.unpack_from("<2xH12xH", data, pe + 4)
        optional = pe + 24
        directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
        rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        table = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i) for i in range(sections)]

        def offset(rva):
            for _size, address, raw_size, raw in table:
                if address <= rva < address + raw_size:
                    return rva - address + raw
            raise ValueError("RVA outside the sections")

        base = offset(rsrc_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<12xHH", data, base + directory)
            for i in range(named + ids):
                yield struct.unpack_from("<II", data, base + directory + 16 + 8 * i)

        def first(directory, wanted=None):
            for ident, target in entries(directory):
                if wanted is None or ident == wanted:
                    return target & 0x7FFFFFFF
            raise LookupError

        leaf = first(first(first(0, 16)))
        data_rva, size = struct.unpack_from("<II", data, base + leaf)
        block = data[offset(data_rva):offset(data_rva) + size]
        fixed = block.index(struct.pack("<I", 0xFEEF04BD))
        ms, ls = struct.unpack_from("<II", block, fixed + 16)
    except (struct.error, ValueError, LookupError):
        return None
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def notices(image_name, parts):
    lines = ["Third-party notices for %s" % image_name, "",
             "The program contains these parts of its compiler's runtime, linked into it",
             "statically. Their notices follow, as the toolchain that built it states them.", ""]
    for part in parts:
        origin = "Debian package %s %s" % part["package"][:2] if part["package"] else "version %s" % (
            part["version"] or "unknown")
        lines.append("  %s (%s): %s" % (part["name"], origin, part["licence"] or "see below"))
    lines += ["", "Linked from:"] + ["  " + a for p in parts for a in p["archives"]]
    texts, unknown = {}, []
    for part in parts:
        copyright = "/usr/share/doc/%s/copyright" % part["package"][0] if part["package"] else None
        if copyright and os.path.isfile(copyright):
            texts.setdefault(copyright, []).append(part)
        else:
            unknown.append(part)
    shown, referenced = {}, []
    for copyright, owners in texts.items():
        with open(copyright, encoding="utf-8", errors="replace") as f:
            text = f.read()
        names = ", ".join(p["name"] for p in owners)
        lines += ["", "=" * 78, "%s, as Debian states their copyright and licences in" % names,
                  copyright, "=" * 78, ""]
        digest = hashlib.sha256(text.encode()).hexdigest()
        if digest in shown:
            lines.append("The same text as the notices of %s above." % shown[digest])
            continue
        shown[digest] = names
        lines.append(text.rstrip("\n"))
        for ref in re.findall(re.escape(COMMON_LICENCES) + r"([A-Za-z0-9.+_-]*[A-Za-z0-9+])", text):
            if ref not in referenced and os.path.isfile(COMMON_LICENCES + ref):
                referenced.append(ref)
    if unknown:
        lines += ["", "=" * 78, "Notices not found", "=" * 78, "",
                  "The notices of these parts could not be found: their archives belong to no",
                  "Debian package, so the toolchain is not one whose notices this build can read.",
                  "Add them by hand before publishing the image."]
        lines += ["  %s: %s" % (p["name"], ", ".join(p["archives"])) for p in unknown]
    # Debian's copyright files name these by path instead of quoting them.
    written = {}
    for ref in referenced:
        real = os.path.realpath(COMMON_LICENCES + ref)
        lines += ["", "=" * 78, "%s%s" % (COMMON_LICENCES, ref), "=" * 78, ""]
        if real in written:
            lines.append("The same text as %s%s above." % (COMMON_LICENCES, written[real]))
            continue
        written[real] = ref
        with open(real, encoding="utf-8", errors="replace") as f:
            lines.append(f.read().rstrip("\n"))
    return "\n".join(lines) + "\n", unknown


def bill_of_materials(image, image_digest, version, payload, parts, timestamp):
    image_ref = "setup-image"
    embedded = {"type": "application", "bom-ref": "payload", "name": "Lumiran.exe"}
    if version_resource(payload):
        embedded["version"] = version_resource(payload)
    embedded["hashes"] = [{"alg": "SHA-256", "content": sha256(payload)}]
    embedded["properties"] = [{"name": "lumiran:relationship", "value": "contained: installed by the setup image"}]
    bom_components = [embedded]
    for part in parts:
        record = {"type": "library", "bom-ref": "runtime:" + part["name"].replace(" ", "-"), "name": part["name"]}
        if part["version"]:
            record["version"] = part["version"]
        if part["licence"]:
            record["licenses"] = [{"expression": part["licence"]} if " " in part["licence"] else
                                  {"license": {"id": part["licence"]}}]
        if part["package"]:
            package, package_version, arch = part["package"]
            record["purl"] = "pkg:deb/debian/%s@%s?arch=%s" % (package, package_version, arch)
        record["properties"] = [{"name": "lumiran:relationship", "value": "linked statically into the setup image"}]
        record["properties"] += [{"name": "lumiran:archive", "value": a} for a in part["archives"]]
        bom_components.append(record)
    serial = uuid.UUID(bytes=bytes.fromhex(image_digest)[:16], version=5)
    return {
        "$schema": "http://cyclonedx.org/schema/bom-1.6.schema.json",
        "bomFormat": "CycloneDX",
        "specVersion": "1.6",
        "serialNumber": serial.urn,
        "version": 1,
        "metadata": {
            "timestamp": timestamp,
            "component": {"type": "application", "bom-ref": image_ref, "name": os.path.basename(image),
                          "version": version, "hashes": [{"alg": "SHA-256", "content": image_digest}]},
        },
        "components": bom_components,
        # The image's code calls into the runtime; the payload it only carries.
        "dependencies": [{"ref": image_ref, "dependsOn": [c["bom-ref"] for c in bom_components[1:]]}],
    }


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path + ".new", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".new", path)


def main():
    parser = argparse.ArgumentParser()
    for option in ("image", "map", "payload", "version", "compiler"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--own", action="append", default=[])
    args = parser.parse_args()
    stem = os.path.splitext(args.image)[0]
    notices_path, bom_path = stem + ".notices.txt", stem + ".cdx.json"
    with open(args.map, encoding="utf-8", errors="replace") as f:
        files = linked_files(f.read(), [os.path.normpath(os.path.abspath(d)) for d in args.own])
    parts = components(files, args.compiler)
    text, unknown = notices(os.path.basename(args.image), parts)
    if unknown:
        print("Warning: the notices of %s could not be found; %s names their archives and says so. "
              "Add the notices by hand before publishing." % (", ".join(p["name"] for p in unknown),
                                                               notices_path), file=sys.stderr)
    epoch = os.environ.get("SOURCE_DATE_EPOCH") or None
    when = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc) if epoch else \
        datetime.datetime.now(datetime.timezone.utc)
    timestamp = when.strftime("%Y-%m-%dT%H:%M:%SZ")
    bom = bill_of_materials(args.image, sha256(args.image), args.version, args.payload, parts, timestamp)
    # Without SOURCE_DATE_EPOCH only the time would differ: keep the file as it is.
    try:
        with open(bom_path, encoding="utf-8") as f:
            old = json.load(f)
        if not epoch and dict(bom, metadata=dict(bom["metadata"], timestamp=None)) == \
                dict(old, metadata=dict(old.get("metadata", {}), timestamp=None)):
            bom = old
    except (OSError, ValueError, AttributeError):
        pass
    write_if_changed(notices_path, text)
    write_if_changed(bom_path, json.dumps(bom, indent=2) + "\n")


if __name__ == "__main__":
    try:
        main()
    except Exception:
        # An image without its files must not look built: the next build
        # links it again and writes them.
        image = sys.argv[sys.argv.index("--image") + 1]
        for path in (image, os.path.splitext(image)[0] + ".notices.txt", os.path.splitext(image)[0] + ".cdx.json"):
            if os.path.exists(path):
                os.remove(path)
        print("Writing the notices and the bill of materials failed; no image is left at %s" % image,
              file=sys.stderr)
        raise
