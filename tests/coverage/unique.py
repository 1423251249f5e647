#!/usr/bin/env python3
"""Which tests reach code that no other test reaches.

Runs each test of a --coverage build (tests/coverage/run makes one) on its
own, the instances of a parameterised test together, with its counters
written to a directory of its own (GCOV_PREFIX), so that two tests can run at
once. Prints per test the lines and branches of src/, include/ and apps/ that
it alone reaches and its size in non-blank lines; then the tests that could
go one after another, longest first, without the others reaching less.
Coverage says nothing of what a test checks: the list is where to look, not
what to drop.
  tests/coverage/unique.py [BUILD_DIR] [-j N]
"""
import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def groups(build):
    """Test name -> (command, working directory); parameterised instances as one."""
    listing = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                             check=True, capture_output=True, text=True).stdout
    out = {}
    for test in json.loads(listing)["tests"]:
        properties = {p["name"]: p["value"] for p in test.get("properties", [])}
        # Only the C++ tests reach the code counted; the page's tests run in node.
        if not any(a.startswith("--gtest_filter=") for a in test.get("command", [])):
            continue
        # A parameter's printed value may follow the name, after white space;
        # an instance is PREFIX/Suite.Name/INDEX.
        whole = test["name"].split()[0]
        parts = whole.split("/")
        name = "/".join(parts[:2]) if len(parts) == 3 else whole
        command = [test["command"][0], "--gtest_filter=" + (name + "/*" if len(parts) == 3 else name)]
        out[name] = (command, properties.get("WORKING_DIRECTORY", build))
    return out


def reached(build, name, command, cwd, scratch):
    """The lines and branches one test reaches, or None when it failed."""
    prefix = tempfile.mkdtemp(dir=scratch)
    run = subprocess.run(command, cwd=cwd, capture_output=True,
                         env=dict(os.environ, GCOV_PREFIX=prefix, GCOV_PREFIX_STRIP="0"))
    if run.returncode != 0:
        print(f"unique.py: {name} failed (exit {run.returncode}); left out", file=sys.stderr)
        return None
    objects = prefix + build
    # gcov wants each counter file beside the notes file the compiler wrote.
    for gcda in glob.glob(objects + "/**/*.gcda", recursive=True):
        os.symlink(build + gcda[len(objects):-5] + ".gcno", gcda[:-5] + ".gcno")
    report = prefix + "/coverage.json"
    # The filters are paths relative to the directory gcovr runs in.
    subprocess.run(["gcovr", "--root", ROOT, "--object-directory", objects, objects, "--filter", "src/",
                    "--filter", "include/", "--filter", "apps/", "--exclude-throw-branches",
                    "--exclude-unreachable-branches", "--json", report], check=True, capture_output=True, cwd=ROOT)
    lines, branches = set(), set()
    with open(report, encoding="utf-8") as f:
        for entry in json.load(f)["files"]:
            for line in entry["lines"]:
                if line["gcovr/noncode"] or line.get("gcovr/excluded"):
                    continue
                if line["count"] > 0:
                    lines.add((entry["file"], line["line_number"]))
                for k, branch in enumerate(line["branches"]):
                    if branch["count"] > 0:
                        branches.add((entry["file"], line["line_number"], k))
    shutil.rmtree(prefix)
    return lines, branches


def sizes():
    """Suite.Name -> (file, non-blank lines from TEST( to its closing brace)."""
    out = {}
    for path in glob.glob(ROOT + "/tests/**/*.cpp", recursive=True):
        with open(path, encoding="utf-8") as f:
            text = f.read().split("\n")
        for i, line in enumerate(text):
            m = re.match(r"TEST(?:_F|_P)?\((\w+),\s*(\w+)\)", line)
            if m:
                end = next((j for j in range(i, len(text)) if text[j] == "}"), len(text) - 1)
                out[m[1] + "." + m[2]] = (os.path.relpath(path, ROOT), sum(1 for t in text[i:end + 1] if t.strip()))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("build", nargs="?", default=ROOT + "/build-coverage", metavar="BUILD_DIR",
                        help="a --coverage build (default: %(default)s)")
    parser.add_argument("-j", type=int, default=2, metavar="N", help="tests run at once (default: %(default)s)")
    args = parser.parse_args()
    build = os.path.realpath(args.build)
    if not glob.glob(build + "/**/*.gcno", recursive=True):
        print(f"unique.py: no --coverage build in {build} (tests/coverage/run makes one)", file=sys.stderr)
        sys.exit(2)
    tests = groups(build)
    with tempfile.TemporaryDirectory() as scratch, ThreadPoolExecutor(args.j) as pool:
        runs = {n: pool.submit(reached, build, n, c, d, scratch) for n, (c, d) in tests.items()}
        cover = {n: c for n, r in runs.items() if (c := r.result()) is not None}
    lines, branches = Counter(), Counter()
    for reached_lines, reached_branches in cover.values():
        lines.update(reached_lines)
        branches.update(reached_branches)
    size = sizes()
    rows = []
    for name, (reached_lines, reached_branches) in cover.items():
        where, n = size.get(name.split("/")[-1], ("?", 0))
        rows.append((sum(lines[x] == 1 for x in reached_lines), sum(branches[x] == 1 for x in reached_branches),
                     n, name, where))
    print(f"{len(cover)} tests reach {len(lines)} lines and {len(branches)} branches\n")
    print("| test | file | lines of test | lines it alone reaches | branches it alone reaches |")
    print("|---|---|---:|---:|---:|")
    for only_lines, only_branches, n, name, where in sorted(rows, key=lambda r: (r[0] + r[1], -r[2])):
        print(f"| {name} | {where} | {n} | {only_lines} | {only_branches} |")
    gone = []
    for _, _, n, name, where in sorted(rows, key=lambda r: -r[2]):
        reached_lines, reached_branches = cover[name]
        if n and all(lines[x] > 1 for x in reached_lines) and all(branches[x] > 1 for x in reached_branches):
            gone.append((name, n))
            lines.subtract(reached_lines)
            branches.subtract(reached_branches)
    print(f"\nWithout losing a line or branch, one after another: {len(gone)} tests, "
          f"{sum(n for _, n in gone)} lines")
    for name, n in gone:
        print(f"  {name} ({n})")


if __name__ == "__main__":
    main()
