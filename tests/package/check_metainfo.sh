#!/usr/bin/env bash
# Checks the window's AppStream data: valid to appstreamcli, pedantic hints
# included; a <developer>, not the deprecated developer_name; summaries
# short enough for a software centre's tile; VERSION as the newest release;
# and, iff the build named a home page, its address and a screenshot kept
# under it.
#   check_metainfo.sh FILE VERSION [HOME_PAGE]
set -euo pipefail
file=$1
version=$2
home_page=${3:-}
failures=0
fail() { echo "FAIL: $file: $*" >&2; failures=$((failures + 1)); }

# Debian 12's appstreamcli (0.16) predates AppStream 1.0 and so does not know
# <developer> yet; that one hint is expected, any other is a fault.
report=$(appstreamcli validate --no-net --pedantic "$file" 2>&1) || fail "not valid: $report"
issues=$(grep -E '^[EWIP]: ' <<<"$report" | grep -Ev '^I: [^ ]+ unknown-tag developer$' || true)
[[ -z $issues ]] || fail "appstreamcli: $issues"

grep -q '<developer_name' "$file" && fail "uses developer_name"
grep -Pzq '<developer id="[^"]+">\s*<name>[^<]+</name>\s*</developer>' "$file" || fail "names no <developer id=…><name>"
while read -r summary; do
  length=$(printf '%s' "$summary" | LC_ALL=C.UTF-8 wc -m)
  ((length < 35)) || fail "summary of $length characters: $summary"
done < <(sed -n 's#.*<summary[^>]*>\(.*\)</summary>.*#\1#p' "$file")
first=$(grep -m1 -o '<release version="[^"]*" date="[0-9-]*"' "$file" || true)
[[ $first == "<release version=\"$version\" date=\""* ]] || fail "newest release is '$first', not $version"

if [[ -n $home_page ]]; then
  grep -qF "<url type=\"homepage\">$home_page</url>" "$file" || fail "no homepage $home_page"
  grep -qF "<image>${home_page%/}/docs/window.png</image>" "$file" || fail "no screenshot under $home_page"
else
  grep -Eq '<url |<screenshots>' "$file" && fail "addresses or screenshots with no home page named"
fi
((failures == 0))
