#!/usr/bin/env python3
"""Folds gcovr's per-file JSON summary into a Markdown table per folder.

A public header under include/batchplant/AREA counts with src/AREA, since it
holds that area's inline code; the command's own sources are `apps`, its
subfolders rows of their own.
"""
import json
import sys
from collections import defaultdict


def folder(path):
    parts = path.split("/")
    if parts[0] == "include" and len(parts) > 3:
        return "src/" + parts[2]
    if parts[0] in ("src", "apps") and len(parts) > 2:
        return parts[0] + "/" + parts[1]
    return parts[0]


def percent(covered, total):
    return f"{100.0 * covered / total:.1f}" if total else "-"


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: table.py COVERAGE.json")
    with open(sys.argv[1], encoding="utf-8") as f:
        files = json.load(f)["files"]
    if not files:
        sys.exit(f"table.py: no source files in {sys.argv[1]} (were the tests run in a --coverage build?)")
    sums = defaultdict(lambda: [0, 0, 0, 0])
    for entry in files:
        row = sums[folder(entry["filename"])]
        for i, key in enumerate(("line_covered", "line_total", "branch_covered", "branch_total")):
            row[i] += entry[key]
    total = [sum(row[i] for row in sums.values()) for i in range(4)]
    print("| folder | lines | line % | branches | branch % |")
    print("|---|---:|---:|---:|---:|")
    for name, (lc, lt, bc, bt) in sorted(sums.items()) + [("**overall**", total)]:
        print(f"| {name} | {lc}/{lt} | {percent(lc, lt)} | {bc}/{bt} | {percent(bc, bt)} |")


if __name__ == "__main__":
    main()
