#!/usr/bin/env python3
"""Checks the generated oblast file against the code list.

    check-oblast-file.py Russiaobl.dom oblast-codes.txt

Every line: a four-character main prefix, "=", one of the codes of the list;
CR LF line ends; every prefix once. Prints a summary, exits 1 on a fault.
"""
import re
import sys


def main():
    dom_path, codes_path = sys.argv[1], sys.argv[2]
    data = open(dom_path, "rb").read()
    codes = set()
    for line in open(codes_path, encoding="utf-8"):
        if line.strip() and not line.startswith("#"):
            codes.add(line.split("\t")[0].strip())
    faults = []
    if len(codes) != 85:
        faults.append(f"the code list has {len(codes)} codes, not 85")
    if not data.endswith(b"\r\n"):
        faults.append("the file does not end with CR LF")
    lines = data.split(b"\r\n")[:-1]
    seen = {}
    for number, raw in enumerate(lines, 1):
        line = raw.decode("ascii", "replace")
        match = re.fullmatch(r"(UA[0-9][A-Z])=([A-Z]{2})", line)
        if not match:
            faults.append(f"line {number}: {line!r} is not PPPP=CC")
            continue
        prefix, code = match.groups()
        if code not in codes:
            faults.append(f"line {number}: code {code} is not one of the list")
        if prefix in seen:
            faults.append(f"line {number}: prefix {prefix} again (first on line {seen[prefix]})")
        seen[prefix] = number
    if b"\n" in data.replace(b"\r\n", b"") or b"\r" in data.replace(b"\r\n", b""):
        faults.append("a line ends otherwise than with CR LF")
    for fault in faults:
        print(fault)
    used = {l.decode().split("=")[1] for l in lines if b"=" in l}
    print(f"{len(lines)} lines, {len(seen)} prefixes, {len(used)} of {len(codes)} codes used")
    sys.exit(1 if faults else 0)


main()
