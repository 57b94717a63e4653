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
        --name-from)
            COMPREPLY=($(compgen -W "template input" -- "$cur"))
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
        --log-file)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --shard)
            COMPREPLY=($(compgen -W "auto" -- "$cur"))
            return ;;
        --size|--template|--first-number|--jobs|--memory-limit|--quality|--opacity|--margin)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--help --version --overlay --size --anchor --opacity --margin --format --template
            --name-from --first-number --output --mkdir --null --jobs --memory-limit --dry-run --log --log-file --quiet
            --number-by --shard --skip-existing --overwrite --metadata --quality" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _pictorum_batch pictorum-batch
