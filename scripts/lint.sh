#!/usr/bin/env bash
# Checks the product code's format (clang-format, .clang-format) and runs
# clang-tidy (.clang-tidy) over it; fails on any difference or finding.
# Needs a configured build folder for its compile commands (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
mapfile -t files < <(git ls-files 'engine/*.cc' 'engine/*.h' 'platform/*.cc' 'platform/*.h' \
  'state/*.cc' 'state/*.h' 'job/*.cc' 'job/*.h' 'ui/*.cc' 'ui/*.h' 'ui/qt/*.cc' 'ui/qt/*.h' \
  'cli/*.cc' 'cli/*.h')
clang-format --dry-run --Werror "${files[@]}"
mapfile -t units < <(printf '%s\n' "${files[@]}" | grep '\.cc$')
printf '%s\n' "${units[@]}" |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet \
    --extra-arg=-Wno-unknown-warning-option
