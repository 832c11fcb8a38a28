#!/usr/bin/python3
"""Turns the raw results of bench.py into tables, goals and a plot.

    report.py RESULTS.json TEMPLATE.md.in OUT.md OUT.png

The raw results hold, per payload size, one record per counted run and
contender, in round order: index i of every contender belongs to round i,
so ours[i] and peer[i] ran back to back under the same load.
"""

import json
import statistics
import sys

INSTALLERS = ("ours", "variant", "minimal", "peer")
# Measured like ours and judged against the same goals, but not ours: a
# program that makes only the calls of our silent install (bench/minimal.c).
MINE = ("ours", "variant", "minimal")
FLOORS = ("noop", "startup", "copy")
LABELS = {
    "ours": "Lumiran Setup",
    "variant": "Lumiran Setup, variant flags",
    "minimal": "minimal program, same calls",
    "peer": "NSIS peer",
    "copy": "plain copy (floor)",
    "noop": "no-op Wine process",
    "startup": "COM + common-controls start-up",
}
# Goals: ours/peer wall-time medians per payload, and the time above a no-op
# process against that of a plain copy of the same bytes.
RATIO_GOALS = (("stand-in", 0.8), ("64 MiB", 0.6))
FLOOR_GOAL = 1.3
MIB = 1024 * 1024


def _stats(runs):
    walls = [r["wall"] for r in runs]
    return {
        "wall_median": statistics.median(walls),
        "wall_min": min(walls),
        "wall_max": max(walls),
        "cpu_median": statistics.median(r["cpu"] for r in runs),
        "rss_peak_kib": max(r["rss_kib"] for r in runs),
        "anon_peak_kib": max(r.get("anon_kib", 0) for r in runs),
        "count": len(runs),
    }


def summarise_size(size):
    """Medians, ranges, ratios and floor comparison for one payload size."""
    runs = size["runs"]
    out = {"name": size["name"], "payload_bytes": size["payload_bytes"], "contenders": {}}
    for name, records in runs.items():
        if not records:
            continue
        entry = _stats(records)
        image = size.get("images", {}).get(name)
        if image is not None:
            entry["image"] = image
            entry["overhead"] = image - size["payload_bytes"]
        out["contenders"][name] = entry
    have = out["contenders"]
    for mine in MINE:
        if mine not in have or "peer" not in have:
            continue
        pairs = [a["wall"] / b["wall"] for a, b in zip(runs[mine], runs["peer"])]
        have[mine]["pair_ratio_median"] = statistics.median(pairs)
        have[mine]["pair_ratio_min"] = min(pairs)
        have[mine]["pair_ratio_max"] = max(pairs)
        have[mine]["ratio_of_medians"] = have[mine]["wall_median"] / have["peer"]["wall_median"]
    if "noop" in have and "copy" in have:
        noop = have["noop"]["wall_median"]
        copy_excess = have["copy"]["wall_median"] - noop
        out["copy_excess"] = copy_excess
        for mine in MINE + ("peer",):
            if mine in have:
                excess = have[mine]["wall_median"] - noop
                have[mine]["excess"] = excess
                have[mine]["floor_ratio"] = excess / copy_excess if copy_excess > 0 else float("inf")
    return out


def summarise(results):
    return [summarise_size(size) for size in results["sizes"]]


def goals(summary):
    """(installer, description, measured, limit, met) for every goal that the
    measured sizes allow to evaluate."""
    by_name = {s["name"]: s for s in summary}
    found = []
    for mine in MINE:
        for name, limit in RATIO_GOALS:
            size = by_name.get(name)
            if size and "ratio_of_medians" in size["contenders"].get(mine, {}):
                value = size["contenders"][mine]["ratio_of_medians"]
                found.append((mine, "ours/peer wall time, %s" % name, value, limit, value <= limit))
        for size in summary:
            entry = size["contenders"].get(mine, {})
            if "floor_ratio" in entry:
                value = entry["floor_ratio"]
                found.append((mine, "(ours - no-op) / (plain copy - no-op), %s" % size["name"],
                              value, FLOOR_GOAL, value <= FLOOR_GOAL))
    return found


def _bytes(n):
    return "{:,}".format(n)


def _mib(kib):
    return "%.1f" % (kib / 1024)


def results_table(summary):
    rows = ["| Payload | Installer | Image (bytes) | Overhead (bytes) | Wall median (s) | Wall min–max (s) "
            "| ours/peer: of medians (of pairs: median; min–max) | CPU median (s) | Peak RSS (MiB) "
            "| of it private (MiB) |",
            "|---|---|--:|--:|--:|--:|--:|--:|--:|--:|"]
    for size in summary:
        payload = "%s (%s bytes)" % (size["name"], _bytes(size["payload_bytes"]))
        for name in INSTALLERS:
            c = size["contenders"].get(name)
            if c is None:
                continue
            ratio = "—"
            if "ratio_of_medians" in c:
                ratio = "%.2f (%.2f; %.2f–%.2f)" % (c["ratio_of_medians"], c["pair_ratio_median"],
                                                    c["pair_ratio_min"], c["pair_ratio_max"])
            rows.append("| %s | %s | %s | %s | %.3f | %.3f–%.3f | %s | %.3f | %s | %s |" % (
                payload, LABELS[name], _bytes(c["image"]), _bytes(c["overhead"]), c["wall_median"],
                c["wall_min"], c["wall_max"], ratio, c["cpu_median"], _mib(c["rss_peak_kib"]),
                _mib(c["anon_peak_kib"])))
            payload = ""
    return "\n".join(rows)


def floors_table(summary):
    rows = ["| Payload | no-op (s) | start-up (s) | plain copy (s) | Lumiran Setup (s) | ours − no-op (s) "
            "| copy − no-op (s) | ratio (goal ≤ %.1f) | minimal program: ratio | copy peak RSS (MiB) |" % FLOOR_GOAL,
            "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|"]
    for size in summary:
        c = size["contenders"]
        if not all(k in c for k in ("noop", "copy", "ours")):
            continue
        startup = "%.3f" % c["startup"]["wall_median"] if "startup" in c else "—"
        minimal = "%.1f" % c["minimal"]["floor_ratio"] if "minimal" in c else "—"
        rows.append("| %s | %.3f | %s | %.3f | %.3f | %.3f | %.3f | %.1f | %s | %s |" % (
            size["name"], c["noop"]["wall_median"], startup, c["copy"]["wall_median"],
            c["ours"]["wall_median"], c["ours"]["excess"], size["copy_excess"],
            c["ours"]["floor_ratio"], minimal, _mib(c["copy"]["rss_peak_kib"])))
    return "\n".join(rows)


def goals_list(summary):
    lines = []
    for mine, text, value, limit, met in goals(summary):
        who = {"ours": "", "variant": " (variant flags)",
               "minimal": " (minimal program, same calls)"}[mine]
        lines.append("- %s%s: %.2f, goal ≤ %.1f: **%s**" % (text, who, value, limit, "met" if met else "not met"))
    return "\n".join(lines) if lines else "- (no goal can be evaluated from these sizes)"


def environment(meta):
    loads = ", ".join("%s %.2f→%.2f" % (name, before, after) for name, before, after in meta.get("load", []))
    lines = [
        "- Date: %s; commit %s%s" % (meta["date"], meta["commit"], " with uncommitted changes in the tree" if meta.get("dirty") else ""),
        "- Machine: %s, %d cores, %s GiB RAM; %s; %s; %s" % (
            meta["cpu"], meta["cores"], meta["ram_gib"], meta["wine"], meta["makensis"], meta["compiler"]),
        "- Runs: %d counted rounds per payload after %d warm-up round(s); the first round ran %s, and each "
        "later one moves the installers on by one place" % (meta["runs"], meta["warmup"],
                                                            ", ".join(LABELS[k] for k in meta["order"])),
        "- Link flags of our image: `%s`" % meta["link_flags"],
    ]
    if meta.get("variant_ldflags"):
        lines.append("- Variant: the same build with `%s` added to the link flags" % meta["variant_ldflags"])
    if meta.get("same_as_tree") is not None:
        lines.append("- The stand-in image built here is %s the one in `%s`" % (
            "byte for byte" if meta["same_as_tree"] else "NOT", meta["tree"]))
    lines.append("- Load average (1 min) before→after each payload: %s" % loads)
    retries = meta.get("retries", [])
    lines.append("- Runs that failed and were run again: %s" % (
        "none" if not retries else "%d: %s" % (len(retries), "; ".join(retries))))
    return "\n".join(lines)


def render(template, results):
    summary = summarise(results)
    text = template
    for key, value in (("@ENVIRONMENT@", environment(results["meta"])), ("@RESULTS@", results_table(summary)),
                       ("@FLOORS@", floors_table(summary)), ("@GOALS@", goals_list(summary))):
        text = text.replace(key, value)
    return text


def plot(results, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    summary = summarise(results)
    sizes = [s["payload_bytes"] / MIB for s in summary]
    fig, (times, memory) = plt.subplots(1, 2, figsize=(11, 4.2))
    styles = {"ours": ("C0", "o"), "variant": ("C2", "D"), "minimal": ("C1", "P"), "peer": ("C3", "s"),
              "copy": ("C7", "^"),
              "noop": ("C8", "v"), "startup": ("C4", "x")}
    for name, (color, marker) in styles.items():
        points = [(x, s["contenders"][name]) for x, s in zip(sizes, summary) if name in s["contenders"]]
        if not points:
            continue
        xs = [p[0] for p in points]
        med = [p[1]["wall_median"] for p in points]
        low = [p[1]["wall_median"] - p[1]["wall_min"] for p in points]
        high = [p[1]["wall_max"] - p[1]["wall_median"] for p in points]
        times.errorbar(xs, med, yerr=[low, high], color=color, marker=marker, capsize=3, label=LABELS[name])
        if name in INSTALLERS or name == "copy":
            memory.plot(xs, [p[1]["rss_peak_kib"] / 1024 for p in points], color=color, marker=marker,
                        label=LABELS[name])
    for axis in (times, memory):
        axis.set_xscale("log")
        axis.set_xlabel("payload (MiB, log scale)")
        axis.grid(True, which="both", alpha=0.3)
    times.set_ylabel("silent install, wall time (s): median, min–max")
    times.set_ylim(bottom=0)
    memory.set_ylim(bottom=0)
    memory.set_ylabel("peak RSS of the installing process (MiB)")
    times.legend(fontsize=8)
    memory.legend(fontsize=8)
    fig.suptitle("Silent install under Wine in a fresh prefix, %d runs each" % results["meta"]["runs"])
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)


def main(argv):
    if len(argv) != 5:
        print("usage: report.py RESULTS.json TEMPLATE.md.in OUT.md OUT.png", file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        results = json.load(f)
    with open(argv[2], encoding="utf-8") as f:
        template = f.read()
    with open(argv[3], "w", encoding="utf-8") as f:
        f.write(render(template, results))
    plot(results, argv[4])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
