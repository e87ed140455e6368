# Bash completion for perspix-cli. The options are read from "perspix-cli --help" and the
# SECTION/KEY names of --stats from "perspix-cli --list-keys"; the values of the other
# options are the lists below.

_perspix_cli_formats='txt html xml json jsonl csv plist'
_perspix_cli_compare_formats='csv html'
_perspix_cli_strip_parts='exif makernote gps iptc xmp privacy privacy-all'
_perspix_cli_compare_modes='extended general'
_perspix_cli_threads='1 2 4 8 256'

# Sets COMPREPLY to the words of the newline-separated list that start with $2, quoted for
# the command line (keys such as "Channel(s)/String" hold characters the shell would read).
_perspix_cli_reply()
{
    local IFS=$'\n' word
    COMPREPLY=()
    for word in $1; do
        [[ $word == "$2"* ]] && COMPREPLY+=("$(printf '%q' "$word")")
    done
}

_perspix_cli()
{
    local cur prev words cword split
    _init_completion -s || return
    local program=${words[0]}

    case $prev in
        --format)
            local formats=$_perspix_cli_formats word
            for word in "${words[@]}"; do
                [[ $word == --compare || $word == --compare=* ]] &&
                    formats=$_perspix_cli_compare_formats
            done
            _perspix_cli_reply "${formats// /$'\n'}" "$cur"
            return
            ;;
        --strip)
            # A comma-separated list: complete its last part.
            local done=
            [[ $cur == *,* ]] && done=${cur%,*},
            _perspix_cli_reply "${_perspix_cli_strip_parts// /$'\n'}" "${cur##*,}"
            COMPREPLY=("${COMPREPLY[@]/#/$done}")
            compopt -o nospace 2>/dev/null
            return
            ;;
        --compare)
            _perspix_cli_reply "${_perspix_cli_compare_modes// /$'\n'}" "$cur"
            return
            ;;
        --stats)
            _perspix_cli_reply "$("$program" --list-keys 2>/dev/null)" "$cur"
            return
            ;;
        --threads)
            _perspix_cli_reply "${_perspix_cli_threads// /$'\n'}" "$cur"
            return
            ;;
        -o | --output | --save-project | --packets | --bitrate | --chart)
            _filedir
            return
            ;;
        --separate | --to | --extract-attachments)
            _filedir -d
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        local options
        options=$("$program" --help 2>/dev/null | grep -oE -- '(^|[[:space:],[])--?[a-z][a-z0-9-]*' |
            grep -oE -- '--?[a-z][a-z0-9-]*' | sort -u)
        _perspix_cli_reply "$options" "$cur"
        return
    fi
    _filedir
}
complete -F _perspix_cli perspix-cli
