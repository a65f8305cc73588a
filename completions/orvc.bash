# bash completion for orvc                                   -*- shell-script -*-
# Self-contained: needs neither the bash-completion package nor its helpers.

_orvc() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local flags="" operands=""

  if ((COMP_CWORD == 1)); then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W "-h --help --version" -- "$cur"))
    else
      COMPREPLY=($(compgen -W "scan duplicates large-files dev-junk diff delete rm history restore
        version help" -- "$cur"))
    fi
    return
  fi

  case ${COMP_WORDS[1]} in
    scan)
      flags="--path --json -q --quiet --progress"
      ;;
    duplicates)
      flags="--path --apply --dry-run --include-tracked --json -q --quiet --progress"
      ;;
    large-files)
      flags="--path --threshold --age --apply --dry-run --json -q --quiet --progress"
      ;;
    dev-junk)
      flags="--dry-run --apply --older --json -q --quiet --progress"
      ;;
    diff)
      flags="--dry-run --json -q --quiet --progress"
      ;;
    delete | rm)
      flags="--json -q --quiet --progress" operands=paths
      ;;
    history)
      flags="--path --json"
      ;;
    restore)
      flags="--dry-run --to -- --json -q --quiet --progress" operands=paths
      ;;
    *)
      return
      ;;
  esac

  case $prev in
    --path | --to)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -d -- "$cur"))
      return
      ;;
    --threshold | --age | --older)
      return # a number
      ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$flags" -- "$cur"))
  elif [[ $operands == paths ]]; then
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
} &&
  complete -F _orvc orvc
