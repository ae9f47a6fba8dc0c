# bash completion for textorin-batch

_textorin_batch()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        --folder)
            _filedir -d
            return
            ;;
        --archive | --report)
            _filedir
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'text markdown html json' -- "$cur"))
            return
            ;;
        -u | --url | --timeout | --settle | --window-size | -j | --jobs | --max-page-memory | --tries | --wait | --shard)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-u --url --folder --timeout --settle
            --window-size --format --main-content -j --jobs --max-page-memory --tries --wait
            --no-clobber --archive --report --shard -q --quiet -v --verbose
            --version -h --help' -- "$cur"))
        return
    fi

    _filedir
} &&
    complete -F _textorin_batch textorin-batch
