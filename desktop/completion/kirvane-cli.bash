# bash completion for kirvane-cli
_kirvane_cli() {
  local cur prev words cword
  _init_completion || return

  local commands="list check decode render copy move trash delete"
  if [[ $cword -eq 1 ]]; then
    COMPREPLY=($(compgen -W "$commands --help" -- "$cur"))
    return
  fi

  local command=${words[1]}
  case $prev in
    --ext | --sort | --viewport | --scale | --bg) return ;;
    --place) COMPREPLY=($(compgen -W "0 1 2 3 4 5 6 7 8" -- "$cur")); return ;;
    --adjust) COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur")); return ;;
    --filter) COMPREPLY=($(compgen -W "0 1 2 3 4" -- "$cur")); return ;;
    --on-conflict) COMPREPLY=($(compgen -W "overwrite skip keep-both" -- "$cur")); return ;;
    -o)
      _filedir png
      return
      ;;
  esac

  if [[ $cur == -* ]]; then
    local options
    case $command in
      list) options="--recursive --hidden --include-folders --ext --sort --desc -0 --null --help" ;;
      check) options="--recursive --hidden --details -0 --null --help --" ;;
      decode) options="-o" ;;
      render) options="--viewport --place --adjust --scale --filter --bg -o" ;;
      copy | move) options="--on-conflict --help --" ;;
      trash | delete) options="--help --" ;;
    esac
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi

  case $command in
    list) _filedir -d ;;
    *) _filedir ;;
  esac
} && complete -F _kirvane_cli kirvane-cli
