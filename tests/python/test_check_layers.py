"""The include layering check of tools/check_layers.py.

Run with: /usr/bin/python3 -m pytest tests/python
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import check_layers  # noqa: E402


def write(root, name, text):
    path = root / "src" / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text)


def test_the_sources_run_one_way():
    faults, graph = check_layers.check(Path(__file__).resolve().parents[2] / "src")
    assert faults == []
    assert "driver" not in set().union(*graph.values())


def test_upward_include_unknown_directory_and_cycle_are_faults(tmp_path):
    write(tmp_path, "hydrology/a.cpp", '#include "core/run.hpp"\n#include "substance/b.hpp"\n')
    write(tmp_path, "substance/b.cpp", '  #  include "hydrology/a.hpp"\n#include <vector>\n')
    write(tmp_path, "extra/c.hpp", '#include "core/run.hpp"\n')
    faults, _ = check_layers.check(tmp_path / "src")
    assert sorted(set(faults)) == [
        "directories include each other: hydrology -> substance -> hydrology",
        "src/extra/c.hpp:1: directory extra has no place in the layers",
        "src/hydrology/a.cpp:2: hydrology includes substance, a layer above it",
    ]
