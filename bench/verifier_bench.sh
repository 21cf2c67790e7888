#!/usr/bin/env bash
# What the password verifier adds to a run: velmora-cli runs on small and
# larger trees, median wall time of several, with a fresh state folder.
#
# An encryption hashes its password (Argon2id, 64 MiB, 2 passes) on a helper
# thread beside its walk. A decryption of short names hashes before the walk
# (it must refuse before anything changes); one with a name as long as the
# password hashes nothing. Given a second velmora-cli built without
# verifiers, the same runs of it are shown beside.
#
#   bench/verifier_bench.sh [velmora-cli] [baseline velmora-cli] [runs]
set -euo pipefail
cli=${1:-build/cli/velmora-cli}
base=${2:-}
runs=${3:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-verifier-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
password='a long pass phrase'  # 18 units: longer than every short name

median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }

# make_tree DIR FILES BYTES [LONG]: FILES files of BYTES bytes in folders of
# 100, short names; LONG adds one name longer than the password.
make_tree() {
  rm -rf "$1"; mkdir -p "$1"
  head -c "$3" /dev/urandom > "$work/one"
  for ((i = 0; i < $2; i++)); do
    mkdir -p "$1/d$((i / 100))"
    cp "$work/one" "$1/d$((i / 100))/f$i"
  done
  [ -z "${4:-}" ] || cp "$work/one" "$1/a name longer than the password"
}

# timed PROGRAM COMMAND DIR: seconds of one run
timed() {
  local start end
  start=$(date +%s.%N)
  local trust=--trust-password
  [ "$1" != "$base" ] || trust=--yes  # it knows no such option
  echo "$password" | "$1" "$2" "$3" --password-stdin "$trust" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}

# row LABEL FILES BYTES LONG COMMAND: median of |runs| runs of COMMAND
row() {
  local label=$1 files=$2 bytes=$3 long=$4 command=$5 program result=()
  for program in "$cli" ${base:+"$base"}; do
    local times=()
    for ((r = 0; r < runs; r++)); do
      rm -rf "$XDG_STATE_HOME"
      make_tree "$work/tree" "$files" "$bytes" "$long"
      if [ "$command" = decrypt ]; then
        # Encrypted by this program, so that a verifier is on record.
        echo "$password" | "$program" encrypt "$work/tree" --password-stdin >/dev/null 2>&1
      fi
      times+=("$(timed "$program" "$command" "$work/tree")")
    done
    result+=("$(printf '%s\n' "${times[@]}" | median)")
  done
  printf '%-46s %10s %10s\n' "$label" "${result[0]}" "${result[1]:--}"
}

printf '%-46s %10s %10s\n' "run (median of $runs, seconds)" "verifier" "baseline"
row "encrypt 20 files of 1 KiB" 20 1024 "" encrypt
row "encrypt 2,000 files of 16 KiB" 2000 16384 "" encrypt
row "decrypt 20 files, short names (hash)" 20 1024 "" decrypt
row "decrypt 2,000 files, short names (hash)" 2000 16384 "" decrypt
row "decrypt 20 files + one long name (no hash)" 20 1024 long decrypt
row "decrypt 2,000 files + one long name (no hash)" 2000 16384 long decrypt
