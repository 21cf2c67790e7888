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
  share/man/man1/velmora-cli.1.gz
  share/bash-completion/completions/velmora-cli
  share/zsh/vendor-completions/_velmora-cli
  share/fish/vendor_completions.d/velmora-cli.fish
  share/locale/en/LC_MESSAGES/velmora.mo
  share/doc/velmora-cli/copyright
  share/doc/velmora-cli/changelog.gz
)
if [ -f "$build_dir/ui/qt/velmora" ]; then
  expected+=(
    bin/velmora
    share/man/man1/velmora.1.gz
    share/applications/velmora.desktop
    share/metainfo/org.velmora.Velmora.metainfo.xml
    share/icons/hicolor/scalable/apps/velmora.svg
    share/icons/hicolor/16x16/apps/velmora.png
    share/icons/hicolor/32x32/apps/velmora.png
    share/icons/hicolor/48x48/apps/velmora.png
    share/kio/servicemenus/velmora.desktop
    share/nemo/actions/velmora.nemo_action
    share/file-manager/actions/velmora.desktop
    share/doc/velmora/copyright
    share/doc/velmora/changelog.gz
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
  # Offered on folders through the file managers' actions, never as the
  # handler of every folder.
  ! grep -q '^MimeType=' "$desktop" || fail "the desktop entry claims a MIME type"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
  fi
fi
metainfo=$prefix/share/metainfo/org.velmora.Velmora.metainfo.xml
[ ! -f "$metainfo" ] || grep -q "<release version=\"$version\"" "$metainfo" ||
  fail "metainfo does not name release $version"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >/dev/null ||
    fail "appstreamcli validate"
fi
bash -n "$prefix/share/bash-completion/completions/velmora-cli" ||
  fail "the completion is not valid bash"
if command -v zsh >/dev/null; then
  zsh -n "$prefix/share/zsh/vendor-completions/_velmora-cli" || fail "zsh completion"
fi
if command -v fish >/dev/null; then
  fish -n "$prefix/share/fish/vendor_completions.d/velmora-cli.fish" || fail "fish completion"
fi
zcat "$prefix/share/doc/velmora-cli/changelog.gz" | head -1 |
  grep -q "^velmora ($version) " || fail "the changelog does not start with $version"
if command -v groff >/dev/null; then
  for page in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
  done
fi
zcat "$prefix/share/man/man1/velmora-cli.1.gz" | grep -q "\"Velmora $version\"" ||
  fail "the man page does not carry version $version"

# The uninstall target takes back every file it put there.
"$cmake_command" --build "$build_dir" --target uninstall >/dev/null || fail "uninstall"
left=$(find "$prefix" -type f)
[ -z "$left" ] || fail "left after uninstall: $left"

[ "$failures" -eq 0 ]
