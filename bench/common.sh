# Shared by bench/run.sh and bench/scale.sh (sourced): making the test
# files, and the clocks. The functions that write scratch files use $work.

# make_files DIR COUNT [MINSIZE MAXSIZE]: COUNT files of MINSIZE..MAXSIZE
# bytes (empty without sizes), with names of 44 bytes such as a camera or an
# export tool writes them. The folder lists them newest first, far from name
# order.
make_files() {
  python3 - "$1" "$2" "${3:-0}" "${4:-0}" <<'PY'
import os, random, sys
folder, count, minsize, maxsize = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
os.makedirs(folder, exist_ok=True)
rng = random.Random(1)
# Sizes past 8 KiB need a longer text; up to 8 KiB the files stay as before.
text = bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz \n") for _ in range(max(8192, maxsize + 1)))
for i in range(count):
    name = "IMG_2024%02d%02d_%06d_%06d_expo_%08x.jpg" % (i % 12 + 1, i % 28 + 1, i % 240000, i, rng.getrandbits(32))
    assert len(name) == 44, name
    fd = os.open(os.path.join(folder, name), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    if maxsize:
        size = rng.randint(minsize, maxsize)
        start = rng.randrange(len(text) - size)
        os.write(fd, text[start:start + size])
    os.close(fd)
PY
}

# now VAR: wall-clock seconds with microseconds, no fork.
now() {
  local t=${EPOCHREALTIME:-}
  [[ -n $t ]] || t=$(date +%s.%N)
  printf -v "$1" '%s' "${t/,/.}"
}

# children_cpu VAR: seconds of CPU time (user and system) of all the
# children this shell has waited for, to the millisecond (the `times`
# builtin, which must run in this shell, not in a subshell).
children_cpu() {
  times >"$work/times.txt"
  printf -v "$1" '%s' "$(LC_ALL=C awk 'NR == 2 {
    t = 0
    for (i = 1; i <= 2; i++) { split($i, p, "m"); t += p[1] * 60 + p[2] }
    printf "%.3f", t }' "$work/times.txt")"
}

# stats VALUES...: "median min max"
stats() {
  printf '%s\n' "$@" | LC_ALL=C sort -g | LC_ALL=C awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    print m, v[1], v[NR] }'
}

# median VALUES...
median() { stats "$@" | cut -d' ' -f1; }

# bench_programs TARGET...: the Release build in $build_dir (default
# build-bench in the repository, which is always brought up to date; a
# build named by --build-dir is used as it is when it has the programs, and
# only its missing ones are built, with its own settings: a developer's
# build is never configured over).
bench_programs() {
  build_dir=${build_dir:-$repo/build-bench}
  local target missing=0
  for target in "$@"; do [[ -x $build_dir/$target ]] || missing=1; done
  if ((missing)) || [[ $build_dir == "$repo/build-bench" ]]; then
    if [[ $build_dir == "$repo/build-bench" || ! -f $build_dir/build.ninja ]]; then
      cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DQM_BUILD_TESTS=OFF -DQM_BUILD_QT=OFF >/dev/null
    fi
    ninja -C "$build_dir" "$@" >/dev/null
  fi
  for target in "$@"; do [[ -x $build_dir/$target ]] || die "no runnable $target in '$build_dir'"; done
}
