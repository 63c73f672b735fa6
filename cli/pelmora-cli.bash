# bash completion for pelmora-cli: its commands, each command's options, and for the arguments the
# folders, the WAV files and the songs of the card (or backup) folder named before them.

_pelmora_cli_song_names() { # song folders of the folder $1 that start with $2
    local folder=$1 prefix=$2 path
    [[ -d $folder ]] || return 0
    for path in "$folder"/*/; do
        [[ -d $path ]] || continue
        path=${path%/}
        path=${path##*/}
        [[ $path == "$prefix"* ]] && printf '%s\n' "$path"
    done
}

_pelmora_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="songs timeline import export cd-image recorders burn erase eject make-demo-card backup verify restore check"
    local common="-h --help -q --quiet --verbose"

    # The command: the first word that is not an option.
    local i command="" at=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} != -* ]]; then
            command=${COMP_WORDS[i]}
            at=$i
            break
        fi
    done
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$common --version --help-all" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
        fi
        return 0
    fi

    # Each command's options, and what each of its arguments is, in order (the last one repeats when
    # it ends in "...").
    local options="" kinds=""
    case $command in
    songs) options="--json" kinds="dir" ;;
    timeline) options="--svg" kinds="dir song:1" ;;
    import) options="--tracks --ab -y --yes" kinds="dir song:1 dir" ;;
    export) options="--tracks --convert --stereo -y --yes" kinds="dir dir song:2" ;;
    cd-image) options="-y --yes" kinds="dir none wav..." ;;
    recorders) options="--json" ;;
    burn) options="-y --yes" kinds="none wav..." ;;
    erase) options="--full" kinds="none" ;;
    eject) kinds="none" ;;
    make-demo-card) kinds="dir" ;;
    backup) kinds="dir dir song:1..." ;;
    verify) kinds="dir" ;;
    restore) options="-y --yes" kinds="dir dir song:1..." ;;
    check) options="--clean --orphans -y --yes --json" kinds="dir song:1" ;;
    *) return 0 ;;
    esac

    [[ $prev == --tracks ]] && return 0 # a list such as 1,3,5-8
    if [[ $prev == --svg ]]; then # the picture's file
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return 0
    fi
    if [[ $prev == --stereo ]]; then
        mapfile -t COMPREPLY < <(compgen -W "split mix" -- "$cur")
        return 0
    fi
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options $common" -- "$cur")
        return 0
    fi

    # The arguments before this one, without the options (and the values of --tracks, --stereo, --svg).
    local args=() skip=0
    for ((i = at + 1; i < COMP_CWORD; i++)); do
        if ((skip)); then
            skip=0
        elif [[ ${COMP_WORDS[i]} == --tracks || ${COMP_WORDS[i]} == --stereo || ${COMP_WORDS[i]} == --svg ]]; then
            skip=1
        elif [[ ${COMP_WORDS[i]} != -* ]]; then
            args+=("${COMP_WORDS[i]}")
        fi
    done
    local kindList
    read -r -a kindList <<<"$kinds"
    ((${#kindList[@]})) || return 0
    local n=${#args[@]} kind
    if ((n < ${#kindList[@]})); then
        kind=${kindList[n]}
    else
        kind=${kindList[${#kindList[@]} - 1]}
        [[ $kind == *... ]] || return 0
    fi
    kind=${kind%...}

    local folder
    case $kind in
    dir)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        ;;
    wav)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -X '!*.[wW][aA][vV]' -- "$cur"; compgen -d -- "$cur")
        ;;
    song:*)
        folder=${args[${kind#song:} - 1]}
        folder=${folder/#\~/$HOME}
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(_pelmora_cli_song_names "$folder" "$cur")
        ;;
    esac
    return 0
}

complete -F _pelmora_cli pelmora-cli
