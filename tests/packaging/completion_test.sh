#!/bin/bash
# The completion's answers as bash gives them at a Tab: commands, options
# after the command only, option values, and file names for the arguments.
# Usage: completion_test.sh COMPLETION_SCRIPT
set -u
framework=/usr/share/bash-completion/bash_completion
if [ ! -r "$framework" ]; then
  echo "FAIL: $framework is missing: scripts/bootstrap.sh installs bash-completion"
  exit 1
fi
# shellcheck source=/dev/null
. "$framework"
# shellcheck source=/dev/null
. "$1"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir shots
touch sample.QKV notes.txt

failed=0
# expect LINE ANSWER: the sorted answers to a Tab at the end of LINE.
expect() {
  COMP_LINE=$1
  COMP_POINT=${#1}
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _marlin marlin "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local answer
  answer=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
  if [[ ${answer% } != "$2" ]]; then
    echo "FAIL: '$1' completes to '${answer% }', not '$2'"
    failed=1
  fi
}

expect "marlin ma" "make-sample"
expect "marlin --verbose ex" "export"
expect "marlin --ver" "--verbose --version"
expect "marlin export --no" "--no-audio --no-stamp"
expect "marlin --verbose play sample.QKV --avi-c" "--avi-codec"
expect "marlin export sample.QKV --codec " "ffv1 h264 mjpeg mpeg4 raw"
expect "marlin serve-dvr sample.QKV --fault d" "ddns-bad-magic ddns-silent drop"
expect "marlin frames sample.QKV --from " ""
expect "marlin play s" "sample.QKV shots"
expect "marlin decode sample.QKV --out s" "shots"
expect "marlin disks " ""
expect "marlin bogus --" ""

exit "$failed"
