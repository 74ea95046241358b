#!/usr/bin/env bash
# slowfs for the benchmarks (bench/src/slowfs.c, a FUSE pass-through that
# answers every call after a delay, like a network share): builds it when it
# is missing or older than its source, mounts it for a bench, unmounts after.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/slowfs.sh build                     build if needed, print the program's path
       bench/slowfs.sh mount BACKING MOUNTPOINT [slowfs options]
       bench/slowfs.sh unmount MOUNTPOINT
slowfs options: --delay-us N (default 300), --no-utimens, --no-chmod[=ENOSYS],
                --stats FILE, and the FUSE ones (-o max_threads=N, ...)
The program is kept in $QM_BENCH_CACHE (default ~/.cache/quillmarsh-bench).
EOF
}

die() { printf 'slowfs.sh: %s\n' "$*" >&2; exit 1; }

here=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")" && pwd)
source_file=$here/src/slowfs.c
cache=${QM_BENCH_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/quillmarsh-bench}
program=$cache/slowfs

# The headers, pkg-config and fusermount3 come from Debian's packages; a
# fresh machine has none of them.
need_tools() {
  if command -v pkg-config >/dev/null && pkg-config --exists fuse3 && command -v fusermount3 >/dev/null; then
    return 0
  fi
  ((EUID == 0)) || die "libfuse3-dev, fuse3 and pkg-config are missing, and only root can install them"
  printf 'slowfs.sh: installing libfuse3-dev fuse3 pkg-config\n' >&2
  apt-get update >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y libfuse3-dev fuse3 pkg-config >&2
}

build() {
  need_tools
  if [[ -x $program && ! $source_file -nt $program ]]; then return 0; fi
  mkdir -p -- "$cache"
  local cflags libs
  cflags=$(pkg-config --cflags fuse3)
  libs=$(pkg-config --libs fuse3)
  # Built beside the old one and renamed over it, so a bench that runs it
  # meanwhile never finds half a program. The flags are word lists by design.
  # shellcheck disable=SC2086
  cc -std=c11 -O2 -Wall -Wextra $cflags -o "$program.new.$$" "$source_file" $libs -lpthread
  mv -f -- "$program.new.$$" "$program"
}

mount_slowfs() {
  (($# >= 2)) || { usage >&2; exit 2; }
  local backing=$1 mnt=$2
  shift 2
  [[ -d $backing ]] || die "no folder '$backing'"
  [[ -d $mnt ]] || die "no folder '$mnt' to mount on"
  [[ -c /dev/fuse ]] || die "no /dev/fuse on this machine"
  ! mountpoint -q -- "$mnt" || die "'$mnt' is mounted already"
  build
  # slowfs returns once the mount is in place and goes on in the background.
  "$program" "$@" -- "$backing" "$mnt"
  mountpoint -q -- "$mnt" || die "slowfs did not mount '$mnt'"
}

unmount_slowfs() {
  (($# == 1)) || { usage >&2; exit 2; }
  local mnt=$1
  mountpoint -q -- "$mnt" || die "'$mnt' is not mounted"
  # A lazy unmount when something still has a file open there: the name is
  # freed now, the file system goes when the last file closes.
  if ! fusermount3 -u -- "$mnt" 2>/dev/null; then
    printf 'slowfs.sh: %s is busy, unmounting lazily\n' "$mnt" >&2
    fusermount3 -u -z -- "$mnt"
  fi
}

case ${1-} in
  build) build; printf '%s\n' "$program" ;;
  mount) mount_slowfs "${@:2}" ;;
  unmount) unmount_slowfs "${@:2}" ;;
  -h|--help) usage ;;
  *) usage >&2; exit 2 ;;
esac
