# bash completion for zumbrel-cli
_zumbrel_cli()
{
    local cur prev words cword
    _init_completion || return

    local commands="scan report export diff top"
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        # zumbrel-cli PATH runs report
        [[ $cur == -* ]] || _filedir -d
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
        --sort)
            COMPREPLY=($(compgen -W "size name none" -- "$cur"))
            return ;;
        --output | -o | --exclude-from)
            _filedir
            return ;;
        --import | -f)
            _filedir json
            return ;;
        --group-size | --threads | -t | --depth | -d | --top | --count | --exclude)
            return ;;
    esac

    local scanning="--no-grouping --group-size --threads -t --import -f --quiet -q --size-on-disk --apparent-size --exclude --exclude-from --exclude-caches -x --cross-mounts"
    local options
    case ${words[1]} in
        scan) options="--json $scanning" ;;
        report) options="--depth -d --top --rounding $scanning" ;;
        export) options="--format --output -o --rounding --sort --force $scanning" ;;
        diff) options="--top --format" ;;
        top) options="--count --threads --quiet" ;;
        *) options="--depth -d --top --rounding $scanning" ;; # zumbrel-cli PATH: a report
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
    elif [[ ${words[1]} == diff ]]; then
        _filedir
    else
        _filedir -d
    fi
} && complete -F _zumbrel_cli zumbrel-cli
