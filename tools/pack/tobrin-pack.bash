# Bash completion of tobrin-pack. The commands and each command's options are
# read from the packer's own --help, so they are always those it accepts.
_tobrin_pack() {
  local cur=${COMP_WORDS[COMP_CWORD]} packer=${COMP_WORDS[0]} command= i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in -*) ;; *) command=${COMP_WORDS[i]}; break ;; esac
  done
  local words
  if [[ -z $command && $cur != -* ]]; then
    words="$("$packer" --help 2>/dev/null | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p') help"
  elif [[ -z $command ]]; then
    words='--help --version'
  elif [[ $cur == -* ]]; then
    words=$("$packer" "$command" --help 2>/dev/null | grep -oE -- '(^|[ ,[])--?[A-Za-z][-A-Za-z]*' | tr -d ' ,[' | sort -u)
  else
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return
  fi
  mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}
complete -F _tobrin_pack tobrin-pack
