#!/usr/bin/env python3
"""Installs a build into a temporary prefix and checks it as a desktop would use it.

  install_check.py --build <build dir> --version <x.y.z.w> --artifacts <dir>

The program, the menu entry, the AppStream metadata and every hicolor icon size must be in
their standard places; desktop-file-validate and appstreamcli must accept the two metadata
files; the menu entry must name an installed icon and the installed program, and the program
must start from the entry's Exec line (on a private X server) and end with Exit.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

# The helpers beside this script; no bytecode caches in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import pictorum_driver as ui  # noqa: E402
from xsession import StepFailed, XSession  # noqa: E402

DESKTOP_ENTRY = "share/applications/com.tollerby.pictorum.desktop"
METAINFO = "share/metainfo/com.tollerby.pictorum.metainfo.xml"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def expect(condition, message):
    if not condition:
        raise StepFailed(message)


def run(argv, what):
    result = subprocess.run(argv, capture_output=True, text=True)
    output = (result.stdout + result.stderr).strip()
    print("$ %s\n%s" % (" ".join(argv), output), flush=True)
    expect(result.returncode == 0, "%s failed (exit code %d)" % (what, result.returncode))
    return output


def desktop_entry(path):
    """The keys of the [Desktop Entry] group."""
    keys = {}
    group = None
    with open(path, encoding="utf-8") as entry:
        for line in entry:
            line = line.strip()
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                keys[key.strip()] = value.strip()
    return keys


def exec_argv(exec_line):
    """The Exec line without its field codes (%f, %U, ...), which a launcher fills in."""
    return [word for word in exec_line.split() if not re.fullmatch(r"%[fFuUdDnNickvm]", word)]


def check_files(prefix, version):
    program = os.path.join(prefix, "bin", "pictorum")
    expect(os.path.isfile(program) and os.access(program, os.X_OK),
           "no executable bin/pictorum under the prefix")
    for size in ICON_SIZES:
        icon = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/pictorum.png" % (size, size))
        expect(os.path.isfile(icon), "missing icon " + icon)
        found = subprocess.run(["identify", "-format", "%w %h", icon], capture_output=True,
                               text=True, check=True).stdout.split()
        expect(found == [str(size), str(size)],
               "%s is %s pixels, wanted %dx%d" % (icon, "x".join(found), size, size))

    entry_path = os.path.join(prefix, DESKTOP_ENTRY)
    metainfo_path = os.path.join(prefix, METAINFO)
    for path in (entry_path, metainfo_path):
        expect(os.path.isfile(path), "missing " + path)
    run(["desktop-file-validate", entry_path], "desktop-file-validate")
    # Even a pedantic hint fails: a software centre would show it.
    found = run(["appstreamcli", "validate", "--pedantic", "--no-net", metainfo_path],
                "appstreamcli validate")
    expect(found.endswith("Validation was successful."), "appstreamcli has remarks")

    entry = desktop_entry(entry_path)
    expect(entry.get("Type") == "Application", "the menu entry is not an application")
    expect(entry.get("Icon") == "pictorum", "the menu entry's icon is %r" % entry.get("Icon"))
    argv = exec_argv(entry.get("Exec", ""))
    expect(argv and argv[0] == "pictorum",
           "the menu entry starts %r, not the installed program" % entry.get("Exec"))

    component = ElementTree.parse(metainfo_path).getroot()
    launchable = component.find("launchable")
    expect(launchable is not None and launchable.text == os.path.basename(DESKTOP_ENTRY),
           "the metadata's launchable does not name %s" % os.path.basename(DESKTOP_ENTRY))
    binary = component.find("provides/binary")
    expect(binary is not None and binary.text == "pictorum",
           "the metadata does not provide the binary pictorum")
    releases = [r.get("version") for r in component.findall("releases/release")]
    expect(version in releases, "the metadata's releases %s lack version %s" %
           (releases, version))
    return argv


def start_from_menu_entry(session, prefix, argv, work):
    """Starts the entry's command the way a launcher does, by name on the PATH."""
    app = ui.PictorumDriver(session, argv, work, extra_path=os.path.join(prefix, "bin"))
    with session.step("start from the menu entry"):
        app.start()
    with session.step("Exit"):
        code = app.exit()
        expect(code == 0, "the installed program ended with exit code %d" % code)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()

    started = time.monotonic()
    prefix = tempfile.mkdtemp(prefix="pictorum-prefix-")
    work = tempfile.mkdtemp(prefix="pictorum-install-")
    session = None
    try:
        run(["cmake", "--install", args.build, "--prefix", prefix], "cmake --install")
        argv = check_files(prefix, args.version)
        session = XSession(os.path.abspath(args.artifacts))
        session.start()
        start_from_menu_entry(session, prefix, argv, work)
    except Exception as error:  # every failure ends the same way: reported with its shots
        if session is not None:
            session.report_failure(error)
            session.stop()
        else:
            print("FAILED: %s" % error, file=sys.stderr)
        print("installed tree kept in " + prefix, file=sys.stderr)
        return 1
    session.stop()
    shutil.rmtree(prefix, ignore_errors=True)
    shutil.rmtree(work, ignore_errors=True)
    shutil.rmtree(session.artifacts, ignore_errors=True)
    print("passed in %.1f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
