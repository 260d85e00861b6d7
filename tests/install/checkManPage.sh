#!/bin/sh
# Fails when the manual page leaves out a command or an option that
# "ixoAgent --help" lists.
#
# usage: checkManPage.sh IXOAGENT MANUAL_PAGE
set -eu
agent=$1
page=$2
help=$("$agent" --help)
# The page with troff's escaped hyphens undone; each command is the tag of
# an entry of its own (a line after .TP that begins with it in bold).
source=$(sed -e 's/\\-/-/g' "$page")
tags=$(printf '%s\n' "$source" | sed -n '/^\.TP/{n;p}')
text=$(printf '%s\n' "$source" | sed -e 's/\\f[BIRP]//g')
missing=0
commands=$(printf '%s\n' "$help" | sed -n '/^Commands:/,/^Options:/p' | sed -n 's/^  \([a-z][a-z-]*\).*/\1/p')
[ -n "$commands" ] || { echo "no commands in ixoAgent --help"; exit 1; }
for command in $commands; do
  printf '%s\n' "$tags" | grep -Eq "^(\\.B $command\$|\\\\fB$command( |\\\\fR))" || {
    echo "the manual page does not describe the command '$command'"
    missing=1
  }
done
options=$(printf '%s\n' "$help" | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u)
for option in $options; do
  printf '%s\n' "$text" | grep -qF -- "$option" || {
    echo "the manual page does not mention the option '$option'"
    missing=1
  }
done
[ $missing -eq 0 ] && echo "the manual page covers $(echo $commands | wc -w) commands and $(echo $options | wc -w) options"
exit $missing
