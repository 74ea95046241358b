#!/usr/bin/env python3
"""Packs the Windows release: both programs, the Chinese read-me and the
licence in one folder quillmarsh-VERSION/ inside
dist/quillmarsh-VERSION-windows-x64.zip, with the standard library only.

    windows-zip.py BUILD_FOLDER README LICENSE OUTPUT_FOLDER

The version is the one CMake was configured with. The texts are written
with CR LF, and the read-me with a UTF-8 byte-order mark, so that Notepad on
Windows 7 shows the Chinese text; their names are plain ASCII, which every
unzip tool spells the same.
"""
import os
import re
import sys
import zipfile


def windows_text(path):
    return open(path, encoding="utf-8").read().replace("\r\n", "\n").replace("\n", "\r\n")


def main(build, readme, licence, output):
    cache = open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8").read()
    version = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache, re.M).group(1).strip()
    folder = f"quillmarsh-{version}"
    os.makedirs(output, exist_ok=True)
    target = os.path.join(output, f"{folder}-windows-x64.zip")
    partial = target + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for program in ("quillmarsh.exe", "quillmarsh-batch.exe"):
            archive.write(os.path.join(build, program), f"{folder}/{program}")
        archive.writestr(f"{folder}/README.txt", "\ufeff" + windows_text(readme))
        archive.writestr(f"{folder}/LICENSE.txt", windows_text(licence))
    os.replace(partial, target)
    print(target)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit("usage: windows-zip.py BUILD_FOLDER README LICENSE OUTPUT_FOLDER")
    main(*sys.argv[1:])
