#!/bin/sh
# Fails when the manual page leaves out a command, a subcommand or an option
# that "ixoAgent --help" or a command's own --help lists.
#
# usage: checkManPage.sh IXOAGENT MANUAL_PAGE
set -eu
agent=$1
page=$2
# The page with troff's escaped hyphens undone; each command is the tag of
# an entry of its own (a line after .TP that begins with it in bold).
source=$(sed -e 's/\\-/-/g' "$page")
tags=$(printf '%s\n' "$source" | sed -n '/^\.TP/{n;p}' | sed -e 's/\\f[BIRP]//g')
text=$(printf '%s\n' "$source" | sed -e 's/\\f[BIRP]//g')
missing=0
# The names under "Commands:" of a --help text, up to the next blank line.
commandsOf() { printf '%s\n' "$1" | sed -n '/^Commands:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'; }
optionsOf() { printf '%s\n' "$1" | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u; }

help=$("$agent" --help)
commands=$(commandsOf "$help")
[ -n "$commands" ] || { echo "no commands in ixoAgent --help"; exit 1; }
options=$(optionsOf "$help")
count=0
for command in $commands; do
  own=$("$agent" "$command" --help)
  options="$options $(optionsOf "$own")"
  subcommands=$(commandsOf "$own")
  # A command with subcommands is described by one entry per subcommand.
  for entry in ${subcommands:-""}; do
    name=$(echo "$command $entry" | sed 's/ $//')
    count=$((count + 1))
    printf '%s\n' "$tags" | grep -Eq "^(\\.B )?$name( |\$)" || {
      echo "the manual page does not describe the command '$name'"
      missing=1
    }
    [ -z "$entry" ] || options="$options $(optionsOf "$("$agent" "$command" "$entry" --help)")"
  done
done
options=$(printf '%s\n' $options | sort -u)
for option in $options; do
  printf '%s\n' "$text" | grep -qF -- "$option" || {
    echo "the manual page does not mention the option '$option'"
    missing=1
  }
done
[ $missing -eq 0 ] && echo "the manual page covers $count commands and $(echo $options | wc -w) options"
exit $missing
