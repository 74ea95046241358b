#!/usr/bin/env bash
# Many transfers in flight: quillmarsh-batch against cp -r, xargs -P16 cp,
# rsync and find -exec mv where the storage is slow, not the CPU:
#   cold  - ext4 with the page cache dropped before every command (root);
#   slow  - slowfs (bench/slowfs.sh), a FUSE folder that answers every call
#           after a delay: copying from it, into it, and moving within it;
#   memory - the peak RSS of a copy of a million empty files on tmpfs;
#   warm  - a copy and a move on tmpfs, where the pool must cost nothing,
#           beside a build of an earlier commit (--before) when given.
# Every command of a section runs once per round, the order reversed every
# other round; it prints median (min-max) seconds and the ratio of medians to
# the peers. It never fails on a limit (exit 1 only when a command fails or
# leaves the wrong number of files).
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/inflight.sh [--files N] [--slow-files N] [--million N] [--rounds N]
                         [--delay-us N] [--sweep "1 4 8 32"] [--only SECTION]...
                         [--build-dir DIR] [--scratch DIR] [--before DIR]
                         [--warm-files N]
  --files N       files of 1-16 KiB for the cold ext4 copy (default 100000)
  --slow-files N  files of 1-16 KiB for slowfs (default 5000)
  --million N     empty files for the peak memory (default 1000000)
  --rounds N      rounds per section (default 3)
  --delay-us N    slowfs's delay per call (default 300)
  --sweep LIST    --jobs values besides the default (16) and 1 (default "4 8 32")
  --only SECTION  cold, slow, memory or warm (repeatable; default all four)
  --build-dir DIR use DIR's quillmarsh-batch (default build-bench, kept up to date)
  --scratch DIR   an ext4 folder for the cold section and slowfs's backing
                  (default bench/out in the repository)
  --before DIR    the warm section also times DIR's quillmarsh-batch (a build
                  of an earlier commit), and gives the ratios to it
  --warm-files N  files of 1-4 KiB for the warm section (default 20000)
EOF
}

files=100000 slow_files=5000 million=1000000 rounds=3 delay_us=300 sweep="4 8 32"
build_dir='' scratch='' sections=() before='' warm_files=20000
die() { printf 'inflight: %s\n' "$*" >&2; exit 1; }
need_count() { [[ $2 =~ ^[1-9][0-9]*$ ]] || die "$1 wants a positive whole number, got '$2'"; }
while (($#)); do
  case $1 in
    --files)      need_count "$1" "${2-}"; files=$2; shift 2 ;;
    --slow-files) need_count "$1" "${2-}"; slow_files=$2; shift 2 ;;
    --million)    need_count "$1" "${2-}"; million=$2; shift 2 ;;
    --rounds)     need_count "$1" "${2-}"; rounds=$2; shift 2 ;;
    --delay-us)   [[ ${2-} =~ ^[0-9]+$ ]] || die "--delay-us wants a whole number"; delay_us=$2; shift 2 ;;
    --sweep)      [[ ${2-} =~ ^[0-9\ ]+$ ]] || die "--sweep wants numbers"; sweep=$2; shift 2 ;;
    --only)       [[ ${2-} =~ ^(cold|slow|memory|warm)$ ]] || die "--only wants cold, slow, memory or warm"; sections+=("$2"); shift 2 ;;
    --before)     [[ -x ${2-}/quillmarsh-batch ]] || die "--before wants a build folder holding quillmarsh-batch"; before=$(cd -- "$2" && pwd)/quillmarsh-batch; shift 2 ;;
    --warm-files) need_count "$1" "${2-}"; warm_files=$2; shift 2 ;;
    --build-dir)  [[ -n ${2-} ]] || die "--build-dir wants a folder"; build_dir=$2; shift 2 ;;
    --scratch)    [[ -n ${2-} ]] || die "--scratch wants a folder"; scratch=$2; shift 2 ;;
    -h|--help)    usage; exit 0 ;;
    *)            usage >&2; exit 2 ;;
  esac
done
((${#sections[@]})) || sections=(cold slow memory warm)
[[ -x /usr/bin/time ]] || die "GNU time is missing (apt-get install -y time)"
command -v rsync >/dev/null || die "rsync is missing (scripts/install-deps.sh --bench)"
if [[ -n $build_dir && $build_dir != /* ]]; then build_dir=$PWD/$build_dir; fi

repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$repo"
# shellcheck source=bench/common.sh
source "$repo/bench/common.sh"
bench_programs quillmarsh-batch
qm=$build_dir/quillmarsh-batch
unset QUILLMARSH_JOBS  # the default must be the program's own
slowfs=$repo/bench/slowfs.sh

scratch=${scratch:-$repo/bench/out}
mkdir -p -- "$scratch"
work=$(mktemp -d -- "$scratch/inflight.XXXXXX")
mkdir -- "$work/graveyard"
mounts=() shm=
# Unmounted first, then removed without crossing into a mount that would not
# go, so that rm never reaches through to a backing folder.
cleanup() {
  local m
  for m in "${mounts[@]}"; do
    if mountpoint -q -- "$m"; then "$slowfs" unmount "$m" || true; fi
  done
  rm -rf --one-file-system -- "$work" ${shm:+"$shm"}
}
trap cleanup EXIT
trap 'exit 130' INT TERM


# Outputs are renamed aside and deleted only at the end: on ext4 a large
# deletion slows the file creations that follow it for about a minute.
set_aside() {
  local d
  for d in "$@"; do [[ -e $d ]] && mv -- "$d" "$work/graveyard/${d//\//_}.$RANDOM$RANDOM"; done
  return 0
}
count_files() { find "$1" -type f | wc -l; }

# --- the contenders ---------------------------------------------------------
# Each is a function CONTENDER SRC DST [OPTIONS]; a copy fills DST (which exists and is
# empty), a move empties SRC into DST.
qm_copy() { "$qm" --import "$1" --export "$2" --shares 10 --quiet --seed 1 "${@:3}"; }
qm_move() { qm_copy "$@" --move; }
cp_r() { cp --preserve=mode,timestamps -r -- "$1/." "$2/"; }
xargs_cp() { find "$1" -maxdepth 1 -type f -print0 | xargs -0 -r -P16 -n 64 cp --preserve=mode,timestamps -t "$2" --; }
rsync_a() { rsync -a -- "$1/" "$2/"; }
find_mv() { find "$1" -maxdepth 1 -type f -exec mv -t "$2" -- '{}' +; }
xargs_mv() { find "$1" -maxdepth 1 -type f -print0 | xargs -0 -r -P16 -n 64 mv -t "$2" --; }
rsync_mv() { rsync -a --remove-source-files -- "$1/" "$2/"; }

before_copy() { "$before" --import "$1" --export "$2" --shares 10 --quiet --seed 1; }
before_move() { before_copy "$@" --move; }

# contenders KIND: the names and commands of a section, as "label|command".
# The warm section times the default, --jobs 1, the earlier build and one peer.
contenders() {
  local j verb=qm_$1
  printf '%s\n' "quillmarsh (default 16)|$verb" "quillmarsh --jobs 1|$verb --jobs 1"
  if [[ $section == warm ]]; then
    [[ -z $before ]] || printf '%s\n' "before|before_$1"
    if [[ $1 == copy ]]; then echo "cp -r|cp_r"; else echo "find -exec mv|find_mv"; fi
    return
  fi
  for j in $sweep; do printf 'quillmarsh --jobs %s|%s --jobs %s\n' "$j" "$verb" "$j"; done
  if [[ $1 == copy ]]; then
    printf '%s\n' "cp -r|cp_r" "xargs -P16 cp|xargs_cp" "rsync -a|rsync_a"
  else
    printf '%s\n' "find -exec mv|find_mv" "xargs -P16 mv|xargs_mv" "rsync --remove-source-files|rsync_mv"
    # The floor: nothing but the renames (or links and unlinks), 16 threads.
    printf '%s\n' "floor: renames alone, 16 threads|floor_move rename" "floor: link+unlink, 16 threads|floor_move link"
  fi
}
floor_move() { "$work/move_floor" "$3" 16 "$1" "$2"; }

# measure NAME KIND SRC WANT PREP: every contender once a round, in
# alternating order; PREP runs untimed before each (it sets $dst, and for a
# move makes SRC again); each must leave WANT files in $dst. Fills
# times[label] with one figure a round.
declare -A times=()
measure() {
  local name=$1 kind=$2 src=$3 want=$4 prep=$5 r line label t t0 t1 n
  local -a list order cmd
  mapfile -t list < <(contenders "$kind")
  labels=()
  for line in "${list[@]}"; do labels+=("${line%%|*}"); done
  for ((r = 0; r < rounds; r++)); do
    order=("${list[@]}")
    if ((r % 2)); then mapfile -t order < <(printf '%s\n' "${list[@]}" | tac); fi
    for line in "${order[@]}"; do
      label=${line%%|*}
      "$prep"
      read -r -a cmd <<<"${line#*|}"
      now t0
      "${cmd[0]}" "$src" "$dst" "${cmd[@]:1}" >"$work/last.out" 2>"$work/last.err" || {
        cat -- "$work/last.err" >&2; die "$name: '$label' failed"; }
      now t1
      n=$(count_files "$dst")
      ((n == want)) || die "$name: '$label' left $n files in '$dst', expected $want"
      t=$(LC_ALL=C awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
      times[$label]+="$t "
      printf '  %s round %d: %-28s %s s\n' "$name" $((r + 1)) "$label" "$t" >&2
    done
  done
}

# table TITLE PEER [PEER2]: the medians, spreads and ratios of the last
# measure, against PEER (and PEER2).
table() {
  local title=$1 peer=$2 peer2=${3-} label s pm p2m=''
  # times[] holds a round's figures as one word list.
  # shellcheck disable=SC2086
  pm=$(median ${times[$peer]})
  # shellcheck disable=SC2086
  [[ -z $peer2 ]] || p2m=$(median ${times[$peer2]})
  printf '\n### %s\n\n| command | median s (min–max) | / %s |%s\n|---|---|---|%s\n' \
    "$title" "$peer" "${peer2:+ / $peer2 |}" "${peer2:+---|}"
  for label in "${labels[@]}"; do
    # shellcheck disable=SC2086
    read -r -a s < <(stats ${times[$label]})
    LC_ALL=C awk -v l="$label" -v m="${s[0]}" -v lo="${s[1]}" -v hi="${s[2]}" -v p="$pm" -v q="$p2m" 'BEGIN {
      printf "| %s | %.2f (%.2f–%.2f) | %.2f |", l, m, lo, hi, m / p
      if (q != "") printf " %.2f |", m / q
      printf "\n" }'
  done
  times=()
}

drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }
printf '# %s, %s; load before: %s\n' "$("$qm" --version 2>&1 | head -n 1)" "$(date -u '+%F %H:%M UTC')" "$(cut -d' ' -f1-3 /proc/loadavg)"

section=
# --- cold ext4 --------------------------------------------------------------
if [[ " ${sections[*]} " == *" cold "* ]]; then
  ((EUID == 0)) || die "the cold section drops the page cache: run it as root"
  fs=$(df --output=fstype -- "$work" | tail -n 1)
  [[ $fs == ext4 ]] || printf 'inflight: %s is %s, not ext4\n' "$work" "$fs" >&2
  echo "inflight: creating $files files of 1-16 KiB on $fs" >&2
  make_files "$work/cold" "$files" 1024 16384
  cold_prep() { set_aside "$work/cold-out"; mkdir -- "$work/cold-out"; dst=$work/cold-out; drop_caches; }
  measure cold copy "$work/cold" "$files" cold_prep
  table "cold $fs, $files files of 1–16 KiB, page cache dropped before each command" "cp -r" "xargs -P16 cp"
  set_aside "$work/cold"
fi

# --- slowfs -----------------------------------------------------------------
if [[ " ${sections[*]} " == *" slow "* ]]; then
  "$slowfs" build >/dev/null
  backing=$work/slow-backing mnt=$work/slow-mount
  mkdir -p -- "$backing" "$mnt"
  echo "inflight: creating $slow_files files of 1-16 KiB, on slowfs and beside it" >&2
  make_files "$backing/pristine" "$slow_files" 1024 16384
  make_files "$work/slow-local" "$slow_files" 1024 16384
  "$slowfs" mount "$backing" "$mnt" --delay-us "$delay_us"
  mounts+=("$mnt")
  slowfs_line="slowfs --delay-us $delay_us, $slow_files files of 1–16 KiB"
  cc -O2 -Wall -Werror -pthread -o "$work/move_floor" "$repo/bench/src/move_floor.c"

  # From it: the source is on slowfs, the target on the local disk.
  from_prep() { set_aside "$work/from-out"; mkdir -- "$work/from-out"; dst=$work/from-out; }
  measure from copy "$mnt/pristine" "$slow_files" from_prep
  table "from $slowfs_line, into a folder beside it" "cp -r" "xargs -P16 cp"

  # Into it: set aside and made again through the mount, as a user would.
  into_prep() { [[ ! -e $mnt/out ]] || mv -- "$mnt/out" "$mnt/gone.$RANDOM$RANDOM"; mkdir -- "$mnt/out"; dst=$mnt/out; }
  measure into copy "$work/slow-local" "$slow_files" into_prep
  table "into $slowfs_line, from a folder beside it" "cp -r" "xargs -P16 cp"

  # Within it: the source made again from hard links on the backing folder
  # (untimed, never through the mount), then moved into a folder beside it.
  within_prep() {
    [[ ! -e $mnt/src ]] || mv -- "$mnt/src" "$mnt/gone.$RANDOM$RANDOM"
    [[ ! -e $mnt/out ]] || mv -- "$mnt/out" "$mnt/gone.$RANDOM$RANDOM"
    cp -al -- "$backing/pristine" "$backing/src"
    mkdir -- "$mnt/out"
    dst=$mnt/out
  }
  measure within move "$mnt/src" "$slow_files" within_prep
  table "move within $slowfs_line" "find -exec mv"
  "$slowfs" unmount "$mnt"
  mounts=()
fi

# --- peak memory ------------------------------------------------------------
if [[ " ${sections[*]} " == *" memory "* ]]; then
  shm=$(mktemp -d /dev/shm/qm-inflight.XXXXXX)
  echo "inflight: creating $million empty files on tmpfs" >&2
  make_files "$shm/src" "$million" 0 0
  printf '\n### peak memory, %s empty files on tmpfs into 10 shares\n\n| command | wall s | max RSS MiB |\n|---|---|---|\n' "$million"
  for j in default 1 64; do
    extra=()
    [[ $j == default ]] || extra=(--jobs "$j")
    rm -rf -- "$shm/out" && mkdir -- "$shm/out"
    now t0
    /usr/bin/time -v -o "$shm/time.txt" "$qm" --import "$shm/src" --export "$shm/out" --shares 10 --quiet --seed 1 \
      "${extra[@]}" >/dev/null 2>"$shm/err" || { cat -- "$shm/err" >&2; die "the million-file run failed"; }
    now t1
    n=$(count_files "$shm/out")
    ((n == million)) || die "the million-file run left $n files"
    kib=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$shm/time.txt")
    LC_ALL=C awk -v j="$j" -v a="$t0" -v b="$t1" -v k="$kib" 'BEGIN {
      printf "| quillmarsh --jobs %s | %.2f | %.1f |\n", j, b - a, k / 1024 }'
  done
fi

# --- warm tmpfs ---------------------------------------------------------------
# Nothing waits here: the pool must cost nothing against one copying thread
# and against the build before it (--before).
if [[ " ${sections[*]} " == *" warm "* ]]; then
  section=warm
  shm=${shm:-$(mktemp -d /dev/shm/qm-inflight.XXXXXX)}
  rm -rf -- "$shm/warm" "$shm/warm-out" "$shm/warm-src"
  echo "inflight: creating $warm_files files of 1-4 KiB on tmpfs" >&2
  make_files "$shm/warm" "$warm_files" 1024 4096
  # tmpfs deletes at once and costs nothing later: no setting aside.
  warm_prep() { rm -rf -- "$shm/warm-out"; mkdir -- "$shm/warm-out"; dst=$shm/warm-out; }
  warm_move_prep() { rm -rf -- "$shm/warm-src"; cp -al -- "$shm/warm" "$shm/warm-src"; warm_prep; }
  peer=${before:+before}
  measure warm copy "$shm/warm" "$warm_files" warm_prep
  table "warm tmpfs copy, $warm_files files of 1–4 KiB" "${peer:-cp -r}" ${peer:+"cp -r"}
  measure warm move "$shm/warm-src" "$warm_files" warm_move_prep
  table "warm tmpfs move, $warm_files files of 1–4 KiB" "${peer:-find -exec mv}" ${peer:+"find -exec mv"}
  rm -rf -- "$shm/warm" "$shm/warm-out" "$shm/warm-src"
  section=
fi
printf '\nload after: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
