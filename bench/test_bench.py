"""The inputs the benchmark makes for itself: payloads, build settings, the
order of a round."""

import os
import tempfile
import unittest
import zlib

import bench


class RandomPayload(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.path = os.path.join(self.dir.name, "random-1MiB.exe")

    def test_begins_like_an_executable_has_the_size_and_does_not_compress(self):
        bench.random_payload(self.path, 1)
        with open(self.path, "rb") as f:
            data = f.read()
        self.assertEqual(len(data), bench.MIB)
        self.assertEqual(data[:2], b"MZ")
        self.assertGreater(len(zlib.compress(data, 9)), len(data))

    def test_a_good_payload_is_kept_and_a_wrong_one_made_anew(self):
        bench.random_payload(self.path, 1)
        with open(self.path, "rb") as f:
            first = f.read()
        bench.random_payload(self.path, 1)
        with open(self.path, "rb") as f:
            self.assertEqual(f.read(), first)
        for broken in (first[:-1], b"PK" + first[2:]):
            with self.subTest(broken=broken[:2]):
                with open(self.path, "wb") as f:
                    f.write(broken)
                bench.random_payload(self.path, 1)
                with open(self.path, "rb") as f:
                    again = f.read()
                self.assertEqual((len(again), again[:2]), (bench.MIB, b"MZ"))
                self.assertNotEqual(again, broken)


class BuildSettings(unittest.TestCase):
    def test_cache_values_and_the_link_line(self):
        with tempfile.TemporaryDirectory() as tree:
            with open(os.path.join(tree, "CMakeCache.txt"), "w") as f:
                f.write("//comment\nCMAKE_BUILD_TYPE:STRING=Release\nCMAKE_EXE_LINKER_FLAGS:STRING=-Wl,--a=b\n"
                        "CMAKE_EXE_LINKER_FLAGS_RELEASE:STRING=\n")
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
                        "-Wl,--no-whole-archive -o Lumiran-Setup-2.1.0-x64.exe -Wl,--out-implib,x.a\n")
            self.assertEqual(bench.link_flags(tree), "-O3 -DNDEBUG -static -s -Wl,--gc-sections")


class Round(unittest.TestCase):
    def test_each_installer_takes_every_place_and_follows_a_floor(self):
        tools = {"plain_copy": "/t/copy.exe", "noop": "/t/noop.exe", "startup": "/t/startup.exe"}
        found = bench.contenders_for("/o.exe", "/p.exe", tools, "/pl/x.exe", "u1", True, variant="/v.exe")
        self.assertEqual([c.name for c in found], ["ours", "peer", "variant", "copy", "noop", "startup"])
        copy = found[3]
        self.assertEqual(copy.argv, ["/t/copy.exe", "Z:\\pl\\x.exe",
                                     "C:\\users\\u1\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe"])
        self.assertEqual([c.launches for c in found], [True, True, True, False, False, False])
        without = bench.contenders_for("/o.exe", "/p.exe", tools, "/pl/x.exe", "u1", False)
        self.assertEqual([c.name for c in without], ["ours", "peer", "copy", "noop"])
        orders = [[c.name for c in bench.round_order(found, n)] for n in range(4)]
        self.assertEqual(orders, [["ours", "copy", "peer", "noop", "variant", "startup"],
                                  ["peer", "copy", "variant", "noop", "ours", "startup"],
                                  ["variant", "copy", "ours", "noop", "peer", "startup"],
                                  ["ours", "copy", "peer", "noop", "variant", "startup"]])
        two = [[c.name for c in bench.round_order(without, n)] for n in range(2)]
        self.assertEqual(two, [["ours", "copy", "peer", "noop"], ["peer", "copy", "ours", "noop"]])
        three = bench.contenders_for("/o.exe", "/p.exe", tools, "/pl/x.exe", "u1", False, variant="/v.exe")
        self.assertEqual([c.name for c in bench.round_order(three, 0)],
                         ["ours", "copy", "peer", "noop", "variant", "noop"])
        # Ours copies itself; the peer writes an uninstaller of its own.
        self.assertEqual([c.uninstaller_source for c in found[:3]], ["/o.exe", None, "/v.exe"])

    def test_the_minimal_program_runs_as_an_installer_that_copies_itself(self):
        tools = {"plain_copy": "/t/copy.exe", "noop": "/t/noop.exe", "startup": "/t/startup.exe"}
        found = bench.contenders_for("/o.exe", "/p.exe", tools, "/pl/x.exe", "u1", True, minimal="/m.exe")
        minimal = next(c for c in found if c.name == "minimal")
        self.assertEqual((minimal.argv, minimal.uninstaller_source, minimal.full_install, minimal.launches),
                         (["/m.exe", "/S"], "/m.exe", True, True))
        self.assertEqual([c.name for c in bench.round_order(found, 1)],
                         ["peer", "copy", "minimal", "noop", "ours", "startup"])


class Retry(unittest.TestCase):
    def run_failing(self, failures):
        calls = []

        def fake_run_once(contender, wine_dir):
            calls.append(contender)
            if len(calls) <= failures:
                raise bench.RunFailed("exited with 1")
            return {"wall": 1.0}

        original = bench.run_once
        bench.run_once = fake_run_once
        self.addCleanup(setattr, bench, "run_once", original)
        retries = []
        return bench.run_with_retry(bench.Contender("peer", []), "/w", retries), retries, len(calls)

    def test_one_failure_is_run_again_and_listed(self):
        self.assertEqual(self.run_failing(0), ({"wall": 1.0}, [], 1))
        self.assertEqual(self.run_failing(1), ({"wall": 1.0}, ["exited with 1"], 2))

    def test_two_failures_in_a_row_end_the_benchmark(self):
        with self.assertRaises(bench.RunFailed):
            self.run_failing(2)


if __name__ == "__main__":
    unittest.main()
