#!/usr/bin/env bash
# Checks the two Debian packages that cpack built into DIR, and nothing
# else there: quillmarsh-batch (the command line, needing neither Qt nor a
# font) and quillmarsh (the window, on top of it). Their names and control
# fields, that their dependencies were found from the linked libraries, that
# each holds exactly its own files, that lintian --pedantic finds nothing to
# warn of, that the desktop entry and the AppStream data are valid, and that
# the packaged programs run. HOME_PAGE is the home page the build named, if
# any: both packages say it, or neither does.
#   check_package.sh DIR [HOME_PAGE]
set -euo pipefail
dir=$1
home_page=${2:-}
here=$(dirname "$0")
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

debs=$(cd "$dir" && ls ./*.deb | sed 's#^\./##' | sort)
version=$(dpkg-deb -f "$dir/quillmarsh_"*_amd64.deb Version 2>/dev/null) || { echo "FAIL: no quillmarsh package in $dir: $debs" >&2; exit 1; }
batch=$dir/quillmarsh-batch_${version}_amd64.deb
window=$dir/quillmarsh_${version}_amd64.deb
# A third package would hold files installed without a component.
[[ $debs == "$(printf '%s\n' "$(basename "$batch")" "$(basename "$window")" | sort)" ]] \
  || fail "packages built: $(echo $debs); expected $(basename "$batch") and $(basename "$window")"

field() { dpkg-deb -f "$1" "$2"; }
has() { [[ ", $1," == *", $2 "* || ", $1," == *", $2,"* ]]; }
for deb in "$batch" "$window"; do
  name=$(basename "${deb%%_*}")
  [[ $(field "$deb" Package) == "$name" ]] || fail "$deb: Package is '$(field "$deb" Package)'"
  [[ $(field "$deb" Architecture) == amd64 ]] || fail "$deb: Architecture is '$(field "$deb" Architecture)'"
  [[ $(field "$deb" Homepage) == "$home_page" ]] || fail "$deb: Homepage is '$(field "$deb" Homepage)', built with '$home_page'"
  # dpkg's own choice is xz too; a gzip archive is twice the download.
  [[ $(ar t "$deb" | grep '^data\.tar') == data.tar.xz ]] || fail "$deb: data is $(ar t "$deb" | grep '^data\.tar')"
done

# dpkg-shlibdeps names the libraries from the programs' links; a package
# built without it would lack them and install programs that cannot start.
# The command line needs the C and C++ runtimes (libgcc-s1 is the C++
# runtime's unwinder) and nothing more: no Qt, no font.
batch_depends=$(field "$batch" Depends)
names=$(tr ',' '\n' <<<"$batch_depends" | awk '{ print $1 }' | sort | xargs)
[[ $names == "libc6 libgcc-s1 libstdc++6" ]] || fail "quillmarsh-batch Depends: $batch_depends"
depends=$(field "$window" Depends)
[[ $depends == "quillmarsh-batch (= $version),"* ]] || fail "quillmarsh does not depend on quillmarsh-batch $version: $depends"
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
  has "$depends" "$lib" || fail "quillmarsh Depends lacks $lib: $depends"
done
# Without a font that has Chinese characters the window shows boxes; apt
# installs the first alternative, which should be the small one.
[[ $depends == *", fonts-wqy-microhei | "* ]] || fail "quillmarsh Depends has not the small Chinese font first: $depends"

files() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ { print $6 }' | sort; }
id=io.github.quillmarsh.quillmarsh
pages() { for page in "$@"; do echo "./usr/share/man/man1/$page.1.gz" "./usr/share/man/zh_CN/man1/$page.1.gz"; done | xargs -n1; }
expected_batch=$(
  printf '%s\n' ./usr/bin/quillmarsh-batch \
    ./usr/share/doc/quillmarsh-batch/changelog.gz ./usr/share/doc/quillmarsh-batch/copyright \
    ./usr/share/bash-completion/completions/quillmarsh-batch
  pages quillmarsh-batch)
expected_window=$(
  printf '%s\n' ./usr/bin/quillmarsh \
    "./usr/share/applications/$id.desktop" "./usr/share/metainfo/$id.metainfo.xml" \
    ./usr/share/doc/quillmarsh/changelog.gz ./usr/share/doc/quillmarsh/copyright \
    ./usr/share/doc/quillmarsh/README.txt \
    ./usr/share/icons/hicolor/scalable/apps/quillmarsh.svg
  for size in 16 22 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${size}x$size/apps/quillmarsh.png"; done
  pages quillmarsh)
for deb in "$batch" "$window"; do
  if [[ $deb == "$batch" ]]; then expected=$(sort <<<"$expected_batch"); else expected=$(sort <<<"$expected_window"); fi
  [[ $(files "$deb") == "$expected" ]] || fail "$(basename "$deb"): contents differ:
$(diff <(echo "$expected") <(files "$deb") || true)"
  while read -r mode _ _ _ _ path; do
    if [[ $path == ./usr/bin/?* && $mode != -rwxr-xr-x ]]; then fail "$path has mode $mode"; fi
  done < <(dpkg-deb -c "$deb")
done
# dpkg refuses to install two packages that hold one file.
overlap=$(comm -12 <(files "$batch") <(files "$window"))
[[ -z $overlap ]] || fail "both packages hold $overlap"

# Debian's own checks, pedantic ones and information too (the hardening
# tags are information): no tag at all.
lintian_report=$(lintian --fail-on none --pedantic --display-info "$batch" "$window" 2>/dev/null) || fail "lintian did not run"
echo "lintian: ${lintian_report:-no tags}"
[[ -z $lintian_report ]] || fail "lintian found tags"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$batch" "$root"
dpkg-deb -x "$window" "$root"
entry=$root/usr/share/applications/$id.desktop
desktop-file-validate "$entry" || fail "desktop entry is not valid"
# The class Qt names the window by under X11, so that a dock ties the
# running window to this entry.
grep -qx 'StartupWMClass=quillmarsh' "$entry" || fail "desktop entry has no StartupWMClass=quillmarsh"
"$here/check_metainfo.sh" "$root/usr/share/metainfo/$id.metainfo.xml" "$version" "$home_page" \
  || fail "AppStream data"
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
echo "packages ok: $(basename "$batch") ($(files "$batch" | wc -l) files; Depends: $batch_depends)"
echo "             $(basename "$window") ($(files "$window" | wc -l) files; Depends: $depends)"
