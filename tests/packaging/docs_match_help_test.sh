#!/bin/sh
# Every command and long option that the programs' --help lists is in the
# bash completion and has its entry in the manual page, and neither of them
# offers one the programs no longer take.
# Usage: docs_match_help_test.sh PACKAGING_DIR MARLIN [MARLIN_VIEWER]
set -eu
packaging=$1
marlin=$2
viewer=${3:-}
completion=$packaging/bash-completion/marlin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

# Fails unless the two sorted lists are the same, naming what each lacks.
same() { # what, expected-file, found-file, where
  if ! cmp -s "$2" "$3"; then
    missing=$(comm -23 "$2" "$3" | xargs)
    extra=$(comm -13 "$2" "$3" | xargs)
    fail "$1: ${missing:+not in $4: $missing}${missing:+${extra:+; }}${extra:+in $4 only: $extra}"
  fi
}

# A long option as the first word of a help line: "  -h,--help ...", "  --variant INT ...".
long_options() { sed -n 's/^  \(-[a-zA-Z],\)\{0,1\}\(--[a-z0-9-]*\).*/\2/p' | sort -u; }
# Those that take a value: a type follows the name after one blank, where a
# flag has its description or what it needs or excludes.
value_options() {
  sed -e '/^  \(-[a-zA-Z],\)\{0,1\}--[a-z0-9-]* \(Needs\|Excludes\):/d' \
    -n -e 's/^  \(-[a-zA-Z],\)\{0,1\}\(--[a-z0-9-]*\) [A-Z].*/\2/p' | sort -u
}
# The words of a completion list, one a line: `local NAME="..."` or `NAME) options="..." ;;`.
words() { tr ' ' '\n' | sed '/^$/d' | sort -u; }
# A man page's lines from the heading given (exactly) to the next heading.
section() { # page heading
  heading=$2 awk '$0 == ENVIRON["heading"] { on = 1; next } /^\.S[HS] / { on = 0 } on' "$1"
}
# The long option each .TP entry of a man page section is about.
entries() { awk 'after_tp { print } { after_tp = ($0 == ".TP") }' | sed 's/\\-/-/g' |
  sed -n 's/^[^-]*\(-[^-][^-]*\)*\(--[a-z0-9-]*\).*/\2/p' | sort -u; }

"$marlin" --help >"$work/help"
sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' "$work/help" | sort >"$work/commands"
[ -s "$work/commands" ] || fail "marlin --help lists no commands"
long_options <"$work/help" >"$work/global"

sed -n 's/^ *local commands="\(.*\)"$/\1/p' "$completion" | words >"$work/completion-commands"
same "the commands" "$work/commands" "$work/completion-commands" "the completion"
sed -n 's/^ *local global_options="\(.*\)"$/\1/p' "$completion" | words >"$work/completion-global"
same "marlin's own options" "$work/global" "$work/completion-global" "the completion"

man_page=$packaging/man/marlin.1
sed -n 's/^\.SS \([a-z\\-]*\)$/\1/p' "$man_page" | sed 's/\\-/-/g' | sort >"$work/man-commands"
same "the commands" "$work/commands" "$work/man-commands" "marlin.1"
section "$man_page" ".SH OPTIONS" | entries >"$work/man-global"
same "marlin's own options" "$work/global" "$work/man-global" "marlin.1"
# The options of every command that reads a recording are described once.
section "$man_page" '.SS "Options of the commands that read a recording"' | entries >"$work/man-shared"

# The option values completed instead of file names.
sed -n '/case \$prev in/,/esac/p' "$completion" >"$work/value-arms"

while read -r command; do
  "$marlin" "$command" --help >"$work/help-$command"
  long_options <"$work/help-$command" >"$work/options"
  sed -n "s/^ *$command) options=\"\\(.*\\)\" ;;\$/\\1/p" "$completion" | words >"$work/completion-options"
  same "marlin $command" "$work/options" "$work/completion-options" "the completion"

  for option in $(value_options <"$work/help-$command"); do
    grep -Eq -- "(^|[ |])$option( |\\)|\$)" "$work/value-arms" ||
      fail "marlin $command $option takes a value, but the completion would offer file names for it"
  done

  section "$man_page" ".SS $(echo "$command" | sed 's/-/\\-/g')" | entries | comm -23 - "$work/man-shared" >"$work/man-own"
  grep -vx -e --help "$work/options" | comm -23 - "$work/man-shared" >"$work/documented"
  same "marlin $command" "$work/documented" "$work/man-own" "marlin.1"
done <"$work/commands"

if [ -n "$viewer" ]; then
  "$viewer" --help | long_options >"$work/viewer"
  [ -s "$work/viewer" ] || fail "marlin-viewer --help lists no options"
  section "$packaging/man/marlin-viewer.1" ".SH OPTIONS" | entries >"$work/man-viewer"
  same "marlin-viewer" "$work/viewer" "$work/man-viewer" "marlin-viewer.1"
fi

# Both pages must read without roff warnings.
for page in "$packaging"/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z "$page" 2>&1) || fail "groff cannot read $page"
  [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
done

exit "$failed"
