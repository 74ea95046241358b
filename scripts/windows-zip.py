#!/usr/bin/env python3
"""Packs the Windows release: both programs, the Chinese read-me and the
licence in one folder quillmarsh-VERSION/ inside
dist/quillmarsh-VERSION-windows-x64.zip, with the standard library only.

    windows-zip.py BUILD_FOLDER OUTPUT_FOLDER

The version is the one CMake was configured with; the texts are the build's
README.txt and LICENSE.txt, already in their Windows form
(scripts/windows-text.py), so that the zip and the installer carry the same
bytes.

The same sources give the same zip, byte for byte: the entries are in a
fixed order and dated with the source's commit time (SOURCE_DATE_EPOCH when
it is set), not the build's, and their modes do not come from the build
folder (where a umask may leave 0600): 0644, and 0755 for the programs, so
that an unzip on Linux or in WSL leaves them readable and the programs
runnable. Windows' own unzip ignores the modes.
"""
import os
import re
import subprocess
import sys
import time
import zipfile

TEXTS = ("README.txt", "LICENSE.txt")
PROGRAMS = ("quillmarsh.exe", "quillmarsh-batch.exe")
# A zip's dates start in 1980.
EARLIEST = 315532800


def source_time():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    try:
        shown = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                               capture_output=True, text=True, check=True).stdout.strip()
        return int(shown)
    except (OSError, subprocess.CalledProcessError, ValueError):
        print("windows-zip.py: no commit time (not a git checkout?) and no SOURCE_DATE_EPOCH: "
              "the zip is dated now and will differ from build to build", file=sys.stderr)
        return int(time.time())


def entry(name, when, mode):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(when, EARLIEST))[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the modes below are read
    info.external_attr = (0o100000 | mode) << 16
    return info


def main(build, output):
    cache = open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8").read()
    version = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache, re.M).group(1).strip()
    folder = f"quillmarsh-{version}"
    when = source_time()
    os.makedirs(output, exist_ok=True)
    target = os.path.join(output, f"{folder}-windows-x64.zip")
    partial = target + ".part"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in PROGRAMS + TEXTS:
            mode = 0o755 if name in PROGRAMS else 0o644
            with open(os.path.join(build, name), "rb") as source:
                archive.writestr(entry(f"{folder}/{name}", when, mode), source.read(), compresslevel=9)
    os.replace(partial, target)
    print(target)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: windows-zip.py BUILD_FOLDER OUTPUT_FOLDER")
    main(*sys.argv[1:])
