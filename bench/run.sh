#!/usr/bin/env bash
# Measures quillmarsh-batch against the plain tools, side by side in one run:
# copy against cp, move against mv, listing a large folder against find, the
# window's re-count after a keystroke, the peak memory of a large run, and
# what --manifest adds to a copy run.
# Each comparison runs on tmpfs (/dev/shm, free of disk noise) and on the
# repository's disk. It prints numbers and OK/OVER; it never fails on a limit
# (exit 1 only when a run fails or leaves the wrong files behind).
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/run.sh [--files N] [--big-files N] [--undo-files N] [--rounds N] [--build-dir DIR] [--scratch DIR]...
  --files N       small files (1-4 KiB) for the copy and move comparisons (default 20000)
  --big-files N   files for the listing, re-count and peak-memory runs (default 100000)
  --undo-files N  empty files moved with --manifest and taken back with --undo
                  (default 1000000; 0 leaves the undo out)
  --rounds N      timed rounds per command, at least 5 (default 7)
  --build-dir DIR use DIR's programs if they exist, else build there
                  (default build-bench, always brought up to date)
  --scratch DIR   a file system to measure on (repeatable; default: /dev/shm
                  and bench/out in the repository); both tools always work on
                  the same one
EOF
}

files=20000
big_files=100000
undo_files=1000000
rounds=7
build_dir=
scratches=()
limit_copy=0.60
limit_copy_one_cpu=0.90
limit_move=1.00
limit_list=1.50
limit_recount_ms=5
limit_mib=16
limit_manifest=1.05
limit_undo_mib=64
limit_by_folder=1.00  # --subfolders --by-folder against cp -r of the same tree
limit_hard_links=1.50 # --link hard against cp -al (each link is recorded, checked and witnessed)

die() { printf 'bench: %s\n' "$*" >&2; exit 1; }
need_count() { [[ $2 =~ ^[1-9][0-9]*$ ]] || die "$1 wants a positive whole number, got '$2'"; }

while (($#)); do
  case $1 in
    --files)     need_count "$1" "${2-}"; files=$2; shift 2 ;;
    --big-files) need_count "$1" "${2-}"; big_files=$2; shift 2 ;;
    --undo-files) [[ ${2-} =~ ^[0-9]+$ ]] || die "--undo-files wants a whole number"; undo_files=$2; shift 2 ;;
    --rounds)    need_count "$1" "${2-}"; rounds=$2; shift 2 ;;
    --build-dir) [[ -n ${2-} ]] || die "--build-dir wants a folder"; build_dir=$2; shift 2 ;;
    --scratch)   [[ -n ${2-} ]] || die "--scratch wants a folder"; scratches+=("$2"); shift 2 ;;
    --scale)     exec "$(dirname -- "${BASH_SOURCE[0]}")/scale.sh" "${@:2}" ;;  # the scale table (bench/scale.sh)
    -h|--help)   usage; exit 0 ;;
    *)           usage >&2; exit 2 ;;
  esac
done
((rounds >= 5)) || die "--rounds must be at least 5"
if [[ -n $build_dir && $build_dir != /* ]]; then build_dir=$PWD/$build_dir; fi

repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$repo"
# shellcheck source=bench/common.sh
source "$repo/bench/common.sh"

# --- the programs -------------------------------------------------------------
bench_programs quillmarsh-batch quillmarsh-bench-recount
qm=$build_dir/quillmarsh-batch
recount=$build_dir/quillmarsh-bench-recount

if ((${#scratches[@]} == 0)); then
  [[ -d /dev/shm ]] && scratches+=(/dev/shm/quillmarsh-bench)
  scratches+=("$repo/bench/out")
fi
works=()
cleanup() { ((${#works[@]} == 0)) || rm -rf -- "${works[@]}"; }
trap cleanup EXIT
trap 'exit 130' INT TERM


# timed VAR RC COMMAND...: runs COMMAND, stores its wall time; aborts if it
# exits with anything but RC.
timed() {
  local out_var=$1 expect_rc=$2 t0 t1 rc=0
  shift 2
  now t0
  "$@" >"$work/last.out" 2>"$work/last.err" || rc=$?
  now t1
  if ((rc != expect_rc)); then
    cat -- "$work/last.err" >&2
    die "'$*' exited with $rc"
  fi
  printf -v "$out_var" '%s' "$(LC_ALL=C awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')"
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

# Outputs are set aside after each round (a rename) and deleted only when all
# timing is done: on ext4 a large deletion slows the file creations that
# follow it for about a minute.
set_aside() {
  local d
  for d in "$@"; do
    [[ -e $d ]] && mv -- "$d" "$work/graveyard/$(basename -- "$d").$RANDOM$RANDOM"
  done
  mkdir -p -- "$@"
}

# compare LABEL TOOL PREP CHECK QM_CMD... -- OTHER_CMD...: alternates the two
# commands for $rounds rounds (swapping which goes first), running PREP before
# each and CHECK WHO after each, untimed. One untimed warm-up of each comes
# first. quillmarsh must exit with $qm_rc, the tool with 0. Sets qm_median
# and other_median (wall seconds), qm_cpu and other_cpu (median user+system
# seconds, from the shell's `times`).
qm_rc=0
compare() {
  local label=$1 tool=$2 prep=$3 check=$4 i t who c0 c1
  local -a order
  shift 4
  local -a qm_cmd=() other_cmd=() qm_times=() other_times=() qm_cpus=() other_cpus=()
  while [[ $1 != -- ]]; do qm_cmd+=("$1"); shift; done
  shift
  other_cmd=("$@")
  for ((i = -1; i < rounds; i++)); do
    if ((i < 0 || i % 2 == 0)); then order=(qm other); else order=(other qm); fi
    for who in "${order[@]}"; do
      "$prep"
      children_cpu c0
      if [[ $who == qm ]]; then
        timed t "$qm_rc" "${qm_cmd[@]}"
        children_cpu c1
        ((i < 0)) || { qm_times+=("$t"); qm_cpus+=("$(LC_ALL=C awk -v a="$c0" -v b="$c1" 'BEGIN { print b - a }')"); }
      else
        timed t 0 "${other_cmd[@]}"
        children_cpu c1
        ((i < 0)) || { other_times+=("$t"); other_cpus+=("$(LC_ALL=C awk -v a="$c0" -v b="$c1" 'BEGIN { print b - a }')"); }
      fi
      "$check" "$who"
    done
    ((i < 0)) || printf '  %s round %d: quillmarsh %s s, %s %s s\n' \
      "$label" $((i + 1)) "${qm_times[-1]}" "$tool" "${other_times[-1]}" >&2
  done
  qm_median=$(median "${qm_times[@]}")
  other_median=$(median "${other_times[@]}")
  qm_cpu=$(median "${qm_cpus[@]}")
  other_cpu=$(median "${other_cpus[@]}")
}

# ratio_row LABEL TOOL QM OTHER LIMIT
ratio_row() {
  LC_ALL=C awk -v label="$1" -v tool="$2" -v a="$3" -v b="$4" -v lim="$5" 'BEGIN {
    r = a / b
    printf "%-26s quillmarsh %.3f s   %-4s %.3f s   ratio %.2f  (limit %.2f) %s\n",
      label, a, tool, b, r, lim, (r <= lim) ? "OK" : "OVER" }'
}

fresh_outputs() { set_aside "$work/outA" "$work/outB"; sync; }
fresh_move_source() {
  set_aside "$work/src"
  rmdir -- "$work/src"
  cp -al -- "$work/pristine" "$work/src"
  fresh_outputs
}
check_dealt() {
  if [[ $1 == qm ]]; then
    expect_share "$work/outA" src "$files"
  else
    [[ $(count_files "$work/outB") -eq $files ]] || die "the tool left the wrong number of files"
  fi
}
check_nothing() { :; }
check_both_dealt() {
  if [[ $1 == qm ]]; then
    [[ $(count_files "$work/outA/src_分发1") -eq $files && -s $work/outA/run.manifest ]] ||
      die "the run with --manifest left the wrong files"
  else
    expect_share "$work/outB" src "$files"
  fi
}

rows=()
for scratch in "${scratches[@]}"; do
  mkdir -p -- "$scratch"
  work=$(mktemp -d -- "$scratch/run.XXXXXX")
  works+=("$work")
  mkdir -- "$work/graveyard"
  fs=$(df --output=fstype -- "$work" | tail -n 1)
  where="$fs ($scratch)"
  echo "bench: on $where" >&2

  # --- copy -------------------------------------------------------------------
  echo "bench: creating $files files of 1-4 KiB" >&2
  make_files "$work/src" "$files" 1024 4096
  sync
  echo "bench: copy, $rounds rounds" >&2
  compare copy cp fresh_outputs check_dealt \
    "$qm" --import "$work/src" --export "$work/outA" --shares 1 --quiet --seed 1 -- \
    cp --preserve=mode,timestamps -r -- "$work/src/." "$work/outB/"
  rows+=("$(ratio_row "copy $files files" cp "$qm_median" "$other_median" "$limit_copy")  $where")

  # The same copy with both pinned to one CPU: the second copying thread
  # then has no core of its own, and what is compared is the work per file
  # (user and system time), not the parallelism.
  echo "bench: copy on one CPU, $rounds rounds" >&2
  compare copy1 cp fresh_outputs check_dealt \
    taskset -c 0 "$qm" --import "$work/src" --export "$work/outA" --shares 1 --quiet --seed 1 -- \
    taskset -c 0 cp --preserve=mode,timestamps -r -- "$work/src/." "$work/outB/"
  rows+=("$(ratio_row "copy on one CPU, CPU time" cp "$qm_cpu" "$other_cpu" "$limit_copy_one_cpu")  $where")

  # What recording the run costs: the same copy with and without --manifest.
  echo "bench: copy with --manifest, $rounds rounds" >&2
  compare manifest plain fresh_outputs check_both_dealt \
    "$qm" --import "$work/src" --export "$work/outA" --shares 1 --quiet --seed 1 --manifest "$work/outA/run.manifest" -- \
    "$qm" --import "$work/src" --export "$work/outB" --shares 1 --quiet --seed 1
  rows+=("$(ratio_row "copy with --manifest" plain "$qm_median" "$other_median" "$limit_manifest")  $where")

  # --- move -------------------------------------------------------------------
  mv -- "$work/src" "$work/pristine"
  echo "bench: move, $rounds rounds" >&2
  compare move mv fresh_move_source check_dealt \
    "$qm" --import "$work/src" --export "$work/outA" --shares 1 --move --quiet --seed 1 -- \
    find "$work/src" -maxdepth 1 -type f -exec mv -t "$work/outB" -- '{}' +
  rows+=("$(ratio_row "move $files files" mv "$qm_median" "$other_median" "$limit_move")  $where")

  # --- ways of dealing -----------------------------------------------------------
  # A tree of 100 folders: dealt folder by folder into 10 shares against a
  # copy of the tree, and by hard links against cp -al.
  echo "bench: creating $big_files files of 1-4 KiB in 100 folders" >&2
  for ((d = 0; d < 100; d++)); do make_files "$work/tree/class$d" $((big_files / 100)) 1024 4096; done
  sync
  tree_files=$(count_files "$work/tree")
  check_tree() {
    local out=$work/outA
    [[ $1 == qm ]] || out=$work/outB
    [[ $(count_files "$out") -eq $tree_files ]] || die "'$out' holds the wrong number of files"
  }
  echo "bench: --subfolders --by-folder, $rounds rounds" >&2
  compare by-folder "cp -r" fresh_outputs check_tree \
    "$qm" --import "$work/tree" --export "$work/outA" --subfolders --by-folder --shares 10 --quiet --seed 1 -- \
    cp --preserve=mode,timestamps -r -- "$work/tree/." "$work/outB/"
  rows+=("$(ratio_row "by folder, 100 folders" "cp" "$qm_median" "$other_median" "$limit_by_folder")  $where")
  echo "bench: --link hard, $rounds rounds" >&2
  compare hard-links "cp -al" fresh_outputs check_tree \
    "$qm" --import "$work/tree" --export "$work/outA" --subfolders --shares 10 --link hard --quiet --seed 1 -- \
    cp -al -- "$work/tree/." "$work/outB/"
  rows+=("$(ratio_row "hard links, 100 folders" "cp" "$qm_median" "$other_median" "$limit_hard_links")  $where")
  set_aside "$work/tree"

  # --- listing and re-count ---------------------------------------------------
  echo "bench: creating $big_files empty files" >&2
  make_files "$work/big" "$big_files" 0 0
  sync
  echo "bench: listing, $rounds rounds" >&2
  # A filter that matches nothing: the batch lists the folder, counts 0 and
  # stops (exit 2) without creating anything. The export folder is there, or
  # the batch would refuse it before listing anything.
  mkdir -p -- "$work/none"
  qm_rc=2
  compare list find check_nothing check_nothing \
    "$qm" --import "$work/big" --export "$work/none" --filter '*.zzz' --quiet -- \
    find "$work/big" -maxdepth 1 -iname '*.zzz'
  qm_rc=0
  [[ -z $(find "$work/none" -mindepth 1 -print -quit) ]] || die "a run without matching files created something"
  rows+=("$(ratio_row "list $big_files files" find "$qm_median" "$other_median" "$limit_list")  $where")

  recount_line=$("$recount" "$work/big" 20)
  recount_ms=$(sed -n 's/.*re-count median \([0-9.]*\) ms.*/\1/p' <<<"$recount_line")
  rows+=("$(LC_ALL=C awk -v ms="$recount_ms" -v lim="$limit_recount_ms" -v n="$big_files" 'BEGIN {
    printf "%-26s %.3f ms per keystroke (median of 120)  (limit %d ms) %s", "re-count " n " files", ms, lim, (ms < lim) ? "OK" : "OVER" }')  $where")
  # The same while the folder keeps changing: each keystroke reads it again.
  recount_line=$("$recount" "$work/big" 20 --changing)
  recount_ms=$(sed -n 's/.*re-count median \([0-9.]*\) ms.*/\1/p' <<<"$recount_line")
  rows+=("$(LC_ALL=C awk -v ms="$recount_ms" -v n="$big_files" 'BEGIN {
    printf "%-26s %.3f ms per keystroke (median of 120), the folder read again each time", "re-count " n " changing", ms }')  $where")

  # --- peak memory --------------------------------------------------------------
  big_cmd=("$qm" --import "$work/big" --export "$work/bigout" --shares 100 --quiet --seed 1)
  set_aside "$work/bigout"
  rc=0
  now t0
  /usr/bin/time -v -o "$work/time.txt" "${big_cmd[@]}" >"$work/last.out" 2>"$work/last.err" || rc=$?
  now t1
  ((rc == 0)) || { cat -- "$work/last.err" >&2; die "'${big_cmd[*]}' exited with $rc"; }
  peak_kib=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
  n=$(count_files "$work/bigout")
  ((n == big_files)) || die "'$work/bigout' holds $n files, expected $big_files"
  rows+=("$(LC_ALL=C awk -v kib="$peak_kib" -v a="$t0" -v b="$t1" -v n="$big_files" -v lim="$limit_mib" 'BEGIN {
    mib = kib / 1024
    printf "%-26s %.1f MiB, %.2f s  (limit %d MiB) %s", "peak memory " n " files", mib, b - a, lim, (mib < lim) ? "OK" : "OVER" }')  $where")

  # --- undo ---------------------------------------------------------------------
  # A move run of many files with --manifest, taken back with --undo: the
  # undo's time and peak memory, beside moving the files back with find and
  # mv. One round: a million files take a while to make.
  if ((undo_files > 0)); then
    echo "bench: creating $undo_files empty files for the undo" >&2
    set_aside "$work/undosrc" "$work/undoout" "$work/undoout2"
    make_files "$work/undosrc" "$undo_files" 0 0
    sync
    timed t_run 0 "$qm" --import "$work/undosrc" --export "$work/undoout" --shares 10 --move --quiet --seed 1 \
      --manifest "$work/undo.manifest"
    sync
    rc=0
    now t0
    /usr/bin/time -v -o "$work/time.txt" "$qm" --undo "$work/undo.manifest" --quiet >"$work/last.out" 2>"$work/last.err" || rc=$?
    now t1
    ((rc == 0)) || { cat -- "$work/last.err" >&2; die "the undo exited with $rc"; }
    n=$(count_files "$work/undosrc")
    ((n == undo_files)) || die "the undo put back $n files, expected $undo_files"
    [[ -z $(find "$work/undoout" -mindepth 1 -print -quit) ]] || die "the undo left share folders behind"
    undo_kib=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
    # The same files moved out by the run again, then back by hand.
    timed t_run2 0 "$qm" --import "$work/undosrc" --export "$work/undoout2" --shares 1 --move --quiet --seed 1
    timed t_back 0 find "$work/undoout2/undosrc_分发1" -maxdepth 1 -type f -exec mv -t "$work/undosrc" -- '{}' +
    rows+=("$(LC_ALL=C awk -v kib="$undo_kib" -v a="$t0" -v b="$t1" -v n="$undo_files" -v run="$t_run" -v back="$t_back" \
      -v lim="$limit_undo_mib" 'BEGIN {
      mib = kib / 1024; u = b - a
      printf "%-26s %.2f s, %.1f MiB (limit %d MiB) %s; the run %.2f s; find -exec mv back %.2f s (ratio %.2f)",
        "undo of a move, " n, u, mib, lim, (mib < lim) ? "OK" : "OVER", run, back, u / back }')  $where")
    set_aside "$work/undosrc" "$work/undoout" "$work/undoout2"
  fi
done

echo
echo "quillmarsh-batch: $qm"
printf '%s\n' "${rows[@]}"
