#!/bin/bash
# Run inside the test chroot: loads the installed bash completion as an interactive shell would
# and prints, for each command line given (its words, the last one being completed), one line with
# the sorted completions.
source /usr/share/bash-completion/bash_completion
_completion_loader velmoractl
for line in "$@"; do
  read -ra COMP_WORDS <<< "$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _velmoractl velmoractl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
  echo
done
