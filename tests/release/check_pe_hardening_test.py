#!/usr/bin/env python3
"""The PE hardening check against small programs linked with and without each
protection: it must pass the hardened one and name every fault of the others.

Usage: check_pe_hardening_test.py --cc CROSS_GCC --machine x86|x64
"""

import argparse
import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
module_spec = importlib.util.spec_from_file_location("check_pe_hardening", os.path.join(HERE, "check_pe_hardening.py"))
checker = importlib.util.module_from_spec(module_spec)
module_spec.loader.exec_module(checker)

HARDENED = ["-Wl,--dynamicbase", "-Wl,--nxcompat", "-Wl,--no-insert-timestamp"]
PROGRAM = "int main(void) { return 0; }\n"
# A section the loader would map both writable and executable.
WRITABLE_CODE = PROGRAM + '__asm__(".section .wxcode,\\"dwx\\"\\n.byte 0x90\\n.text\\n");\n'
# A folder name as the compiler leaves it without a prefix map, and as UTF-16.
FILE_NAME = PROGRAM + "const char* volatile where = __FILE__;\n"
WIDE_TEXT = PROGRAM + 'const unsigned short volatile wide[] = u"/secret/folder";\n'

options = None


class CheckPeHardeningTest(unittest.TestCase):
    def link(self, folder, source, flags, shared=False):
        source_path = os.path.join(folder, "probe.c")
        with open(source_path, "w") as handle:
            handle.write(source)
        output = os.path.join(folder, "probe.dll" if shared else "probe.exe")
        command = [options.cc, "-O1", source_path, "-o", output] + (["-shared"] if shared else []) + flags
        subprocess.run(command, check=True)
        with open(output, "rb") as handle:
            return handle.read(), source_path

    def test_each_fault_is_named(self):
        high_entropy = ["-Wl,--high-entropy-va"] if options.machine == "x64" else []
        also_high_entropy = ["HIGH_ENTROPY_VA"] if options.machine == "x64" else []
        rows = [
            # name, source, link flags, forbidden, expected problems (substrings; none: passes)
            ("hardened exe", PROGRAM, HARDENED + high_entropy, [], []),
            # Without a random base there is no high-entropy one either.
            ("no random base", PROGRAM, ["-Wl,--disable-dynamicbase", "-Wl,--nxcompat", "-Wl,--no-insert-timestamp"],
             [], ["DYNAMIC_BASE"] + also_high_entropy),
            ("executable data", PROGRAM, ["-Wl,--dynamicbase", "-Wl,--disable-nxcompat",
                                          "-Wl,--no-insert-timestamp"] + high_entropy, [], ["NX_COMPAT"]),
            # ld then also drops the random base and marks the file as fixed in place.
            ("relocations dropped", PROGRAM, HARDENED + high_entropy + ["-Wl,--disable-reloc-section"], [],
             ["no base relocations", "relocations are stripped", "DYNAMIC_BASE"] + also_high_entropy),
            ("link time stamp", PROGRAM, ["-Wl,--dynamicbase", "-Wl,--nxcompat", "-Wl,--insert-timestamp"]
             + high_entropy, [], ["link time stamp"]),
            ("writable code", WRITABLE_CODE, HARDENED + high_entropy, [], [".wxcode is both writable and executable"]),
            ("build folder", FILE_NAME, HARDENED + high_entropy, ["{folder}"], ["(utf-8)"]),
            ("build folder in UTF-16", WIDE_TEXT, HARDENED + high_entropy, ["/secret/folder"], ["(utf-16-le)"]),
        ]
        if options.machine == "x64":
            rows.append(("low entropy", PROGRAM, HARDENED + ["-Wl,--disable-high-entropy-va"], [],
                         ["HIGH_ENTROPY_VA"]))
        for name, source, flags, forbidden, expected in rows:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                data, _ = self.link(folder, source, flags)
                found = checker.problems(data, options.machine, [f.format(folder=folder) for f in forbidden])
                if not expected:
                    self.assertEqual([], found)
                for sentence in expected:
                    self.assertTrue(any(sentence in problem for problem in found),
                                    "%r not among %r" % (sentence, found))
                self.assertEqual(len(expected), len(found), found)

    def test_dll_export_time_stamp(self):
        with tempfile.TemporaryDirectory() as folder:
            high_entropy = ["-Wl,--high-entropy-va"] if options.machine == "x64" else []
            source = "__declspec(dllexport) int probe(void) { return 1; }\n"
            data, _ = self.link(folder, source, HARDENED + high_entropy, shared=True)
            self.assertEqual([], checker.problems(data, options.machine, []))
            data, _ = self.link(folder, source, ["-Wl,--dynamicbase", "-Wl,--nxcompat", "-Wl,--insert-timestamp"]
                                + high_entropy, shared=True)
            found = checker.problems(data, options.machine, [])
            self.assertTrue(any("export directory" in problem for problem in found), found)

    def test_wrong_machine_and_not_a_pe_file(self):
        with tempfile.TemporaryDirectory() as folder:
            data, _ = self.link(folder, PROGRAM, HARDENED)
            other = "x64" if options.machine == "x86" else "x86"
            self.assertTrue(any("not " + other in problem for problem in checker.problems(data, other, [])))
        for data in (b"", b"hello", b"MZ" + b"\0" * 58 + b"\xff\xff\xff\x7f"):
            with self.subTest(data=data[:8]):
                found = checker.problems(data, options.machine, [])
                self.assertEqual(1, len(found))
                self.assertIn("not a PE file", found[0])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cc", required=True)
    parser.add_argument("--machine", required=True, choices=sorted(checker.MACHINES))
    options, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
