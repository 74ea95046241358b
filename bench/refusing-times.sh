#!/usr/bin/env bash
# End-to-end check: a share on a file system that refuses to set times still
# receives its files, the report says how many lack their time, and --undo
# takes the run back. The share is slowfs --no-utimens (futimens and
# utimensat fail with ENOSYS, as on some network file systems), which also
# has no unnamed files, so every file goes through a hidden name and a
# no-replace rename. Once with a copy, once with --move (across file
# systems). Prints PASS/FAIL lines and what it measured; exits 1 on a FAIL.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/refusing-times.sh [--files N] [--delay-us N] [--build-dir DIR] [--scratch DIR]
  --files N       files in the source folder (default 2000)
  --delay-us N    slowfs's delay per call (default 0: the check, not the clock)
  --build-dir DIR where quillmarsh-batch is built (default build, brought up to date)
  --scratch DIR   where the source, the backing folder and the mount go
                  (default $TMPDIR or /tmp)
EOF
}

die() { printf 'refusing-times: %s\n' "$*" >&2; exit 2; }

files=2000
delay_us=0
build_dir=
scratch=${TMPDIR:-/tmp}
while (($#)); do
  case $1 in
    --files) [[ ${2-} =~ ^[1-9][0-9]*$ ]] || die "--files wants a positive whole number"; files=$2; shift 2 ;;
    --delay-us) [[ ${2-} =~ ^[0-9]+$ ]] || die "--delay-us wants a whole number"; delay_us=$2; shift 2 ;;
    --build-dir) [[ -n ${2-} ]] || die "--build-dir wants a folder"; build_dir=$2; shift 2 ;;
    --scratch) [[ -n ${2-} ]] || die "--scratch wants a folder"; scratch=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
if [[ -n $build_dir && $build_dir != /* ]]; then build_dir=$PWD/$build_dir; fi

repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$repo"
build_dir=${build_dir:-$repo/build}
if [[ ! -f $build_dir/build.ninja ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DQM_BUILD_QT=OFF -DQM_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build_dir" --target quillmarsh-batch >/dev/null
qm=$build_dir/quillmarsh-batch
slowfs=$repo/bench/slowfs.sh
facts=$repo/bench/tree_facts.py
"$slowfs" build >/dev/null

work=$(mktemp -d "$scratch/qm-refusing-times.XXXXXX")
mounts=()
# Unmounted first, and the folder removed without crossing into a mount that
# would not go: rm must never reach through to a backing folder it still sees.
cleanup() {
  local m
  for m in "${mounts[@]}"; do
    if mountpoint -q -- "$m"; then "$slowfs" unmount "$m" || true; fi
  done
  rm -rf --one-file-system -- "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck source=bench/common.sh
source "$repo/bench/common.sh"

fails=0
passes=0
# check WHAT COMMAND...: PASS or FAIL, as COMMAND succeeds.
check() {
  local what=$1
  shift
  if "$@"; then
    printf 'PASS %s\n' "$what"
    passes=$((passes + 1))
  else
    printf 'FAIL %s\n' "$what"
    fails=$((fails + 1))
  fi
}
same_file() { cmp -s -- "$1" "$2" || { diff -- "$1" "$2" | head -n 6 | sed 's/^/     /'; return 1; }; }
is() { [[ $1 == "$2" ]]; }
has_line() { tr -d '\r' <"$2" | grep -qxF -- "$1"; }
not_mounted() { ! mountpoint -q -- "$1"; }
empty_folder() { [[ -z $(find "$1" -mindepth 1 -print -quit) ]]; }
count_files() { find "$1" -type f | wc -l; }
seconds() { LC_ALL=C awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# run NAME COMMAND...: the command's exit status in rc, its wall time in
# took, its output in $work/NAME.out and .err (shown indented).
run() {
  local name=$1 t0 t1
  shift
  rc=0
  now t0
  "$@" >"$work/$name.out" 2>"$work/$name.err" || rc=$?
  now t1
  took=$(seconds "$t0" "$t1")
  printf '  %s: exit %s in %s s\n' "$*" "$rc" "$took"
  sed 's/^/    | /' -- "$work/$name.out" "$work/$name.err"
}

# recorded_results MANIFEST: how many rows of each result ("copied 2000").
recorded_results() {
  awk -F'\t' '!/^#/ { gsub(/ /, "", $4); n[$4]++ } END { for (r in n) printf "%s %d ", r, n[r] }' "$1"
}

# slowfs writes its call counts so far as a block ending in "# snapshot" on
# SIGUSR1, at the next call it answers, and a last block ending in "# end"
# when it has gone (unmount returns before that).
# blocks FILE: how many blocks FILE has.
blocks() { if [[ -f $1 ]]; then grep -c '^# ' -- "$1" || true; else echo 0; fi; }

# wait_blocks FILE N: true once FILE has N blocks, false after 10 s.
wait_blocks() {
  local i
  for ((i = 0; i < 100; i++)); do
    (($(blocks "$1") >= $2)) && return 0
    sleep 0.1
  done
  return 1
}

# snapshot FILE MOUNT: a block for the calls so far. `stat -f` is the call
# that writes it; triggers counts them, as they belong to what follows.
triggers=0
snapshot() {
  local want i
  want=$(($(blocks "$1") + 1))
  kill -USR1 "$(awk -F'\t' '$1 == "pid" { print $2; exit }' "$1")"
  sleep 0.1
  triggers=0
  for ((i = 0; i < 20; i++)); do
    stat -f -- "$2" >/dev/null
    triggers=$((triggers + 1))
    wait_blocks "$1" "$want" && return 0
  done
  printf '  slowfs wrote no call counts\n'
}

# calls FILE FROM TO STATFS_TRIGGERS: the calls between block FROM and block
# TO, less the trigger statfs calls, how many per file, and how long slowfs
# slept for them (a sleep lasts longer than the delay asked for).
calls() {
  awk -F'\t' -v from="$2" -v to="$3" -v triggers="$4" -v files="$files" '
    /^# / { block++; next }
    $1 == "pid" || $1 == "delay_us" { next }
    block == from - 1 && from > 0 { before[$1] = $2 }
    block == to - 1 && $1 == "waited_us" { waited = $2 - before[$1]; next }
    block == to - 1 { n = $2 - before[$1] - ($1 == "statfs" ? triggers : 0); if (n) { order[++k] = $1; count[$1] = n; total += n } }
    END {
      for (i = 1; i <= k; i++) printf "%s%s %d", (i > 1 ? ", " : ""), order[i], count[order[i]]
      printf "; %d in all, %.2f per file", total, total / files
      if (waited) printf "; slept %.3f s in all, %.0f us a call", waited / 1e6, waited / total
      printf "\n"
    }' "$1"
}

lost_line="其中${files}个文件的修改时间或权限无法保留。"

# scenario NAME [--move]: one run into a fresh slowfs mount and its undo.
scenario() {
  local name=$1 mode=${2-}
  local src=$work/$name/photos backing=$work/$name/backing mnt=$work/$name/mount manifest=$work/$name/manifest
  local before_list=$work/$name/before.list before_sums=$work/$name/before.sums stats=$work/$name/slowfs.stats
  printf '\n== %s: %s files, slowfs --no-utimens --delay-us %s\n' "$name" "$files" "$delay_us"
  mkdir -p -- "$src" "$backing" "$mnt"
  python3 "$facts" make "$src" "$files" 1
  python3 "$facts" list "$src" >"$before_list"
  python3 "$facts" contents "$src" >"$before_sums"
  printf '  source: %s files, %s bytes\n' "$(count_files "$src")" "$(du -sb --apparent-size -- "$src" | cut -f1)"
  "$slowfs" mount "$backing" "$mnt" --no-utimens --delay-us "$delay_us" --stats "$stats"
  mounts+=("$mnt")
  snapshot "$stats" "$mnt"
  local mount_triggers=$triggers

  local -a qm_run=("$qm" --import "$src" --export "$mnt" --shares 10 --manifest "$manifest" --seed 1)
  [[ -z $mode ]] || qm_run+=("$mode")
  run "$name" "${qm_run[@]}"
  check "$name: exit status 0" is "$rc" 0
  check "$name: the report says $files files lack their time or bits" has_line "$lost_line" "$work/$name.out"
  # What the mount holds is read on the backing folder, so that slowfs's
  # call counts are the program's own.
  python3 "$facts" contents "$backing" >"$work/$name/dealt.sums"
  check "$name: every file dealt, each once, bytes identical (names, sizes, sha256)" \
    same_file "$before_sums" "$work/$name/dealt.sums"
  local share
  printf '  per share: %s\n' "$(for share in "$backing"/*/; do count_files "$share"; done |
    sort -n | uniq -c | awk '{ printf "%s%s shares of %s files", (NR > 1 ? ", " : ""), $1, $2 }')"
  printf '  recorded: %s\n' "$(recorded_results "$manifest")"
  local copy_times
  copy_times=$(python3 "$facts" times "$before_list" "$backing" "$manifest")
  printf '  times of the copies: %s\n' "$copy_times"
  check "$name: the record holds each copy's time as it is" is "$(head -n 1 <<<"$copy_times" | awk '{ print $6 }')" 0
  if [[ -z $mode ]]; then
    check "$name: the record has a copied row for every file" is "$(recorded_results "$manifest")" "copied $files "
    python3 "$facts" list "$src" >"$work/$name/after-run.list"
    check "$name: the source is untouched by the copy" same_file "$before_list" "$work/$name/after-run.list"
  else
    check "$name: the record has a moved row for every file" is "$(recorded_results "$manifest")" "moved $files "
    check "$name: no file is left in the source (every copy was made)" is "$(count_files "$src")" 0
  fi

  snapshot "$stats" "$mnt"
  printf '  slowfs calls of the run: %s\n' "$(calls "$stats" 1 2 "$mount_triggers")"
  local run_triggers=$triggers

  run "$name-undo" "$qm" --undo "$manifest"
  snapshot "$stats" "$mnt"
  printf '  slowfs calls of the undo: %s\n' "$(calls "$stats" 2 3 "$run_triggers")"
  check "$name: undo exit status 0" is "$rc" 0
  check "$name: the mount is empty again" empty_folder "$mnt"
  python3 "$facts" list "$src" >"$work/$name/after-undo.list"
  if [[ -z $mode ]]; then
    check "$name: the source is as before (name, type, size, mtime, mode)" \
      same_file "$before_list" "$work/$name/after-undo.list"
  else
    python3 "$facts" contents "$src" >"$work/$name/after-undo.sums"
    check "$name: every file is back, bytes identical" same_file "$before_sums" "$work/$name/after-undo.sums"
    cut -f1,2,3,5 -- "$before_list" >"$work/$name/before.nomtime"
    cut -f1,2,3,5 -- "$work/$name/after-undo.list" >"$work/$name/after-undo.nomtime"
    check "$name: the source is as before in name, type, size and mode" \
      same_file "$work/$name/before.nomtime" "$work/$name/after-undo.nomtime"
    # A file moved across file systems whose time was lost comes back with
    # the copy's time, unless the program keeps the original's elsewhere.
    local times_back
    times_back=$(python3 "$facts" times "$before_list" "$src" "$manifest")
    printf '  times of the files moved back: %s\n' "$times_back"
    check "$name: each file back has its original time or the copy's time as recorded" \
      is "$(head -n 1 <<<"$times_back" | awk '{ print $6 }')" 0
  fi
  "$slowfs" unmount "$mnt"
  check "$name: unmounted" not_mounted "$mnt"
  wait_blocks "$stats" 4 || printf '  slowfs wrote no last call counts\n'
}

printf 'quillmarsh-batch: %s\n' "$("$qm" --version 2>&1 | head -n 1)"
scenario copy
scenario move --move
printf '\n%s passed, %s failed\n' "$passes" "$fails"
((fails == 0))
