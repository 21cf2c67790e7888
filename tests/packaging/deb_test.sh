#!/usr/bin/env bash
# Builds the Debian package and checks its contents and dependencies.
# Skipped (77) where cpack or dpkg-deb is not there.
# Usage: deb_test.sh CPACK BUILD_DIR VERSION
set -euo pipefail
cpack_command=$1 build_dir=$2 version=$3
if [ ! -x "$cpack_command" ] || ! command -v dpkg-deb >/dev/null ||
   ! command -v dpkg-shlibdeps >/dev/null; then
  echo "cpack, dpkg-deb or dpkg-shlibdeps missing: skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build_dir" && "$cpack_command" -G DEB -B "$work" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  exit 1
}
shopt -s nullglob
debs=("$work"/velmora_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one .deb" >&2; exit 1; }
deb=${debs[0]}

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libsodium23; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
contents=$(dpkg-deb -c "$deb")
expected=(
  ./usr/bin/velmora-cli
  ./usr/share/man/man1/velmora-cli.1
  ./usr/share/man/man1/velmora.1
  ./usr/share/bash-completion/completions/velmora-cli
  ./usr/share/metainfo/org.velmora.Velmora.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/velmora.svg
  ./usr/share/locale/en/LC_MESSAGES/velmora.mo
)
if [ -f "$build_dir/ui/qt/velmora" ]; then
  expected+=(./usr/bin/velmora ./usr/share/applications/velmora.desktop)
  [[ $depends == *libqt6widgets6* ]] || fail "Depends lacks Qt: $depends"
fi
for file in "${expected[@]}"; do
  grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
done
[ "$failures" -eq 0 ]
