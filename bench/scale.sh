#!/usr/bin/env bash
# How quillmarsh-batch scales with the number of files: 10,000 and 100,000
# files (and 1,000,000 with --million) of one folder on tmpfs, each size
# against the plain tools doing the same job, in alternating rounds. Prints
# per-file times, their growth against 100,000 files, the ratio to the
# tools, the CPU time and the peak memory, each with its spread (min-max over
# the rounds).
# It prints numbers and OK/OVER; it never fails on a limit (exit 1 only
# when a run fails or leaves the wrong result).
#
# A row of the table is five shell functions named after it (see the dry
# run below); to add a row, write them and add its name to `row_names`.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/scale.sh [--million] [--rounds N] [--build-dir DIR] [--scratch DIR]...
  --million       also 1,000,000 files (about a minute to create, 45 MB of names)
  --rounds N      timed rounds per command and size, at least 5 (default 7)
  --build-dir DIR use DIR's quillmarsh-batch if it exists, else build there
                  (default build-bench, always brought up to date)
  --scratch DIR   a file system to measure on (repeatable; default /dev/shm)
EOF
}

sizes=(10000 100000)
rounds=7
rss_rounds=5
build_dir=
scratches=()
reference=100000     # growth is the per-file time against this size's
limit_growth=1.15
limit_mib_100k=16
limit_mib_1m=72

die() { printf 'scale: %s\n' "$*" >&2; exit 1; }
need_count() { [[ $2 =~ ^[1-9][0-9]*$ ]] || die "$1 wants a positive whole number, got '$2'"; }

while (($#)); do
  case $1 in
    --million)   sizes+=(1000000); shift ;;
    --rounds)    need_count "$1" "${2-}"; rounds=$2; shift 2 ;;
    --build-dir) [[ -n ${2-} ]] || die "--build-dir wants a folder"; build_dir=$2; shift 2 ;;
    --scratch)   [[ -n ${2-} ]] || die "--scratch wants a folder"; scratches+=("$2"); shift 2 ;;
    -h|--help)   usage; exit 0 ;;
    *)           usage >&2; exit 2 ;;
  esac
done
((rounds >= 5)) || die "--rounds must be at least 5"
if [[ -n $build_dir && $build_dir != /* ]]; then build_dir=$PWD/$build_dir; fi
[[ -x /usr/bin/time ]] || die "GNU time is missing (apt-get install -y time)"

repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$repo"
# shellcheck source=bench/common.sh
source "$repo/bench/common.sh"

bench_programs quillmarsh-batch
qm=$build_dir/quillmarsh-batch

((${#scratches[@]} > 0)) || scratches=(/dev/shm/quillmarsh-scale)
works=()
cleanup() { ((${#works[@]} == 0)) || rm -rf -- "${works[@]}"; }
trap cleanup EXIT
trap 'exit 130' INT TERM


# Outputs are set aside (a rename) and deleted only when all timing is done:
# on ext4 a large deletion slows the file creations that follow it.
# tmpfs runs out of inodes (a million files a round) long before it runs out
# of room, and a deletion there costs nothing later: it deletes at once.
set_aside() {
  local d
  for d in "$@"; do
    [[ -e $d ]] || continue
    if [[ $fs == tmpfs ]]; then
      rm -rf -- "$d"
    else
      mv -- "$d" "$work/graveyard/$(basename -- "$d").$RANDOM$RANDOM"
    fi
  done
  return 0
}

# --- the rows ------------------------------------------------------------------
# ROW_label          prints the row's title
# ROW_prep WHO       untimed, before every command (WHO is qm or peer): sets
#                    outputs aside, prepares what the command works on
# ROW_qm             sets cmd: the quillmarsh-batch command (timed, and run
#                    again for its CPU time and peak memory)
# ROW_peer           sets cmd: the plain tools' command (a shell function
#                    may stand for a pipeline); its output goes to /dev/null
# ROW_check WHO      untimed, after every command (WHO is qm or peer)
# All may use $src (the N files), $n and $work.
row_names=(dry copy move undo_move undo_copy)

# The dry run deals nothing: it reads the folder, orders it, draws and
# prints the plan; `find | shuf` reads the folder and prints it shuffled.
dry_label() { echo "dry run (--shares 10 --dry-run --seed 1) against find | shuf"; }
# Its export folder is there (the batch refuses a missing one) and stays empty.
dry_prep() { mkdir -p -- "$work/dry-out"; }
dry_qm() { cmd=("$qm" --import "$src" --export "$work/dry-out" --shares 10 --dry-run --seed 1); }
find_shuf() { find "$1" -maxdepth 1 -type f | shuf; }
dry_peer() { cmd=(find_shuf "$src"); }
dry_check() { [[ -z $(find "$work/dry-out" -mindepth 1 -print -quit) ]] || die "a dry run created something"; }
# Once per size, untimed: the plan has a line per file.
dry_verify() {
  local lines
  dry_prep
  lines=$("$qm" --import "$src" --export "$work/dry-out" --shares 10 --dry-run --seed 1 | wc -l)
  ((lines == n + 1)) || die "the dry run printed $lines lines for $n files"
}

# A copy into 10 shares against the idiom people use without a tool: the
# names shuffled, cut into 10 lists, each copied into its folder by xargs cp.
copy_label() { echo "copy (--shares 10 --seed 1) against find | shuf | split | xargs cp"; }
copy_prep() { set_aside "$work/out" "$work/msrc" && mkdir -- "$work/out"; }
copy_qm() { cmd=("$qm" --import "$src" --export "$work/out" --shares 10 --quiet --seed 1); }
shuf_split_cp() {
  local lists=$work/lists i
  rm -rf -- "$lists"
  mkdir -p -- "$lists"
  find "$1" -maxdepth 1 -type f -print0 | shuf -z | split -n r/10 -t '\0' - "$lists/part."
  i=0
  for part in "$lists"/part.*; do
    i=$((i + 1))
    mkdir -p -- "$2/share$i"
    xargs -0 -r cp --preserve=mode,timestamps -t "$2/share$i" -- <"$part"
  done
}
copy_peer() { cmd=(shuf_split_cp "$src" "$work/out"); }
# expect_files DIR COUNT WHAT: DIR holds COUNT files, or the script stops
# saying WHAT and how many it found.
expect_files() {
  local got
  got=$(find "$1" -type f | wc -l)
  ((got == $2)) || die "$3: $got files, expected $2"
}
copy_check() { expect_files "$work/out" "$n" "the $1 copy"; }

# A move into 10 shares against find -exec mv into one folder; the source is
# rebuilt from hard links of the files before each command (untimed).
move_label() { echo "move (--shares 10 --move --seed 1) against find -exec mv"; }
fresh_source() {
  set_aside "$work/out" "$work/msrc"
  mkdir -- "$work/out"
  cp -al -- "$src" "$work/msrc"
}
move_prep() { fresh_source; }
move_qm() { cmd=("$qm" --import "$work/msrc" --export "$work/out" --shares 10 --move --quiet --seed 1); }
move_peer() {
  mkdir -p -- "$work/out"
  cmd=(find "$work/msrc" -maxdepth 1 -type f -exec mv -t "$work/out" -- '{}' +)
}
move_check() { expect_files "$work/msrc" 0 "what the $1 move left behind"; }

# Taking a move back: --undo of the run's manifest against moving the files
# back with find -exec mv. Before each command the files are moved out again
# (untimed), by quillmarsh with a manifest for the undo, by mv for the peer.
undo_move_label() { echo "undo of a move (--undo) against find -exec mv back"; }
undo_move_prep() {
  fresh_source
  rm -f -- "$work/run.manifest"
  if [[ $1 == qm ]]; then
    "$qm" --import "$work/msrc" --export "$work/out" --shares 10 --move --quiet --seed 1 \
      --manifest "$work/run.manifest" >/dev/null || die "the move run before the undo failed"
  else
    mkdir -p -- "$work/out"
    find "$work/msrc" -maxdepth 1 -type f -exec mv -t "$work/out" -- '{}' +
  fi
}
undo_move_qm() { cmd=("$qm" --undo "$work/run.manifest" --quiet); }
undo_move_peer() { cmd=(find "$work/out" -type f -exec mv -t "$work/msrc" -- '{}' +); }
undo_move_check() { expect_files "$work/msrc" "$n" "what the $1 undo put back"; }

# Taking a copy back: --undo (which compares every copy with its source
# before it deletes it) against rm -r of the copies.
undo_copy_label() { echo "undo of a copy (--undo) against rm -r of the shares"; }
undo_copy_prep() {
  set_aside "$work/out" "$work/msrc"
  mkdir -- "$work/out"
  rm -f -- "$work/run.manifest"
  if [[ $1 == qm ]]; then
    "$qm" --import "$src" --export "$work/out" --shares 10 --quiet --seed 1 --manifest "$work/run.manifest" >/dev/null
  else
    "$qm" --import "$src" --export "$work/out" --shares 10 --quiet --seed 1 >/dev/null
  fi || die "the copy run before the undo failed"
}
undo_copy_qm() { cmd=("$qm" --undo "$work/run.manifest" --quiet); }
undo_copy_peer() { cmd=(rm -r -- "$work/out"); }
undo_copy_check() {
  [[ -z $(find "$work/out" -type f -print -quit 2>/dev/null) ]] || die "the $1 undo left copies behind"
}

# --- measuring ----------------------------------------------------------------
# timed VAR COMMAND...: wall seconds of COMMAND, output to /dev/null; aborts
# when it fails.
timed() {
  local out_var=$1 t0 t1 rc=0
  shift
  now t0
  "$@" >/dev/null 2>"$work/last.err" || rc=$?
  now t1
  ((rc == 0)) || { cat -- "$work/last.err" >&2; die "'$*' exited with $rc"; }
  printf -v "$out_var" '%s' "$(LC_ALL=C awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')"
}

# measure ROW: one untimed warm-up of each command, then $rounds rounds
# alternating which goes first; per-round ratios; then the CPU time and the
# peak memory of quillmarsh over $rss_rounds more runs. Sets qm_stats,
# peer_stats, ratio_stats, cpu_stats (median min max; times per file in µs)
# and rss_stats (MiB).
measure() {
  local row=$1 i who t
  local -a order qm_us=() peer_us=() ratios=() cpu_us=() rss=()
  local c0 c1
  for ((i = -1; i < rounds; i++)); do
    if ((i < 0 || i % 2 == 0)); then order=(qm peer); else order=(peer qm); fi
    local qt= pt=
    for who in "${order[@]}"; do
      "${row}_prep" "$who"
      "${row}_$who"
      sync
      timed t "${cmd[@]}"
      "${row}_check" "$who"
      if [[ $who == qm ]]; then qt=$t; else pt=$t; fi
    done
    ((i >= 0)) || continue
    qm_us+=("$(LC_ALL=C awk -v t="$qt" -v n="$n" 'BEGIN { printf "%.4f", t * 1e6 / n }')")
    peer_us+=("$(LC_ALL=C awk -v t="$pt" -v n="$n" 'BEGIN { printf "%.4f", t * 1e6 / n }')")
    ratios+=("$(LC_ALL=C awk -v a="$qt" -v b="$pt" 'BEGIN { printf "%.4f", a / b }')")
    printf '  %s %d files round %d: quillmarsh %s s, peer %s s\n' "$row" "$n" $((i + 1)) "$qt" "$pt" >&2
  done
  for ((i = 0; i < rss_rounds; i++)); do
    "${row}_prep" qm
    "${row}_qm"
    children_cpu c0
    /usr/bin/time -f '%M' -o "$work/rss.txt" "${cmd[@]}" >/dev/null 2>"$work/last.err" ||
      { cat -- "$work/last.err" >&2; die "'${cmd[*]}' exited with an error"; }
    children_cpu c1
    "${row}_check" qm
    rss+=("$(LC_ALL=C awk '{ printf "%.2f", $1 / 1024 }' "$work/rss.txt")")
    cpu_us+=("$(LC_ALL=C awk -v a="$c0" -v b="$c1" -v n="$n" 'BEGIN { printf "%.4f", (b - a) * 1e6 / n }')")
  done
  qm_stats=$(stats "${qm_us[@]}")
  peer_stats=$(stats "${peer_us[@]}")
  ratio_stats=$(stats "${ratios[@]}")
  cpu_stats=$(stats "${cpu_us[@]}")
  rss_stats=$(stats "${rss[@]}")
}

lines=()
for scratch in "${scratches[@]}"; do
  mkdir -p -- "$scratch"
  work=$(mktemp -d -- "$scratch/scale.XXXXXX")
  works+=("$work")
  mkdir -- "$work/graveyard"
  fs=$(df --output=fstype -- "$work" | tail -n 1)
  where="$fs ($scratch)"
  for n in "${sizes[@]}"; do
    src=$work/files-$n
    echo "scale: creating $n empty files on $where" >&2
    make_files "$src" "$n"
    sync
    for row in "${row_names[@]}"; do
      ! declare -F "${row}_verify" >/dev/null || "${row}_verify"
      measure "$row"
      lines+=("$row|$n|$qm_stats|$peer_stats|$ratio_stats|$cpu_stats|$rss_stats|$where")
      # Told at once as well: a long run that stops later keeps its figures.
      printf 'scale: %s %d files: µs/file %s; peer %s; ratio %s; CPU µs/file %s; RSS MiB %s\n' \
        "$row" "$n" "$qm_stats" "$peer_stats" "$ratio_stats" "$cpu_stats" "$rss_stats" >&2
    done
    # tmpfs counts every name against its inode limit: a size's files go
    # before the next size's are made.
    set_aside "$work/out" "$work/msrc"
    [[ $fs != tmpfs ]] || rm -rf -- "$src"
  done
done

# --- the table -----------------------------------------------------------------
# Growth is a size's per-file figure against the same figure at $reference
# files; its spread sets the fastest round of one size against the slowest of
# the other.
echo
echo "quillmarsh-batch: $qm; $rounds timed rounds and $rss_rounds CPU and memory runs per size (median, min-max)"
for row in "${row_names[@]}"; do
  echo
  "${row}_label"
  printf '%-8s %-21s %-21s %-21s %-18s %-21s %-21s %s\n' files "µs/file" "growth vs $reference" "peer µs/file" \
    "ratio to peer" "CPU µs/file" "CPU growth" "peak RSS MiB"
  for line in "${lines[@]}"; do
    IFS='|' read -r r n q p ratio cpu rss where <<<"$line"
    [[ $r == "$row" ]] || continue
    ref_q= ref_cpu=
    for l in "${lines[@]}"; do
      IFS='|' read -r r2 n2 q2 _ _ cpu2 _ w2 <<<"$l"
      [[ $r2 == "$row" && $n2 == "$reference" && $w2 == "$where" ]] && { ref_q=$q2; ref_cpu=$cpu2; }
    done
    LC_ALL=C awk -v n="$n" -v q="$q" -v p="$p" -v ratio="$ratio" -v cpu="$cpu" -v rss="$rss" -v rq="$ref_q" \
      -v rcpu="$ref_cpu" -v where="$where" -v lg="$limit_growth" -v l100k="$limit_mib_100k" -v l1m="$limit_mib_1m" '
      function spread(s, digits,   v) { split(s, v, " "); return sprintf("%." digits "f (%." digits "f-%." digits "f)", v[1], v[2], v[3]) }
      function growth(s, ref,   v, w, g) {
        if (ref == "") return "-"
        split(s, v, " "); split(ref, w, " ")
        g = sprintf("%.2f (%.2f-%.2f)", v[1] / w[1], v[2] / w[3], v[3] / w[2])
        if (n > 100000) g = g ((v[1] / w[1] <= lg) ? " OK" : " OVER")
        return g
      }
      BEGIN {
        split(rss, m, " ")
        mem = spread(rss, 1)
        if (n == 100000) mem = mem sprintf(" <%d %s", l100k, (m[3] < l100k) ? "OK" : "OVER")
        if (n == 1000000) mem = mem sprintf(" <%d %s", l1m, (m[3] < l1m) ? "OK" : "OVER")
        printf "%-8d %-21s %-21s %-21s %-18s %-21s %-21s %s  %s\n", n, spread(q, 3), growth(q, rq), spread(p, 3),
          spread(ratio, 2), spread(cpu, 3), growth(cpu, rcpu), mem, where
      }'
  done
done
