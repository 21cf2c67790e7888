#!/usr/bin/env bash
# velmora-cli next to what the same work costs without it, in one run:
#
#   256 MiB file, whole-file encrypt + decrypt, 8-unit password (the file's
#     name checks it in full, so no verifier is hashed), against the floor:
#     one thread of pread / cipher / pwrite over the file, twice; and cp of
#     the file to a new file, twice, so that the machine's balance is known;
#   20,000 files of 1 KiB in 100 folders, encrypt + decrypt, 8-unit
#     password, against the floor: one thread renaming every entry and
#     rewriting its bytes in place, twice; and against the same with the
#     kernel calls a careful run makes besides (a status pass first, the
#     file looked at again before and after the write, its times put
#     back): ten calls per file instead of six.
#
# The floor flushes nothing, so the ratios to it are taken with the
# journal's flushes off (VELMORA_SYNC=0: the journal and its order stay);
# the flushes' own cost is the default run beside the same with them off,
# shown with fdatasync's latency on this disk. Then the large file on 1, 2
# and all cores and with one `yes >/dev/null` beside it; a run's fixed
# cost (20 files, 1020-unit password, which the verifier's Argon2id hashes
# on encryption and checks on decryption); the transform's speed beside
# memcpy of the same buffer (bench/velmora_bench); and, with strace, the
# futex waits of one large-file run.
#
# Every figure is the median of alternating rounds (each started after a
# sync, with everything in the page cache). Peak RSS is the largest of the
# velmora-cli processes.
#
#   bench/compare.sh [-r rounds] [-b BASELINE_CLI] [-w work-dir] [BUILD_DIR]
#
# BUILD_DIR (default build) holds cli/velmora-cli, bench/velmora_floor and
# bench/velmora_bench; BASELINE_CLI is another velmora-cli to measure
# alongside (encrypt + decrypt of both data sets, flushes off), e.g. a
# build of an older commit.
set -euo pipefail
rounds=5
baseline=
work_parent=${TMPDIR:-/tmp}
while getopts "r:b:w:" opt; do
  case $opt in
    r) rounds=$OPTARG ;;
    b) baseline=$OPTARG ;;
    w) work_parent=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build=${1:-build}
cli=$build/cli/velmora-cli
floor=$build/bench/velmora_floor
bench=$build/bench/velmora_bench
for program in "$cli" "$floor" ${baseline:+"$baseline"}; do
  [ -x "$program" ] || { echo "missing: $program" >&2; exit 2; }
done
cores=$(nproc)

work=$(mktemp -d "$work_parent/velmora-compare.XXXXXX")
yes_pid=
cleanup() {
  [ -z "$yes_pid" ] || kill "$yes_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_STATE_HOME="$work/state"
printf 'p%.0s' $(seq 1 1020) > "$work/password1020"
printf 'p%.0s' $(seq 1 8) > "$work/password8"  # "file200.txt" checks it
big_name=data-of-256-MiB-with-a-long-name.bin

echo "Writing a 256 MiB file, a tree of 20,000 files of 1 KiB and one of 20..." >&2
mkdir -p "$work/big" "$work/tree" "$work/small"
head -c $((256 * 1048576)) /dev/urandom > "$work/big/$big_name"
head -c 1024 /dev/urandom > "$work/one"
mkdir "$work/tree/dir1"
for f in $(seq 1 200); do cp "$work/one" "$work/tree/dir1/file$f.txt"; done
for d in $(seq 2 100); do cp -r "$work/tree/dir1" "$work/tree/dir$d"; done
for f in $(seq 1 20); do cp "$work/one" "$work/small/f$f"; done

# Runs "$@" after a sync; appends "wall cpu rss" (s, s, KiB) to file $1.
timed() {
  local out=$1; shift
  sync
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f "%U %S %M" -o "$work/usage" "$@" >/dev/null 2>&1 ||
    { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s%N)
  read -r user system rss < "$work/usage"
  awk -v ns=$((end - start)) -v u="$user" -v s="$system" -v m="$rss" \
    'BEGIN { printf "%.3f %.2f %d\n", ns / 1e9, u + s, m }' >> "$out"
}

# round_trip CLI FOLDER [SYNC]: encrypt then decrypt, 8-unit password;
# flushes off unless SYNC is 1.
round_trip() {
  VELMORA_SYNC=${3:-0} "$1" encrypt "$2" --password-stdin --whole < "$work/password8" &&
    VELMORA_SYNC=${3:-0} "$1" decrypt "$2" --password-stdin < "$work/password8"
}
one_way() {  # one_way CLI OPERATION FOLDER: 1020-unit password, flushes on
  "$1" "$2" "$3" --password-stdin --whole < "$work/password1020"
}
copy_twice() {
  cp "$work/big/$big_name" "$work/copy1" && cp "$work/big/$big_name" "$work/copy2"
}
floor_file() {
  "$floor" file "$work/big/$big_name" 8 && "$floor" file "$work/big/$big_name" 8 --decrypt
}
floor_tree() { "$floor" tree "$work/tree" $1 && "$floor" tree "$work/tree" $1; }
export -f round_trip one_way copy_twice floor_file floor_tree
export work floor big_name

for round in $(seq 1 "$rounds"); do
  echo "round $round of $rounds" >&2
  timed "$work/big.new" bash -c 'round_trip "$0" "$work/big"' "$cli"
  timed "$work/big.floor" bash -c floor_file
  timed "$work/big.sync" bash -c 'round_trip "$0" "$work/big" 1' "$cli"
  [ -n "$baseline" ] && timed "$work/big.old" bash -c 'round_trip "$0" "$work/big"' "$baseline"
  timed "$work/big.cp" bash -c copy_twice
  rm -f "$work/copy1" "$work/copy2"
  timed "$work/big.1core" taskset -c 0 bash -c 'round_trip "$0" "$work/big"' "$cli"
  if [ "$cores" -gt 2 ]; then
    timed "$work/big.2cores" taskset -c 0,1 bash -c 'round_trip "$0" "$work/big"' "$cli"
  fi
  yes >/dev/null &
  yes_pid=$!
  timed "$work/big.busy" bash -c 'round_trip "$0" "$work/big"' "$cli"
  timed "$work/big.floor-busy" bash -c floor_file
  kill "$yes_pid"
  wait "$yes_pid" 2>/dev/null || true
  yes_pid=
  timed "$work/tree.new" bash -c 'round_trip "$0" "$work/tree"' "$cli"
  timed "$work/tree.floor" bash -c floor_tree
  timed "$work/tree.checked" bash -c 'floor_tree --checked'
  timed "$work/tree.sync" bash -c 'round_trip "$0" "$work/tree" 1' "$cli"
  [ -n "$baseline" ] && timed "$work/tree.old" bash -c 'round_trip "$0" "$work/tree"' "$baseline"
  timed "$work/small.encrypt" bash -c 'one_way "$0" encrypt "$work/small"' "$cli"
  timed "$work/small.decrypt" bash -c 'one_way "$0" decrypt "$work/small"' "$cli"
done

# Median of column $2 of file $1.
median() {
  sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }

cp_s=$(median "$work/big.cp" 1)
floor_s=$(median "$work/big.floor" 1)
tree_floor_s=$(median "$work/tree.floor" 1)
tree_checked_s=$(median "$work/tree.checked" 1)
printf '\n%-50s %8s %8s %9s %8s\n' "median of $rounds rounds" "wall s" "cpu s" "peak RSS" "ratio"
row() {  # label, file, reference wall time or -, what the ratio is to
  local wall cpu rss
  wall=$(median "$2" 1)
  cpu=$(median "$2" 2)
  rss=$(sort -n -k3 "$2" | tail -1 | awk '{ printf "%d MiB", $3 / 1024 }')
  printf '%-50s %8s %8s %9s %8s %s\n' "$1" "$wall" "$cpu" "$rss" \
    "$([ "$3" = - ] && echo - || ratio "$wall" "$3")" "${4:-}"
}
big_s=$(median "$work/big.new" 1)
tree_s=$(median "$work/tree.new" 1)
echo "256 MiB file, encrypt + decrypt, 8-unit password"
row "  cp to a new file, twice" "$work/big.cp" - ""
row "  floor (1 thread), twice" "$work/big.floor" - ""
row "  velmora-cli, flushes off (goal 1: <= 1.2x)" "$work/big.new" "$floor_s" "of the floor"
[ -n "$baseline" ] && row "  baseline, flushes off" "$work/big.old" "$floor_s" "of the floor"
row "  velmora-cli, flushes on (goal 3: <= 1.25x)" "$work/big.sync" "$big_s" "of flushes off"
row "  velmora-cli, flushes off, 1 core" "$work/big.1core" "$big_s" "of all cores"
[ "$cores" -gt 2 ] && row "  velmora-cli, flushes off, 2 cores" "$work/big.2cores" "$big_s" \
  "of all cores"
echo "  (all cores: $cores)"
row "  velmora-cli, one yes beside (goal 5: <= 2x)" "$work/big.busy" "$big_s" "of idle"
row "  floor, one yes beside" "$work/big.floor-busy" "$floor_s" "of idle"
echo "20,000 files of 1 KiB, encrypt + decrypt, 8-unit password"
row "  floor (1 thread), twice" "$work/tree.floor" - ""
row "  floor with a careful run's calls, twice" "$work/tree.checked" "$tree_floor_s" "of the floor"
row "  velmora-cli, flushes off (goal 2: <= 1.1x)" "$work/tree.new" "$tree_floor_s" "of the floor"
row "  velmora-cli, flushes off" "$work/tree.new" "$tree_checked_s" "of the careful floor"
[ -n "$baseline" ] && row "  baseline, flushes off" "$work/tree.old" "$tree_floor_s" "of the floor"
row "  velmora-cli, flushes on (goal 3: <= 1.15x)" "$work/tree.sync" "$tree_s" "of flushes off"
echo "20 files, 1020-unit password, flushes on (goal 6: <= 0.3 s each)"
row "  velmora-cli encrypt" "$work/small.encrypt" - ""
row "  velmora-cli decrypt" "$work/small.decrypt" - ""

echo
"$floor" fsync "$work" 64
if [ -x "$bench" ]; then
  echo
  echo "The transform beside memcpy of the same buffer (goal 4):"
  TMPDIR=$work "$bench" --benchmark_filter='BM_TransformBuffer/|BufferOf' \
    --benchmark_min_time=0.2 2>/dev/null |
    awk '/^BM_/ { print "  " $1, $(NF) }'
fi
if command -v strace >/dev/null; then
  echo
  echo "futex calls of one large-file encrypt, all threads (goal 5):"
  for sync in 0 1; do
    VELMORA_SYNC=$sync strace -f -c -w -e trace=futex -o "$work/strace" \
      "$cli" encrypt "$work/big" --password-stdin --whole < "$work/password8" >/dev/null 2>&1
    awk -v s=$sync '$NF == "futex" { printf "  flushes %s: %s calls, %s s\n",
      s == 1 ? "on " : "off", $4, $2 }' "$work/strace"
    "$cli" decrypt "$work/big" --password-stdin < "$work/password8" >/dev/null 2>&1
  done
fi
