# bash completion for pictorum-batch
# Names one a line, so that a name with blanks stays one completion.
_pictorum_batch_names() {
    local IFS=$'\n'
    COMPREPLY=($(compgen "$1" -- "$2"))
}
_pictorum_batch() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    # --format=<TAB>: bash splits the word at '=', so the option is one or two words back.
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD-2]}
    fi
    case $prev in
        --anchor)
            COMPREPLY=($(compgen -W "top-left top top-right left center right bottom-left bottom bottom-right" -- "$cur"))
            return ;;
        --format)
            COMPREPLY=($(pictorum-batch --list-formats 2>/dev/null | cut -f1 | compgen -W "$(cat)" -- "$cur"))
            return ;;
        --log)
            COMPREPLY=($(compgen -W "text jsonl" -- "$cur"))
            return ;;
        --name-from)
            COMPREPLY=($(compgen -W "template input" -- "$cur"))
            return ;;
        --number-by)
            COMPREPLY=($(compgen -W "running position" -- "$cur"))
            return ;;
        --metadata)
            COMPREPLY=($(compgen -W "default all none" -- "$cur"))
            return ;;
        --tiff-compression)
            COMPREPLY=($(compgen -W "keep none" -- "$cur"))
            return ;;
        --output|--keep-folders)
            _pictorum_batch_names -d "$cur"
            return ;;
        --log-file|--overlay)
            _pictorum_batch_names -f "$cur"
            return ;;
        --shard)
            COMPREPLY=($(compgen -W "auto" -- "$cur"))
            return ;;
        --size|--template|--first-number|--jobs|--memory-limit|--quality|--opacity|--margin)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--help --version --overlay --size --anchor --opacity --margin --format --template
            --name-from --keep-folders --first-number --output --mkdir --null --jobs --memory-limit --dry-run --log --log-file --quiet --list-formats
            --number-by --shard --skip-existing --overwrite --metadata --quality --tiff-compression" -- "$cur"))
        return
    fi
    _pictorum_batch_names -f "$cur"
}
complete -o filenames -F _pictorum_batch pictorum-batch
