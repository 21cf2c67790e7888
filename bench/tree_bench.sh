#!/usr/bin/env bash
# Whole runs of velmora-cli next to cp -a of the same data on the same disk:
# a tree of 20,000 small files (also with the progress line on a terminal),
# and one 1 GiB file.
#
#   bench/tree_bench.sh [path/to/velmora-cli] [work directory]
set -euo pipefail
cli=${1:-build/cli/velmora-cli}
work=${2:-${TMPDIR:-/tmp}}/velmora-tree-bench.$$
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

seconds() {  # runs "$@", prints the wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}

on_terminal() {  # runs a shell command line on a pseudo-terminal (script(1))
  TERM=xterm script -qec "$1" /dev/null
}

echo "Building a tree of 20,000 files of 1 KiB in 100 directories..." >&2
mkdir -p "$work/tree"
head -c 1024 /dev/urandom > "$work/one"
for d in $(seq 1 100); do
  mkdir "$work/tree/dir$d"
  for f in $(seq 1 200); do cp "$work/one" "$work/tree/dir$d/file$f.txt"; done
done
sync

printf '%-34s %8s\n' "operation" "seconds"
printf '%-34s %8s\n' "cp -a tree" "$(seconds cp -a "$work/tree" "$work/tree-copy")"
rm -rf "$work/tree-copy"
printf '%-34s %8s\n' "velmora-cli encrypt tree" \
  "$(seconds sh -c "echo benchpass | '$cli' encrypt '$work/tree' --password-stdin")"
printf '%-34s %8s\n' "velmora-cli decrypt tree" \
  "$(seconds sh -c "echo benchpass | '$cli' decrypt '$work/tree' --password-stdin")"
# The same with stderr on a terminal, where the progress line is drawn.
printf '%-34s %8s\n' "  encrypt, progress line drawn" "$(seconds on_terminal \
  "echo benchpass | '$cli' encrypt '$work/tree' --password-stdin")"
printf '%-34s %8s\n' "  decrypt, progress line drawn" "$(seconds on_terminal \
  "echo benchpass | '$cli' decrypt '$work/tree' --password-stdin")"
rm -rf "$work/tree"

echo "Writing a 1 GiB file..." >&2
mkdir -p "$work/big"
head -c 1073741824 /dev/urandom > "$work/big/data.bin"
sync
printf '%-34s %8s\n' "cp -a 1 GiB file" "$(seconds cp -a "$work/big" "$work/big-copy")"
rm -rf "$work/big-copy"
printf '%-34s %8s\n' "velmora-cli encrypt 1 GiB file" \
  "$(seconds sh -c "echo benchpass | '$cli' encrypt '$work/big' --password-stdin")"
printf '%-34s %8s\n' "velmora-cli decrypt 1 GiB file" \
  "$(seconds sh -c "echo benchpass | '$cli' decrypt '$work/big' --password-stdin")"
