"""The layer check on small made-up trees: what it must let through and what it must name."""

import unittest

from check_layers import read_links, violations

LINKS = read_links(["app -> ui", "ui -> engine", "ui -> app/framework", "engine -> imaging",
                    "imaging -> types", "app/framework -> types"])

# (case, file, its lines, the problems expected: (path:line, or folder) as the check names them)
CASES = [
    ("own folder", "engine/A.cpp", ['#include "engine/A.h"'], []),
    ("linked folder", "engine/A.cpp", ['#include "imaging/GdiPlus.h"'], []),
    ("folder reached through another", "app/main.cpp", ['#include "types/WinTypes.h"'], []),
    ("system and local headers", "engine/A.cpp", ["#include <QImage>", '#include "A.h"'], []),
    ("folder that is no library", "engine/A.cpp", ['#include "tests/common/X.h"'], []),
    ("folder above", "engine/A.cpp", ["", '#include "ui/MainDlg.h"'], ["engine/A.cpp:2"]),
    ("folder beside", "engine/A.cpp", ['#  include "app/framework/Dialog.h"'], ["engine/A.cpp:1"]),
    ("framework is not app", "app/framework/Wnd.cpp", ['#include "app/MainApp.h"'],
     ["app/framework/Wnd.cpp:1"]),
    ("sources outside every folder", "tests/ui/T.cpp", ['#include "app/MainApp.h"'], []),
    ("public header of a subfolder", "engine/A.cpp", ['#include "imaging/files/OutputFolder.h"'],
     []),
    ("private header from outside", "engine/A.cpp", ['#include "imaging/GpImage.h"'],
     ["engine/A.cpp:1"]),
    ("private header from a tool", "bench/B.cpp", ['#include "imaging/GpImage.h"'],
     ["bench/B.cpp:1"]),
    ("private header inside", "imaging/jpeg/A.cpp", ['#include "imaging/GpImage.h"'], []),
    ("format name compared", "imaging/GpImage.cpp", ['if (format == "png")'],
     ["imaging/GpImage.cpp:1"]),
    ("format name compared by strcmp", "engine/A.cpp", ['x = std::strcmp(f, "JPEG") == 0;'],
     ["engine/A.cpp:1"]),
    ("format name in the table", "imaging/formats/PngFormat.cpp", ['if (format == "png")'], []),
    ("format name as text", "engine/A.cpp", ['const char* name = "png"; // == "png"'], []),
]


class CheckLayersTest(unittest.TestCase):
    def test_includes(self):
        for case, path, lines, expected in CASES:
            with self.subTest(case):
                found = [p.split(": ")[0] for p in violations(LINKS, [(path, lines)])]
                self.assertEqual(found, expected)

    def test_a_cycle_is_named(self):
        links = read_links(["a -> b", "b -> c", "c -> a", "d -> a"])
        found = [p.split(": ")[0] for p in violations(links, [])]
        self.assertEqual(found, ["a", "b", "c"])


if __name__ == "__main__":
    unittest.main()
