#!/usr/bin/env python3
"""Checks that a CSV file is one tidy table, as csv (and pandas, where
installed) read it: no column named twice, every row as wide as the header.
Prints the rows of each first-column value ("figure=3 yield=5")."""

import collections
import csv
import sys


def main(path):
    with open(path, newline="", encoding="utf-8") as file:
        rows = list(csv.reader(file, strict=True))
    header = rows[0]
    repeated = sorted({name for name in header if header.count(name) > 1})
    if repeated:
        print("column named twice: " + ", ".join(repeated))
        return 1
    for number, row in enumerate(rows[1:], start=1):
        if len(row) != len(header):
            print(f"row {number} has {len(row)} fields, the header {len(header)}")
            return 1
    try:
        import pandas
    except ImportError:
        pandas = None
    if pandas is not None:
        frame = pandas.read_csv(path, dtype=str, keep_default_na=False)
        if frame.shape != (len(rows) - 1, len(header)):
            print(f"pandas read {frame.shape}")
            return 1
    counts = collections.Counter(row[0] for row in rows[1:])
    print(" ".join(f"{name}={count}" for name, count in sorted(counts.items())))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
