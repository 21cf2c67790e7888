#!/usr/bin/env bash
# Peak memory of velmora-cli over trees of many empty files: 1,000,000 files
# in 1,000 folders, and 100,000 files in one folder; and over 2,000 files of
# 64 KiB in one folder, the largest files read ahead of their turn (the
# password is one the names check, so no verifier hash adds its memory).
# Prints the peak RSS
# (from /usr/bin/time -v) of the encrypt run and of the decrypt run of each;
# the aim is at most 64 MiB for any tree.
#
#   bench/rss_bench.sh [path/to/velmora-cli] [work directory]
set -euo pipefail
cli=${1:-build/cli/velmora-cli}
work=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/velmora-rss-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"

# Folder $1 with $2 empty files.
fill() {
  mkdir -p "$1"
  (cd "$1" && seq -f "file%07g.txt" 1 "$2" | xargs touch)
}

# Prints "peak-RSS-MiB wall-seconds" of velmora-cli $1 on tree $2.
peak() {
  /usr/bin/time -v -o "$work/usage" "$cli" "$1" "$2" --password-stdin \
    <<< benchpass >/dev/null 2>&1 || { echo "velmora-cli $1 failed" >&2; exit 1; }
  awk -F': ' '/Maximum resident/ { rss = $2 }
              /Elapsed \(wall/ { wall = $2 }
              END { printf "%6.1f MiB  %s\n", rss / 1024, wall }' "$work/usage"
}

measure() {  # label, tree
  printf '%-44s encrypt %s\n' "$1" "$(peak encrypt "$2")"
  printf '%-44s decrypt %s\n' "$1" "$(peak decrypt "$2")"
}

echo "Creating 2,000 files of 64 KiB in one folder..." >&2
mkdir -p "$work/sized/only"
head -c 65536 /dev/urandom > "$work/one"
for f in $(seq -f "file%07g.txt" 1 2000); do cp "$work/one" "$work/sized/only/$f"; done
measure "2,000 files of 64 KiB in one folder" "$work/sized"
rm -rf "$work/sized"

echo "Creating 100,000 empty files in one folder..." >&2
fill "$work/flat/only" 100000
measure "100,000 empty files in one folder" "$work/flat"
rm -rf "$work/flat"

echo "Creating 1,000,000 empty files in 1,000 folders..." >&2
for d in $(seq -f "dir%04g" 1 1000); do fill "$work/deep/$d" 1000; done
measure "1,000,000 empty files in 1,000 folders" "$work/deep"
