#!/usr/bin/env bash
# Checks a built quillmarsh .deb: its name and control fields, that its
# dependencies were found from the linked libraries, that it holds exactly
# the files it should, that lintian finds nothing to warn of, that the
# desktop entry and the AppStream data are valid, and that the packaged
# programs run.
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
# Without a font that has Chinese characters the window shows boxes.
[[ $depends == *"fonts-noto-cjk | fonts-wqy-microhei"* ]] || fail "Depends names no Chinese font: $depends"

id=io.github.quillmarsh.quillmarsh
expected=$(
  printf '%s\n' ./usr/bin/quillmarsh ./usr/bin/quillmarsh-batch \
    "./usr/share/applications/$id.desktop" "./usr/share/metainfo/$id.metainfo.xml" \
    ./usr/share/doc/quillmarsh/changelog.gz ./usr/share/doc/quillmarsh/copyright \
    ./usr/share/doc/quillmarsh/README.txt ./usr/share/bash-completion/completions/quillmarsh-batch \
    ./usr/share/icons/hicolor/scalable/apps/quillmarsh.svg
  for size in 16 22 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${size}x$size/apps/quillmarsh.png"; done
  for page in man1/quillmarsh.1.gz man1/quillmarsh-batch.1.gz; do
    echo "./usr/share/man/$page"
    echo "./usr/share/man/zh_CN/$page"
  done)
expected=$(sort <<<"$expected")
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
[[ $files == "$expected" ]] || fail "contents differ:
$(diff <(echo "$expected") <(echo "$files") || true)"
while read -r mode _ _ _ _ path; do
  if [[ $path == ./usr/bin/?* && $mode != -rwxr-xr-x ]]; then fail "$path has mode $mode"; fi
done < <(dpkg-deb -c "$deb")

# Debian's own checks: no error and no warning, and none of the hardening
# tags, which lintian counts as information only.
lintian_report=$(lintian --fail-on none --display-info "$deb") || fail "lintian did not run"
echo "lintian: ${lintian_report:-no tags}"
if grep -Eq '^[EW]: |^I: [^ ]+ hardening-' <<<"$lintian_report"; then
  fail "lintian found errors, warnings or unhardened programs"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry is not valid"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >/dev/null || fail "AppStream data is not valid"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" \
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
