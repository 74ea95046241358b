#!/usr/bin/env bash
# Checks a built quillmarsh .deb: its name and control fields, that its
# dependencies were found from the linked libraries, that it holds exactly
# the files it should, that the desktop entry and the AppStream data are
# valid, and that the packaged quillmarsh-batch runs.
#   check_package.sh FILE.deb
set -euo pipefail
deb=$1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == quillmarsh ]] || fail "Package is '$(field Package)'"
[[ $(field Architecture) == amd64 ]] || fail "Architecture is '$(field Architecture)'"
version=$(field Version)
[[ $(basename "$deb") == "quillmarsh_${version}_amd64.deb" ]] || fail "file name $(basename "$deb") for version $version"

# dpkg-shlibdeps names these from the programs' links; a package built
# without it would lack them and install programs that cannot start.
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib: $depends"
done

expected="./usr/bin/quillmarsh
./usr/bin/quillmarsh-batch
./usr/share/applications/quillmarsh.desktop
./usr/share/icons/hicolor/32x32/apps/quillmarsh.png
./usr/share/metainfo/quillmarsh.metainfo.xml"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
[[ $files == "$expected" ]] || fail "contents differ:
$(diff <(echo "$expected") <(echo "$files") || true)"
while read -r mode _ _ _ _ path; do
  if [[ $path == ./usr/bin/?* && $mode != -rwxr-xr-x ]]; then fail "$path has mode $mode"; fi
done < <(dpkg-deb -c "$deb")

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/quillmarsh.desktop" || fail "desktop entry is not valid"
# The id has no reverse domain name yet: the project has no domain of its own.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
  "$root/usr/share/metainfo/quillmarsh.metainfo.xml" >/dev/null || fail "AppStream data is not valid"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/quillmarsh.metainfo.xml" \
  || fail "AppStream data names no release $version"
help=$("$root/usr/bin/quillmarsh-batch" --help) || fail "packaged quillmarsh-batch --help failed"
[[ $help == *--import* ]] || fail "packaged quillmarsh-batch --help printed no usage"
# Both programs answer --version, and the window --help, in a terminal
# without a display.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
for program in quillmarsh quillmarsh-batch; do
  answer=$("${nodisplay[@]}" "$root/usr/bin/$program" --version) || fail "$program --version failed"
  [[ ${answer%%$'\n'*} == "$program $version" ]] || fail "$program --version begins '${answer%%$'\n'*}'"
done
help=$("${nodisplay[@]}" "$root/usr/bin/quillmarsh" --help) || fail "quillmarsh --help failed"
[[ $help == *--version* ]] || fail "quillmarsh --help printed no usage"

if ((failures)); then exit 1; fi
echo "package ok: $(basename "$deb") ($(echo "$files" | wc -l) files; Depends: $depends)"
