#!/usr/bin/python3
"""Turns the raw results of bench.py into tables, goals and a plot.

    report.py RESULTS.json TEMPLATE.md.in OUT.md OUT.png

The raw results hold, per payload, one record per counted run and
contender, in round order: index i of every contender belongs to round i,
so ours[i] and peer[i] ran in the same round, under the same load.
"sizes" are the warm-session runs, which the goals judge; "cold" are the
runs in a fresh prefix each, shown and not judged.
"""

import json
import statistics
import sys

INSTALLERS = ("ours", "variant", "minimal", "peer")
# Judged against the goals: ours, and a variant of ours measured beside it.
JUDGED = ("ours", "variant")
FLOORS = ("copy", "noop", "startup")
LABELS = {
    "ours": "Lumiran Setup",
    "variant": "Lumiran Setup, variant",
    "minimal": "minimal program, same calls",
    "peer": "NSIS peer",
    "copy": "plain copy",
    "noop": "no-op program",
    "startup": "COM + common-controls start-up",
}
# Goals on the warm-session medians: ours against the NSIS peer per payload,
# ours against the minimal program at every payload, and the private memory
# of the installing process at every payload.
PEER_GOALS = {"stand-in": 1.00, "program": 1.00, "64-compressible": 0.60, "64-incompressible": 1.00}
MINIMAL_GOAL = 1.03
MEMORY_GOAL_MIB = 8.0
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


def _ratio(mine, other):
    """Ratio of the medians, and the median and range of the per-round ratios."""
    pairs = [a["wall"] / b["wall"] for a, b in zip(mine, other)]
    return {"of_medians": statistics.median(r["wall"] for r in mine) / statistics.median(r["wall"] for r in other),
            "pair_median": statistics.median(pairs), "pair_min": min(pairs), "pair_max": max(pairs)}


def summarise_size(size):
    """Medians, ranges, image sizes and ratios for one payload."""
    runs = size["runs"]
    out = {"name": size["name"], "label": size.get("label", size["name"]), "payload_bytes": size["payload_bytes"],
           "contenders": {}}
    for name, records in runs.items():
        if not records:
            continue
        entry = _stats(records)
        image = size.get("images", {}).get(name)
        if image is not None:
            entry["image"] = image
        out["contenders"][name] = entry
    for mine in JUDGED:
        if mine not in out["contenders"]:
            continue
        out["contenders"][mine]["vs"] = {other: _ratio(runs[mine], runs[other])
                                         for other in ("peer", "minimal") if runs.get(other)}
    return out


def summarise(results, part="sizes"):
    return [summarise_size(size) for size in results.get(part, [])]


def goals(summary):
    """(who, description, measured, limit, met) for every goal that the
    measured payloads allow to evaluate."""
    found = []
    for mine in JUDGED:
        for size in summary:
            entry = size["contenders"].get(mine)
            if entry is None:
                continue
            vs = entry.get("vs", {})
            if size["name"] in PEER_GOALS and "peer" in vs:
                limit = PEER_GOALS[size["name"]]
                value = vs["peer"]["of_medians"]
                found.append((mine, "ours/NSIS, %s" % size["name"], value, limit, value <= limit))
            if "minimal" in vs:
                value = vs["minimal"]["of_medians"]
                found.append((mine, "ours/minimal, %s" % size["name"], value, MINIMAL_GOAL, value <= MINIMAL_GOAL))
            memory = entry["anon_peak_kib"] / 1024
            found.append((mine, "private memory (MiB), %s" % size["name"], memory, MEMORY_GOAL_MIB,
                          memory <= MEMORY_GOAL_MIB))
    return found


def _bytes(n):
    return "{:,}".format(n)


def _mib(kib):
    return "%.1f" % (kib / 1024)


def _vs(entry, other):
    ratio = entry.get("vs", {}).get(other)
    if ratio is None:
        return "—"
    return "%.2f (%.2f; %.2f–%.2f)" % (ratio["of_medians"], ratio["pair_median"], ratio["pair_min"], ratio["pair_max"])


def results_table(summary):
    rows = ["| Payload | Contender | Wall median (s) | Wall min–max (s) | ours/NSIS: of medians "
            "(of rounds: median; min–max) | ours/minimal: likewise | CPU median (s) | Peak RSS (MiB) "
            "| of it private (MiB) |",
            "|---|---|--:|--:|--:|--:|--:|--:|--:|"]
    for size in summary:
        payload = "%s: %s, %s bytes" % (size["name"], size["label"], _bytes(size["payload_bytes"]))
        for name in INSTALLERS + FLOORS:
            c = size["contenders"].get(name)
            if c is None:
                continue
            rows.append("| %s | %s | %.3f | %.3f–%.3f | %s | %s | %.3f | %s | %s |" % (
                payload, LABELS[name], c["wall_median"], c["wall_min"], c["wall_max"], _vs(c, "peer"),
                _vs(c, "minimal"), c["cpu_median"], _mib(c["rss_peak_kib"]), _mib(c["anon_peak_kib"])))
            payload = ""
    return "\n".join(rows)


def sizes_table(summary):
    rows = ["| Payload | Payload (bytes) | Lumiran Setup (bytes) | NSIS peer (bytes) | NSIS peer / payload "
            "| minimal program (bytes) |",
            "|---|--:|--:|--:|--:|--:|"]
    for size in summary:
        c = size["contenders"]
        image = {name: c[name]["image"] for name in INSTALLERS if "image" in c.get(name, {})}
        if "ours" not in image or "peer" not in image:
            continue
        minimal = _bytes(image["minimal"]) if "minimal" in image else "—"
        rows.append("| %s | %s | %s | %s | %.2f | %s |" % (
            size["name"], _bytes(size["payload_bytes"]), _bytes(image["ours"]), _bytes(image["peer"]),
            image["peer"] / size["payload_bytes"], minimal))
    return "\n".join(rows)


def cold_table(cold, warm):
    if not cold:
        return "(no cold-start runs in this run of the benchmark)"
    warm_by_name = {s["name"]: s for s in warm}
    rows = ["| Payload | Contender | Cold: wall median (s) | Cold: min–max (s) | Warm: wall median (s) "
            "| Cold − warm (s) | ours/NSIS, cold |",
            "|---|---|--:|--:|--:|--:|--:|"]
    for size in cold:
        payload = size["name"]
        hot = warm_by_name.get(size["name"], {"contenders": {}})["contenders"]
        for name in INSTALLERS + FLOORS:
            c = size["contenders"].get(name)
            if c is None:
                continue
            w = hot.get(name)
            warm_text = "%.3f" % w["wall_median"] if w else "—"
            added = "%.3f" % (c["wall_median"] - w["wall_median"]) if w else "—"
            rows.append("| %s | %s | %.3f | %.3f–%.3f | %s | %s | %s |" % (
                payload, LABELS[name], c["wall_median"], c["wall_min"], c["wall_max"], warm_text, added,
                _vs(c, "peer")))
            payload = ""
    return "\n".join(rows)


def _goal_text(who, text, value, limit, met):
    suffix = {"ours": "", "variant": " (variant)"}[who]
    return "%s%s: %.2f, goal ≤ %.2f: **%s**" % (text, suffix, value, limit, "met" if met else "not met")


def goals_list(summary):
    lines = ["- " + _goal_text(*goal) for goal in goals(summary)]
    return "\n".join(lines) if lines else "- (no goal can be evaluated from these payloads)"


def closing(summary):
    """The closing note: how many goals this run met, and which it missed."""
    judged = [g for g in goals(summary) if g[0] == "ours"]
    if not judged:
        return "This run measured no payload that a goal judges."
    missed = [g for g in judged if not g[4]]
    text = "In this run Lumiran Setup met %d of its %d goals." % (len(judged) - len(missed), len(judged))
    if missed:
        text += " Missed: " + "; ".join("%s %.2f against ≤ %.2f" % (g[1], g[2], g[3]) for g in missed) + "."
    return text


def environment(meta):
    loads = ", ".join("%s %.2f→%.2f" % (name, before, after) for name, before, after in meta.get("load", []))
    lines = [
        "- Date: %s; commit %s%s" % (meta["date"], meta["commit"], " with uncommitted changes in the tree" if meta.get("dirty") else ""),
        "- Machine: %s, %d cores, %s GiB RAM; %s; %s; %s" % (
            meta["cpu"], meta["cores"], meta["ram_gib"], meta["wine"], meta["makensis"], meta["compiler"]),
        "- Warm session: %d counted rounds per payload after %d warm-up round(s); the first round ran %s, and "
        "each later one moves the installers on by one place" % (
            meta["runs"], meta["warmup"], ", ".join(LABELS[k] for k in meta["order"])),
        "- Cold start: %s" % ("%d counted rounds after 1 warm-up round, stand-in payload only" % meta["cold_runs"]
                              if meta.get("cold_runs") else "not run"),
        "- Link flags of our image: `%s`" % meta["link_flags"],
    ]
    if meta.get("variant"):
        lines.append("- Variant: our installer built with %s" % meta["variant"])
    if meta.get("same_as_tree") is not None:
        lines.append("- The stand-in image built here is %s the one in `%s`" % (
            "byte for byte" if meta["same_as_tree"] else "NOT", meta["tree"]))
    lines.append("- Load average (1 min) before→after each payload's warm session: %s" % loads)
    retries = meta.get("retries", [])
    lines.append("- Runs that failed and were run again: %s" % (
        "none" if not retries else "%d: %s" % (len(retries), "; ".join(retries))))
    if meta.get("minutes") is not None:
        lines.append("- The whole run, builds included, took %.1f minutes" % meta["minutes"])
    return "\n".join(lines)


def render(template, results):
    summary = summarise(results)
    text = template
    for key, value in (("@ENVIRONMENT@", environment(results["meta"])), ("@RESULTS@", results_table(summary)),
                       ("@SIZES@", sizes_table(summary)),
                       ("@COLD@", cold_table(summarise(results, "cold"), summary)),
                       ("@GOALS@", goals_list(summary)), ("@CLOSING@", closing(summary))):
        text = text.replace(key, value)
    return text


def plot(results, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    summary = summarise(results)
    # "64-compressible" -> "64\ncompressible"; "stand-in" stays whole.
    names = ["%s\n%.2f MiB" % (s["name"].replace("-", "\n", 1) if s["name"][0].isdigit() else s["name"],
                                s["payload_bytes"] / MIB) for s in summary]
    xs = list(range(len(summary)))
    fig, (times, sizes) = plt.subplots(1, 2, figsize=(12, 4.6), gridspec_kw={"width_ratios": [3, 2]})
    styles = {"ours": ("C0", "o"), "variant": ("C2", "D"), "minimal": ("C1", "P"), "peer": ("C3", "s"),
              "copy": ("C7", "^"), "noop": ("C8", "v"), "startup": ("C4", "x")}
    for name, (color, marker) in styles.items():
        points = [(x, s["contenders"][name]) for x, s in zip(xs, summary) if name in s["contenders"]]
        if not points:
            continue
        med = [p[1]["wall_median"] for p in points]
        low = [p[1]["wall_median"] - p[1]["wall_min"] for p in points]
        high = [p[1]["wall_max"] - p[1]["wall_median"] for p in points]
        times.errorbar([p[0] for p in points], med, yerr=[low, high], color=color, marker=marker, capsize=3,
                       label=LABELS[name])
    times.set_xticks(xs, names, fontsize=8)
    times.set_ylabel("silent install, wall time (s): median, min–max")
    times.set_ylim(bottom=0)
    times.grid(True, alpha=0.3)
    times.legend(fontsize=8)
    times.set_title("Warm Wine session, %d rounds" % results["meta"]["runs"], fontsize=10)
    width = 0.27
    for offset, (label, color, key) in zip((-width, 0, width), (("payload", "C7", None), ("Lumiran Setup", "C0", "ours"),
                                                                ("NSIS peer", "C3", "peer"))):
        values = [(s["payload_bytes"] if key is None else s["contenders"].get(key, {}).get("image", 0)) / MIB
                  for s in summary]
        sizes.bar([x + offset for x in xs], values, width, color=color, label=label)
    sizes.set_yscale("log")
    sizes.set_xticks(xs, names, fontsize=8)
    sizes.set_ylabel("download size (MiB, log scale)")
    sizes.grid(True, axis="y", which="both", alpha=0.3)
    sizes.legend(fontsize=8)
    sizes.set_title("Download size: ours carries the payload raw, NSIS compresses it", fontsize=9)
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
