#!/usr/bin/env python3
"""scripts/include-graph.py over small trees written for each case."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "include-graph.py")

# Each case: files (path -> the names it includes), the level asked for, the exit code and
# the groups expected in the output, one "files"/"folders" line each.
CASES = [
    (
        "a source and its header are one node; two pairs that include each other cycle",
        {"a/X.h": [], "a/X.cpp": ["a/X.h", "a/Y.h"], "a/Y.h": [], "a/Y.cpp": ["a/Y.h", "a/X.h"]},
        "all",
        1,
        ["files: 1 cycle group(s)", "group of 2: a/X, a/Y", "folders: no cycle"],
    ),
    (
        "a chain down the layers has no cycle",
        {"a/X.h": ["b/Y.h"], "a/X.cpp": ["a/X.h"], "b/Y.h": [], "b/Y.cpp": ["b/Y.h"]},
        "all",
        0,
        ["files: no cycle", "folders: no cycle"],
    ),
    (
        "folders that include each other through different files",
        {"a/X.cpp": ["b/Y.h"], "b/Y.h": [], "b/Z.cpp": ["a/W.h"], "a/W.h": []},
        "folders",
        1,
        ["folders: 1 cycle group(s)", "group of 2: a, b"],
    ),
    (
        "the same folder cycle does not fail the file level",
        {"a/X.cpp": ["b/Y.h"], "b/Y.h": [], "b/Z.cpp": ["a/W.h"], "a/W.h": []},
        "files",
        0,
        ["files: no cycle"],
    ),
    (
        "names next to the including file and in tests/common are found",
        {"tests/common/Helper.h": ["tests/t/Util.h"], "tests/t/Util.h": ["Helper.h"],
         "tests/t/Run.cpp": ["Util.h"]},
        "files",
        1,
        ["group of 2: tests/common/Helper, tests/t/Util"],
    ),
    (
        "the build folder is not part of the tree",
        {"build/gen/P.h": ["build/gen/Q.h"], "build/gen/Q.h": ["build/gen/P.h"], "a/X.h": []},
        "all",
        0,
        ["files: no cycle", "folders: no cycle"],
    ),
]


class IncludeGraphTest(unittest.TestCase):
    def test_cases(self):
        for name, files, level, code, expected in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                for path, includes in files.items():
                    os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                    with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                        f.write("#pragma once\n")
                        f.writelines(f'#include "{name}"\n' for name in includes)
                        f.write("#include <vector>\n")
                run = subprocess.run(
                    [sys.executable, SCRIPT, "--root", root, "--level", level],
                    capture_output=True, text=True, check=False)
                lines = [line.strip() for line in run.stdout.splitlines()]
                self.assertEqual(run.returncode, code, run.stdout + run.stderr)
                for line in expected:
                    self.assertIn(line, lines, run.stdout)


if __name__ == "__main__":
    unittest.main()
