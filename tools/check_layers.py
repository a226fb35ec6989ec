#!/usr/bin/env python3
"""Checks that the includes of src/ run one way: the driver on top, the
modules below it, the output file, the input readers and the core at the
bottom. A file may include its own directory and the directories below it;
an include of a directory above, a directory outside the list, or a cycle
between directories fails the check. Exit status 0 when the layering holds.

Usage: check_layers.py [SRC_DIR]   (default: the src/ beside tools/)
"""
import pathlib
import re
import sys

# From the bottom up; a directory sees only those listed before it.
LAYERS = ["core", "input", "output", "hydrology", "temperature", "substance", "report", "driver"]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')


def include_edges(src):
    """(file, line number, from directory, to directory) of every project include."""
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".cpp", ".hpp"):
            continue
        source = path.relative_to(src).parts[0]
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if match:
                yield path.relative_to(src.parent), number, source, match.group(1)


def find_cycle(graph):
    """A cycle of directories as a list, or None."""
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return trail[trail.index(nxt):] + [nxt]
            if nxt not in state:
                cycle = visit(nxt, trail + [nxt])
                if cycle:
                    return cycle
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            cycle = visit(node, [node])
            if cycle:
                return cycle
    return None


def check(src):
    rank = {name: i for i, name in enumerate(LAYERS)}
    faults = []
    graph = {}
    for path, number, source, target in include_edges(src):
        for name in (source, target):
            if name not in rank:
                faults.append(f"{path}:{number}: directory {name} has no place in the layers")
        if source in rank and target in rank and rank[target] > rank[source]:
            faults.append(f"{path}:{number}: {source} includes {target}, a layer above it")
        if source != target:
            graph.setdefault(source, set()).add(target)
    cycle = find_cycle(graph)
    if cycle:
        faults.append("directories include each other: " + " -> ".join(cycle))
    return faults, graph


def main(argv):
    src = pathlib.Path(argv[1]) if len(argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "src"
    faults, graph = check(src)
    for fault in sorted(set(faults)):
        print(fault)
    if faults:
        return 1
    for name in LAYERS:
        print(f"{name:12} -> {', '.join(sorted(graph.get(name, ()))) or '-'}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
