#!/usr/bin/env python3
"""Checks every #include "folder/..." against the folders the build links.

A source in one folder may include headers of its own folder and of the folders its folder
links, directly or through others. The links come from the build folder's layer-links.txt
(one "folder -> folder" line per link, written by cmake/Layers.cmake); the folders' links
must not form a cycle either. A folder with a public face (PUBLIC) may be included from other
folders only through the headers named there; the rest is its own. Outside the imaging
library's format table, no code decides by comparing a picture format's name. Tests are left
out: a test program links what it tests.

Usage: scripts/check_layers.py BUILD/layer-links.txt [SOURCE_ROOT]
Exits 1 and names each file and line that breaks a layer.
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

# The headers other folders may include (docs/architecture.md says what each is for).
PUBLIC = {
    "imaging": {
        "imaging/GdiPlus.h",
        "imaging/ImageFacts.h",
        "imaging/ImageFileAccess.h",
        "imaging/InPlaceDrawing.h",
        "imaging/ReducedMark.h",
        "imaging/ResourcePaths.h",
        "imaging/files/LocaleText.h",
        "imaging/files/OutputFolder.h",
        "imaging/formats/PendingImageFile.h",
        "imaging/jpeg/JpegCoefficientStamp.h",
        "imaging/jpeg/JpegScanWalk.h",
        "imaging/metadata/PictureMetadata.h",
    },
}

# What a format's behaviour is decided by belongs in its row (imaging/formats/): a compare of
# one of these names anywhere else is a rule kept outside the table.
FORMAT_NAMES = ("bmp|jpeg|jpg|png|tiff|tif|webp|gif|ico|icns|svg|svgz|pdf|eps|heif|heic|avif|"
                "jxl")
FORMAT_COMPARE = re.compile(
    rf'(?:[=!]=\s*"(?:{FORMAT_NAMES})"|"(?:{FORMAT_NAMES})"\s*[=!]=|'
    rf'strn?cmp\s*\([^;]*"(?:{FORMAT_NAMES})")', re.IGNORECASE)
FORMAT_TABLE = "imaging/formats/"
SKIPPED_FOLDERS = {".git", "tests"}


def read_links(lines):
    links = {}
    for line in lines:
        line = line.strip()
        if not line:
            continue
        source, target = (part.strip() for part in line.split("->"))
        links.setdefault(source, set()).add(target)
        links.setdefault(target, set())
    return links


def reachable(links):
    """For each folder, every folder it reaches through its links."""
    reach = {}
    for start in links:
        seen, stack = set(), list(links[start])
        while stack:
            folder = stack.pop()
            if folder not in seen:
                seen.add(folder)
                stack.extend(links.get(folder, ()))
        reach[start] = seen
    return reach


def folder_of(path, folders):
    """The longest known folder that holds path ("app/framework" before "app"), or None."""
    best = None
    for folder in folders:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def violations(links, sources):
    """sources: (path relative to the root, its lines). Yields problems as text."""
    reach = reachable(links)
    for folder in sorted(links):
        if folder in reach[folder]:
            yield f"{folder}: its links lead back to itself"
    for path, lines in sources:
        if path.startswith("tests/"):
            continue
        # Tools beside the programs (the benchmark, the fuzzer) link what they measure, but
        # only through its public face.
        own = folder_of(path, links)
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            included = folder_of(match.group(1), links)
            if included is None or included == own:
                continue
            if own is not None and included not in reach[own]:
                yield (f"{path}:{number}: {own}/ includes {match.group(1)}, "
                       f"but does not link {included}/")
            elif included in PUBLIC and match.group(1) not in PUBLIC[included]:
                yield (f"{path}:{number}: {own}/ includes {match.group(1)}, "
                       f"which is private to {included}/")
        # The benchmark names the formats it measures: its rows, not the program's rules.
        if own is not None and not path.startswith(FORMAT_TABLE):
            for number, line in enumerate(lines, 1):
                if FORMAT_COMPARE.search(line.split("//")[0]):
                    yield (f"{path}:{number}: compares a format's name; "
                           f"make it a column of the format table ({FORMAT_TABLE})")


def read_sources(root):
    for directory, folders, files in os.walk(root):
        folders[:] = [f for f in folders if f not in SKIPPED_FOLDERS and not f.startswith("build")]
        for name in files:
            if name.endswith((".cpp", ".h")):
                full = os.path.join(directory, name)
                with open(full, encoding="utf-8", errors="replace") as file:
                    yield os.path.relpath(full, root).replace(os.sep, "/"), file.readlines()


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    root = argv[2] if len(argv) == 3 else os.path.join(os.path.dirname(__file__), "..")
    with open(argv[1], encoding="utf-8") as file:
        links = read_links(file)
    problems = list(violations(links, read_sources(root)))
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"{len(links)} folders; every include follows the links")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
