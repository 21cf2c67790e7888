#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there.
# Usage: install_test.sh CMAKE BUILD_DIR VERSION
set -euo pipefail
cmake_command=$1 build_dir=$2 version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake_command" --install "$build_dir" --prefix "$prefix" >/dev/null

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

expected=(
  bin/velmora-cli
  share/man/man1/velmora-cli.1
  share/man/man1/velmora.1
  share/bash-completion/completions/velmora-cli
  share/metainfo/org.velmora.Velmora.metainfo.xml
  share/icons/hicolor/scalable/apps/velmora.svg
  share/locale/en/LC_MESSAGES/velmora.mo
  share/doc/velmora/LICENSE
  share/doc/velmora/CHANGELOG.md
)
if [ -f "$build_dir/ui/qt/velmora" ]; then
  expected+=(
    bin/velmora
    share/applications/velmora.desktop
    share/icons/hicolor/16x16/apps/velmora.png
    share/icons/hicolor/32x32/apps/velmora.png
  )
fi
for file in "${expected[@]}"; do
  [ -s "$prefix/$file" ] || fail "missing $file"
done
[ -x "$prefix/bin/velmora-cli" ] || fail "velmora-cli is not executable"

# The installed program finds its catalogue and carries the build's version.
"$prefix/bin/velmora-cli" --version | grep -qx "velmora-cli $version" ||
  fail "velmora-cli --version does not say $version"
LANGUAGE= LC_ALL=en_US.UTF-8 "$prefix/bin/velmora-cli" --help |
  grep -q '^Usage: velmora-cli' || fail "installed --help is not English"

desktop=$prefix/share/applications/velmora.desktop
if [ -f "$desktop" ]; then
  grep -qx 'MimeType=inode/directory;' "$desktop" ||
    fail "the desktop entry does not offer itself on folders"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
  fi
fi
metainfo=$prefix/share/metainfo/org.velmora.Velmora.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" ||
  fail "metainfo does not name release $version"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >/dev/null ||
    fail "appstreamcli validate"
fi
bash -n "$prefix/share/bash-completion/completions/velmora-cli" ||
  fail "the completion is not valid bash"
if command -v groff >/dev/null; then
  for page in velmora velmora-cli; do
    warnings=$(groff -man -ww -z "$prefix/share/man/man1/$page.1" 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
  done
fi
grep -q "\"Velmora $version\"" "$prefix/share/man/man1/velmora-cli.1" ||
  fail "the man page does not carry version $version"

[ "$failures" -eq 0 ]
