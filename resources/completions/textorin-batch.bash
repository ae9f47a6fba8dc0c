# bash completion for textorin-batch

_textorin_batch()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --folder | -P | --output-dir)
            _filedir -d
            return
            ;;
        --archive | --report | --retry-failed | --rules | --cookies | --save-cookies | --password-file | --ca-certificate | \
            -i | --input-file | --config | --state | --engine-log | --sitemap | --feed)
            _filedir
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'text markdown html json jsonl' -- "$cur"))
            return
            ;;
        --block)
            # The types already given before the last comma stay.
            local given=${cur%"${cur##*,}"}
            COMPREPLY=($(compgen -P "$given" -W 'none images media fonts stylesheets' -- "${cur##*,}"))
            return
            ;;
        --robots)
            COMPREPLY=($(compgen -W 'on off' -- "$cur"))
            return
            ;;
        -l | --level)
            COMPREPLY=($(compgen -W 'inf' -- "$cur"))
            return
            ;;
        -O | --output-document)
            COMPREPLY=($(compgen -W '-' -- "$cur"))
            return
            ;;
        -u | --url | -o | --output | --sitemap-changed-since | --timeout | --settle | --window-size | -j | --jobs | --max-page-memory | --tries | --wait | --shard | \
            --max-pages | --max-pages-per-host | --time-limit | -D | --domains | --accept-regex | --reject-regex | \
            -A | --accept | -R | --reject | --ignore-query-param | \
            --wait-for | --select | --remove | --delay | --user-agent | --header | --lang | --user | --proxy)
            return
            ;;
    esac
    # --name=<TAB> of an option not above takes no value to complete.
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-u --url -i --input-file -P --output-dir --folder --timeout --settle
            --window-size --format --front-matter -O --output-document --stdout --main-content --wait-for --require-selector --select --remove --rules --delay --scroll
            --block --user-agent --header --lang --cookies --save-cookies --user --password-file
            --proxy --no-check-certificate --ca-certificate -j --jobs --max-page-memory --tries --wait
            --no-clobber --archive --report --retry-failed --restrict-filenames -o --output --sitemap --feed -r --recursive -l --level
            --max-pages --max-pages-per-host --time-limit --no-parent -H --span-hosts -D --domains --accept-regex
            --reject-regex -A --accept -R --reject --ignore-query --ignore-query-param --spider --state --new-state
            --changed-only --diff --ignore-whitespace --no-keep-text --sitemap-changed-since --robots --no-robots --shard -q --quiet -v --verbose --engine-log
            --config --no-config --version -h --help' -- "$cur"))
        return
    fi

    _filedir
} &&
    complete -F _textorin_batch textorin-batch
