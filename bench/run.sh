#!/usr/bin/env bash
# Measures quillmarsh-batch against cp and mv on the same disk, and its peak
# memory on a large folder. It prints numbers and OK/OVER; it never fails on a
# limit (exit 1 only when a run fails or leaves the wrong files behind).
#
# Run it from anywhere; the release build goes to build-bench/ in the
# repository, the scratch files to bench/out/ (removed at the end).
# QUILLMARSH_BATCH=/path/to/quillmarsh-batch skips the build and uses that binary.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/run.sh [--files N] [--big-files N] [--rounds N] [--build-dir DIR] [--scratch DIR]
  --files N       small files for the copy and move comparisons (default 20000)
  --big-files N   empty files for the peak-memory run (default 100000)
  --rounds N      timed rounds per command, at least 5 (default 7)
  --build-dir DIR use DIR/quillmarsh-batch if it exists, else build there
                  (default build-bench, always brought up to date)
  --scratch DIR   where the files are made and dealt (default bench/out in the
                  repository); both tools always work on that same file system
EOF
}

files=20000
big_files=100000
rounds=7
build_dir=
scratch=
limit_ratio=1.15
limit_mib=64

die() { printf 'bench: %s\n' "$*" >&2; exit 1; }
need_count() { [[ $2 =~ ^[1-9][0-9]*$ ]] || die "$1 wants a positive whole number, got '$2'"; }

while (($#)); do
  case $1 in
    --files)     need_count "$1" "${2-}"; files=$2; shift 2 ;;
    --big-files) need_count "$1" "${2-}"; big_files=$2; shift 2 ;;
    --rounds)    need_count "$1" "${2-}"; rounds=$2; shift 2 ;;
    --build-dir) [[ -n ${2-} ]] || die "--build-dir wants a folder"; build_dir=$2; shift 2 ;;
    --scratch)   [[ -n ${2-} ]] || die "--scratch wants a folder"; scratch=$2; shift 2 ;;
    -h|--help)   usage; exit 0 ;;
    *)           usage >&2; exit 2 ;;
  esac
done
((rounds >= 5)) || die "--rounds must be at least 5"
if [[ -n $build_dir && $build_dir != /* ]]; then build_dir=$PWD/$build_dir; fi

repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$repo"

# --- the binary -------------------------------------------------------------
if [[ -n ${QUILLMARSH_BATCH:-} ]]; then
  qm=$QUILLMARSH_BATCH
elif [[ -n $build_dir && -x $build_dir/quillmarsh-batch ]]; then
  qm=$build_dir/quillmarsh-batch
else
  build_dir=${build_dir:-$repo/build-bench}
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQM_BUILD_TESTS=OFF -DQM_BUILD_QT=OFF >/dev/null
  ninja -C "$build_dir" quillmarsh-batch
  qm=$build_dir/quillmarsh-batch
fi
[[ -x $qm ]] || die "no runnable quillmarsh-batch at '$qm'"

# --- scratch space: the repository's disk unless told otherwise --------------
scratch=${scratch:-$repo/bench/out}
mkdir -p -- "$scratch"
work=$(mktemp -d -- "$scratch/run.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
trap 'exit 130' INT TERM

# make_files DIR COUNT MAXSIZE: COUNT files of 100..MAXSIZE bytes (0: empty).
make_files() {
  python3 - "$1" "$2" "$3" <<'EOF'
import os, random, sys
folder, count, maxsize = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
os.makedirs(folder, exist_ok=True)
rng = random.Random(1)
text = bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz \n") for _ in range(4096))
for i in range(count):
    fd = os.open(os.path.join(folder, f"f{i:06d}.txt"), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    if maxsize:
        start = rng.randrange(2048)
        os.write(fd, text[start:start + rng.randint(100, maxsize)])
    os.close(fd)
EOF
}

# now VAR: wall-clock seconds with microseconds, no fork.
now() {
  local t=${EPOCHREALTIME:-}
  [[ -n $t ]] || t=$(date +%s.%N)
  printf -v "$1" '%s' "${t/,/.}"
}

# timed VAR COMMAND...: runs COMMAND, stores its wall time; aborts if it fails.
timed() {
  local out_var=$1 t0 t1 rc=0
  shift
  now t0
  "$@" >"$work/last.out" 2>"$work/last.err" || rc=$?
  now t1
  if ((rc != 0)); then
    cat -- "$work/last.err" >&2
    die "'$*' exited with $rc"
  fi
  printf -v "$out_var" '%s' "$(LC_ALL=C awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')"
}

median() {
  printf '%s\n' "$@" | LC_ALL=C sort -g |
    LC_ALL=C awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

count_files() { find "$1" -type f | wc -l; }

# expect_share EXPORT NAME COUNT: the run left COUNT files in EXPORT/NAME_分发1.
expect_share() {
  local share=$1/${2}_分发1 n
  [[ -d $share ]] || die "expected share folder '$share'; found: $(find "$1" -mindepth 1 -maxdepth 1 -printf '%f ' | head -c 200)"
  n=$(count_files "$share")
  ((n == $3)) || die "'$share' holds $n files, expected $3"
  n=$(count_files "$1")
  ((n == $3)) || die "'$1' holds $n files in all, expected $3"
}

# compare LABEL TOOL PREP QM_CMD... -- OTHER_CMD...: alternates the two commands for
# $rounds rounds (swapping which goes first), running PREP before each, untimed.
# One untimed warm-up of each comes first. Sets qm_median and other_median.
compare() {
  local label=$1 tool=$2 prep=$3 i t who
  local -a order
  shift 3
  local -a qm_cmd=() other_cmd=() qm_times=() other_times=()
  while [[ $1 != -- ]]; do qm_cmd+=("$1"); shift; done
  shift
  other_cmd=("$@")
  for ((i = -1; i < rounds; i++)); do
    if ((i < 0 || i % 2 == 0)); then order=(qm other); else order=(other qm); fi
    for who in "${order[@]}"; do
      "$prep"
      if [[ $who == qm ]]; then
        timed t "${qm_cmd[@]}"
        expect_share "$work/outA" src "$files"
        ((i < 0)) || qm_times+=("$t")
      else
        timed t "${other_cmd[@]}"
        [[ $(count_files "$work/outB") -eq $files ]] || die "$label: $tool left the wrong number of files"
        ((i < 0)) || other_times+=("$t")
      fi
    done
    ((i < 0)) || printf '  %s round %d: quillmarsh %s s, %s %s s\n' \
      "$label" $((i + 1)) "${qm_times[-1]}" "$tool" "${other_times[-1]}" >&2
  done
  qm_median=$(median "${qm_times[@]}")
  other_median=$(median "${other_times[@]}")
}

# table_row LABEL TOOL QM OTHER
table_row() {
  LC_ALL=C awk -v label="$1" -v tool="$2" -v a="$3" -v b="$4" -v lim="$limit_ratio" 'BEGIN {
    r = a / b
    printf "%-18s quillmarsh %.3f s   %-2s %.3f s   ratio %.2f  (limit %.2f) %s\n",
      label, a, tool, b, r, lim, (r <= lim) ? "OK" : "OVER" }'
}

fresh_outputs() {
  rm -rf -- "$work/outA" "$work/outB"
  mkdir -- "$work/outA" "$work/outB"
  sync
}

fresh_move_source() {
  rm -rf -- "$work/src"
  cp -al -- "$work/pristine" "$work/src"
  fresh_outputs
}

# --- copy ---------------------------------------------------------------------
echo "bench: creating $files small files" >&2
make_files "$work/src" "$files" 900
echo "bench: copy, $rounds rounds" >&2
compare copy cp fresh_outputs \
  "$qm" --import "$work/src" --export "$work/outA" --shares 1 --quiet --seed 1 -- \
  cp --preserve=mode,timestamps -r -- "$work/src/." "$work/outB/"
copy_row=$(table_row "copy $files files" cp "$qm_median" "$other_median")

# --- move ---------------------------------------------------------------------
mv -- "$work/src" "$work/pristine"
echo "bench: move, $rounds rounds" >&2
compare move mv fresh_move_source \
  "$qm" --import "$work/src" --export "$work/outA" --shares 1 --move --quiet --seed 1 -- \
  find "$work/src" -maxdepth 1 -type f -exec mv -t "$work/outB" -- '{}' +
move_row=$(table_row "move $files files" mv "$qm_median" "$other_median")
rm -rf -- "$work/pristine" "$work/src" "$work/outA" "$work/outB"

# --- peak memory --------------------------------------------------------------
echo "bench: creating $big_files empty files" >&2
make_files "$work/big" "$big_files" 0
sync
big_cmd=("$qm" --import "$work/big" --export "$work/bigout" --shares 100 --quiet --seed 1)
rc=0
if /usr/bin/time -v true >/dev/null 2>&1; then
  now t0
  /usr/bin/time -v -o "$work/time.txt" "${big_cmd[@]}" >"$work/last.out" 2>"$work/last.err" || rc=$?
  now t1
  peak_kib=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
else
  echo "bench: GNU time not found (apt-get install -y time); polling VmHWM instead" >&2
  now t0
  "${big_cmd[@]}" >"$work/last.out" 2>"$work/last.err" &
  pid=$!
  peak_kib=0
  while kill -0 "$pid" 2>/dev/null; do
    while read -r key value _; do
      if [[ $key == VmHWM: ]] && ((value > peak_kib)); then peak_kib=$value; fi
    done 2>/dev/null <"/proc/$pid/status" || true
    sleep 0.01
  done
  wait "$pid" || rc=$?
  now t1
fi
if ((rc != 0)); then
  cat -- "$work/last.err" >&2
  die "'${big_cmd[*]}' exited with $rc"
fi
n=$(count_files "$work/bigout")
((n == big_files)) || die "'$work/bigout' holds $n files, expected $big_files"
memory_row=$(LC_ALL=C awk -v kib="$peak_kib" -v a="$t0" -v b="$t1" -v n="$big_files" -v lim="$limit_mib" 'BEGIN {
  mib = kib / 1024
  printf "peak memory, %d files: %.1f MiB (limit %d MiB) %s, %.2f s\n", n, mib, lim, (mib < lim) ? "OK" : "OVER", b - a }')

echo
echo "quillmarsh-batch: $qm"
printf '%s\n' "$copy_row" "$move_row" "$memory_row"
