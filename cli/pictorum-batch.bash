# bash completion for pictorum-batch
_pictorum_batch() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        --anchor)
            COMPREPLY=($(compgen -W "top-left top top-right left center right bottom-left bottom bottom-right" -- "$cur"))
            return ;;
        --format)
            COMPREPLY=($(compgen -W "jpeg png tiff bmp webp" -- "$cur"))
            return ;;
        --log)
            COMPREPLY=($(compgen -W "text jsonl" -- "$cur"))
            return ;;
        --number-by)
            COMPREPLY=($(compgen -W "running position" -- "$cur"))
            return ;;
        --metadata)
            COMPREPLY=($(compgen -W "default all none" -- "$cur"))
            return ;;
        --output)
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        --size|--template|--first-number|--jobs|--shard)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--help --version --overlay --size --anchor --format --template
            --first-number --output --null --jobs --dry-run --log --quiet --number-by --shard
            --metadata" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _pictorum_batch pictorum-batch
