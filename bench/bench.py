#!/usr/bin/python3
"""Silent-install benchmark: Lumiran Setup against an NSIS peer under Wine.

    bench.py TREE [--smoke] [--out DIR] [--runs N] [--cold-runs N] [--sizes A,B]
                  [--variant-ldflags FLAGS] [--variant-patch FILE]

TREE is a configured and built cross tree (build/win64). The full run builds
our installer once per payload in trees of its own under build/bench/ (with
the flags of TREE), the NSIS peer from bench/peer.nsi with the same payload,
a minimal program that makes the calls of our silent install
(bench/minimal.c) with the resources of our image, and the floor programs.

The main measurement is a warm session: per payload one prefix, booted once
and kept running (a persistent wineserver, and bench/startup.c holding the
desktop and the services), in which every contender runs round after round
(each installer followed by a floor, the installers taking turns at each
place), one warm-up round first. Between two runs, outside the clock,
bench/reset.c records the registration and ends the started suite, and the
install folder and shortcuts are removed, so every timed run is a first
install. A smaller cold-start table runs the stand-in installers in a fresh
prefix each time. DIR/benchmarks.{json,md,png} are written (DIR defaults to
docs/).

--variant-ldflags and --variant-patch add one more installer, "variant": our
installer built with extra link flags, or from a copy of the sources with a
patch (patch -p1) applied, measured in the same rounds as ours.

--smoke takes TREE's own installer and stand-in suite, one warm round without
warm-up and no cold table, and writes to TREE/bench-smoke unless --out says
otherwise; it never writes to docs/. Every install is checked either way
(checks.py), and a failed check ends the run with exit code 1.
"""

import argparse
import datetime
import filecmp
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import checks  # noqa: E402
import report  # noqa: E402

WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
CROSS_CC = "x86_64-w64-mingw32-gcc-posix"
WINDRES = "x86_64-w64-mingw32-windres"
MINIMAL_NAME = "Lumiran-Minimal-x64.exe"
ICON = os.path.join(REPO, "resources", "lumiran.ico")
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "winemenubuilder.exe=d;mscoree=d;mshtml=d"}
RUN_TIMEOUT_S = 180
BOOT_TIMEOUT_S = 120
# The Wine session of a timed run (the installer and every helper process it
# starts) runs at this niceness, so that other work on a shared machine
# disturbs it less; where raising the priority is not allowed (a normal user,
# without a nice limit that permits it) it runs at the normal one. Builds and
# checks keep the normal priority.
NICENESS = int(os.environ.get("BENCH_NICE", "-5"))
LAUNCH_WAIT_S = 15
MIB = 1024 * 1024
# Windows programs that Debian's Wine ships: the real-size program, and the
# real program bytes of the compressible payload.
WINE_PROGRAMS = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
REAL_PROGRAM = os.path.join(WINE_PROGRAMS, "oleview.exe")
# (name, kind, MiB): the stand-in suite, a real program of about its size,
# then the suite followed by filling up to MiB, so that every payload starts
# a program when an install launches it.
PAYLOADS = (("stand-in", "suite", None), ("program", "program", None),
            ("64-compressible", "compressible", 64), ("64-incompressible", "random", 64),
            ("256-incompressible", "random", 256))
DEFAULT_SIZES = ("stand-in", "program", "64-compressible", "64-incompressible")
COLD_RUNS = 5
# Counted warm rounds by default. At 64 MiB, runs of 11 rounds put ours
# against the minimal program anywhere from 0.87 to 1.07: more rounds narrow
# the median's spread, and a full run still takes well under 20 minutes.
WARM_RUNS = 21
# Floor programs: name -> (source, extra libraries)
TOOLS = {"noop": ("noop.c", []), "startup": ("startup.c", ["-lole32", "-lcomctl32"]),
         "plain_copy": ("plain_copy.c", []), "reset": ("reset.c", ["-ladvapi32"])}


def log(text):
    print(text, flush=True)


def run_quiet(argv, logfile, **kwargs):
    with open(logfile, "a", encoding="utf-8") as out:
        result = subprocess.run(argv, stdout=out, stderr=subprocess.STDOUT, **kwargs)
    if result.returncode != 0:
        with open(logfile, encoding="utf-8", errors="replace") as f:
            tail = f.read()[-3000:]
        raise RuntimeError("%s failed (exit %d); the end of %s:\n%s" % (argv[0], result.returncode, logfile, tail))


def newer(target, *sources):
    """True when target exists and is at least as new as every source."""
    if not os.path.exists(target):
        return False
    built = os.path.getmtime(target)
    return all(os.path.getmtime(s) <= built for s in sources)


# --- inputs -------------------------------------------------------------------

def _write_if_changed(path, data):
    """Keeps an equal file untouched, so that the trees built on it stay built."""
    if os.path.isfile(path) and os.path.getsize(path) == len(data):
        with open(path, "rb") as f:
            if f.read() == data:
                return path
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)
    return path


def random_payload(path, head, mib):
    """head (the stand-in suite) followed by random bytes up to mib MiB:
    incompressible, and it still starts the suite. Kept across runs."""
    size = mib * MIB
    if os.path.isfile(path) and os.path.getsize(path) == size:
        with open(path, "rb") as f:
            if f.read(len(head)) == head:
                return path
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(head)
        left = size - len(head)
        while left:
            chunk = os.urandom(min(left, 4 * MIB))
            f.write(chunk)
            left -= len(chunk)
    os.replace(tmp, path)
    return path


def program_bytes(folder, size):
    """size bytes of real Windows programs: the files of folder by name, one
    after another (Wine's own DLLs and programs compress about 3.4 times
    with zlib)."""
    out = bytearray()
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if len(out) >= size:
            break
        if os.path.isfile(path):
            with open(path, "rb") as f:
                out += f.read(size - len(out))
    if len(out) < size:
        raise RuntimeError("%s holds fewer than %d bytes of programs" % (folder, size))
    return bytes(out)


def compressible_payload(path, head, mib, folder=WINE_PROGRAMS):
    """head followed by real program bytes up to mib MiB."""
    return _write_if_changed(path, head + program_bytes(folder, mib * MIB - len(head)))


def make_payload(kind, mib, suite, folder):
    """The payload file of one kind, made in folder (or found, for the two
    that are programs as they are)."""
    if kind == "suite":
        return _write_if_changed(os.path.join(folder, "standin.exe"), _read(suite))
    if kind == "program":
        if not os.path.isfile(REAL_PROGRAM):
            raise RuntimeError("%s is missing (the wine64 package ships it)" % REAL_PROGRAM)
        return REAL_PROGRAM
    if kind == "compressible":
        return compressible_payload(os.path.join(folder, "programs-%dMiB.exe" % mib), _read(suite), mib)
    return random_payload(os.path.join(folder, "random-%dMiB.exe" % mib), _read(suite), mib)


def _read(path):
    with open(path, "rb") as f:
        return f.read()


def cache_value(tree, name):
    path = os.path.join(tree, "CMakeCache.txt")
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            if key.split(":")[0] == name:
                return value
    return None


def tree_version(tree):
    """The version a configured tree builds, as it notes it."""
    with open(os.path.join(tree, "version.txt"), encoding="ascii") as f:
        return f.read().strip()


def setup_name(tree):
    return "Lumiran-Setup-%s-x64.exe" % tree_version(tree)


def build_ours(source_tree, tree, payload, extra_ldflags, logfile, sources=REPO):
    """Configures tree like source_tree, embedding payload, and builds the
    image from sources (the repository, or a patched copy of it)."""
    build_type = cache_value(source_tree, "CMAKE_BUILD_TYPE") or "Release"
    toolchain = cache_value(source_tree, "CMAKE_TOOLCHAIN_FILE") or os.path.join(REPO, "cmake", "mingw-w64-x86_64.cmake")
    args = ["cmake", "-S", sources, "-B", tree, "-DCMAKE_TOOLCHAIN_FILE=" + toolchain,
            "-DCMAKE_BUILD_TYPE=" + build_type, "-DLUMIRAN_SUITE_EXE=" + payload,
            "-DLUMIRAN_VERSION=" + (cache_value(source_tree, "LUMIRAN_VERSION") or "")]
    for var in ("CMAKE_CXX_FLAGS", "CMAKE_CXX_FLAGS_" + build_type.upper(), "CMAKE_EXE_LINKER_FLAGS"):
        value = cache_value(source_tree, var) or ""
        if var == "CMAKE_EXE_LINKER_FLAGS" and extra_ldflags:
            value = (value + " " + extra_ldflags).strip()
        args.append("-D%s=%s" % (var, value))
    run_quiet(args, logfile)
    run_quiet(["cmake", "--build", tree, "--target", "lumiran_setup", "-j%d" % (os.cpu_count() or 1)], logfile)
    return os.path.join(tree, setup_name(tree))


def link_flags(tree):
    """The flags of the link line that made the setup image, as the build ran it."""
    path = os.path.join(tree, "CMakeFiles", "lumiran_setup.dir", "link.txt")
    try:
        with open(path, encoding="utf-8") as f:
            line = next(l for l in f if "-o " + setup_name(tree) in l)
    except (OSError, StopIteration):
        return "unknown"
    words = line.split()
    end = words.index("-Wl,--whole-archive") if "-Wl,--whole-archive" in words else len(words)
    return " ".join(w for w in words[1:end] if w.startswith("-"))


def patched_sources(patch, dest, logfile):
    """A copy of the repository's files under dest with patch applied
    (patch -p1). A file is rewritten only when its content changes, so the
    variant's trees build incrementally."""
    listed = subprocess.run(["git", "-C", REPO, "ls-files", "-z"], check=True, stdout=subprocess.PIPE).stdout
    with tempfile.TemporaryDirectory() as tmp:
        for name in filter(None, listed.decode().split("\0")):
            source = os.path.join(REPO, name)
            if os.path.isfile(source):
                os.makedirs(os.path.dirname(os.path.join(tmp, name)), exist_ok=True)
                shutil.copyfile(source, os.path.join(tmp, name))
        run_quiet(["patch", "-p1", "-s", "-d", tmp, "-i", os.path.abspath(patch)], logfile)
        for root, _, files in os.walk(tmp):
            for name in files:
                rel = os.path.relpath(os.path.join(root, name), tmp)
                os.makedirs(os.path.dirname(os.path.join(dest, rel)), exist_ok=True)
                _write_if_changed(os.path.join(dest, rel), _read(os.path.join(root, name)))
    return dest


def build_peer(payload, version, out_dir, logfile):
    os.makedirs(out_dir, exist_ok=True)
    exe = os.path.join(out_dir, "Lumiran-Peer-%s-x64.exe" % version)
    script = os.path.join(HERE, "peer.nsi")
    if not newer(exe, payload, script, ICON):
        run_quiet(["makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DPAYLOAD=" + payload, "-DOUTFILE=" + exe,
                   "-DVERSION=" + version, "-DICON=" + ICON, script], logfile)
    return exe


def build_tools(out_dir, logfile):
    os.makedirs(out_dir, exist_ok=True)
    built = {}
    for name, (source, libs) in TOOLS.items():
        exe = os.path.join(out_dir, name + ".exe")
        src = os.path.join(HERE, source)
        if not newer(exe, src):
            run_quiet([CROSS_CC, "-O2", "-s", "-municode", "-mwindows", "-Wall", "-Wextra", "-Werror",
                       "-o", exe, src] + libs, logfile)
        built[name] = exe
    return built


def build_minimal(setup_tree, out_dir, logfile):
    """minimal.c with the resources of the setup image built in
    setup_tree (its payload, manifest, icon and version block), linked with
    the page-sized file alignment and the security flags of the setup image."""
    os.makedirs(out_dir, exist_ok=True)
    exe = os.path.join(out_dir, MINIMAL_NAME)
    rc = os.path.join(setup_tree, "setup.rc")
    src = os.path.join(HERE, "minimal.c")
    if not newer(exe, src, rc, os.path.join(setup_tree, setup_name(setup_tree))):
        res = os.path.join(out_dir, "minimal_res.o")
        run_quiet([WINDRES, "-i", rc, "-o", res], logfile)
        run_quiet([CROSS_CC, "-O2", "-s", "-municode", "-mwindows", "-Wall", "-Wextra",
                   '-DLUMIRAN_VERSION_TEXT="%s"' % tree_version(setup_tree), "-Werror", "-Wl,--file-alignment=4096", "-Wl,--no-insert-timestamp", "-Wl,--dynamicbase",
                   "-Wl,--nxcompat", "-Wl,--high-entropy-va", "-o", exe, src, res,
                   "-lole32", "-lcomctl32", "-lshell32", "-luuid"], logfile)
    return exe


# --- runs ---------------------------------------------------------------------

def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def suite_running(prefix):
    """True when a process of this prefix runs the installed Lumiran.exe."""
    wanted = ("WINEPREFIX=" + prefix).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if wanted not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                first = f.read().split(b"\0")[0]
        except OSError:
            continue
        if first.lower().endswith(b"\\programs\\lumiran\\lumiran.exe"):
            return True
    return False


def _sample_private_memory(pid, peak, stop):
    """Largest RssAnon seen in /proc while the process runs, in KiB. A warm
    install lasts a tenth of a second, so the samples are 2 ms apart."""
    path = "/proc/%d/status" % pid
    while True:
        try:
            with open(path, encoding="ascii", errors="replace") as f:
                text = f.read()
        except OSError:
            return
        for line in text.splitlines():
            if line.startswith("RssAnon:"):
                peak[0] = max(peak[0], int(line.split()[1]))
        if stop.wait(0.002):
            return


class Contender:
    def __init__(self, name, argv, payload=None, uninstaller_source=None, full_install=False, launches=False,
                 version=None):
        self.name = name
        self.argv = argv
        self.payload = payload
        self.uninstaller_source = uninstaller_source
        self.full_install = full_install
        self.launches = launches
        self.version = version  # that a full install registers

    def problems(self, prefix, reg_text=None):
        if self.full_install:
            return checks.install_problems(prefix, self.payload, self.version, self.uninstaller_source, reg_text)
        if self.payload is not None:
            layout = checks.Layout(prefix, checks.profile_user(prefix))
            return checks.payload_problems(layout, self.payload)
        return []


def fresh_prefix(wine_dir):
    out = subprocess.run([os.path.join(REPO, "tests", "wine", "wine-prefix"), wine_dir],
                         check=True, stdout=subprocess.PIPE, text=True).stdout
    prefix = out.strip().splitlines()[-1]
    reg = os.path.join(prefix, "user.reg")
    with open(reg, encoding="utf-8") as f:
        text = f.read()
    with open(reg, "w", encoding="utf-8") as f:
        f.write(checks.plant_run_value(text))
    return prefix


def stop_prefix(env):
    subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, stderr=subprocess.DEVNULL, timeout=60)


class RunFailed(RuntimeError):
    pass


def _stderr_tail(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read().strip()
    except OSError:
        return ""
    return " (its error output: %s)" % text[-600:] if text else ""


def _niced():
    try:
        os.nice(NICENESS)
    except PermissionError:
        pass


def timed_run(argv, env, errors, on_timeout):
    """Runs wine with argv and waits for it: (record, exit code). on_timeout
    is called from another thread when the run takes RUN_TIMEOUT_S."""
    peak_private = [0]
    stop = threading.Event()
    start = time.perf_counter()
    with open(errors, "ab") as stderr:
        proc = subprocess.Popen([WINE] + argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=stderr, preexec_fn=_niced)
    watchdog = threading.Timer(RUN_TIMEOUT_S, on_timeout, args=(proc.pid,))
    watchdog.daemon = True
    sampler = threading.Thread(target=_sample_private_memory, args=(proc.pid, peak_private, stop))
    sampler.start()
    watchdog.start()
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    watchdog.cancel()
    stop.set()
    sampler.join()
    record = {"wall": wall, "cpu": usage.ru_utime + usage.ru_stime, "rss_kib": usage.ru_maxrss,
              "anon_kib": peak_private[0], "minflt": usage.ru_minflt}
    return record, proc.returncode


def _failure(contender, wall, code, errors, where):
    if wall >= RUN_TIMEOUT_S:
        return "%s did not finish within %d s%s" % (contender.name, RUN_TIMEOUT_S, where)
    if code != 0:
        return "%s exited with %d%s%s" % (contender.name, code, where, _stderr_tail(errors))
    return None


def _wait_for_suite(prefix):
    deadline = time.monotonic() + LAUNCH_WAIT_S
    while not suite_running(prefix):
        if time.monotonic() > deadline:
            return False
        time.sleep(0.01)
    return True


def run_once(contender, wine_dir):
    """One timed run in a fresh prefix (the cold start): wall and CPU time,
    peak memory.

    A failed run leaves its prefix in place, with the program's error output
    in wine-stderr.txt beside the registry files."""
    prefix = fresh_prefix(wine_dir)
    env = dict(os.environ, WINEPREFIX=prefix, **WINE_ENV)
    errors = os.path.join(prefix, "wine-stderr.txt")
    try:
        record, code = timed_run(contender.argv, env, errors, lambda _pid: stop_prefix(env))
        kept = " (prefix kept: %s)" % prefix
        failure = _failure(contender, record["wall"], code, errors, kept)
        if failure is None and contender.launches and not _wait_for_suite(prefix):
            failure = "%s did not start the suite%s" % (contender.name, kept)
        if failure:
            raise RunFailed(failure)
        stop_prefix(env)
        problems = contender.problems(prefix)
        if problems:
            raise RunFailed("%s: %s%s" % (contender.name, "; ".join(problems), kept))
        shutil.rmtree(prefix)
    except BaseException:
        stop_prefix(env)
        raise
    return record


class WarmSession:
    """One prefix, booted once and kept running while its runs are timed: a
    persistent wineserver, and startup.exe holding the desktop and the
    services, as on a logged-in Windows desktop. Used as a context manager,
    so that the wineserver is shut down on every way out."""

    def __init__(self, wine_dir, tools, retries=None):
        self.tools = tools
        self.retries = retries if retries is not None else []
        self.prefix = fresh_prefix(wine_dir)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, **WINE_ENV)
        self.user = checks.profile_user(self.prefix)
        self.layout = checks.Layout(self.prefix, self.user)
        self.errors = os.path.join(self.prefix, "wine-stderr.txt")
        self.dump = os.path.join(self.prefix, "registration.txt")
        self.holder = None
        self.failed = False

    def __enter__(self):
        try:
            self._boot()
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def _boot(self):
        with open(self.errors, "ab") as out:
            # -p: the server stays when no program runs; it daemonises.
            subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                           preexec_fn=_niced, check=True)
            ready = os.path.join(self.prefix, "session-ready")
            self.holder = subprocess.Popen([WINE, self.tools["startup"], windows_path(ready)], env=self.env,
                                           stdin=subprocess.DEVNULL, stdout=out, stderr=out, preexec_fn=_niced)
        deadline = time.monotonic() + BOOT_TIMEOUT_S
        while not os.path.exists(ready):
            if self.holder.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the warm session did not start (prefix kept: %s)%s" % (
                    self.prefix, _stderr_tail(self.errors)))
            time.sleep(0.05)
        self.reset()

    def __exit__(self, kind, value, traceback):
        stop_prefix(self.env)
        if self.holder is not None:
            try:
                self.holder.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.holder.kill()
        if kind is None and not self.failed:
            shutil.rmtree(self.prefix)
        return False

    def reset(self):
        """Records the registration, ends the started suite, deletes the
        registration and plants the stale Run value; then removes the files of
        an install. Returns the registration as user.reg text."""
        for attempt in (1, 2):
            if os.path.exists(self.dump):
                os.remove(self.dump)
            with open(self.errors, "ab") as out:
                code = subprocess.run([WINE, self.tools["reset"], windows_path(self.dump)], env=self.env,
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                                      timeout=RUN_TIMEOUT_S).returncode
            if code == 0:
                with open(self.dump, encoding="utf-8", errors="replace") as f:
                    return f.read()
            # Wine fails a start now and then for reasons of its own.
            log("  reset.exe exited with %d%s" % (code, ", running it again" if attempt == 1 else ""))
            self.retries.append("reset.exe exited with %d" % code)
        self.failed = True
        raise RuntimeError("reset.exe exited with %d twice (prefix kept: %s)%s" % (
            code, self.prefix, _stderr_tail(self.errors)))

    def clear_files(self):
        """Removes the files of an install, then waits until the disk is idle:
        Wine truncates every file it creates for overwriting, so ext4 starts
        writing such a file back when it is closed, and a run that began
        while the last one's writes were in flight would wait for them."""
        shutil.rmtree(self.layout.install_dir, ignore_errors=True)
        for link in (self.layout.desktop_link, self.layout.programs_link):
            if os.path.exists(link):
                os.remove(link)
        os.sync()

    def run(self, contender):
        """One timed run in the warm session. Before the next one, outside the
        clock: the install is checked, then undone."""
        record, code = timed_run(contender.argv, self.env, self.errors,
                                 lambda pid: os.kill(pid, signal.SIGKILL))
        failure = _failure(contender, record["wall"], code, self.errors, " (prefix: %s)" % self.prefix)
        if failure is None and contender.launches and not _wait_for_suite(self.prefix):
            failure = "%s did not start the suite" % contender.name
        registration = self.reset()
        if failure is None:
            problems = contender.problems(self.prefix, registration)
            if problems:
                failure = "%s: %s" % (contender.name, "; ".join(problems))
        self.clear_files()
        if failure:
            self.failed = True
            raise RunFailed(failure)
        return record


def round_order(contenders, round_no):
    """The order of one round: each installer followed by a floor.

    The installers take turns at each place in the round, and none follows
    another installer: what ran just before leaves the kernel's page cache
    and free memory in a state that changes the next run's system time, so
    every installer gets the same kinds of predecessor. When there are fewer
    floors than installers the no-op runs again (its samples all count)."""
    installers = [c for c in contenders if c.full_install]
    floors = [c for c in contenders if not c.full_install]
    shift = round_no % len(installers)
    installers = installers[shift:] + installers[:shift]
    noop = next(f for f in floors if f.name == "noop")
    while len(floors) < len(installers):
        floors.append(noop)
    order = []
    for installer, floor in zip(installers, floors):
        order += [installer, floor]
    return order + floors[len(installers):]


def run_with_retry(contender, runner, retries):
    """runner(contender), and once more after a failure: Wine fails a start
    now and then for reasons of its own. Both failures in a row end the
    benchmark; a retried one is listed in the results."""
    try:
        return runner(contender)
    except RunFailed as first:
        log("  %s failed, running it again: %s" % (contender.name, first))
        retries.append(str(first))
        return runner(contender)


def measure(name, contenders, rounds, warmup, runner, retries):
    runs = {c.name: [] for c in contenders}
    load_before = os.getloadavg()[0]
    for round_no in range(warmup + rounds):
        counted = round_no >= warmup
        line = []
        for contender in round_order(contenders, round_no):
            record = run_with_retry(contender, runner, retries)
            if counted:
                runs[contender.name].append(record)
            line.append("%s %.3f" % (contender.name, record["wall"]))
        log("[%s] %s %d: %s" % (name, "round" if counted else "warm-up", round_no - warmup + 1 if counted else round_no + 1,
                                ", ".join(line)))
    return runs, load_before, os.getloadavg()[0]


def contenders_for(ours, peer, tools, payload, user, variant=None, minimal=None, floors=("copy", "noop"),
                   version=None):
    """Both installers (and the variant and the minimal program), then the
    floors, in the order of a round. Every payload starts a program, so every
    installer is expected to start it, and to register version."""
    target = "C:\\users\\%s\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe" % user
    found = [Contender("ours", [ours, "/S"], payload, ours, True, True, version),
             Contender("peer", [peer, "/S"], payload, None, True, True, version)]
    if variant:
        found.append(Contender("variant", [variant, "/S"], payload, variant, True, True, version))
    if minimal:
        # Makes the same calls as ours and is checked like it: it copies itself.
        found.append(Contender("minimal", [minimal, "/S"], payload, minimal, True, True, version))
    every = {"copy": Contender("copy", [tools["plain_copy"], windows_path(payload), target], payload),
             "noop": Contender("noop", [tools["noop"]]),
             "startup": Contender("startup", [tools["startup"]])}
    return found + [every[name] for name in floors]


# --- the whole run ------------------------------------------------------------

def first_line(argv):
    try:
        return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True).stdout.splitlines()[0]
    except (OSError, IndexError):
        return "unknown"


def machine_meta():
    cpu = "unknown"
    with open("/proc/cpuinfo", encoding="ascii", errors="replace") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo", encoding="ascii") as f:
        ram_kib = int(f.readline().split()[1])
    commit = first_line(["git", "-C", REPO, "rev-parse", "--short", "HEAD"])
    # The pages an earlier run wrote are outputs, not inputs of this one.
    dirty = bool(subprocess.run(["git", "-C", REPO, "status", "--porcelain", "--untracked-files=no",
                                 "--", ".", ":!docs/benchmarks.*"],
                                stdout=subprocess.PIPE, text=True).stdout.strip())
    return {"date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
            "commit": commit, "dirty": dirty, "cpu": cpu, "cores": os.cpu_count(),
            "ram_gib": round(ram_kib / 1024 / 1024), "wine": first_line([WINE, "--version"]),
            "makensis": "makensis " + first_line(["makensis", "-VERSION"]),
            "compiler": first_line([CROSS_CC, "--version"])}


def payload_label(name, kind, payload):
    if kind == "program":
        return "%s, a program that Wine ships" % os.path.basename(payload)
    return {"suite": "the stand-in suite", "compressible": "the stand-in suite, then real program bytes",
            "random": "the stand-in suite, then random bytes"}[kind]


def _parse_sizes(parser, text):
    wanted = [w.strip() for w in text.split(",") if w.strip()]
    unknown = set(wanted) - {n for n, _, _ in PAYLOADS}
    if unknown:
        parser.error("unknown payload: " + ", ".join(sorted(unknown)))
    return [p for p in PAYLOADS if p[0] in wanted]


def _interrupted(signum, _frame):
    # Unwinds through the sessions, which shut their wineserver down.
    raise SystemExit(128 + signum)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tree")
    parser.add_argument("--smoke", action="store_true")
    parser.add_argument("--out")
    parser.add_argument("--runs", type=int)
    parser.add_argument("--cold-runs", type=int, default=COLD_RUNS)
    parser.add_argument("--variant-ldflags", default="")
    parser.add_argument("--variant-patch", default="")
    parser.add_argument("--sizes", default=",".join(DEFAULT_SIZES),
                        help="payloads to measure, of: " + ", ".join(n for n, _, _ in PAYLOADS))
    args = parser.parse_args(argv)
    started = time.monotonic()
    signal.signal(signal.SIGTERM, _interrupted)

    tree = os.path.abspath(args.tree)
    docs = os.path.join(REPO, "docs")
    out = os.path.abspath(args.out or (os.path.join(tree, "bench-smoke") if args.smoke else docs))
    if args.smoke and os.path.realpath(out) == os.path.realpath(docs):
        parser.error("a smoke run does not write to docs/")
    work = out if args.smoke else os.path.join(REPO, "build", "bench")
    wine_dir = os.path.join(tree, "wine") if args.smoke else os.path.join(work, "wine")
    runs = args.runs or (1 if args.smoke else WARM_RUNS)
    warmup = 0 if args.smoke else 1
    cold_runs = 0 if args.smoke else args.cold_runs
    os.makedirs(out, exist_ok=True)
    os.makedirs(work, exist_ok=True)
    logfile = os.path.join(work, "build.log")
    open(logfile, "w").close()

    tools = build_tools(os.path.join(work, "tools"), logfile)
    meta = machine_meta()
    variant_text = []
    if not args.smoke and args.variant_ldflags:
        variant_text.append("`%s` added to the link flags" % args.variant_ldflags)
    if not args.smoke and args.variant_patch:
        variant_text.append("the sources with `%s` applied" % os.path.relpath(os.path.abspath(args.variant_patch), REPO))
    meta.update({"runs": runs, "warmup": warmup, "cold_runs": cold_runs, "tree": os.path.relpath(tree, REPO),
                 "load": [], "retries": [], "variant": " and ".join(variant_text)})
    suite = os.path.join(tree, "suite", "Lumiran.exe")
    version = tree_version(tree)
    results = {"meta": meta, "sizes": [], "cold": []}
    order = []
    sizes = PAYLOADS[:1] if args.smoke else _parse_sizes(parser, args.sizes)
    variant_sources = None
    if meta["variant"] and args.variant_patch:
        variant_sources = patched_sources(args.variant_patch, os.path.join(work, "variant-src"), logfile)
    for name, kind, mib in sizes:
        slug = name.replace(" ", "").lower()
        variant = None
        if args.smoke:
            payload, ours = suite, os.path.join(tree, setup_name(tree))
            meta["link_flags"] = link_flags(tree)
        else:
            log("[%s] payload" % name)
            payloads = os.path.join(work, "payloads")
            os.makedirs(payloads, exist_ok=True)
            payload = make_payload(kind, mib, suite, payloads)
            log("[%s] building our installer" % name)
            ours = build_ours(tree, os.path.join(work, slug), payload, "", logfile)
            meta["link_flags"] = link_flags(os.path.join(work, slug))
            if kind == "suite":
                shipped = os.path.join(tree, setup_name(tree))
                meta["same_as_tree"] = os.path.isfile(shipped) and filecmp.cmp(ours, shipped, shallow=False)
            if meta["variant"]:
                log("[%s] building the variant" % name)
                variant = build_ours(tree, os.path.join(work, slug + "-variant"), payload, args.variant_ldflags,
                                     logfile, variant_sources or REPO)
        minimal = build_minimal(os.path.dirname(ours), os.path.join(work, "minimal", slug), logfile)
        log("[%s] building the peer" % name)
        peer = build_peer(payload, version, os.path.join(work, "peer", slug), logfile)
        entry = {"name": name, "label": payload_label(name, kind, payload), "payload_bytes": os.path.getsize(payload)}
        log("[%s] warm session" % name)
        with WarmSession(wine_dir, tools, meta["retries"]) as session:
            contenders = contenders_for(ours, peer, tools, payload, session.user, variant, minimal, version=version)
            record_runs, before, after = measure(name, contenders, runs, warmup, session.run, meta["retries"])
        if len(contenders) > len(set(order)):
            order = [c.name for c in round_order(contenders, 0)]
        images = {c.name: os.path.getsize(c.argv[0]) for c in contenders if c.full_install}
        results["sizes"].append(dict(entry, images=images, runs=record_runs))
        meta["load"].append([name, before, after])
        if kind == "suite" and cold_runs:
            cold = contenders_for(ours, peer, tools, payload, "-", variant, minimal, floors=("noop", "startup"),
                                  version=version)
            log("[%s] cold start, a fresh prefix per run" % name)
            cold_results, _, _ = measure(name + ", cold", cold, cold_runs, 1, lambda c: run_once(c, wine_dir),
                                         meta["retries"])
            results["cold"].append(dict(entry, images=images, runs=cold_results))
    meta["order"] = order
    meta["minutes"] = round((time.monotonic() - started) / 60, 1)

    with open(os.path.join(out, "benchmarks.json"), "w", encoding="utf-8") as f:
        json.dump(results, f, indent=1)
    with open(os.path.join(HERE, "benchmarks.md.in"), encoding="utf-8") as f:
        template = f.read()
    with open(os.path.join(out, "benchmarks.md"), "w", encoding="utf-8") as f:
        f.write(report.render(template, results))
    report.plot(results, os.path.join(out, "benchmarks.png"))
    for size in report.summarise(results):
        c = size["contenders"]
        log("[%s] ours %.3f s, peer %.3f s, minimal %.3f s, no-op %.3f s; ours/peer %.2f, ours/minimal %.2f" % (
            size["name"], c["ours"]["wall_median"], c["peer"]["wall_median"], c["minimal"]["wall_median"],
            c["noop"]["wall_median"], c["ours"]["vs"]["peer"]["of_medians"], c["ours"]["vs"]["minimal"]["of_medians"]))
    log("wrote %s" % os.path.join(out, "benchmarks.md"))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except (RuntimeError, subprocess.CalledProcessError) as error:
        print("bench: %s" % error, file=sys.stderr)
        sys.exit(1)
