#!/usr/bin/env python3
"""Writes a text as the Windows release carries it: CR LF line ends, and
with --bom a UTF-8 byte-order mark, so that Notepad on Windows 7 shows the
Chinese text (without the mark it takes the file for the ANSI code page).
Standard library only.

    windows-text.py SOURCE TARGET [--bom]
"""
import os
import sys


def main(source, target, bom):
    text = open(source, encoding="utf-8").read().replace("\r\n", "\n").replace("\n", "\r\n")
    partial = target + ".part"
    with open(partial, "w", encoding="utf-8-sig" if bom else "utf-8", newline="") as out:
        out.write(text)
    os.replace(partial, target)


if __name__ == "__main__":
    arguments = sys.argv[1:]
    bom = "--bom" in arguments
    if bom:
        arguments.remove("--bom")
    if len(arguments) != 2:
        sys.exit("usage: windows-text.py SOURCE TARGET [--bom]")
    main(*arguments, bom)
