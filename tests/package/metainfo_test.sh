#!/usr/bin/env bash
# The AppStream data as a build with a home page and a page for problems
# would make it, from a change log of two entries: both releases, newest
# first, with their dates and their notes, and the addresses and the
# screenshot that a build without a home page leaves out.
#   metainfo_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/changelog" <<'LOG'
quillmarsh (1:0.2.0-1) unstable; urgency=medium

  * Undo & redo; a note wrapped
    over two lines <here>.

 -- Quillmarsh developers <maintainers@quillmarsh.invalid>  Sat, 2 Jan 2027 09:30:00 +0000

quillmarsh (0.1.0) unstable; urgency=medium

  * First release.

 -- Quillmarsh developers <maintainers@quillmarsh.invalid>  Tue, 08 Dec 2026 12:00:00 +0000
LOG
out=$work/metainfo.xml
cmake -DTEMPLATE="$source_dir/assets/io.github.quillmarsh.quillmarsh.metainfo.xml.in" \
  -DCHANGELOG="$work/changelog" -DOUTPUT="$out" \
  -DHOME_PAGE=https://quillmarsh.example.org/ -DBUG_PAGE=https://quillmarsh.example.org/issues \
  -P "$source_dir/cmake/appstream_metainfo.cmake"
"$(dirname "$0")/check_metainfo.sh" "$out" 0.2.0 https://quillmarsh.example.org/
failures=0
expect() { grep -qF "$1" "$out" || { echo "FAIL: no $1" >&2; failures=$((failures + 1)); }; }
expect '<url type="bugtracker">https://quillmarsh.example.org/issues</url>'
expect '<li>Undo &amp; redo; a note wrapped over two lines &lt;here&gt;.</li>'
expect '<li>First release.</li>'
releases=$(grep -o '<release version="[^"]*" date="[^"]*"' "$out" | xargs)
[[ $releases == "<release version=0.2.0 date=2027-01-02 <release version=0.1.0 date=2026-12-08" ]] \
  || { echo "FAIL: releases $releases" >&2; failures=$((failures + 1)); }
((failures == 0)) && echo "metainfo ok"
