"""The numbers the benchmark reports: ratios, floors, goals and the page."""

import os
import tempfile
import unittest

import report


def run(wall, cpu=0.1, rss_kib=20480, anon_kib=5120):
    return {"wall": wall, "cpu": cpu, "rss_kib": rss_kib, "anon_kib": anon_kib}


def size(name, payload, images, walls):
    return {"name": name, "payload_bytes": payload, "images": images,
            "runs": {k: [run(w) for w in v] for k, v in walls.items()}}


STAND_IN = size("stand-in", 1000, {"ours": 5000, "peer": 3000},
                {"ours": [1.0, 0.8, 0.9], "peer": [1.0, 2.0, 1.0], "copy": [0.7, 0.6, 0.65],
                 "noop": [0.5, 0.6, 0.55], "startup": [0.8, 0.8, 0.8]})


class Summary(unittest.TestCase):
    def test_medians_ranges_and_overhead(self):
        ours = report.summarise_size(STAND_IN)["contenders"]["ours"]
        self.assertEqual((ours["wall_median"], ours["wall_min"], ours["wall_max"]), (0.9, 0.8, 1.0))
        self.assertEqual((ours["image"], ours["overhead"]), (5000, 4000))
        self.assertEqual(ours["count"], 3)

    def test_ratios_pair_runs_of_the_same_round(self):
        ours = report.summarise_size(STAND_IN)["contenders"]["ours"]
        # pairs 1.0/1.0, 0.8/2.0, 0.9/1.0
        self.assertAlmostEqual(ours["pair_ratio_min"], 0.4)
        self.assertAlmostEqual(ours["pair_ratio_max"], 1.0)
        self.assertAlmostEqual(ours["pair_ratio_median"], 0.9)
        self.assertAlmostEqual(ours["ratio_of_medians"], 0.9 / 1.0)

    def test_floor_ratio_is_time_above_noop_against_the_copy_above_noop(self):
        summary = report.summarise_size(STAND_IN)
        self.assertAlmostEqual(summary["copy_excess"], 0.65 - 0.55)
        self.assertAlmostEqual(summary["contenders"]["ours"]["excess"], 0.9 - 0.55)
        self.assertAlmostEqual(summary["contenders"]["ours"]["floor_ratio"], 0.35 / 0.10)

    def test_a_copy_no_slower_than_noop_gives_an_infinite_ratio(self):
        flat = size("x", 1, {}, {"ours": [1.0], "copy": [0.5], "noop": [0.5]})
        self.assertEqual(report.summarise_size(flat)["contenders"]["ours"]["floor_ratio"], float("inf"))

    def test_peak_memory_is_the_largest_of_the_runs(self):
        big = dict(STAND_IN, runs=dict(STAND_IN["runs"], ours=[run(1, rss_kib=10), run(1, rss_kib=30, anon_kib=7)]))
        ours = report.summarise_size(big)["contenders"]["ours"]
        self.assertEqual((ours["rss_peak_kib"], ours["anon_peak_kib"]), (30, 5120))


class Goals(unittest.TestCase):
    def evaluate(self, sizes):
        return {(who, text.split(", ")[-1], text.split(",")[0]): met
                for who, text, _, _, met in report.goals(report.summarise(({"sizes": sizes})))}

    def test_limits_are_inclusive_and_per_payload(self):
        at_limit = size("64 MiB", 1, {}, {"ours": [0.6], "peer": [1.0], "copy": [2.0], "noop": [0.0]})
        above = size("stand-in", 1, {}, {"ours": [0.81], "peer": [1.0], "copy": [0.5], "noop": [0.0]})
        found = self.evaluate([above, at_limit])
        self.assertFalse(found[("ours", "stand-in", "ours/peer wall time")])
        self.assertTrue(found[("ours", "64 MiB", "ours/peer wall time")])
        self.assertTrue(found[("ours", "64 MiB", "(ours - no-op) / (plain copy - no-op)")])
        self.assertFalse(found[("ours", "stand-in", "(ours - no-op) / (plain copy - no-op)")])

    def test_the_variant_is_judged_on_its_own(self):
        sizes = [size("stand-in", 1, {}, {"ours": [1.0], "variant": [0.5], "peer": [1.0]})]
        found = self.evaluate(sizes)
        self.assertEqual(found, {("ours", "stand-in", "ours/peer wall time"): False,
                                 ("variant", "stand-in", "ours/peer wall time"): True})

    def test_the_minimal_program_is_judged_like_ours(self):
        sizes = [size("stand-in", 1, {}, {"ours": [1.0], "minimal": [0.9], "peer": [1.0], "copy": [0.6],
                                          "noop": [0.5]})]
        found = self.evaluate(sizes)
        self.assertEqual(found[("minimal", "stand-in", "ours/peer wall time")], False)
        self.assertEqual(found[("minimal", "stand-in", "(ours - no-op) / (plain copy - no-op)")], False)
        text = report.floors_table(report.summarise({"sizes": sizes}))
        # ours (1.0 - 0.5) / 0.1 = 5.0; the minimal program (0.9 - 0.5) / 0.1 = 4.0
        self.assertIn("| 5.0 | 4.0 |", text)

    def test_sizes_without_a_goal_or_a_peer_yield_none(self):
        self.assertEqual(self.evaluate([size("1 GiB", 1, {}, {"ours": [1.0], "peer": [1.0]}),
                                        size("stand-in", 1, {}, {"ours": [1.0]})]), {})


class Page(unittest.TestCase):
    META = {"date": "d", "commit": "c", "dirty": False, "cpu": "cpu", "cores": 2, "ram_gib": 24, "wine": "w",
            "makensis": "m", "compiler": "g", "runs": 3, "warmup": 1, "order": ["ours", "peer", "copy", "noop"],
            "link_flags": "-s", "load": [["stand-in", 1.5, 2.0]]}

    def test_every_placeholder_is_filled(self):
        template = "@ENVIRONMENT@\n@RESULTS@\n@FLOORS@\n@GOALS@\n"
        text = report.render(template, {"meta": self.META, "sizes": [STAND_IN]})
        self.assertNotIn("@", text)
        self.assertIn("| stand-in (1,000 bytes) | Lumiran Setup | 5,000 | 4,000 | 0.900 | 0.800–1.000 | 0.90 (0.90; 0.40–1.00) |",
                      text)
        self.assertIn("| stand-in | 0.550 | 0.800 | 0.650 | 0.900 | 0.350 | 0.100 | 3.5 | — |", text)
        self.assertIn("ours/peer wall time, stand-in: 0.90, goal ≤ 0.8: **not met**", text)
        self.assertIn("stand-in 1.50→2.00", text)

    def test_the_plot_is_written(self):
        with tempfile.TemporaryDirectory() as out:
            path = os.path.join(out, "p.png")
            report.plot({"meta": self.META, "sizes": [STAND_IN]}, path)
            with open(path, "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")


if __name__ == "__main__":
    unittest.main()
