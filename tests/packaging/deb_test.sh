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
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# velmora-cli: the terminal program and what both share, no Qt.
cli_deb=$(echo "$work"/velmora-cli_*.deb)
[ -f "$cli_deb" ] || { echo "FAIL: no velmora-cli package" >&2; exit 1; }
[ "$(dpkg-deb -f "$cli_deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$cli_deb" Depends)
for library in libc6 libstdc++6 libsodium23; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
[[ $depends != *qt* ]] || fail "velmora-cli depends on Qt: $depends"
contents=$(dpkg-deb -c "$cli_deb")
for file in ./usr/bin/velmora-cli ./usr/share/man/man1/velmora-cli.1.gz \
  ./usr/share/bash-completion/completions/velmora-cli \
  ./usr/share/locale/en/LC_MESSAGES/velmora.mo ./usr/share/doc/velmora-cli/copyright \
  ./usr/share/doc/velmora-cli/changelog.gz; do
  grep -q " $file\$" <<<"$contents" || fail "velmora-cli lacks $file"
done
debs=("$cli_deb")

# velmora: the desktop program, on top of velmora-cli.
if [ -f "$build_dir/ui/qt/velmora" ]; then
  deb=$(echo "$work"/velmora_*.deb)
  [ -f "$deb" ] || { echo "FAIL: no velmora package" >&2; exit 1; }
  depends=$(dpkg-deb -f "$deb" Depends)
  [[ $depends == *"velmora-cli (= $version)"* ]] || fail "velmora lacks velmora-cli: $depends"
  [[ $depends == *libqt6widgets6* ]] || fail "Depends lacks Qt: $depends"
  contents=$(dpkg-deb -c "$deb")
  for file in ./usr/bin/velmora ./usr/share/applications/velmora.desktop \
    ./usr/share/man/man1/velmora.1.gz ./usr/share/doc/velmora/copyright; do
    grep -q " $file\$" <<<"$contents" || fail "velmora lacks $file"
  done
  ! grep -q " ./usr/bin/velmora-cli\$" <<<"$contents" || fail "velmora-cli in both packages"
  debs+=("$deb")
fi

# lintian, where it is installed: nothing but the default maintainer's mail
# host, which a packager sets with VELMORA_MAINTAINER.
if command -v lintian >/dev/null; then
  findings=$(lintian --tag-display-limit 0 "${debs[@]}" 2>&1 | grep -E '^[EW]: ' |
    grep -v 'bogus-mail-host' || true)
  [ -z "$findings" ] || fail "lintian: $findings"
fi
[ "$failures" -eq 0 ]
