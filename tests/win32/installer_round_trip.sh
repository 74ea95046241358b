#!/usr/bin/env bash
# The Windows installer under Wine, as a user without administrator rights
# would use it: a silent install (/S) into its per-user folder, the files,
# the Start-menu shortcut and the uninstall entry under HKCU (none under
# HKLM), the installed quillmarsh-batch.exe answering --version, then a
# silent uninstall, which removes all of that and keeps the run records.
#
#   tests/win32/installer_round_trip.sh dist/quillmarsh-VERSION-windows-x64-setup.exe
#
# It uses the tests' Wine prefix (scripts/wine.sh) and leaves it as it found it.
set -euo pipefail
installer=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=$root/scripts/wine.sh
# Wine would otherwise copy the shortcut into the host's own menus.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmarsh'
failures=0
fail() { echo "installer round trip: $*" >&2; failures=$((failures + 1)); }

# A Windows folder of the prefix, as a path here.
unix_path() { winepath -u "$1" 2>/dev/null; }
windows_variable() { "$wine" cmd /c echo "%$1%" | tr -d '\r'; }
local_app_data=$(windows_variable LOCALAPPDATA)
app_data=$(windows_variable APPDATA)
export WINEPREFIX=${QM_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmarsh/wine}
install_dir=$(unix_path "$local_app_data\\Programs\\Quillmarsh")
shortcut=$(unix_path "$app_data\\Microsoft\\Windows\\Start Menu\\Programs\\Quillmarsh 随机分发.lnk")
records=$(unix_path "$local_app_data\\Quillmarsh")

# The run records as a user would have them: one made here if there is none,
# and removed at the end, so that the prefix is left as it was.
made_records=no
[[ -d $records ]] || made_records=yes
mkdir -p "$records/runs"
marker=$records/runs/installer-round-trip.marker
echo kept > "$marker"

waited_away() {  # the path is gone within 60 s (the uninstaller runs on as a copy of itself)
  local deadline=$((SECONDS + 60))
  while [[ -e $1 ]] && ((SECONDS < deadline)); do sleep 0.5; done
  [[ ! -e $1 ]]
}

"$wine" "$installer" /S || fail "the installer exited with $?"
for file in quillmarsh.exe quillmarsh-batch.exe README.txt LICENSE.txt Uninstall.exe; do
  [[ -f $install_dir/$file ]] || fail "$file is not in $install_dir"
done
[[ -f $shortcut ]] || fail "no Start-menu shortcut at $shortcut"
if [[ -f $shortcut ]] && ! python3 -c 'import sys; d = open(sys.argv[1], "rb").read().lower()
sys.exit(not (b"quillmarsh.exe" in d or "quillmarsh.exe".encode("utf-16-le") in d))' "$shortcut"; then
  fail "the shortcut does not lead to quillmarsh.exe"
fi
"$wine" reg query "$key" /v DisplayName >/dev/null 2>&1 || fail "no uninstall entry under $key"
"$wine" reg query "$key" /v UninstallString 2>/dev/null | grep -qi 'Uninstall.exe' ||
  fail "the uninstall entry has no UninstallString"
"$wine" reg query "${key/HKCU/HKLM}" >/dev/null 2>&1 && fail "an uninstall entry under HKLM: not a per-user install"
version=$("$wine" "$install_dir/quillmarsh-batch.exe" --version | tr -d '\r') || fail "the installed quillmarsh-batch.exe --version failed"
grep -q '[0-9]\+\.[0-9]\+\.[0-9]\+' <<<"$version" || fail "--version said: $version"

"$wine" "$install_dir/Uninstall.exe" /S || fail "the uninstaller exited with $?"
waited_away "$install_dir" || fail "$install_dir is still there after the uninstall: $(ls "$install_dir")"
[[ ! -e $shortcut ]] || fail "the shortcut is still there after the uninstall"
"$wine" reg query "$key" >/dev/null 2>&1 && fail "the uninstall entry is still there after the uninstall"
[[ -f $marker ]] || fail "a silent uninstall removed the run records in $records"

rm -f "$marker"
if [[ $made_records == yes ]]; then rm -rf "$records"; fi
if ((failures)); then
  echo "installer round trip: 0 passed, $failures failed"
  exit 1
fi
echo "installer round trip: passed (installed, ran ${version%%$'\n'*}, uninstalled, records kept)"
