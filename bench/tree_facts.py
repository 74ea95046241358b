#!/usr/bin/env python3
"""Facts about folder trees, for the end-to-end checks in bench/.

  tree_facts.py make DIR COUNT SEED   COUNT files of 1-16 KiB of random bytes,
                                      with modification times in the past
  tree_facts.py list DIR              name, type, size, mtime (ns), mode of
                                      everything under DIR, sorted
  tree_facts.py contents DIR          base name, size, sha256 of every regular
                                      file anywhere under DIR, sorted; anything
                                      that is neither a file nor a folder too
  tree_facts.py times LIST DIR MANIFEST
                                      for each file under DIR named in LIST (the
                                      output of `list` taken earlier): does it
                                      have the time LIST gives, the time the run's
                                      record gives for it, or another?

The same SEED makes the same names, bytes and times, so a copy run and a move
run start from identical folders. Names are matched by base name: a share
holds a file under the name it had in the source.
"""
import hashlib
import os
import random
import stat
import sys
from datetime import datetime, timezone


def make(folder, count, seed):
    rng = random.Random(seed)
    os.makedirs(folder, exist_ok=True)
    start, end = 1262304000, 1577836800  # 2010 to 2020: long before any run
    for i in range(count):
        # Some names with a space and a letter beyond ASCII, as people name files.
        name = "holiday %05d ü.jpg" % i if i % 100 == 7 else "IMG_%05d.jpg" % i
        path = os.path.join(folder, name)
        with open(path, "xb") as f:
            f.write(rng.randbytes(rng.randint(1024, 16384)))
        mtime = rng.randint(start, end) * 10**9 + rng.randrange(10**9)
        os.utime(path, ns=(mtime, mtime))


def walk(folder):
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            yield os.path.relpath(path, folder), os.lstat(path)


def kind(st):
    return "f" if stat.S_ISREG(st.st_mode) else "d" if stat.S_ISDIR(st.st_mode) else "other"


def listing(folder):
    rows = ["%s\t%s\t%d\t%d\t%o" % (rel, kind(st), st.st_size, st.st_mtime_ns, stat.S_IMODE(st.st_mode))
            for rel, st in walk(folder)]
    print("\n".join(sorted(rows)))


def contents(folder):
    rows = []
    for rel, st in walk(folder):
        if kind(st) == "f":
            with open(os.path.join(folder, rel), "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
            rows.append("%s\t%d\t%s" % (os.path.basename(rel), st.st_size, digest))
        elif kind(st) != "d":
            rows.append("OTHER\t%s" % rel)
    print("\n".join(sorted(rows)))


def ns_of(text):
    """2026-12-09T07:07:01.184272254Z -> nanoseconds since 1970."""
    whole, _, fraction = text.rstrip("Z").partition(".")
    seconds = datetime.strptime(whole, "%Y-%m-%dT%H:%M:%S").replace(tzinfo=timezone.utc).timestamp()
    return int(seconds) * 10**9 + int((fraction + "000000000")[:9])


def times(list_file, folder, manifest):
    before = {}
    with open(list_file, encoding="utf-8") as f:
        for line in f:
            rel, what, _size, mtime, _mode = line.rstrip("\n").split("\t")
            if what == "f":
                before[os.path.basename(rel)] = int(mtime)
    recorded = {}
    with open(manifest, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            recorded[fields[2].rsplit("/", 1)[-1]] = ns_of(fields[5])
    counts = {"original": 0, "recorded": 0, "other": 0}
    others = []
    for rel, st in walk(folder):
        name = os.path.basename(rel)
        if kind(st) != "f" or name not in before:
            continue
        if st.st_mtime_ns == before[name]:
            counts["original"] += 1
        elif st.st_mtime_ns == recorded.get(name):
            counts["recorded"] += 1
        else:
            counts["other"] += 1
            others.append("%s: %d, before %d, recorded %s" % (rel, st.st_mtime_ns, before[name], recorded.get(name)))
    print("original %(original)d recorded %(recorded)d other %(other)d" % counts)
    for line in others[:5]:
        print("  " + line)


def main(args):
    if len(args) == 4 and args[0] == "make":
        make(args[1], int(args[2]), int(args[3]))
    elif len(args) == 2 and args[0] == "list":
        listing(args[1])
    elif len(args) == 2 and args[0] == "contents":
        contents(args[1])
    elif len(args) == 4 and args[0] == "times":
        times(args[1], args[2], args[3])
    else:
        sys.exit(__doc__)


main(sys.argv[1:])
