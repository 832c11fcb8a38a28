"""The inputs the benchmark makes for itself: payloads, build settings, the
order of a round."""

import os
import tempfile
import unittest
import zlib

import bench


class Payloads(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.path = os.path.join(self.dir.name, "random-1MiB.exe")
        self.head = b"MZ" + b"suite" * 100

    def test_random_bytes_follow_the_suite_fill_the_size_and_do_not_compress(self):
        bench.random_payload(self.path, self.head, 1)
        with open(self.path, "rb") as f:
            data = f.read()
        self.assertEqual(len(data), bench.MIB)
        self.assertEqual(data[:len(self.head)], self.head)
        self.assertGreater(len(zlib.compress(data[len(self.head):], 9)), bench.MIB - len(self.head))

    def test_a_good_random_payload_is_kept_and_a_wrong_one_made_anew(self):
        bench.random_payload(self.path, self.head, 1)
        with open(self.path, "rb") as f:
            first = f.read()
        bench.random_payload(self.path, self.head, 1)
        with open(self.path, "rb") as f:
            self.assertEqual(f.read(), first)
        for broken in (first[:-1], b"PK" + first[2:]):
            with self.subTest(broken=broken[:2]):
                with open(self.path, "wb") as f:
                    f.write(broken)
                bench.random_payload(self.path, self.head, 1)
                with open(self.path, "rb") as f:
                    again = f.read()
                self.assertEqual((len(again), again[:len(self.head)]), (bench.MIB, self.head))
                self.assertNotEqual(again, broken)

    def test_program_bytes_are_the_folders_files_in_name_order_and_compress_about_threefold(self):
        programs = os.path.join(self.dir.name, "programs")
        os.makedirs(os.path.join(programs, "a-folder"))
        parts = {"b.dll": b"B" * 10, "a.exe": b"A" * 10, "c.dll": b"C" * 10}
        for name, data in parts.items():
            with open(os.path.join(programs, name), "wb") as f:
                f.write(data)
        self.assertEqual(bench.program_bytes(programs, 25), b"A" * 10 + b"B" * 10 + b"C" * 5)
        with self.assertRaises(RuntimeError):
            bench.program_bytes(programs, 31)
        # Wine's own programs, as the benchmark uses them.
        if os.path.isdir(bench.WINE_PROGRAMS):
            path = bench.compressible_payload(os.path.join(self.dir.name, "p.exe"), self.head, 4)
            with open(path, "rb") as f:
                data = f.read()
            self.assertEqual((len(data), data[:len(self.head)]), (4 * bench.MIB, self.head))
            self.assertTrue(2.5 < len(data) / len(zlib.compress(data, 6)) < 4.5)
            stamp = os.path.getmtime(path) - 100
            os.utime(path, (stamp, stamp))
            bench.compressible_payload(path, self.head, 4)
            self.assertEqual(os.path.getmtime(path), stamp, "an unchanged payload must not rebuild the trees")


class BuildSettings(unittest.TestCase):
    def test_cache_values_and_the_link_line(self):
        with tempfile.TemporaryDirectory() as tree:
            with open(os.path.join(tree, "CMakeCache.txt"), "w") as f:
                f.write("//comment\nCMAKE_BUILD_TYPE:STRING=Release\nCMAKE_EXE_LINKER_FLAGS:STRING=-Wl,--a=b\n"
                        "CMAKE_EXE_LINKER_FLAGS_RELEASE:STRING=\n")
            with open(os.path.join(tree, "version.txt"), "w") as f:
                f.write("10.20.300\n")
            self.assertEqual(bench.cache_value(tree, "CMAKE_BUILD_TYPE"), "Release")
            self.assertEqual(bench.cache_value(tree, "CMAKE_EXE_LINKER_FLAGS"), "-Wl,--a=b")
            self.assertEqual(bench.cache_value(tree, "CMAKE_EXE_LINKER_FLAGS_RELEASE"), "")
            self.assertIsNone(bench.cache_value(tree, "CMAKE_CXX_FLAGS"))
            self.assertEqual(bench.link_flags(tree), "unknown")
            link = os.path.join(tree, "CMakeFiles", "lumiran_setup.dir")
            os.makedirs(link)
            with open(os.path.join(link, "link.txt"), "w") as f:
                f.write("/usr/bin/cmake -E rm -f objects.a\n"
                        "/usr/bin/g++ -O3 -DNDEBUG -static -s -Wl,--gc-sections -Wl,--whole-archive objects.a "
                        "-Wl,--no-whole-archive -o Lumiran-Setup-10.20.300-x64.exe -Wl,--out-implib,x.a\n")
            self.assertEqual(bench.link_flags(tree), "-O3 -DNDEBUG -static -s -Wl,--gc-sections")


class Round(unittest.TestCase):
    TOOLS = {"plain_copy": "/t/copy.exe", "noop": "/t/noop.exe", "startup": "/t/startup.exe"}

    def test_each_installer_takes_every_place_and_follows_a_floor(self):
        found = bench.contenders_for("/o.exe", "/p.exe", self.TOOLS, "/pl/x.exe", "u1", variant="/v.exe")
        self.assertEqual([c.name for c in found], ["ours", "peer", "variant", "copy", "noop"])
        copy = found[3]
        self.assertEqual(copy.argv, ["/t/copy.exe", "Z:\\pl\\x.exe",
                                     "C:\\users\\u1\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe"])
        # Every payload starts a program: each installer must start it.
        self.assertEqual([c.launches for c in found], [True, True, True, False, False])
        orders = [[c.name for c in bench.round_order(found, n)] for n in range(4)]
        self.assertEqual(orders, [["ours", "copy", "peer", "noop", "variant", "noop"],
                                  ["peer", "copy", "variant", "noop", "ours", "noop"],
                                  ["variant", "copy", "ours", "noop", "peer", "noop"],
                                  ["ours", "copy", "peer", "noop", "variant", "noop"]])
        without = bench.contenders_for("/o.exe", "/p.exe", self.TOOLS, "/pl/x.exe", "u1")
        two = [[c.name for c in bench.round_order(without, n)] for n in range(2)]
        self.assertEqual(two, [["ours", "copy", "peer", "noop"], ["peer", "copy", "ours", "noop"]])
        # Ours copies itself; the peer writes an uninstaller of its own.
        self.assertEqual([c.uninstaller_source for c in found[:3]], ["/o.exe", None, "/v.exe"])

    def test_the_minimal_program_runs_as_an_installer_that_copies_itself(self):
        found = bench.contenders_for("/o.exe", "/p.exe", self.TOOLS, "/pl/x.exe", "u1", minimal="/m.exe")
        minimal = next(c for c in found if c.name == "minimal")
        self.assertEqual((minimal.argv, minimal.uninstaller_source, minimal.full_install, minimal.launches),
                         (["/m.exe", "/S"], "/m.exe", True, True))
        self.assertEqual([c.name for c in bench.round_order(found, 1)],
                         ["peer", "copy", "minimal", "noop", "ours", "noop"])

    def test_the_cold_start_has_the_start_up_floor_and_no_copy(self):
        cold = bench.contenders_for("/o.exe", "/p.exe", self.TOOLS, "/pl/x.exe", "-", minimal="/m.exe",
                                    floors=("noop", "startup"))
        self.assertEqual([c.name for c in bench.round_order(cold, 0)],
                         ["ours", "noop", "peer", "startup", "minimal", "noop"])


class VariantSources(unittest.TestCase):
    def test_the_patch_is_applied_to_a_copy_and_unchanged_files_keep_their_time(self):
        with tempfile.TemporaryDirectory() as work:
            patch = os.path.join(work, "p.patch")
            with open(patch, "w") as f:
                f.write("--- a/bench/noop.c\n+++ b/bench/noop.c\n@@ -1,1 +1,1 @@\n"
                        "-/* The no-op Windows program of the benchmark: the cost of starting a Wine\n"
                        "+/* PATCHED\n")
            dest = os.path.join(work, "src")
            log = os.path.join(work, "log")
            bench.patched_sources(patch, dest, log)
            with open(os.path.join(dest, "bench", "noop.c")) as f:
                self.assertEqual(f.readline(), "/* PATCHED\n")
            with open(os.path.join(bench.HERE, "noop.c")) as f:
                self.assertNotIn("PATCHED", f.read())
            kept = os.path.join(dest, "bench", "startup.c")
            os.utime(kept, (1000, 1000))
            bench.patched_sources(patch, dest, log)
            self.assertEqual(os.path.getmtime(kept), 1000)


class Retry(unittest.TestCase):
    def run_failing(self, failures):
        calls = []

        def runner(contender):
            calls.append(contender)
            if len(calls) <= failures:
                raise bench.RunFailed("exited with 1")
            return {"wall": 1.0}

        retries = []
        return bench.run_with_retry(bench.Contender("peer", []), runner, retries), retries, len(calls)

    def test_one_failure_is_run_again_and_listed(self):
        self.assertEqual(self.run_failing(0), ({"wall": 1.0}, [], 1))
        self.assertEqual(self.run_failing(1), ({"wall": 1.0}, ["exited with 1"], 2))

    def test_two_failures_in_a_row_end_the_benchmark(self):
        with self.assertRaises(bench.RunFailed):
            self.run_failing(2)


if __name__ == "__main__":
    unittest.main()
