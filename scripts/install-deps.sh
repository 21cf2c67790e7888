#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# only those that are missing. Needs root (or sudo) the first time.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n libxxhash-dev libsodium-dev
  fonts-noto-cjk
  xfsprogs btrfs-progs ntfs-3g fusefat dosfstools
  gettext locales
  appstream desktop-file-utils dpkg-dev man-db
  clang-format clang-tidy
  lintian zsh
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
# The locales the translation and output tests switch between, each with
# its character set as /etc/locale.gen names it.
locales=("en_US.UTF-8 UTF-8" "ja_JP.UTF-8 UTF-8" "de_DE.UTF-8 UTF-8" "ja_JP.EUC-JP EUC-JP")
missing_locales=()
for entry in "${locales[@]}"; do
  name=${entry% *}
  # locale -a spells "ja_JP.EUC-JP" as "ja_JP.eucjp".
  listed=$(echo "$name" | tr 'A-Z' 'a-z' | tr -d '-')
  if ! locale -a 2>/dev/null | tr 'A-Z' 'a-z' | tr -d '-' | grep -qx "$listed"; then
    missing_locales+=("$entry")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for entry in "${missing_locales[@]}"; do
  echo "Generating the locale ${entry% *}" >&2
  "${sudo_cmd[@]}" sed -i "s/^# *\($entry\)\$/\1/" /etc/locale.gen
  grep -qx "$entry" /etc/locale.gen ||
    echo "$entry" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
done
[ ${#missing_locales[@]} -eq 0 ] || "${sudo_cmd[@]}" locale-gen
