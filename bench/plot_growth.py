#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Plots the benchmark's growth table: wall time and peak memory against the
number of workbooks in the corpus.

    plot_growth.py GROWTH.tsv OUT.png ROWS COLUMNS
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    points = []
    with open(sys.argv[1]) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 3:
                points.append((int(parts[0]), float(parts[1]), float(parts[2])))
    points.sort()
    books = [p[0] for p in points]
    fig, left = plt.subplots(figsize=(6, 3.6), dpi=100)
    left.plot(books, [p[1] for p in points], "o-", color="tab:blue", label="wall time")
    left.set_xlabel(f"workbooks ({sys.argv[3]} rows x {sys.argv[4]} columns each)")
    left.set_ylabel("wall time (s)", color="tab:blue")
    left.set_ylim(bottom=0)
    right = left.twinx()
    right.plot(books, [p[2] for p in points], "s--", color="tab:red", label="peak memory")
    right.set_ylabel("peak memory (MiB)", color="tab:red")
    right.set_ylim(bottom=0)
    left.set_title("Single-workbook job: cost against corpus size")
    fig.tight_layout()
    fig.savefig(sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main())
