#!/bin/sh
# Fails when the manual page leaves out a command, a subcommand or an option
# that "ixoAgent --help" or a command's own --help lists.
#
# usage: checkManPage.sh IXOAGENT MANUAL_PAGE
set -eu
agent=$1
# The page with troff's escaped hyphens and font changes undone; each command
# is the tag of an entry of its own (the line after a .TP).
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$2")
tags=$(printf '%s\n' "$text" | sed -n '/^\.TP/{n;p}')
missing=0
# The names under "Commands:" of a --help text, up to the next blank line.
commandsOf() { printf '%s\n' "$1" | sed -n '/^Commands:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'; }
optionsOf() { printf '%s\n' "$1" | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u; }
absent() { echo "the manual page does not $1"; missing=1; }

help=$("$agent" --help)
commands=$(commandsOf "$help")
[ -n "$commands" ] || { echo "no commands in ixoAgent --help"; exit 1; }
options=$(optionsOf "$help")
for command in $commands; do
  own=$("$agent" "$command" --help)
  options="$options $(optionsOf "$own")"
  subcommands=$(commandsOf "$own")
  # A command with subcommands is described by one entry per subcommand.
  for entry in ${subcommands:-""}; do
    name=$(echo "$command $entry" | sed 's/ $//')
    printf '%s\n' "$tags" | grep -Eq "^(\\.B )?$name( |\$)" || absent "describe the command '$name'"
    [ -z "$entry" ] || options="$options $(optionsOf "$("$agent" "$command" "$entry" --help)")"
  done
done
for option in $(printf '%s\n' $options | sort -u); do
  printf '%s\n' "$text" | grep -qF -- "$option" || absent "mention the option '$option'"
done
[ $missing -eq 0 ] && echo "the manual page covers every command, subcommand and option"
exit $missing
