#!/usr/bin/python3
"""Silent-install benchmark: Lumiran Setup against an NSIS peer under Wine.

    bench.py TREE [--smoke] [--out DIR] [--runs N] [--variant-ldflags FLAGS]

TREE is a configured and built cross tree (build/win64). The full run builds
our installer once per payload in trees of its own under build/bench/ (with
the flags of TREE), the NSIS peer from bench/peer.nsi with the same payload,
a minimal program that makes the calls of our silent install
(bench/minimal.c) with the resources of our image, and three floor
programs; then, for each payload, it runs every contender in
a fresh Wine prefix, round after round (each installer followed by a floor,
the installers taking turns at each place), one warm-up round first, and writes DIR/benchmarks.{json,md,png} (DIR defaults to docs/).

--smoke takes TREE's own installer and stand-in suite, one round without
warm-up, and writes to TREE/bench-smoke unless --out says otherwise; it
never writes to docs/. Every install is checked either way (checks.py), and
a failed check ends the run with exit code 1.
"""

import argparse
import datetime
import filecmp
import json
import os
import shutil
import subprocess
import sys
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
SETUP_NAME = "Lumiran-Setup-2.1.0-x64.exe"
PEER_NAME = "Lumiran-Peer-2.1.0-x64.exe"
MINIMAL_NAME = "Lumiran-Minimal-x64.exe"
ICON = os.path.join(REPO, "resources", "lumiran.ico")
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "winemenubuilder.exe=d;mscoree=d;mshtml=d"}
RUN_TIMEOUT_S = 180
# The Wine session of a timed run (the installer and every helper process it
# starts) runs at this niceness, so that other work on a shared machine
# disturbs it less. Builds and checks keep the normal priority.
NICENESS = int(os.environ.get("BENCH_NICE", "-5"))
LAUNCH_WAIT_S = 15
MIB = 1024 * 1024
# (name, random payload size in MiB; None for the stand-in suite)
FULL_SIZES = (("stand-in", None), ("64 MiB", 64), ("256 MiB", 256))
# Floor programs: name -> (source, extra libraries)
TOOLS = {"noop": ("noop.c", []), "startup": ("startup.c", ["-lole32", "-lcomctl32"]),
         "plain_copy": ("plain_copy.c", [])}


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

def random_payload(path, mib):
    """MZ followed by random bytes: incompressible, and accepted by the build,
    which wants a payload that begins like an executable. Kept across runs."""
    size = mib * MIB
    if os.path.isfile(path) and os.path.getsize(path) == size:
        with open(path, "rb") as f:
            if f.read(2) == b"MZ":
                return path
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(b"MZ")
        left = size - 2
        while left:
            chunk = os.urandom(min(left, 4 * MIB))
            f.write(chunk)
            left -= len(chunk)
    os.replace(tmp, path)
    return path


def cache_value(tree, name):
    path = os.path.join(tree, "CMakeCache.txt")
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            if key.split(":")[0] == name:
                return value
    return None


def build_ours(source_tree, tree, payload, extra_ldflags, logfile):
    """Configures tree like source_tree, embedding payload, and builds the image."""
    build_type = cache_value(source_tree, "CMAKE_BUILD_TYPE") or "Release"
    toolchain = cache_value(source_tree, "CMAKE_TOOLCHAIN_FILE") or os.path.join(REPO, "cmake", "mingw-w64-x86_64.cmake")
    args = ["cmake", "-S", REPO, "-B", tree, "-DCMAKE_TOOLCHAIN_FILE=" + toolchain,
            "-DCMAKE_BUILD_TYPE=" + build_type, "-DLUMIRAN_SUITE_EXE=" + payload]
    for var in ("CMAKE_CXX_FLAGS", "CMAKE_CXX_FLAGS_" + build_type.upper(), "CMAKE_EXE_LINKER_FLAGS"):
        value = cache_value(source_tree, var) or ""
        if var == "CMAKE_EXE_LINKER_FLAGS" and extra_ldflags:
            value = (value + " " + extra_ldflags).strip()
        args.append("-D%s=%s" % (var, value))
    run_quiet(args, logfile)
    run_quiet(["cmake", "--build", tree, "--target", "lumiran_setup", "-j%d" % (os.cpu_count() or 1)], logfile)
    return os.path.join(tree, SETUP_NAME)


def link_flags(tree):
    """The flags of the link line that made the setup image, as the build ran it."""
    path = os.path.join(tree, "CMakeFiles", "lumiran_setup.dir", "link.txt")
    try:
        with open(path, encoding="utf-8") as f:
            line = next(l for l in f if "-o " + SETUP_NAME in l)
    except (OSError, StopIteration):
        return "unknown"
    words = line.split()
    end = words.index("-Wl,--whole-archive") if "-Wl,--whole-archive" in words else len(words)
    return " ".join(w for w in words[1:end] if w.startswith("-"))


def build_peer(payload, out_dir, logfile):
    os.makedirs(out_dir, exist_ok=True)
    exe = os.path.join(out_dir, PEER_NAME)
    script = os.path.join(HERE, "peer.nsi")
    if not newer(exe, payload, script, ICON):
        run_quiet(["makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DPAYLOAD=" + payload, "-DOUTFILE=" + exe,
                   "-DICON=" + ICON, script], logfile)
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
    if not newer(exe, src, rc, os.path.join(setup_tree, SETUP_NAME)):
        res = os.path.join(out_dir, "minimal_res.o")
        run_quiet([WINDRES, "-i", rc, "-o", res], logfile)
        run_quiet([CROSS_CC, "-O2", "-s", "-municode", "-mwindows", "-Wall", "-Wextra",
                   "-Werror", "-Wl,--file-alignment=4096", "-Wl,--no-insert-timestamp", "-Wl,--dynamicbase",
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
    """Largest RssAnon seen in /proc while the process runs, in KiB."""
    path = "/proc/%d/status" % pid
    while not stop.is_set():
        try:
            with open(path, encoding="ascii", errors="replace") as f:
                text = f.read()
        except OSError:
            return
        for line in text.splitlines():
            if line.startswith("RssAnon:"):
                peak[0] = max(peak[0], int(line.split()[1]))
        stop.wait(0.01)


class Contender:
    def __init__(self, name, argv, payload=None, uninstaller_source=None, full_install=False, launches=False):
        self.name = name
        self.argv = argv
        self.payload = payload
        self.uninstaller_source = uninstaller_source
        self.full_install = full_install
        self.launches = launches

    def problems(self, prefix):
        if self.full_install:
            return checks.install_problems(prefix, self.payload, self.uninstaller_source)
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


def run_once(contender, wine_dir):
    """One timed run in a fresh prefix: wall and CPU time, peak memory.

    A failed run leaves its prefix in place, with the program's error output
    in wine-stderr.txt beside the registry files."""
    prefix = fresh_prefix(wine_dir)
    env = dict(os.environ, WINEPREFIX=prefix, **WINE_ENV)
    errors = os.path.join(prefix, "wine-stderr.txt")
    try:
        peak_private = [0]
        stop = threading.Event()
        watchdog = threading.Timer(RUN_TIMEOUT_S, stop_prefix, args=(env,))
        watchdog.daemon = True
        start = time.perf_counter()
        with open(errors, "wb") as stderr:
            proc = subprocess.Popen([WINE] + contender.argv, env=env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=stderr,
                                    preexec_fn=lambda: os.nice(NICENESS))
        sampler = threading.Thread(target=_sample_private_memory, args=(proc.pid, peak_private, stop))
        sampler.start()
        watchdog.start()
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        watchdog.cancel()
        stop.set()
        sampler.join()
        kept = " (prefix kept: %s)" % prefix
        if wall >= RUN_TIMEOUT_S:
            raise RunFailed("%s did not finish within %d s%s" % (contender.name, RUN_TIMEOUT_S, kept))
        if proc.returncode != 0:
            raise RunFailed("%s exited with %d%s%s" % (contender.name, proc.returncode, kept, _stderr_tail(errors)))
        if contender.launches:
            deadline = time.monotonic() + LAUNCH_WAIT_S
            while not suite_running(prefix):
                if time.monotonic() > deadline:
                    raise RunFailed("%s did not start the suite%s" % (contender.name, kept))
                time.sleep(0.05)
        stop_prefix(env)
        problems = contender.problems(prefix)
        if problems:
            raise RunFailed("%s: %s%s" % (contender.name, "; ".join(problems), kept))
        shutil.rmtree(prefix)
    except BaseException:
        stop_prefix(env)
        raise
    return {"wall": wall, "cpu": usage.ru_utime + usage.ru_stime, "rss_kib": usage.ru_maxrss,
            "anon_kib": peak_private[0]}


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


def run_with_retry(contender, wine_dir, retries):
    """run_once, and once more after a failure: Wine fails a start now and
    then for reasons of its own. Both failures in a row end the benchmark;
    a retried one is listed in the results."""
    try:
        return run_once(contender, wine_dir)
    except RunFailed as first:
        log("  %s failed, running it again: %s" % (contender.name, first))
        retries.append(str(first))
        return run_once(contender, wine_dir)


def measure(name, contenders, rounds, warmup, wine_dir, retries):
    runs = {c.name: [] for c in contenders}
    load_before = os.getloadavg()[0]
    for round_no in range(warmup + rounds):
        counted = round_no >= warmup
        line = []
        for contender in round_order(contenders, round_no):
            record = run_with_retry(contender, wine_dir, retries)
            if counted:
                runs[contender.name].append(record)
            line.append("%s %.2f" % (contender.name, record["wall"]))
        log("[%s] %s %d: %s" % (name, "round" if counted else "warm-up", round_no - warmup + 1 if counted else round_no + 1,
                                ", ".join(line)))
    return runs, load_before, os.getloadavg()[0]


def contenders_for(ours, peer, tools, payload, user, launches, variant=None, minimal=None):
    """Both installers (and the variant and the minimal program), then the
    floors, in the order of a round.

    The start-up floor does not depend on the payload: it runs with the
    stand-in suite only (launches is true for that payload alone)."""
    target = "C:\\users\\%s\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe" % user
    found = [Contender("ours", [ours, "/S"], payload, ours, True, launches),
             Contender("peer", [peer, "/S"], payload, None, True, launches)]
    if variant:
        found.append(Contender("variant", [variant, "/S"], payload, variant, True, launches))
    if minimal:
        # Makes the same calls as ours and is checked like it: it copies itself.
        found.append(Contender("minimal", [minimal, "/S"], payload, minimal, True, launches))
    found += [Contender("copy", [tools["plain_copy"], windows_path(payload), target], payload),
              Contender("noop", [tools["noop"]])]
    if launches:
        found.append(Contender("startup", [tools["startup"]]))
    return found


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
    dirty = bool(subprocess.run(["git", "-C", REPO, "status", "--porcelain", "--untracked-files=no"],
                                stdout=subprocess.PIPE, text=True).stdout.strip())
    return {"date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
            "commit": commit, "dirty": dirty, "cpu": cpu, "cores": os.cpu_count(),
            "ram_gib": round(ram_kib / 1024 / 1024), "wine": first_line([WINE, "--version"]),
            "makensis": "makensis " + first_line(["makensis", "-VERSION"]),
            "compiler": first_line([CROSS_CC, "--version"])}


def user_of_template(wine_dir):
    """The profile name, from a prefix made only to find it out."""
    prefix = subprocess.run([os.path.join(REPO, "tests", "wine", "wine-prefix"), wine_dir], check=True,
                            stdout=subprocess.PIPE, text=True).stdout.strip().splitlines()[-1]
    try:
        return checks.profile_user(prefix)
    finally:
        shutil.rmtree(prefix)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tree")
    parser.add_argument("--smoke", action="store_true")
    parser.add_argument("--out")
    parser.add_argument("--runs", type=int)
    parser.add_argument("--variant-ldflags", default="")
    parser.add_argument("--sizes", default=",".join(n for n, _ in FULL_SIZES),
                        help="payloads to measure, of: " + ", ".join(n for n, _ in FULL_SIZES))
    args = parser.parse_args(argv)

    tree = os.path.abspath(args.tree)
    docs = os.path.join(REPO, "docs")
    out = os.path.abspath(args.out or (os.path.join(tree, "bench-smoke") if args.smoke else docs))
    if args.smoke and os.path.realpath(out) == os.path.realpath(docs):
        parser.error("a smoke run does not write to docs/")
    work = out if args.smoke else os.path.join(REPO, "build", "bench")
    wine_dir = os.path.join(tree, "wine") if args.smoke else os.path.join(work, "wine")
    runs = args.runs or (1 if args.smoke else 11)
    warmup = 0 if args.smoke else 1
    os.makedirs(out, exist_ok=True)
    os.makedirs(work, exist_ok=True)
    logfile = os.path.join(work, "build.log")
    open(logfile, "w").close()

    tools = build_tools(os.path.join(work, "tools"), logfile)
    user = user_of_template(wine_dir)
    meta = machine_meta()
    meta.update({"runs": runs, "warmup": warmup, "tree": os.path.relpath(tree, REPO), "load": [], "retries": [],
                 "variant_ldflags": args.variant_ldflags if not args.smoke else ""})
    suite = os.path.join(tree, "suite", "Lumiran.exe")
    results = {"meta": meta, "sizes": []}
    order = []
    wanted = [w.strip() for w in args.sizes.split(",")]
    unknown = set(wanted) - {n for n, _ in FULL_SIZES}
    if unknown:
        parser.error("unknown payload size: " + ", ".join(sorted(unknown)))
    sizes = FULL_SIZES[:1] if args.smoke else [s for s in FULL_SIZES if s[0] in wanted]
    for name, mib in sizes:
        slug = name.replace(" ", "").lower()
        variant = None
        if args.smoke:
            payload, ours = suite, os.path.join(tree, SETUP_NAME)
            meta["link_flags"] = link_flags(tree)
        else:
            payloads = os.path.join(work, "payloads")
            os.makedirs(payloads, exist_ok=True)
            if mib is None:
                payload = os.path.join(payloads, "standin.exe")
                if not (os.path.isfile(payload) and filecmp.cmp(payload, suite, shallow=False)):
                    shutil.copyfile(suite, payload)
            else:
                log("[%s] payload" % name)
                payload = random_payload(os.path.join(payloads, "random-%dMiB.exe" % mib), mib)
            log("[%s] building our installer" % name)
            ours = build_ours(tree, os.path.join(work, slug), payload, "", logfile)
            meta["link_flags"] = link_flags(os.path.join(work, slug))
            if mib is None:
                shipped = os.path.join(tree, SETUP_NAME)
                meta["same_as_tree"] = os.path.isfile(shipped) and filecmp.cmp(ours, shipped, shallow=False)
            if args.variant_ldflags:
                variant = build_ours(tree, os.path.join(work, slug + "-variant"), payload, args.variant_ldflags, logfile)
        minimal = build_minimal(os.path.dirname(ours), os.path.join(work, "minimal", slug), logfile)
        log("[%s] building the peer" % name)
        peer = build_peer(payload, os.path.join(work, "peer", slug), logfile)
        # Only the stand-in suite can start; a random payload fails to, at once.
        contenders = contenders_for(ours, peer, tools, payload, user, mib is None, variant, minimal)
        record_runs, before, after = measure(name, contenders, runs, warmup, wine_dir, meta["retries"])
        if len(contenders) > len(set(order)):
            order = [c.name for c in round_order(contenders, 0)]
        images = {c.name: os.path.getsize(c.argv[0]) for c in contenders if c.full_install}
        results["sizes"].append({"name": name, "payload_bytes": os.path.getsize(payload), "images": images,
                                 "runs": record_runs})
        meta["load"].append([name, before, after])
    meta["order"] = order

    with open(os.path.join(out, "benchmarks.json"), "w", encoding="utf-8") as f:
        json.dump(results, f, indent=1)
    with open(os.path.join(HERE, "benchmarks.md.in"), encoding="utf-8") as f:
        template = f.read()
    with open(os.path.join(out, "benchmarks.md"), "w", encoding="utf-8") as f:
        f.write(report.render(template, results))
    report.plot(results, os.path.join(out, "benchmarks.png"))
    for size in report.summarise(results):
        c = size["contenders"]
        log("[%s] ours %.3f s, peer %.3f s, ours/peer %.2f; copy %.3f s, no-op %.3f s" % (
            size["name"], c["ours"]["wall_median"], c["peer"]["wall_median"], c["ours"]["ratio_of_medians"],
            c["copy"]["wall_median"], c["noop"]["wall_median"]))
    log("wrote %s" % os.path.join(out, "benchmarks.md"))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except (RuntimeError, subprocess.CalledProcessError) as error:
        print("bench: %s" % error, file=sys.stderr)
        sys.exit(1)
