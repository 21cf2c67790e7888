#!/usr/bin/env bash
# What the journal costs: whole runs of two velmora-cli builds side by side,
# alternating, on the same data, with the default (power-loss safe)
# settings. Prints the median of each over the rounds and their ratio.
#
#   bench/journal_bench.sh NEW_CLI [BASELINE_CLI] [rounds] [work directory]
#
# Work: a 256 MiB file, whole-file encrypt + decrypt; a tree of 20,000
# files of 1 KiB in 100 folders, encrypt + decrypt.
set -euo pipefail
new=$1
old=${2:-}
rounds=${3:-5}
work=${4:-${TMPDIR:-/tmp}}/velmora-journal-bench.$$
mkdir -p "$work"
export XDG_STATE_HOME="$work/state"
trap 'rm -rf "$work"' EXIT

# Runs encrypt then decrypt of $2 with CLI $1; prints the wall seconds.
round_trip() {
  local cli=$1 dir=$2 start end
  start=$(date +%s.%N)
  echo benchpass | "$cli" encrypt "$dir" --password-stdin --whole >/dev/null 2>&1
  echo benchpass | "$cli" decrypt "$dir" --password-stdin >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

measure() {  # label, directory
  local label=$1 dir=$2 new_times="" old_times=""
  for _ in $(seq 1 "$rounds"); do
    new_times+="$(round_trip "$new" "$dir")"$'\n'
    [ -n "$old" ] && old_times+="$(round_trip "$old" "$dir")"$'\n'
  done
  local n o
  n=$(printf '%s' "$new_times" | median)
  if [ -n "$old" ]; then
    o=$(printf '%s' "$old_times" | median)
    printf '%-44s %8s s %8s s %7s\n' "$label" "$n" "$o" \
      "$(awk -v a="$n" -v b="$o" 'BEGIN { printf "%.2fx", a / b }')"
  else
    printf '%-44s %8s s\n' "$label" "$n"
  fi
}

echo "Writing a 256 MiB file and a tree of 20,000 files..." >&2
mkdir -p "$work/big" "$work/tree"
head -c $((256 * 1048576)) /dev/urandom > "$work/big/data.bin"
head -c 1024 /dev/urandom > "$work/one"
for d in $(seq 1 100); do
  mkdir "$work/tree/dir$d"
  for f in $(seq 1 200); do cp "$work/one" "$work/tree/dir$d/file$f.txt"; done
done
sync

printf '%-44s %10s %10s %7s\n' "encrypt + decrypt (median of $rounds)" "new" "baseline" "ratio"
measure "256 MiB file, whole-file" "$work/big"
measure "20,000 files of 1 KiB in 100 folders" "$work/tree"
