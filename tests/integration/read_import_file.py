#!/usr/bin/env python3
"""Reads an import file the way a listing tool would: UTF-16 with BOM, TAB-separated,
double-quoted fields. Prints the number of item rows and their column count, or fails."""
import csv
import io
import sys

data = open(sys.argv[1], "rb").read()
if not data.startswith(b"\xff\xfe"):
    sys.exit("no UTF-16LE byte-order mark")
text = data.decode("utf-16")
if text.startswith("version 1.00\n"):
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter="\t"))
    header, rows = rows[1:3], [r for r in rows[3:] if r]
    width = len(header[0])
elif text.startswith("id\t"):
    lines = text.split("\n")
    header = [lines[0].split("\t")]
    width = len(header[0])
    rows = []
    for line in lines[1:]:
        fields = next(csv.reader([line], delimiter="\t"))
        if fields[-1] != "":
            sys.exit("a Paipai row must end with TAB")
        rows.append(fields[:-1])
else:
    lines = text.split("\r")
    header = [lines[0].split("\t")]
    width = len(header[0])
    rows = []
    for line in lines[1:]:
        fields = next(csv.reader([line], delimiter="\t"))
        if fields[-1] != "":
            sys.exit("a 4.x row must end with TAB")
        rows.append(fields[:-1])
for number, row in enumerate(rows, 1):
    if len(row) != width:
        sys.exit(f"row {number} has {len(row)} fields, the header {width}")
print(f"rows={len(rows)} columns={width}")
