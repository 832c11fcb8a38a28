"""What a silent install must leave in a Wine prefix, checked from the Unix side.

A benchmark of an install that did not happen measures nothing, so every
counted run of either installer is checked: the payload's bytes in place,
the uninstaller beside it, both shortcuts, the nine registration values and
the Run value gone. The registry is read from the prefix's user.reg, which
wineserver writes when it shuts down, or, in a session that keeps running,
from what bench/reset.c writes in the same syntax.
"""

import filecmp
import os
import re

UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumiran"
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "Lumiran"
# A Run value planted before each install, so that its removal is observed.
STALE_RUN_DATA = r'"C:\old\Lumiran.exe"'

SHELL_LINK_HEADER = b"L\x00\x00\x00\x01\x14\x02\x00"


def profile_user(prefix):
    """The name of the prefix's one user profile (not Public)."""
    users = os.path.join(prefix, "drive_c", "users")
    names = sorted(n for n in os.listdir(users) if n != "Public" and os.path.isdir(os.path.join(users, n)))
    if len(names) != 1:
        raise RuntimeError(f"expected one user profile in {users}, found {names}")
    return names[0]


class Layout:
    """Where an install puts things, as Windows and as Unix paths."""

    def __init__(self, prefix, user):
        self.install_dir_win = "C:\\users\\%s\\AppData\\Local\\Programs\\Lumiran" % user
        profile = os.path.join(prefix, "drive_c", "users", user)
        self.install_dir = os.path.join(profile, "AppData", "Local", "Programs", "Lumiran")
        self.exe = os.path.join(self.install_dir, "Lumiran.exe")
        self.uninstaller = os.path.join(self.install_dir, "Lumiran-Uninstall.exe")
        self.desktop_link = os.path.join(profile, "Desktop", "Lumiran.lnk")
        self.programs_link = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Windows",
                                          "Start Menu", "Programs", "Lumiran.lnk")


def expected_registration(install_dir_win, version):
    """The nine values, as (type, data) with the types of user.reg."""
    return {
        "DisplayName": ("sz", "Lumiran"),
        "DisplayVersion": ("sz", version),
        "Publisher": ("sz", "Lumiran"),
        "InstallLocation": ("sz", install_dir_win),
        "DisplayIcon": ("sz", install_dir_win + "\\Lumiran.exe,0"),
        "UninstallString": ("sz", '"%s\\Lumiran-Uninstall.exe" /uninstall' % install_dir_win),
        "EstimatedSize": ("dword", 1024),
        "NoModify": ("dword", 1),
        "NoRepair": ("dword", 1),
    }


_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t", "0": "\0", "a": "\a"}


def _unescape(text):
    """Undoes the escaping of strings in Wine's registry files."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        nxt = text[i + 1] if i + 1 < len(text) else ""
        if nxt == "x":
            digits = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
            if digits:
                out.append(chr(int(digits.group(0), 16)))
                i += 2 + len(digits.group(0))
                continue
        out.append(_ESCAPES.get(nxt, nxt))
        i += 2
    return "".join(out)


def _split_quoted(line):
    """'"name"=rest' -> (name, rest); the name may hold escaped quotes."""
    i = 1
    while i < len(line):
        if line[i] == "\\":
            i += 2
            continue
        if line[i] == '"':
            break
        i += 1
    return _unescape(line[1:i]), line[i + 2:]


def parse_values(data):
    """The value part of a user.reg line -> (type, data); unknown types stay raw."""
    if data.startswith('"') and data.endswith('"'):
        return ("sz", _unescape(data[1:-1]))
    if data.startswith("dword:"):
        return ("dword", int(data[6:], 16))
    return ("raw", data)


def read_key(reg_text, key_path):
    """The values of one key in a Wine registry file, or None when it is absent.

    Key paths are compared without regard to case, as Windows does."""
    wanted = key_path.lower()
    values = None
    pending = ""
    for raw in reg_text.splitlines():
        line = pending + raw
        # Long values are continued on the next line after a backslash.
        if line.endswith("\\") and not line.endswith("\\\\"):
            pending = line[:-1]
            continue
        pending = ""
        if line.startswith("["):
            if values is not None:
                return values
            end = line.rfind("]")
            if _unescape(line[1:end]).lower() == wanted:
                values = {}
            continue
        if values is not None and line.startswith('"'):
            name, data = _split_quoted(line)
            values[name] = parse_values(data)
    return values


def plant_run_value(reg_text):
    """user.reg text with the stale Run value added to the Run key."""
    entry = '"%s"="%s"' % (RUN_VALUE, STALE_RUN_DATA.replace("\\", "\\\\").replace('"', '\\"'))
    lines = reg_text.splitlines()
    header = "[" + RUN_KEY.replace("\\", "\\\\").lower() + "]"
    for i, line in enumerate(lines):
        if line.lower().startswith(header):
            at = i + 1
            while at < len(lines) and lines[at].startswith("#"):
                at += 1
            lines.insert(at, entry)
            return "\n".join(lines) + "\n"
    return reg_text + "\n[%s] 0\n%s\n" % (RUN_KEY.replace("\\", "\\\\"), entry)


def payload_problems(layout, payload):
    if not os.path.isfile(layout.exe):
        return ["Lumiran.exe is missing"]
    if os.path.getsize(layout.exe) != os.path.getsize(payload):
        return ["Lumiran.exe has %d bytes, the payload %d" % (os.path.getsize(layout.exe), os.path.getsize(payload))]
    if not filecmp.cmp(layout.exe, payload, shallow=False):
        return ["Lumiran.exe differs from the payload"]
    return []


def install_problems(prefix, payload, version, uninstaller_source=None, reg_text=None):
    """Everything a finished silent install of version got wrong, as readable lines.

    uninstaller_source: the file the uninstaller must equal (an installer that
    copies itself), or None when any executable will do (one that writes a
    separate uninstaller). reg_text: the registry in user.reg syntax, when
    the prefix's wineserver still runs (user.reg is read otherwise)."""
    layout = Layout(prefix, profile_user(prefix))
    problems = payload_problems(layout, payload)
    if not os.path.isfile(layout.uninstaller):
        problems.append("Lumiran-Uninstall.exe is missing")
    elif uninstaller_source is not None:
        if not filecmp.cmp(layout.uninstaller, uninstaller_source, shallow=False):
            problems.append("Lumiran-Uninstall.exe is not a copy of the installer")
    else:
        with open(layout.uninstaller, "rb") as f:
            if f.read(2) != b"MZ":
                problems.append("Lumiran-Uninstall.exe is not an executable")
    for name, link in (("Desktop", layout.desktop_link), ("Programs", layout.programs_link)):
        if not os.path.isfile(link):
            problems.append("the %s shortcut is missing" % name)
            continue
        with open(link, "rb") as f:
            if f.read(len(SHELL_LINK_HEADER)) != SHELL_LINK_HEADER:
                problems.append("the %s shortcut is not a shell link" % name)
    reg = reg_text
    if reg is None:
        with open(os.path.join(prefix, "user.reg"), encoding="utf-8", errors="replace") as f:
            reg = f.read()
    values = read_key(reg, UNINSTALL_KEY) or {}
    expected = expected_registration(layout.install_dir_win, version)
    for name, want in expected.items():
        got = values.get(name)
        if got != want:
            problems.append("registration %s is %r, not %r" % (name, got, want))
    for name in sorted(set(values) - set(expected)):
        problems.append("registration has an extra value %s" % name)
    run = read_key(reg, RUN_KEY) or {}
    if RUN_VALUE in run:
        problems.append("the Run value %s is still there" % RUN_VALUE)
    return problems
