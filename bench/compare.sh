#!/usr/bin/env bash
# velmora-cli next to what the same work costs without it, in one run:
#
#   256 MiB file, whole-file encrypt + decrypt (1020-unit password)
#     against cp of the file to a new file, twice, and against the floor:
#     one thread of pread / cipher / pwrite over the file, twice; and the
#     same with a 16-unit password, which the file's name checks in full,
#     so that no password verifier is hashed (the transform alone);
#   20,000 files of 1 KiB in 100 folders, encrypt + decrypt
#     against the floor: one thread renaming every entry and rewriting its
#     bytes in place, twice; and the same with an 8-unit password, which
#     the tree's longest name checks in full (no verifier hashed).
#
# Every figure is the median of alternating rounds (each started after a
# sync, with everything in the page cache), with the default power-loss
# safe settings. Peak RSS is the largest of the velmora-cli processes.
#
#   bench/compare.sh [-r rounds] [-b BASELINE_CLI] [-w work-dir] [BUILD_DIR]
#
# BUILD_DIR (default build) holds cli/velmora-cli and bench/velmora_floor;
# BASELINE_CLI is another velmora-cli to measure alongside, e.g. a build of
# an older commit.
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
for program in "$cli" "$floor" ${baseline:+"$baseline"}; do
  [ -x "$program" ] || { echo "missing: $program" >&2; exit 2; }
done

work=$(mktemp -d "$work_parent/velmora-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"
password_units=1020
printf 'p%.0s' $(seq 1 $password_units) > "$work/password"
printf 'p%.0s' $(seq 1 16) > "$work/password16"
printf 'p%.0s' $(seq 1 8) > "$work/password8"  # "file200.txt" checks it
big_name=data-of-256-MiB-with-a-long-name.bin  # longer than 16 units

echo "Writing a 256 MiB file and a tree of 20,000 files of 1 KiB..." >&2
mkdir -p "$work/big" "$work/tree"
head -c $((256 * 1048576)) /dev/urandom > "$work/big/$big_name"
head -c 1024 /dev/urandom > "$work/one"
for d in $(seq 1 100); do
  mkdir "$work/tree/dir$d"
  for f in $(seq 1 200); do cp "$work/one" "$work/tree/dir$d/file$f.txt"; done
done

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

# encrypt then decrypt of folder $2 with velmora-cli $1.
round_trip() {
  "$1" encrypt "$2" --password-stdin --whole < "$work/password" &&
    "$1" decrypt "$2" --password-stdin < "$work/password"
}
round_trip16() {
  "$1" encrypt "$2" --password-stdin --whole < "$work/password16" &&
    "$1" decrypt "$2" --password-stdin < "$work/password16"
}
round_trip8() {
  "$1" encrypt "$2" --password-stdin --whole < "$work/password8" &&
    "$1" decrypt "$2" --password-stdin < "$work/password8"
}
copy_twice() {
  cp "$work/big/$big_name" "$work/copy1" && cp "$work/big/$big_name" "$work/copy2"
}
floor_file() {
  "$floor" file "$work/big/$big_name" $password_units &&
    "$floor" file "$work/big/$big_name" $password_units --decrypt
}
floor_tree() { "$floor" tree "$work/tree" && "$floor" tree "$work/tree"; }
export -f round_trip round_trip16 round_trip8 copy_twice floor_file floor_tree
export work floor password_units big_name

for round in $(seq 1 "$rounds"); do
  echo "round $round of $rounds" >&2
  timed "$work/big.new" bash -c 'round_trip "$0" "$work/big"' "$cli"
  timed "$work/big16.new" bash -c 'round_trip16 "$0" "$work/big"' "$cli"
  [ -n "$baseline" ] && timed "$work/big.old" bash -c 'round_trip "$0" "$work/big"' "$baseline"
  timed "$work/big.cp" bash -c copy_twice
  rm -f "$work/copy1" "$work/copy2"
  timed "$work/big.floor" bash -c floor_file
  timed "$work/tree.new" bash -c 'round_trip "$0" "$work/tree"' "$cli"
  timed "$work/tree8.new" bash -c 'round_trip8 "$0" "$work/tree"' "$cli"
  [ -n "$baseline" ] && timed "$work/tree.old" bash -c 'round_trip "$0" "$work/tree"' "$baseline"
  timed "$work/tree.floor" bash -c floor_tree
done

# Median of column $2 of file $1.
median() {
  sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }

cp_s=$(median "$work/big.cp" 1)
floor_s=$(median "$work/big.floor" 1)
tree_floor_s=$(median "$work/tree.floor" 1)
printf '\n%-48s %8s %8s %9s %8s %8s\n' "median of $rounds rounds" "wall s" "cpu s" "peak RSS" "vs cp" "vs floor"
row() {  # label, file, cp reference or -, floor reference
  local wall cpu rss
  wall=$(median "$2" 1)
  cpu=$(median "$2" 2)
  rss=$(sort -n -k3 "$2" | tail -1 | awk '{ printf "%d MiB", $3 / 1024 }')
  printf '%-48s %8s %8s %9s %8s %8s\n' "$1" "$wall" "$cpu" "$rss" \
    "$([ "$3" = - ] && echo - || ratio "$wall" "$3")" "$(ratio "$wall" "$4")"
}
row "256 MiB file: velmora-cli encrypt + decrypt" "$work/big.new" "$cp_s" "$floor_s"
row "256 MiB file: the same, no verifier hashed" "$work/big16.new" "$cp_s" "$floor_s"
[ -n "$baseline" ] && row "256 MiB file: baseline encrypt + decrypt" "$work/big.old" "$cp_s" "$floor_s"
row "256 MiB file: cp to a new file, twice" "$work/big.cp" "$cp_s" "$floor_s"
row "256 MiB file: floor (1 thread), twice" "$work/big.floor" "$cp_s" "$floor_s"
row "20,000 files: velmora-cli encrypt + decrypt" "$work/tree.new" - "$tree_floor_s"
row "20,000 files: the same, no verifier hashed" "$work/tree8.new" - "$tree_floor_s"
[ -n "$baseline" ] && row "20,000 files: baseline encrypt + decrypt" "$work/tree.old" - "$tree_floor_s"
row "20,000 files: floor (1 thread), twice" "$work/tree.floor" - "$tree_floor_s"
