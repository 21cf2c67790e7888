# bash completion for velmora-cli

_velmora_cli() {
  local cur prev words cword
  _init_completion -s || return

  case $prev in
    --on-problem)
      COMPREPLY=($(compgen -W 'ask skip abort' -- "$cur"))
      return ;;
    --password-file)
      _filedir
      return ;;
    --password-fd | --extensions)
      return ;;
  esac
  # "--on-problem=..." arrives split at '=' (-s above).
  $split && return

  local i command= ended=
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --) ended=1 ;;
      encrypt | decrypt | open) [[ -z $command ]] && command=${words[i]} ;;
    esac
  done

  if [[ $cur == -* && -z $ended ]]; then
    COMPREPLY=($(compgen -W '--yes --trust-password --on-problem= --password-stdin
      --password-file= --password-fd= --whole --extensions= --help
      --version' -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W 'encrypt decrypt open' -- "$cur"))
    return
  fi
  _filedir -d
} &&
  complete -F _velmora_cli velmora-cli
