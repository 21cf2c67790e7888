#!/usr/bin/env bash
# The manual page and --help name the same options and commands, in English
# and in Japanese.
# Usage: man_help_test.sh VELMORA_CLI MAN_PAGE
set -euo pipefail
program=$1 page=$2

words() { grep -oE -- '(^|[^a-z-])(--?[a-zA-Z][a-z-]*|encrypt|decrypt|open)' |
  sed -E 's/^[^-a-z]//' | sort -u; }
in_page=$(sed 's/\\-/-/g; s/\\f[BIR]//g' "$page" | grep -vE '^\.(TH|SH NAME)' | words)
status=0
for locale in C en_US.UTF-8; do
  in_help=$(LANGUAGE= LC_ALL=$locale "$program" --help | words)
  if [ "$in_help" != "$in_page" ]; then
    echo "FAIL under $locale: --help and the man page differ:" >&2
    diff <(echo "$in_help") <(echo "$in_page") >&2 || true
    status=1
  fi
done
exit $status
