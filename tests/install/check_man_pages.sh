#!/usr/bin/env bash
# check_man_pages.sh TOOL MANDIR
# The batch tool's manual page must follow its --help: every option --help
# lists is described and no other, and every range ("1 to 200") and default
# --help gives appears in the page. Both pages must format without warnings.
set -euo pipefail
tool=$1 mandir=$2

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
command -v groff >/dev/null || { echo "FAIL: groff is missing (scripts/install-deps.sh installs groff-base)" >&2; exit 1; }

for page in "$mandir/calmora-denoise.1" "$mandir/calmora.1"; do
  [ -f "$page" ] || { fail "$page is missing"; continue; }
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1 || true)
  [ -z "$warnings" ] || fail "$page formats with warnings: $warnings"
done
[ -f "$mandir/calmora-denoise.1" ] || exit 1

help=$("$tool" --help)
page=$(groff -man -Tutf8 -P-cbou -rHY=0 -rLL=500n "$mandir/calmora-denoise.1" | tr -s ' \n' '  ')

options() { grep -oE -- '(^|[ ,(])--?[a-z][a-z-]*' | sed 's/^[ ,(]//' | sort -u; }
help_options=$(printf '%s\n' "$help" | grep -E '^ +-' | options)
page_options=$(printf '%s\n' "$page" | options)
[ -n "$help_options" ] || fail "no options found in --help"
missing=$(comm -23 <(printf '%s\n' "$help_options") <(printf '%s\n' "$page_options"))
extra=$(comm -13 <(printf '%s\n' "$help_options") <(printf '%s\n' "$page_options"))
[ -z "$missing" ] || fail "the manual page does not describe: $(echo $missing)"
[ -z "$extra" ] || fail "the manual page names options --help does not have: $(echo $extra)"

flat_help=$(printf '%s\n' "$help" | tr -s ' \n' '  ')
while read -r fact; do
  [ -n "$fact" ] || continue
  case $page in
    *"$fact"*) ;;
    *) fail "the manual page does not say '$fact' as --help does" ;;
  esac
done < <(printf '%s\n' "$flat_help" | grep -oE '[0-9]+ to [0-9]+|default [0-9]+' | sort -u)

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "manual pages follow --help: $(printf '%s\n' "$help_options" | wc -l) options"
