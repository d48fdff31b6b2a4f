#!/usr/bin/env python3
"""Compares two exports of the same list, one written by the Linux build and one by the
Windows build: the same files with the same bytes, once the paths each wrote into its files
are read as the same path and the date-time columns (the moment of each run) are set aside.

    compare-windows-export.py LINUX_CSV LINUX_PICTURE_FOLDER WINDOWS_CSV WINDOWS_PICTURE_FOLDER \\
        WINDOWS_PICTURE_FOLDER_AS_WRITTEN

The Windows folder is given twice: where it lies here, and as the Windows program wrote it
(C:\\...). Exit status 0 when they match; every difference is printed.
"""
import os
import re
import sys

STAMP = re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d")
PATH_CHARS = r"[^\"'<>\s,;|]*"


def decode(data):
    if data.startswith(b"\xff\xfe"):
        return data.decode("utf-16-le", "surrogatepass"), "utf-16-le"
    return data.decode("gbk", "surrogateescape"), "gbk"


def normalised(data, linux_folder, windows_folder):
    text, encoding = decode(data)
    if linux_folder is not None:
        text = text.replace("FILE://" + linux_folder, "FILE:///<pictures>")
        text = text.replace(linux_folder, "<pictures>")
    if windows_folder is not None:
        pattern = re.compile(re.escape(windows_folder) + PATH_CHARS, re.IGNORECASE)
        text = pattern.sub(lambda m: "<pictures>" + m.group(0)[len(windows_folder):].replace("\\", "/"), text)
    return STAMP.sub("<time>", text), encoding


def files_under(folder):
    found = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            found[os.path.relpath(path, folder).replace(os.sep, "/")] = path
    return found


def main():
    linux_csv, linux_folder, windows_csv, windows_folder, windows_written = sys.argv[1:6]
    linux_written = os.path.abspath(linux_folder)
    problems = []

    def compare(name, linux_path, windows_path, text):
        with open(linux_path, "rb") as f:
            left = f.read()
        with open(windows_path, "rb") as f:
            right = f.read()
        if not text:
            if left != right:
                problems.append(f"{name}: the bytes differ ({len(left)} and {len(right)})")
            return
        (a, enc_a) = normalised(left, linux_written, None)
        (b, enc_b) = normalised(right, None, windows_written)
        if enc_a != enc_b:
            problems.append(f"{name}: {enc_a} on Linux, {enc_b} on Windows")
        elif a != b:
            for number, (x, y) in enumerate(zip(a.splitlines(), b.splitlines()), 1):
                if x != y:
                    at = next(i for i in range(min(len(x), len(y)) + 1) if i >= min(len(x), len(y)) or x[i] != y[i])
                    problems.append(f"{name}, line {number}: Linux {x[max(0, at - 40):at + 60]!r}\n"
                                    f"{' ' * len(name)}          Windows {y[max(0, at - 40):at + 60]!r}")
                    break
            else:
                problems.append(f"{name}: {len(a.splitlines())} and {len(b.splitlines())} lines")
        else:
            # The same text: the same bytes apart from the paths and the times.
            pass

    compare(os.path.basename(linux_csv), linux_csv, windows_csv, True)
    left = files_under(linux_folder)
    right = files_under(windows_folder)
    for name in sorted(set(left) - set(right)):
        problems.append(f"only from Linux: {name}")
    for name in sorted(set(right) - set(left)):
        problems.append(f"only from Windows: {name}")
    for name in sorted(set(left) & set(right)):
        compare(name, left[name], right[name], name.lower().endswith((".htm", ".xml", ".csv")))
    for problem in problems:
        print(problem)
    print(f"{len(left)} files and the import file compared, {len(problems)} differences")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
