#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"

if [ -x build/ui/qt/velmora ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/ui/qt/velmora "$@"
fi
if [ -x build/ui/qt/velmora ]; then
  echo "No display found: the desktop program needs X11 or Wayland." >&2
  echo "Use the terminal front end instead: build/cli/velmora-cli --help" >&2
fi
if [ -x build/cli/velmora-cli ]; then
  exec build/cli/velmora-cli "${@:---help}"
fi
echo "Nothing to start yet." >&2; exit 1
