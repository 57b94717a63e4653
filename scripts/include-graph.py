#!/usr/bin/env python3
"""Finds include cycles in the tree, among files and among folders.

Reads every #include "..." line of the .h and .cpp files under the repository root (build
folders and hidden folders left out). A name is looked up from the repository root first
("imaging/GdiPlus.h"), then next to the including file, then in the extra include folders
(tests/common by default, as the test build adds it). A .cpp and the .h of the same name
are one node, so Wnd.cpp including Wnd.h is no edge.

Prints every strongly connected group of nodes with one shortest cycle through it, the
include lines behind each step of that cycle and every include inside the group, first among
files, then among folders (a folder including itself is no edge). Exits 1 when a cycle is
found at a level that was asked for, 0 otherwise, 2 on a usage error.

    scripts/include-graph.py                  # both levels
    scripts/include-graph.py --level files    # file cycles only (the gate we keep at zero)
    scripts/include-graph.py --folder-edges   # also the folder layering, edge by edge
"""

import argparse
import collections
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".cpp")
SKIPPED_DIRS = {"build", "node_modules"}


def source_files(root):
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        dirs[:] = sorted(
            d
            for d in dirs
            if not d.startswith(".") and not (rel_folder == "." and d in SKIPPED_DIRS)
        )
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.normpath(os.path.join(rel_folder, name))


def node_of(path):
    return os.path.splitext(path)[0]


def folder_of(path):
    return os.path.dirname(path) or "."


def resolve(name, including, known, extra_dirs):
    candidates = [name, os.path.join(os.path.dirname(including), name)]
    candidates += [os.path.join(d, name) for d in extra_dirs]
    for candidate in candidates:
        candidate = os.path.normpath(candidate)
        if candidate in known:
            return candidate
    return None


def read_includes(root, extra_dirs):
    """Returns (edges, unresolved): edges[(a, b)] lists the include lines that make a -> b."""
    files = list(source_files(root))
    known = set(files)
    edges = collections.defaultdict(list)
    unresolved = []
    for path in files:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = resolve(match.group(1), path, known, extra_dirs)
                if target is None:
                    unresolved.append(f"{path}:{number}: {match.group(1)}")
                    continue
                edges[(path, target)].append(f"{path}:{number}")
    return files, edges, unresolved


def strongly_connected(nodes, successors):
    """Tarjan's algorithm without recursion; returns the groups of more than one node."""
    index = {}
    low = {}
    on_stack = set()
    stack = []
    groups = []
    counter = 0
    for start in sorted(nodes):
        if start in index:
            continue
        work = [(start, iter(sorted(successors[start])))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(successors[child]))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                group = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.append(member)
                    if member == node:
                        break
                if len(group) > 1:
                    groups.append(sorted(group))
    return sorted(groups)


def shortest_cycle(group, successors):
    """A shortest cycle through the group's first node, staying inside the group."""
    members = set(group)
    start = group[0]
    previous = {start: None}
    queue = collections.deque([start])
    while queue:
        node = queue.popleft()
        for child in sorted(successors[node]):
            if child not in members:
                continue
            if child == start:
                path = [node]
                while previous[path[-1]] is not None:
                    path.append(previous[path[-1]])
                return list(reversed(path)) + [start]
            if child not in previous:
                previous[child] = node
                queue.append(child)
    return [start]


def report(title, nodes, edge_lines, limit):
    successors = collections.defaultdict(set)
    for a, b in edge_lines:
        successors[a].add(b)
    groups = strongly_connected(nodes, successors)
    if not groups:
        print(f"{title}: no cycle")
        return False
    print(f"{title}: {len(groups)} cycle group(s)")
    for group in groups:
        print(f"  group of {len(group)}: {', '.join(group)}")
        cycle = shortest_cycle(group, successors)
        print(f"    cycle: {' -> '.join(cycle)}")
        for a, b in zip(cycle, cycle[1:]):
            lines = sorted(edge_lines[(a, b)])
            shown = ", ".join(lines[:limit])
            more = f" (+{len(lines) - limit} more)" if len(lines) > limit else ""
            print(f"      {a} -> {b}: {shown}{more}")
        inside = sorted((a, b) for a, b in edge_lines if a in group and b in group)
        print(f"    includes inside the group: {len(inside)}")
        for a, b in inside:
            print(f"      {a} -> {b}")
    return True


def main():
    default_root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=default_root, help="the repository root")
    parser.add_argument(
        "--level", choices=("files", "folders", "all"), default="all", help="what to check"
    )
    parser.add_argument(
        "--include-dir",
        action="append",
        default=None,
        help="an extra folder (relative to the root) to look names up in; default tests/common",
    )
    parser.add_argument(
        "--show", type=int, default=3, help="include lines shown per step of a cycle"
    )
    parser.add_argument("--verbose", action="store_true", help="also list unresolved includes")
    parser.add_argument(
        "--folder-edges", action="store_true", help="also list which folder includes which"
    )
    args = parser.parse_args()

    extra_dirs = args.include_dir if args.include_dir is not None else ["tests/common"]
    files, edges, unresolved = read_includes(args.root, extra_dirs)
    print(f"{len(files)} files, {len(edges)} includes between them, {len(unresolved)} unresolved")
    if args.verbose:
        for line in unresolved:
            print(f"  unresolved {line}")

    found = False
    if args.level in ("files", "all"):
        file_edges = collections.defaultdict(list)
        for (a, b), lines in edges.items():
            if node_of(a) != node_of(b):
                file_edges[(node_of(a), node_of(b))].extend(lines)
        nodes = {node_of(f) for f in files}
        found |= report("files", nodes, file_edges, args.show)
    if args.level in ("folders", "all"):
        folder_edges = collections.defaultdict(list)
        for (a, b), lines in edges.items():
            if folder_of(a) != folder_of(b):
                folder_edges[(folder_of(a), folder_of(b))].extend(
                    f"{line} ({os.path.basename(b)})" for line in lines
                )
        nodes = {folder_of(f) for f in files}
        if args.folder_edges:
            print("folder includes:")
            for (a, b), lines in sorted(folder_edges.items()):
                print(f"  {a} -> {b}: {len(lines)}")
        found |= report("folders", nodes, folder_edges, args.show)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
