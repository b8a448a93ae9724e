# bash completion for zumbrel-cli
_zumbrel_cli()
{
    local cur prev words cword
    _init_completion || return

    local commands="scan report export diff top"
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    case $prev in
        --format)
            if [[ ${words[1]} == diff ]]; then
                COMPREPLY=($(compgen -W "csv" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "csv txt html xml xml2 ncdu" -- "$cur"))
            fi
            return ;;
        --rounding)
            COMPREPLY=($(compgen -W "none bankers truncate" -- "$cur"))
            return ;;
        --output)
            _filedir
            return ;;
        --import)
            _filedir json
            return ;;
        --group-size | --threads | --depth | --top | --count)
            return ;;
    esac

    local options
    case ${words[1]} in
        scan) options="--no-grouping --group-size --threads --import --quiet" ;;
        report) options="--depth --top --rounding --no-grouping --group-size --threads --import --quiet" ;;
        export) options="--format --output --rounding --no-grouping --group-size --threads --import --force --quiet" ;;
        diff) options="--top --format" ;;
        top) options="--count --threads --quiet" ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
    elif [[ ${words[1]} == diff ]]; then
        _filedir
    else
        _filedir -d
    fi
} && complete -F _zumbrel_cli zumbrel-cli
